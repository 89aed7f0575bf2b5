#include "encoder_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

extern "C" {
#include <libavutil/log.h>
}

namespace ridirud {
namespace {

std::atomic<EncoderLogFn> g_ffmpeg_sink{nullptr};

void ForwardFfmpegLog(void* avcl, int level, const char* format, va_list args) {
  if (level > AV_LOG_ERROR) return;
  EncoderLogFn sink = g_ffmpeg_sink.load();
  if (!sink) return;
  char line[1024];
  int print_prefix = 1;
  av_log_format_line2(avcl, level, format, args, line, sizeof line, &print_prefix);
  sink(line);
}

}  // namespace

EncoderLogger::EncoderLogger(EncoderLogFn log) : log_(log) {
  if (log_) {
    g_ffmpeg_sink.store(log_);
    av_log_set_callback(ForwardFfmpegLog);
  } else {
    av_log_set_level(AV_LOG_QUIET);
  }
}

EncoderLogger::~EncoderLogger() {
  av_log_set_callback(av_log_default_callback);
  av_log_set_level(AV_LOG_INFO);
  g_ffmpeg_sink.store(nullptr);
}

void EncoderLogger::operator()(const char* format, ...) const {
  if (!log_) return;
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  log_(text);
}

}  // namespace ridirud
