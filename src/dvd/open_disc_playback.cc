#include "dvd/open_disc_playback.h"

#include "app/settings.h"
#include "convert/rip_job.h"
#include "platform/paths.h"
#include "playback/clock_mode.h"
#include "playback/current_core.h"
#include "playback/dvd_mpc_core.h"
#include "playback/main_movie_seek.h"
#include "playback/safe_search.h"
#include "playback/seek_state.h"
#include "playback/virtual_clock.h"

namespace tarn {

namespace {

void StartFastMuted(CDvdMpcCore& core) {
  SetClockMode(CVirtualClock::kModeFast);
  SeekPending() = 1;
  if (!Conversion().recording.load()) core.SetVolume(0);
}

// The clock mode, seek flag and volume each window starts with.
void WindowSpecificStart(const PlaybackWindow& window, CDvdMpcCore& core) {
  const bool fastForward = Settings().fastForwardToMainMovie != 0;
  switch (window.kind) {
    case PlaybackWindowKind::PlayerRecorder:
      if (window.mainMovie) {
        window.mainMovie->Start(core, fastForward);
      } else {
        MainMovieSeek seek;
        seek.Start(core, fastForward);
      }
      break;
    case PlaybackWindowKind::MovieEditor:
      SetClockMode(fastForward ? CVirtualClock::kModeFast : CVirtualClock::kModeNormal);
      SeekPending() = fastForward ? 1 : 0;
      break;
    case PlaybackWindowKind::TitleRipper:
      if (window.host) window.host->Show();
      StartFastMuted(core);
      break;
    case PlaybackWindowKind::CropEditor:
      StartFastMuted(core);
      break;
  }
}

}  // namespace

bool OpenDiscPlayback(const PlaybackWindow& window, const std::string& folder, const CaptureHooks& capture) {
  DestroyCurrentCore();

  auto* core = new CDvdMpcCore(window.callback, window.host, window.owner);
  SetCurrentCore(core);
  // Folders end in "/"; an ISO image or a device node is passed as it is.
  core->SetDiscFolder(platform::IsFolder(folder) ? platform::WithTrailingSlash(folder) : folder);
  if (!core->Open() || !core->AttachWindow() || !core->SetNavigatorOptions()) {
    core->Close();
    SetCurrentCore(nullptr);
    delete core;
    if (window.owner) window.owner->MessageBox(kNotValidDvdSource, "Note", kIconInformation, kButtonsOk);
    return false;
  }

  WindowSpecificStart(window, *core);

  if (capture.resetExchange) capture.resetExchange();
  core->PlayMedia(capture.video, capture.audio, capture.videoScratch, capture.audioScratch);
  core->Play();
  return true;
}

}  // namespace tarn
