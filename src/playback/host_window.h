#pragma once
// What the playback core needs from the window it plays in, kept free of any
// widget toolkit: the Qt views implement these, and the tests and the
// command-line front end answer them themselves.
#include <cstdint>
#include <string>

#include "TarnPlayer.h"
#include "platform/message_queue.h"

namespace tarn {

// The graph posts this to the host window's queue when events wait; the
// window's handler then calls CDvdMpcCore::HandleGraphEvent.
inline constexpr uint32_t UM_DVD_GRAPH_EVENT = 0x400 + 1000;  // 2024

// The pane that shows the video. Its queue is the window thread's queue.
class IHostWindow {
 public:
  virtual platform::QueueId QueueId() const = 0;
  virtual void ClientSize(int32_t* width, int32_t* height) const = 0;
  virtual void Show() {}    // show normally
  virtual void Update() {}  // repaint now
  // Where the engine presents pictures; null when nothing is shown.
  virtual tarnplayer::IVideoSink* VideoSink() { return nullptr; }

 protected:
  ~IHostWindow() = default;
};

// Message box kinds and answers, with the platform's numbers.
enum MessageBoxIcon : int32_t { kIconNone = 0, kIconInformation = 0x40 };
enum MessageBoxButtons : int32_t { kButtonsOk = 0, kButtonsYesNo = 4 };
enum MessageBoxAnswer : int32_t { kAnswerOk = 1, kAnswerYes = 6, kAnswerNo = 7 };

// The dialog that owns a core: it shows the core's message boxes and hears
// the corrected crop size.
class ICoreOwner {
 public:
  virtual int32_t MessageBox(const std::string& text, const std::string& caption, int32_t icon,
                             int32_t buttons) = 0;
  // UM_CROP_ASPECT: the crop rectangle's size once the display aspect is applied.
  virtual void OnCropAspect(int32_t width, int32_t height) {}

 protected:
  ~ICoreOwner() = default;
};

// Virtual key codes of the keys the video window reacts to.
enum VideoKey : int32_t {
  kKeyEnter = 0x0D,
  kKeyEscape = 0x1B,
  kKeyLeft = 0x25,
  kKeyUp = 0x26,
  kKeyRight = 0x27,
  kKeyDown = 0x28,
};

}  // namespace tarn
