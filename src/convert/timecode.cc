#include "convert/timecode.h"

namespace tarn {

int CompareTimecode(const DVD_HMSF_TIMECODE& a, const DVD_HMSF_TIMECODE& b) {
  int32_t sa = WholeSeconds(a), sb = WholeSeconds(b);
  if (sa != sb) return sa < sb ? -1 : 1;
  if (a.bFrames != b.bFrames) return a.bFrames < b.bFrames ? -1 : 1;
  return 0;
}

uint32_t PackTimecode(const DVD_HMSF_TIMECODE& t) {
  return static_cast<uint32_t>(t.bHours) | static_cast<uint32_t>(t.bMinutes) << 8 |
         static_cast<uint32_t>(t.bSeconds) << 16 | static_cast<uint32_t>(t.bFrames) << 24;
}

DVD_HMSF_TIMECODE UnpackTimecode(uint32_t packed) {
  DVD_HMSF_TIMECODE t;
  t.bHours = static_cast<uint8_t>(packed);
  t.bMinutes = static_cast<uint8_t>(packed >> 8);
  t.bSeconds = static_cast<uint8_t>(packed >> 16);
  t.bFrames = static_cast<uint8_t>(packed >> 24);
  return t;
}

}  // namespace tarn

#include <cstdio>

namespace tarn {

std::string FormatClock(double seconds) {
  const int total = seconds > 0 ? static_cast<int>(seconds) : 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", total / 3600, total / 60 % 60, total % 60);
  return buf;
}

std::string FormatClockRange(double start, double end) { return FormatClock(start) + " <-> " + FormatClock(end); }

}  // namespace tarn
