#include "platform/number_text.h"

#include <cstdlib>
#include <limits>

namespace tarn::platform {

int64_t ParseInt64(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate as a negative number so INT64_MIN is reachable.
  int64_t value = 0;
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    int digit = text[i] - '0';
    if (value < (kMin + digit) / 10) {
      value = kMin;
      while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
      return negative ? kMin : std::numeric_limits<int64_t>::max();
    }
    value = value * 10 - digit;
  }
  if (negative) return value;
  return value == kMin ? std::numeric_limits<int64_t>::max() : -value;
}

int32_t ParseInt32(const std::string& text) {
  int64_t v = ParseInt64(text);
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

double ParseDouble(const std::string& text) {
  // strtod follows the C locale's decimal point, which the program never
  // changes; texts in our files always use ".".
  const char* begin = text.c_str();
  char* end = nullptr;
  double v = std::strtod(begin, &end);
  return end == begin ? 0.0 : v;
}

}  // namespace tarn::platform
