#pragma once
// The open sequence every playing window runs: ends the current playback
// core, creates the next one on the chosen disc folder, attaches it to the
// window's video pane, sets the clock mode and volume the window starts
// with, starts the engine's frame callbacks and plays.
#include <string>

#include "TarnPlayer.h"
#include "playback/dvd_mpc_callback.h"
#include "playback/host_window.h"

namespace tarn {

class MainMovieSeek;

enum class PlaybackWindowKind { PlayerRecorder, MovieEditor, TitleRipper, CropEditor };

struct PlaybackWindow {
  PlaybackWindowKind kind = PlaybackWindowKind::PlayerRecorder;
  IDvdMpcCallback* callback = nullptr;  // the window
  ICoreOwner* owner = nullptr;          // the window, for message boxes
  IHostWindow* host = nullptr;          // its video pane
  // Player/recorder only: its fast-forward to the main movie (root-menu flag).
  MainMovieSeek* mainMovie = nullptr;
};

// What the engine hands decoded frames to, and the reset of the frame
// exchange that runs right before the engine starts.
struct CaptureHooks {
  void (*resetExchange)() = nullptr;
  TarnVideoCallback video = nullptr;
  TarnAudioCallback audio = nullptr;
  unsigned char* videoScratch = nullptr;
  unsigned char* audioScratch = nullptr;
};

inline constexpr const char* kNotValidDvdSource = "The opened directory is not a valid DVD source";

// True when the disc plays; false after the message box when it cannot be
// opened (no core remains then).
bool OpenDiscPlayback(const PlaybackWindow& window, const std::string& folder, const CaptureHooks& capture);

}  // namespace tarn
