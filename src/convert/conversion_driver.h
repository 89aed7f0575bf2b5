#pragma once
// The conversion threads: the ripper thread converts one title-ripper batch
// row, the recorder thread the title the player/recorder window plays. Each
// prepares the encoder settings, runs one encode, judges the output by its
// size, post-processes it and tells its window through messages:
//   UM_PROGRESS_OPEN (sent, wparam = const char* "Converting <path>" or
//     "Remuxing <path>", valid during the send), UM_PROGRESS_CLOSE (sent),
//   UM_JOB_RESULT (wparam 0 Completed, 1 Failed), UM_NEXT_TITLE, UM_BATCH_DONE
//   (posted), and UM_STOP_CONVERT posted to the playback core's window.
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace tarn {

struct RipJob;
struct EncoderSettings;
class CoreCropAccess;
namespace platform {
class MessageQueue;
}

// An output of this size or less counts as a failed encode.
inline constexpr int64_t kMinimumGoodOutputBytes = 102400;
bool OutputLooksGood(int64_t sizeBytes);

// What the threads call outside themselves; empty members use the real
// parts (RunEncoder, the post-processing, the current core's crop).
// postProcess returns false when a step failed and the output is not there.
struct ConversionHooks {
  std::function<int(const EncoderSettings&)> runEncoder;
  std::function<bool(const std::string& format, const std::string& audioCodec,
                     const platform::MessageQueue* window)>
      postProcess;
  CoreCropAccess* crop = nullptr;
};

struct ConversionJobContext {
  const platform::MessageQueue* window = nullptr;  // the window that started the job
  // Ripper: the first checked top-level row whose titleIndex + 1 equals the
  // target title, or null. Called on the conversion thread; the row's
  // destination is written back through the window's thread.
  std::function<RipJob*(int32_t targetTitle)> findJob;
  ConversionHooks hooks;
  // Shows the user why a job could not run (an output folder that cannot be
  // written); called on the window's thread. Optional.
  std::function<void(const std::string& text)> reportProblem;
};

// The first checked row for the target title (titleIndex + 1 == target).
RipJob* FindCheckedJob(const std::vector<RipJob*>& rows, int32_t targetTitle);

// Thread bodies (run on the calling thread).
void RipperThreadMain(const ConversionJobContext& context);
void RecorderThreadMain(const ConversionJobContext& context);

// Starts the thread; the caller detaches or joins it. The thread ends itself.
std::thread StartRipperThread(ConversionJobContext context);
std::thread StartRecorderThread(ConversionJobContext context);

}  // namespace tarn
