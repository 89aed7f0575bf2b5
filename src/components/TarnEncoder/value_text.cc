#include "value_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tarn::encoder {

double ParseKilobits(const char* text) {
  if (!text) return -1.0;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (end == text || errno != 0 || !std::isfinite(value) || value <= 0.0) return -1.0;
  while (*end == ' ') ++end;
  if (*end == 'k' || *end == 'K') ++end;
  return *end == '\0' ? value : -1.0;
}

int ParsePositiveInt(const char* text) {
  if (!text) return -1;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || errno != 0 || value <= 0 || value > 1000000) return -1;
  return static_cast<int>(value);
}

int ParseChannels(const char* text) {
  if (!text || text[0] < '1' || text[0] > '8') return -1;
  return text[0] - '0';
}

}  // namespace tarn::encoder
