#pragma once
// The job of one grid row (or of the recorder's implicit job), its time
// window, the progress values and the process-wide conversion flags.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "convert/timecode.h"
#include "dvd/dvd_title_entry.h"

namespace tarn {

struct RipJob {
  std::shared_ptr<DvdTitleEntry> title;
  int32_t chapterIndex = -1;   // every row stands for a whole title
  double fullStart = 0.0;      // seconds
  double fullEnd = 0.0;
  double trimmedStart = 0.0;
  double trimmedEnd = 0.0;
  int32_t titleIndex = 0;      // 0-based; the target title number is titleIndex + 1
  int32_t trimmed = 0;
  std::string rowName;
  std::string destination;     // full path, already unique
  double estimatedMB = 0.0;
  int32_t cropOn = 0;
  int32_t cropLeft = 0, cropTop = 0, cropRight = 0, cropBottom = 0;
  std::string status = "Ready";
  int32_t checked = 0;
};

// 1 when the trimmed range differs from the full range by more than 0.1 s at
// either end.
int32_t IsTrimmed(const RipJob& job);
// 1 when any crop value is not 0.
int32_t IsCropped(const RipJob& job);

struct JobTimeWindow {
  DVD_HMSF_TIMECODE start{};
  DVD_HMSF_TIMECODE end{};
};

struct RipProgress {
  std::atomic<int32_t> startSeconds{0};
  std::atomic<int32_t> endSeconds{0};
  std::atomic<int32_t> lengthSeconds{0};
  std::atomic<int32_t> startClock{0};
  std::atomic<int32_t> lastClock{0};
  std::atomic<uint32_t> lastStatusPosition{0};  // packed DVD_HMSF_TIMECODE
  std::atomic<int32_t> currentSeconds{0};
};

// Shared by both main windows, the conversion thread and the callbacks; each
// value is written whole and read without a lock.
struct ConversionState {
  std::atomic<int32_t> recording{0};
  std::atomic<int32_t> stopRequest{0};
  std::atomic<int32_t> encodeDone{0};
  std::atomic<int32_t> userStopped{0};
  std::atomic<int32_t> remuxRunning{0};
  std::atomic<int32_t> batch{0};
  std::atomic<int32_t> startTitle{0};
  std::atomic<int32_t> startDomain{0};
};

ConversionState& Conversion();
RipProgress& Progress();

}  // namespace tarn
