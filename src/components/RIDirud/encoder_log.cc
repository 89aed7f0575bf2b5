#include "encoder_log.h"

#include <cstdarg>
#include <cstdio>

namespace ridirud {

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
