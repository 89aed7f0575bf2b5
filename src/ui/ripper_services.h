#pragma once
// The parts the title ripper's batch drives, each behind a small interface
// so the same batch logic runs under the Qt window, the command-line front
// end and the tests: the playback side (the current core, the title seek,
// the open, stop and close-player steps) and the conversion side (free
// space, the encoder library, the frame exchange, the ripper thread,
// shutdown).
#include <cstdint>
#include <string>

#include "convert/timecode.h"
#include "platform/message_queue.h"

namespace tarn {

// Core states as the playback core reports them.
enum CoreState { kCoreClosed = 0, kCoreStopped = 2, kCorePlaying = 4, kCorePaused = 6 };
inline constexpr int kTitleDomain = 4;

class IRipperPlayback {
 public:
  virtual ~IRipperPlayback() = default;

  virtual bool IsOpen() const = 0;        // a current core exists
  virtual bool EngineLoaded() const = 0;  // the engine library is loaded
  // Opens the disc folder for a job or a preview (fast clock, seek pending,
  // muted, frame callbacks running, playing). On failure the message "The
  // opened directory is not a valid DVD source" has been shown and no core
  // remains.
  virtual bool OpenDisc(const std::string& folder) = 0;
  // The title seek to `targetTitle` (command 1586). Reports to the window
  // with UM_LOADING_OPEN/CLOSE, UM_START_TITLE_RIP, UM_CLOSE_PLAYER,
  // UM_JOB_RESULT and UM_NEXT_TITLE.
  virtual void RunTitleSeek(int targetTitle) = 0;
  // Stops the engine and the core and destroys the core.
  virtual void StopAndDestroy() = 0;
  // The close-player step: as StopAndDestroy, then the frame exchange reset.
  virtual void ClosePlayer() = 0;

  virtual int State() const = 0;
  virtual int CurrentTitle() const = 0;
  virtual int CurrentDomain() const = 0;
  virtual DVD_HMSF_TIMECODE CurrentTime() const = 0;
  virtual DVD_HMSF_TIMECODE TotalTime() const = 0;
  virtual bool PlayTime(const DVD_HMSF_TIMECODE& time, bool wait) = 0;
  virtual void Play() = 0;
  virtual bool Pause() { return false; }
  // Takes the frame callbacks from the engine: returns once no callback
  // runs any more, and none starts until ResumeCapture. What the engine
  // decodes meanwhile waits for them, and what a time jump flushes meanwhile
  // never reaches them.
  virtual void HoldCapture() {}
  virtual void ResumeCapture() {}

  // Messages for the playback side that reach the window's queue (the
  // graph's event message); true when handled.
  virtual bool HandleWindowMessage(const platform::Message& /*message*/, intptr_t* /*result*/) { return false; }

  virtual int ClockMode() const = 0;
  virtual void SetClockMode(int mode) = 0;
  virtual bool SeekPending() const = 0;
  virtual void SetSeekPending(bool pending) = 0;
};

class IRipperDriver {
 public:
  virtual ~IRipperDriver() = default;

  // 0 go on, -1 the user declined (not enough free space for `estimateMB`).
  virtual int CheckFreeSpace(int estimateMB, const std::string& path) = 0;
  // 0 when the encoder library loaded.
  virtual int LoadEncoderLibrary() = 0;
  virtual void UnloadEncoderLibrary() = 0;
  virtual void ResetExchange() = 0;
  // The exact range of the job in 100 ns of title elapsed time.
  virtual void SetJobRange(int64_t start, int64_t end) = 0;
  // Starts the ripper thread for the window's target title.
  virtual void StartRipperThread() = 0;
  virtual void ShutdownComputer() = 0;
};

}  // namespace tarn
