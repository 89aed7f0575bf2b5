#pragma once
// The title seek ("safe search"): brings a freshly opened disc to a target
// title in the title domain. It commands the title, lets the disc run in
// fast mode while waiting for the navigator to report a title or domain
// change, presses the highlighted button when the disc stops in a menu, and
// makes up to ten attempts. It runs on the hosting window's thread and keeps
// that thread's messages flowing while it waits.
#include <cstdint>
#include <string>
#include <vector>

#include "convert/rip_job.h"
#include "platform/named_event.h"

namespace tarn {

class CDvdMpcCore;

// The hosting window as the seek sees it.
class ISeekHost {
 public:
  // Sends a user message (UM_LOADING_OPEN, UM_LOADING_CLOSE, UM_START_TITLE_RIP,
  // UM_CLOSE_PLAYER, UM_JOB_RESULT, UM_NEXT_TITLE) to the window.
  virtual intptr_t SendToWindow(uint32_t message, intptr_t wparam, intptr_t lparam) = 0;
  virtual int32_t MessageBox(const std::string& text, const std::string& caption) = 0;
  // The title ripper's rows; null when the window has none.
  virtual const std::vector<RipJob>* Jobs() { return nullptr; }
  // Crop editor after arrival: build the crop bitmap, start the overlay and,
  // with a saved crop rectangle, copy it into the core and start it again.
  virtual void StartCropOverlay(CDvdMpcCore& core) {}
  // The editors' stop command after a failed seek: stop and close the
  // playback and destroy the core.
  virtual void StopPlayback();

 protected:
  ~ISeekHost() = default;
};

enum class SeekForm { TitleRipper, CropEditor, MovieEditor };

struct SafeSearchResult {
  bool reached = false;
  int attempts = 0;  // attempts made (0 when the seek could not start)
};

inline constexpr int kSeekAttempts = 10;
inline constexpr int kSeekWaitSeconds = 6;

// The title ripper's seek event is registered under this name.
inline constexpr const char* kSafeSearchEventName = "DVD SafeSearch";

// Runs the seek to `target` (1-based) with the window's seek event. Each
// attempt waits until more than `waitSeconds` whole seconds have passed
// (tests shorten it; the windows keep the six seconds).
SafeSearchResult SafeSearch(ISeekHost& host, SeekForm form, int32_t target, platform::AutoResetEvent& seekEvent,
                            int waitSeconds = kSeekWaitSeconds);

// Reached: the current core plays `target` in the title domain.
bool TargetReached(int32_t target);

// The hosting window's OnTitleChange and OnDomainChange call this: the seek
// event is signalled only while the clock is in fast mode.
void SignalSeekEvent(platform::AutoResetEvent& seekEvent);

// The title ripper's OnTimeUpdate: fast mode ends once the target plays in
// the title domain while a seek is pending.
void TitleRipperTimeUpdate(int32_t target);

// The first checked whole-title job whose title number is `target`, or null.
const RipJob* FindJobForTarget(const std::vector<RipJob>& jobs, int32_t target);

// Ends the current core's playback: stops the capture and the graph,
// destroys the core and clears the current core. Nothing without one.
void DestroyCurrentCore();

}  // namespace tarn
