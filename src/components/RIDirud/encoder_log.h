// Diagnostic lines to the host's EncoderLog callback, and FFmpeg's own error
// messages routed there while an encode runs.
#ifndef TARN_COMPONENTS_RIDIRUD_ENCODER_LOG_H
#define TARN_COMPONENTS_RIDIRUD_ENCODER_LOG_H

#include "RIDirud.h"

namespace ridirud {

class EncoderLogger {
 public:
  // Routes FFmpeg's errors to log until destroyed.
  explicit EncoderLogger(EncoderLogFn log);
  ~EncoderLogger();
  EncoderLogger(const EncoderLogger&) = delete;
  EncoderLogger& operator=(const EncoderLogger&) = delete;

  // printf-style; the text should end in "\n".
  void operator()(const char* format, ...) const __attribute__((format(printf, 2, 3)));

 private:
  EncoderLogFn log_;
};

}  // namespace ridirud

#endif  // TARN_COMPONENTS_RIDIRUD_ENCODER_LOG_H
