// Diagnostic lines to the host's EncoderLog callback. FFmpeg's own logging
// is left alone: it is process-wide and other components of the host share
// it, so failures are reported here from FFmpeg's return codes instead.
#ifndef TARN_COMPONENTS_RIDIRUD_ENCODER_LOG_H
#define TARN_COMPONENTS_RIDIRUD_ENCODER_LOG_H

#include "RIDirud.h"

namespace ridirud {

class EncoderLogger {
 public:
  explicit EncoderLogger(EncoderLogFn log) : log_(log) {}

  // printf-style; the text should end in "\n".
  void operator()(const char* format, ...) const __attribute__((format(printf, 2, 3)));

 private:
  EncoderLogFn log_;
};

}  // namespace ridirud

#endif  // TARN_COMPONENTS_RIDIRUD_ENCODER_LOG_H
