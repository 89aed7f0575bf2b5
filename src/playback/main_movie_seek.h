#pragma once
// The player/recorder's fast-forward to the main movie: with the setting on,
// the disc runs in fast mode and muted until a title of half an hour or more
// plays; the root menu is tried once on the way and highlighted menu buttons
// are pressed.
#include <cstdint>

namespace tarn {

class CDvdMpcCore;

class MainMovieSeek {
 public:
  // On opening a disc: fast mode, seek pending and muted with the setting
  // on; real time, nothing pending and sound on with it off.
  void Start(CDvdMpcCore& core, bool fastForwardToMainMovie);

  // The window's OnTimeUpdate, with the domain the window saw last. True
  // when the main movie was found just now: fast mode has ended, subtitles
  // and sound are on, and the window refreshes its display and mute button.
  bool OnTimeUpdate(CDvdMpcCore& core, int32_t lastDomain);

  // The window's OnButtonChange: presses the highlighted button while the
  // fast-forward runs.
  void OnButtonChange(CDvdMpcCore& core);

  int32_t RootMenuTried() const { return m_rootMenuFlag; }

 private:
  int32_t m_rootMenuFlag = 0;
};

// A title of this length or more is the main movie: hours not 0 or 30
// minutes and more.
bool IsMainMovieLength(uint8_t hours, uint8_t minutes);

}  // namespace tarn
