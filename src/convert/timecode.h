#pragma once
// Navigator positions: hours, minutes, seconds and frames, one byte each.
#include <cstdint>

namespace tarn {

struct DVD_HMSF_TIMECODE {
  uint8_t bHours = 0;
  uint8_t bMinutes = 0;
  uint8_t bSeconds = 0;
  uint8_t bFrames = 0;
};

inline int32_t WholeSeconds(const DVD_HMSF_TIMECODE& t) {
  return t.bHours * 3600 + t.bMinutes * 60 + t.bSeconds;
}

// -1 when a is earlier, 0 equal, 1 later: whole seconds first, the frames
// byte only when those are equal.
int CompareTimecode(const DVD_HMSF_TIMECODE& a, const DVD_HMSF_TIMECODE& b);

uint32_t PackTimecode(const DVD_HMSF_TIMECODE& t);
DVD_HMSF_TIMECODE UnpackTimecode(uint32_t packed);

}  // namespace tarn

#include <string>

namespace tarn {
// "%02d:%02d:%02d" of whole seconds (the fraction is dropped).
std::string FormatClock(double seconds);
// "%02d:%02d:%02d <-> %02d:%02d:%02d" of a range.
std::string FormatClockRange(double start, double end);
}  // namespace tarn
