#include "encode_run.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "audio_converter.h"
#include "encoder_log.h"
#include "frame_rate_converter.h"
#include "media_writer.h"
#include "output_plan.h"
#include "picture_converter.h"

namespace ridirud {
namespace {

constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();
// Audio is asked for in pieces of at most 100 ms.
constexpr int kMaxAudioRequest = kHostSampleRate / 10;

// Room for a picture that is only pulled to keep the host flowing (audio-only
// formats): the reported size, and never less than the largest DVD picture.
int DiscardPictureBytes(const MediaInfo& info) {
  const int w = std::clamp(info.width, 0, 8192), h = std::clamp(info.height, 0, 8192);
  return std::max(720 * 576 * 3 / 2, w * h + 2 * ((w + 1) / 2) * ((h + 1) / 2));
}

struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;

class EncodeLoop {
 public:
  EncodeLoop(const EncoderSettings& settings, const OutputPlan& plan, const MediaInfo& info,
             const EncoderLogger& log)
      : cb_(settings.callbacks), plan_(plan), info_(info), log_(log), rate_(plan.video.frame_rate) {}

  int Run() {
    std::string error;
    if (plan_.video.enabled && !pictures_.Init(plan_.video, &error)) return Fail(kEncodeUnsupported, error);
    if (!writer_.Open(plan_, &error)) return Fail(kEncodeUnsupported, error);
    if (plan_.audio.enabled && !audio_.Init(plan_.audio.sample_rate, plan_.audio.channels, writer_.audio_format(),
                                            writer_.audio_frame_size(), plan_.audio.gain, &error))
      return Fail(kEncodeUnsupported, error);
    if (!plan_.video.enabled) discard_picture_.resize(DiscardPictureBytes(info_));
    audio_block_.resize(static_cast<size_t>(kMaxAudioRequest) * kHostChannels);

    const char* ended_by = Pull(&error);
    if (!ended_by) return Fail(kEncodeFailed, error);
    log_("RIDirud: %s; %lld pictures in, %lld audio frames in\n", ended_by, static_cast<long long>(pictures_in_),
         static_cast<long long>(audio_pulled_));
    if (!Finish(&error)) return Fail(kEncodeFailed, error);
    log_("RIDirud: wrote %s: %lld video frames, %.3f s\n", plan_.path.c_str(),
         static_cast<long long>(writer_.video_frames()), static_cast<double>(end_us_) / 1e6);
    return kEncodeOk;
  }

 private:
  int Fail(int code, const std::string& error) {
    log_("RIDirud: encode failed: %s; the output is removed\n", error.c_str());
    writer_.Discard();
    return code;
  }

  // Pulls until the host says to stop; returns why, or null on an error.
  const char* Pull(std::string* error) {
    while (true) {
      if (cb_.stop_test() == 1) return "stop test ended the encode";
      VideoRequest request{};
      request.time = request.time2 = kNoTime;
      AVBufferRef* source = nullptr;
      unsigned char* destination = discard_picture_.data();
      if (plan_.video.enabled) {
        source = pictures_.NewSourceBuffer();
        if (!source) {
          *error = "out of memory for a picture";
          return nullptr;
        }
        destination = source->data;
      }
      int rc = cb_.supply_video_frame(&request, destination);
      if (rc < 0) {
        av_buffer_unref(&source);
        return "the picture supply stopped";
      }
      if (request.time == kNoTime) {  // nothing to supply yet
        av_buffer_unref(&source);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      ++pictures_in_;
      if (plan_.video.enabled && !TakePicture(source, request.time, error)) return nullptr;
      end_us_ = std::max(end_us_, request.time + std::max<int64_t>(0, request.duration));
      bool stopped = false;
      if (!PullAudioUntil(end_us_, &stopped, error)) return nullptr;
      if (stopped) return "the audio supply stopped";
    }
  }

  bool TakePicture(AVBufferRef* source, int64_t time_us, std::string* error) {
    FramePtr next(pictures_.Convert(source));
    if (!next) {
      *error = "converting a picture failed";
      return false;
    }
    int64_t repeat = rate_.FramesBefore(time_us);
    if (!WriteHeld(repeat, error)) return false;
    held_ = std::move(next);
    return true;
  }

  bool WriteHeld(int64_t repeat, std::string* error) {
    for (int64_t i = 0; i < repeat && held_; ++i)
      if (!writer_.WriteVideo(held_.get(), error)) return false;
    return true;
  }

  // Audio runs on the pictures' time line: after a picture ending at end_us
  // the stream holds end_us worth of 48 kHz samples.
  bool PullAudioUntil(int64_t end_us, bool* stopped, std::string* error) {
    const int64_t target = end_us * kHostSampleRate / 1000000;
    while (audio_pulled_ < target) {
      const int count = static_cast<int>(std::min<int64_t>(target - audio_pulled_, kMaxAudioRequest));
      AudioRequest request{};
      request.count = count;
      // A block the host leaves unfilled (its range ended) stays silent.
      std::memset(audio_block_.data(), 0, static_cast<size_t>(count) * kHostBytesPerFrame);
      int rc = cb_.supply_audio(nullptr, reinterpret_cast<unsigned char*>(audio_block_.data()), &request);
      if (rc < 0) {
        *stopped = true;
        return true;
      }
      audio_pulled_ += count;
      if (!plan_.audio.enabled) continue;
      if (!audio_.Push(audio_block_.data(), count)) {
        *error = "resampling failed";
        return false;
      }
      if (!WriteAudioFrames(false, error)) return false;
    }
    return true;
  }

  bool WriteAudioFrames(bool at_end, std::string* error) {
    while (FramePtr frame{audio_.Pop(at_end)}) {
      if (!writer_.WriteAudio(frame.get(), error)) return false;
    }
    return true;
  }

  bool Finish(std::string* error) {
    if (plan_.video.enabled && !WriteHeld(rate_.FramesUntil(end_us_), error)) return false;
    held_.reset();
    if (plan_.audio.enabled) {
      if (!audio_.Flush()) {
        *error = "resampling failed";
        return false;
      }
      if (!WriteAudioFrames(true, error)) return false;
    }
    return writer_.Finish(error);
  }

  const EncoderCallbacks& cb_;
  const OutputPlan& plan_;
  const MediaInfo& info_;
  const EncoderLogger& log_;
  PictureConverter pictures_;
  AudioConverter audio_;
  MediaWriter writer_;
  FrameRateConverter rate_;
  FramePtr held_;
  std::vector<unsigned char> discard_picture_;
  std::vector<int16_t> audio_block_;
  int64_t pictures_in_ = 0;
  int64_t audio_pulled_ = 0;
  int64_t end_us_ = 0;
};

}  // namespace

int RunEncode(const EncoderSettings& settings) {
  EncoderLogger log(settings.callbacks.log);
  const EncoderCallbacks& cb = settings.callbacks;
  if (!cb.fetch_media_info || !cb.supply_video_frame || !cb.supply_audio || !cb.stop_test) {
    log("RIDirud: the init block lacks a callback, nothing is encoded\n");
    return kEncodeNoSettings;
  }
  log("RIDirud: encode to %s, format %s, video %s %s kbit/s %s fps, audio %s %s kbit/s %s Hz %s ch\n",
      settings.output_file.c_str(), settings.format.c_str(), settings.video_codec.c_str(),
      settings.video_bitrate.c_str(), settings.frame_rate.c_str(), settings.audio_codec.c_str(),
      settings.audio_bitrate.c_str(), settings.sample_rate.c_str(), settings.channels.c_str());
  MediaInfo info{};
  if (cb.fetch_media_info(&info) < 0) {
    log("RIDirud: media info aborted, nothing is written\n");
    return kEncodeNoMediaInfo;
  }
  log("RIDirud: source %dx%d, %d/%d fps, pixel aspect %d/%d, %d Hz, %d channels\n", info.width, info.height,
      info.raten, info.rated, info.aspectn, info.aspectd, info.audio_samples_per_second, info.nchannels);
  OutputPlan plan;
  std::string error;
  if (!BuildOutputPlan(settings, info, &plan, &error)) {
    log("RIDirud: cannot encode: %s; nothing is written\n", error.c_str());
    return kEncodeUnsupported;
  }
  for (const std::string& note : plan.notes) log("RIDirud: %s\n", note.c_str());
  if (plan.video.enabled) {
    const VideoPlan& v = plan.video;
    log("RIDirud: muxer %s, %s: crop %d:%d:%d:%d, scaled %dx%d in frame %dx%d at %d,%d, %d/%d fps, %lld bit/s, "
        "%d threads\n",
        plan.muxer.c_str(), v.encoder.c_str(), v.crop.width, v.crop.height, v.crop.left, v.crop.top,
        v.scaled_width, v.scaled_height, v.frame_width, v.frame_height, v.pad_left, v.pad_top, v.frame_rate.num,
        v.frame_rate.den, static_cast<long long>(v.bit_rate), plan.threads);
  }
  log("RIDirud: muxer %s, %s: %d Hz, %d channels, %lld bit/s, gain %.2f\n", plan.muxer.c_str(),
      plan.audio.encoder.c_str(), plan.audio.sample_rate, plan.audio.channels,
      static_cast<long long>(plan.audio.bit_rate), plan.audio.gain);
  EncodeLoop loop(settings, plan, info, log);
  return loop.Run();
}

}  // namespace ridirud
