// The navigator commands of IDvdControl2. Each runs on the caller's thread
// under the navigator lock, so it has been carried out when it returns (the
// Block flag needs nothing more); a jump flushes what is queued.
#include <dvdnav/dvdnav.h>

#include <cstring>
#include <deque>

#include "engine.h"

namespace tarnplayer {
namespace {

int64_t TimecodeTo90k(const DVD_HMSF_TIMECODE& time) {
  return (int64_t(time.bHours) * 3600 + int64_t(time.bMinutes) * 60 + time.bSeconds) * 90000;
}

}  // namespace

void Engine::FlushLocked(int64_t newTime90k) {
  generation_.fetch_add(1);
  // The places the navigator passed on its way here are still reported
  // (domain, title, chapter); only the pictures are dropped.
  std::deque<VideoItem> dropped;
  videoIn_.TakeAll(dropped);
  for (const VideoItem& item : dropped) {
    for (const EngineEvent& event : item.events) {
      if (event.code != EC_DVD_STILL_ON) events_.Push(event.code, event.param1, event.param2);
    }
  }
  audioIn_.Clear();
  videoOut_.Clear();
  audioOut_.Clear();
  videoWaiter_.Interrupt();
  audioWaiter_.Interrupt();
  if (audioOpen_) audioOutput_.Clear();
  {
    std::lock_guard<std::mutex> lock(clockMutex_);
    anchors_.clear();
    holdChanged_.notify_all();
  }
  context_.epoch = nextEpoch_++;
  rebase_ = true;
  lastVobuEnd_ = -1;
  inStill_ = false;
  stopDomain_ = false;
  readErrors_ = 0;
  skips_ = 0;
  reportedBadData_ = false;
  idleEvents_ = 0;
  lastButtons_ = -1;
  // Until the first picture of the new place arrives the location is the
  // navigator's.
  StreamContext here = context_;
  if (nav_ && navStarted_) {
    int32_t title = 0, part = 0;
    if (dvdnav_is_domain_vts(nav_) && dvdnav_current_title_info(nav_, &title, &part) == DVDNAV_STATUS_OK) {
      here.title = title;
      here.chapter = part;
      here.domain = DVD_DOMAIN_Title;
    }
  }
  SetLocation(here, newTime90k);
  ++navCommands_;
  navWake_.notify_all();
  stillWaiter_.Interrupt();
}

HRESULT Engine::CheckTitleDomainLocked() const {
  if (!nav_) return E_UNEXPECTED;
  if (DomainLocked() != DVD_DOMAIN_Title) return VFW_E_DVD_OPERATION_INHIBITED;
  return S_OK;
}

HRESULT Engine::SetOption(int32_t option, int32_t value) {
  std::lock_guard<std::mutex> lock(navMutex_);
  switch (option) {
    case DVD_ResetOnStop:
      resetOnStop_ = value != 0;
      return S_OK;
    case DVD_NotifyParentalLevelChange:
    case DVD_HMSF_TimeCodeEvents:
      return S_OK;
    default:
      return E_INVALIDARG;
  }
}

// A jump the navigator starts: marks the VM as started (libdvdnav starts it
// on demand) and flushes.
#define TARN_JUMP(call, time90k)                                  \
  do {                                                            \
    if ((call) != DVDNAV_STATUS_OK) return VFW_E_DVD_OPERATION_INHIBITED; \
    navStarted_ = true;                                           \
    FlushLocked(time90k);                                         \
    return S_OK;                                                  \
  } while (0)

HRESULT Engine::PlayTitle(uint32_t title) { return PlayChapterInTitle(title, 1); }

HRESULT Engine::PlayChapterInTitle(uint32_t title, uint32_t chapter) {
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  int32_t titles = 0, parts = 0;
  if (dvdnav_get_number_of_titles(nav_, &titles) != DVDNAV_STATUS_OK || title < 1 ||
      int32_t(title) > titles) {
    return E_INVALIDARG;
  }
  if (dvdnav_get_number_of_parts(nav_, int32_t(title), &parts) != DVDNAV_STATUS_OK || chapter < 1 ||
      int32_t(chapter) > parts) {
    return E_INVALIDARG;
  }
  if (navStarted_ && DomainLocked() != DVD_DOMAIN_Stop) {
    user_ops_t ops = dvdnav_get_restrictions(nav_);
    if (chapter == 1 ? ops.title_play : ops.chapter_search_or_play) return VFW_E_DVD_OPERATION_INHIBITED;
  }
  TARN_JUMP(dvdnav_part_play(nav_, int32_t(title), int32_t(chapter)), 0);
}

HRESULT Engine::PlayChapter(uint32_t chapter) {
  std::lock_guard<std::mutex> lock(navMutex_);
  HRESULT hr = CheckTitleDomainLocked();
  if (!Succeeded(hr)) return hr;
  if (dvdnav_get_restrictions(nav_).chapter_search_or_play) return VFW_E_DVD_OPERATION_INHIBITED;
  int32_t title = 0, part = 0, parts = 0;
  dvdnav_current_title_info(nav_, &title, &part);
  if (dvdnav_get_number_of_parts(nav_, title, &parts) != DVDNAV_STATUS_OK || chapter < 1 ||
      int32_t(chapter) > parts) {
    return E_INVALIDARG;
  }
  TARN_JUMP(dvdnav_part_play(nav_, title, int32_t(chapter)), 0);
}

HRESULT Engine::PlayNextChapter() {
  std::lock_guard<std::mutex> lock(navMutex_);
  HRESULT hr = CheckTitleDomainLocked();
  if (!Succeeded(hr)) return hr;
  if (dvdnav_get_restrictions(nav_).next_pg_search) return VFW_E_DVD_OPERATION_INHIBITED;
  int32_t title = 0, part = 0, parts = 0;
  dvdnav_current_title_info(nav_, &title, &part);
  dvdnav_get_number_of_parts(nav_, title, &parts);
  if (part >= parts) return VFW_E_DVD_OPERATION_INHIBITED;  // already in the last chapter
  TARN_JUMP(dvdnav_part_play(nav_, title, part + 1), 0);
}

HRESULT Engine::PlayPrevChapter() {
  std::lock_guard<std::mutex> lock(navMutex_);
  HRESULT hr = CheckTitleDomainLocked();
  if (!Succeeded(hr)) return hr;
  if (dvdnav_get_restrictions(nav_).prev_or_top_pg_search) return VFW_E_DVD_OPERATION_INHIBITED;
  int32_t title = 0, part = 0;
  dvdnav_current_title_info(nav_, &title, &part);
  TARN_JUMP(dvdnav_part_play(nav_, title, part > 1 ? part - 1 : 1), 0);
}

HRESULT Engine::PlayAtTime(const DVD_HMSF_TIMECODE* time) {
  if (!time) return E_POINTER;
  std::lock_guard<std::mutex> lock(navMutex_);
  HRESULT hr = CheckTitleDomainLocked();
  if (!Succeeded(hr)) return hr;
  if (dvdnav_get_restrictions(nav_).time_or_chapter_search) return VFW_E_DVD_OPERATION_INHIBITED;
  int64_t target = TimecodeTo90k(*time);
  int32_t title = 0, part = 0;
  dvdnav_current_title_info(nav_, &title, &part);
  uint64_t* times = nullptr;
  uint64_t duration = 0;
  if (dvdnav_describe_title_chapters(nav_, title, &times, &duration) > 0 && target >= int64_t(duration)) {
    free(times);
    return E_INVALIDARG;
  }
  free(times);
  TARN_JUMP(dvdnav_time_search(nav_, uint64_t(target)), target);
}

HRESULT Engine::PlayForwards(double speed) {
  if (speed != 1.0) return E_INVALIDARG;
  events_.Push(EC_DVD_PLAYBACK_RATE_CHANGE, 10000);
  return S_OK;
}

HRESULT Engine::NavigatorPause(bool pause) {
  navPaused_ = pause;
  UpdateHold();
  WakeNav();
  return S_OK;
}

HRESULT Engine::Resume() {
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  if (!IsMenuDomain(DomainLocked())) return VFW_E_DVD_OPERATION_INHIBITED;
  if (dvdnav_get_restrictions(nav_).resume) return VFW_E_DVD_OPERATION_INHIBITED;
  TARN_JUMP(dvdnav_menu_call(nav_, DVD_MENU_Escape), 0);
}

HRESULT Engine::ShowMenu(int32_t menu) {
  if (menu < DVD_MENU_Title || menu > DVD_MENU_Chapter) return E_INVALIDARG;
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  user_ops_t ops = dvdnav_get_restrictions(nav_);
  bool forbidden = (menu == DVD_MENU_Title && ops.title_menu_call) ||
                   (menu == DVD_MENU_Root && ops.root_menu_call) ||
                   (menu == DVD_MENU_Subpicture && ops.subpic_menu_call) ||
                   (menu == DVD_MENU_Audio && ops.audio_menu_call) ||
                   (menu == DVD_MENU_Angle && ops.angle_menu_call) ||
                   (menu == DVD_MENU_Chapter && ops.chapter_menu_call);
  if (forbidden) return VFW_E_DVD_OPERATION_INHIBITED;
  TARN_JUMP(dvdnav_menu_call(nav_, DVDMenuID_t(menu)), 0);
}

HRESULT Engine::ReturnFromSubmenu() {
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  if (!IsMenuDomain(DomainLocked())) return VFW_E_DVD_OPERATION_INHIBITED;
  TARN_JUMP(dvdnav_go_up(nav_), 0);
}

HRESULT Engine::StillOff() {
  {
    std::lock_guard<std::mutex> lock(navMutex_);
    if (!nav_) return E_UNEXPECTED;
    if (!inStill_) return VFW_E_DVD_INVALIDDOMAIN;
    if (lastButtons_ > 0) return VFW_E_DVD_OPERATION_INHIBITED;  // a menu still ends by a button
    dvdnav_still_skip(nav_);
    inStill_ = false;
    ++navCommands_;
  }
  events_.Push(EC_DVD_STILL_OFF);
  navWake_.notify_all();
  stillWaiter_.Interrupt();
  return S_OK;
}

// Button operations work on the menu's current navigation pack; a changed
// highlight goes to the video thread right away (a still menu reads no more
// packs until something happens).
#define TARN_BUTTON_OP(expression)                                           \
  std::vector<VideoItem> video;                                              \
  int buttons = 0;                                                           \
  {                                                                          \
    std::lock_guard<std::mutex> lock(navMutex_);                             \
    if (!nav_) return E_UNEXPECTED;                                          \
    pci_t* pci = dvdnav_get_current_nav_pci(nav_);                           \
    if (!pci || !(pci->hli.hl_gi.btn_ns & 0x3F)) return VFW_E_DVD_INVALIDDOMAIN; \
    if (dvdnav_get_restrictions(nav_).button_select_or_activate) return VFW_E_DVD_OPERATION_INHIBITED; \
    if ((expression) != DVDNAV_STATUS_OK) return E_FAIL;                     \
    AddHighlight(video);                                                     \
    buttons = lastButtons_ > 0 ? lastButtons_ : 0;                           \
  }                                                                          \
  std::vector<AudioItem> noAudio;                                            \
  PushAll(video, noAudio);                                                   \
  events_.Push(EC_DVD_BUTTON_CHANGE, buttons);                               \
  return S_OK

HRESULT Engine::SelectRelativeButton(int32_t direction) {
  auto select = [this](pci_t* pci, int32_t where) {
    switch (where) {
      case DVD_Relative_Upper: return dvdnav_upper_button_select(nav_, pci);
      case DVD_Relative_Lower: return dvdnav_lower_button_select(nav_, pci);
      case DVD_Relative_Left: return dvdnav_left_button_select(nav_, pci);
      case DVD_Relative_Right: return dvdnav_right_button_select(nav_, pci);
      default: return dvdnav_status_t(DVDNAV_STATUS_ERR);
    }
  };
  if (direction < DVD_Relative_Upper || direction > DVD_Relative_Right) return E_INVALIDARG;
  TARN_BUTTON_OP(select(pci, direction));
}

HRESULT Engine::SelectButton(uint32_t button) {
  if (button < 1 || button > 36) return E_INVALIDARG;
  TARN_BUTTON_OP(dvdnav_button_select(nav_, pci, int32_t(button)));
}

HRESULT Engine::ActivateButton() {
  std::lock_guard<std::mutex> lock(navMutex_);
  if (!nav_) return E_UNEXPECTED;
  pci_t* pci = dvdnav_get_current_nav_pci(nav_);
  if (!pci || !(pci->hli.hl_gi.btn_ns & 0x3F)) return VFW_E_DVD_INVALIDDOMAIN;
  if (dvdnav_get_restrictions(nav_).button_select_or_activate) return VFW_E_DVD_OPERATION_INHIBITED;
  TARN_JUMP(dvdnav_button_activate(nav_, pci), 0);
}

HRESULT Engine::SelectAtPosition(int32_t x, int32_t y, bool activate) {
  // Window pixels to picture pixels through the destination rectangle.
  int32_t width = 0, height = 0;
  if (!Succeeded(GetVideoSize(&width, &height)) || width <= 0 || height <= 0) return E_UNEXPECTED;
  {
    std::lock_guard<std::mutex> lock(sinkMutex_);
    int32_t dx = 0, dy = 0, dw = window_[2], dh = window_[3];
    if (hasDestination_) {
      dx = destination_[0];
      dy = destination_[1];
      dw = destination_[2];
      dh = destination_[3];
    }
    if (dw > 0 && dh > 0) {
      x = int32_t(int64_t(x - dx) * width / dw);
      y = int32_t(int64_t(y - dy) * height / dh);
    }
  }
  if (activate) {
    std::lock_guard<std::mutex> lock(navMutex_);
    if (!nav_) return E_UNEXPECTED;
    pci_t* pci = dvdnav_get_current_nav_pci(nav_);
    if (!pci || !(pci->hli.hl_gi.btn_ns & 0x3F)) return VFW_E_DVD_INVALIDDOMAIN;
    TARN_JUMP(dvdnav_mouse_activate(nav_, pci, x, y), 0);
  }
  TARN_BUTTON_OP(dvdnav_mouse_select(nav_, pci, x, y));
}

HRESULT Engine::SelectAudioStream(uint32_t stream) {
  {
    std::lock_guard<std::mutex> lock(navMutex_);
    if (!nav_) return E_UNEXPECTED;
    if (stream > 7 || dvdnav_get_audio_logical_stream(nav_, uint8_t(stream)) < 0) return E_INVALIDARG;
    if (navStarted_ && dvdnav_get_restrictions(nav_).audio_stream_change) return VFW_E_DVD_OPERATION_INHIBITED;
    audioOverride_ = int32_t(stream);
    lastAudio_ = int32_t(stream);
  }
  events_.Push(EC_DVD_AUDIO_STREAM_CHANGE, intptr_t(stream));
  return S_OK;
}

HRESULT Engine::SelectSubpictureStream(uint32_t stream) {
  {
    std::lock_guard<std::mutex> lock(navMutex_);
    if (!nav_) return E_UNEXPECTED;
    if (stream > 31 || dvdnav_get_spu_logical_stream(nav_, uint8_t(stream)) < 0) return E_INVALIDARG;
    if (navStarted_ && dvdnav_get_restrictions(nav_).subpic_stream_change) return VFW_E_DVD_OPERATION_INHIBITED;
    spuOverride_ = int32_t(stream);
    lastSpu_ = int32_t(stream);
  }
  events_.Push(EC_DVD_SUBPICTURE_STREAM_CHANGE, intptr_t(stream));
  return S_OK;
}

HRESULT Engine::SetSubpictureState(bool on) {
  subpictureState_ = on ? 1 : 0;
  return S_OK;
}

HRESULT Engine::SelectAngle(uint32_t angle) {
  {
    std::lock_guard<std::mutex> lock(navMutex_);
    if (!nav_) return E_UNEXPECTED;
    int32_t current = 0, angles = 0;
    if (dvdnav_get_angle_info(nav_, &current, &angles) != DVDNAV_STATUS_OK || angle < 1 ||
        int32_t(angle) > angles) {
      return E_INVALIDARG;
    }
    if (dvdnav_get_restrictions(nav_).angle_change) return VFW_E_DVD_OPERATION_INHIBITED;
    if (dvdnav_angle_change(nav_, int32_t(angle)) != DVDNAV_STATUS_OK) return E_FAIL;
  }
  events_.Push(EC_DVD_ANGLE_CHANGE, intptr_t(angle));
  return S_OK;
}

HRESULT Engine::SelectParentalLevel(uint32_t level) {
  if (level < 1 || level > 8) return E_INVALIDARG;
  std::lock_guard<std::mutex> lock(navMutex_);
  parentalLevel_ = level;
  return S_OK;
}

}  // namespace tarnplayer
