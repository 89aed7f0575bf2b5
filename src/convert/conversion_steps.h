#pragma once
// The steps the ripper and the recorder thread share: one encode of the
// current job from its preparation to the wait for the player to close.
#include <cstdint>
#include <string>

#include "convert/conversion_driver.h"
#include "convert/core_crop.h"

namespace tarn {

struct AVOutputProfile;

// What one encode produced.
struct EncodeOutcome {
  std::string encoderOutput;  // the file the encoder was told to write
  int64_t sizeBytes = 0;      // its size afterwards (0 when missing)
  bool encoderRan = false;    // false when the output folder was unusable
};

// The profile values the thread needs after the encode (copied, so a later
// profile change cannot pull them away).
struct JobProfile {
  std::string format;
  std::string audioCodec;
  int32_t listIndex = 0;
};

void SendToWindow(const platform::MessageQueue* window, uint32_t message, intptr_t wparam = 0);
void PostToWindow(const platform::MessageQueue* window, uint32_t message, intptr_t wparam = 0);
// Sends UM_PROGRESS_OPEN with "<prefix> <path>".
void SendProgressOpen(const platform::MessageQueue* window, const char* prefix, const std::string& path);

// The crop rectangle read back from the core (right = x + width, ...); crop
// is on when any of the core's four values is not 0.
struct CoreCropReading {
  bool on = false;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};
CoreCropReading ReadCoreCrop(CoreCropAccess& crop);

// Creates the scratch file, computes the geometry (kept process-wide for the
// HTML pages), fills the encoder settings, runs the encoder and measures the
// file it wrote. Removes the scratch file afterwards. `outputPath` is the
// job's final output.
EncodeOutcome EncodeJob(const ConversionJobContext& context, const AVOutputProfile& profile,
                        const std::string& outputPath, const CoreCropReading& crop);

// The format's post step (hook or the real post-processing); false when a
// step failed and the output is not in its final form.
bool RunPostProcess(const ConversionJobContext& context, const JobProfile& profile);

// Posts UM_STOP_CONVERT to the playback core's window and waits, handling
// messages, until no core exists any more.
void WaitForPlayerToClose();

// The file's size in bytes, 0 when it does not exist.
int64_t FileSizeOf(const std::string& path);

}  // namespace tarn
