#include "playback/main_movie_seek.h"

#include "playback/clock_mode.h"
#include "playback/dvd_mpc_core.h"
#include "playback/seek_state.h"
#include "playback/virtual_clock.h"

namespace tarn {

bool IsMainMovieLength(uint8_t hours, uint8_t minutes) { return hours != 0 || minutes >= 30; }

void MainMovieSeek::Start(CDvdMpcCore& core, bool fastForwardToMainMovie) {
  if (fastForwardToMainMovie) {
    SetClockMode(CVirtualClock::kModeFast);
    SeekPending() = 1;
    m_rootMenuFlag = 0;
    core.SetVolume(0);
  } else {
    SetClockMode(CVirtualClock::kModeNormal);
    SeekPending() = 0;
    core.SetVolume(100);
  }
}

bool MainMovieSeek::OnTimeUpdate(CDvdMpcCore& core, int32_t lastDomain) {
  if (GetClockMode() != CVirtualClock::kModeFast || !SeekPending().load() ||
      lastDomain != tarnplayer::DVD_DOMAIN_Title)
    return false;
  const tarnplayer::DVD_HMSF_TIMECODE total = core.TotalTitleTime();
  if (IsMainMovieLength(total.bHours, total.bMinutes)) {
    SeekPending() = 0;
    SetClockMode(CVirtualClock::kModeNormal);
    core.ShowSubtitle(true);
    core.SetVolume(100);
    return true;
  }
  if (m_rootMenuFlag == 0 && core.ToggleMenu(tarnplayer::DVD_MENU_Root)) m_rootMenuFlag = 1;
  return false;
}

void MainMovieSeek::OnButtonChange(CDvdMpcCore& core) {
  if (GetClockMode() != CVirtualClock::kModeFast || !SeekPending().load()) return;
  uint32_t available = 0, current = 0;
  if (tarnplayer::Succeeded(core.GetCurrentButton(&available, &current)) && available != 0 && current != 0)
    core.ActivateButton();
}

}  // namespace tarn
