// The playback core's life (construction, Open, Close, destruction) and its
// play-state operations.
#include "playback/dvd_mpc_core.h"

#include "app/log.h"
#include "playback/core_position.h"
#include "playback/current_core.h"
#include "playback/virtual_clock.h"

namespace tarn {

using tarnplayer::DVD_CMD_FLAG_Block;
using tarnplayer::DVD_CMD_FLAG_Flush;
using tarnplayer::DVD_CMD_FLAG_None;
using tarnplayer::E_FAIL;
using tarnplayer::HRESULT;
using tarnplayer::Succeeded;

namespace {
constexpr const char* kDefaultDiscFolder = "/dev/sr0";
}  // namespace

CDvdMpcCore::CDvdMpcCore(IDvdMpcCallback* callback, IHostWindow* host, ICoreOwner* owner) {
  Construct(callback, host, owner);
  if (m_library.Load(EngineFolder())) {
    m_engine = m_library.Entries();
  } else {
    m_engineError = m_library.Error();
    Log(kLogError, "Load %s failed: %s\n", kEngineLibraryName, m_engineError.c_str());
  }
}

CDvdMpcCore::CDvdMpcCore(IDvdMpcCallback* callback, IHostWindow* host, ICoreOwner* owner,
                         const EngineEntryPoints& engine) {
  Construct(callback, host, owner);
  if (engine.Complete()) m_engine = engine;
  else m_engineError = "incomplete engine entry points";
}

void CDvdMpcCore::Construct(IDvdMpcCallback* callback, IHostWindow* host, ICoreOwner* owner) {
  m_callback = callback ? callback : this;
  m_host = host;
  m_owner = owner;
  CorePosition& p = CurrentCorePosition();
  p.exists = 1;
  PublishPosition();
}

CDvdMpcCore::~CDvdMpcCore() {
  // No capture callback may run into a graph that is going away.
  StopMedia();
  if (m_attached && m_pVW) {
    int32_t style = 0;
    if (Succeeded(m_pVW->get_WindowStyle(&style))) m_pVW->put_WindowStyle(style & static_cast<int32_t>(0xBFFFFFFFu));
    m_pVW->put_Owner(nullptr);
  }
  m_attached = 0;
  Close();
  m_engine = EngineEntryPoints();
  m_library.Unload();
  ClearCorePosition();
  if (CurrentCore() == this) SetCurrentCore(nullptr);
}

bool CDvdMpcCore::Open() {
  if (m_discFolder.empty()) m_discFolder = kDefaultDiscFolder;
  if (!m_engine.Complete()) return false;
  if (m_graphOpen) Close();
  const int opened = m_engine.openMedia(m_discFolder.c_str(), &m_pMC, &m_pIME, &m_pVW, &m_pDvdControl,
                                        &m_pDvdInfo, &m_pHeld, &m_pMF, &m_pBV, &m_pBA, &m_pMixerBitmap);
  if (!opened) return false;
  m_graphOpen = true;
  if (!m_pMC || !m_pIME || !m_pVW || !m_pDvdControl || !m_pDvdInfo || !m_pMF || !m_pBV || !m_pBA) {
    // An engine that claims success without its interfaces cannot be driven.
    Log(kLogError, "TarnOpenMedia returned without its interfaces\n");
    return false;
  }
  m_clock = new CVirtualClock();
  m_clock->AddRef();
  m_pMF->SetSyncSource(m_clock);
  SetCurrentClock(m_clock);
  SetState(kStopped);
  return true;
}

void CDvdMpcCore::Close() {
  ReleaseInterface(m_pDvdControl);
  ReleaseInterface(m_pDvdInfo);
  ReleaseInterface(m_pMC);
  {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_pIME) m_pIME->SetNotifyWindow(nullptr, nullptr, 0, 0);
    ReleaseInterface(m_pIME);
  }
  if (m_pVW) m_pVW->put_Owner(nullptr);
  ReleaseInterface(m_pVW);
  ReleaseInterface(m_pHeld);
  ReleaseInterface(m_pMF);
  ReleaseInterface(m_pBV);
  ReleaseInterface(m_pBA);
  ReleaseInterface(m_pMixerBitmap);
  if (m_clock) {
    if (CurrentClock() == m_clock) SetCurrentClock(nullptr);
  }
  if (m_graphOpen && m_engine.closeMedia) m_engine.closeMedia();
  m_graphOpen = false;
  // The graph is gone, so the clock's last user is gone too.
  if (m_clock) m_clock->Release();
  m_clock = nullptr;
  // Without a graph nothing may reach the released interfaces.
  SetState(kClosed);
}

int CDvdMpcCore::PlayMedia(TarnVideoCallback video, TarnAudioCallback audio, unsigned char* videoScratch,
                           unsigned char* audioScratch) {
  if (!m_engine.playMedia || !m_graphOpen) return 0;
  m_playHandle = m_engine.playMedia(video, audio, videoScratch, audioScratch);
  return m_playHandle;
}

void CDvdMpcCore::StopMedia() {
  if (m_graphOpen && m_engine.stopMedia) m_engine.stopMedia();
  m_playHandle = 0;
}

bool CDvdMpcCore::SetNavigatorOptions() {
  if (!m_pDvdControl) return false;
  if (!Succeeded(m_pDvdControl->SetOption(tarnplayer::DVD_ResetOnStop, 0))) return false;
  if (!Succeeded(m_pDvdControl->SetOption(tarnplayer::DVD_NotifyParentalLevelChange, 1))) return false;
  return Succeeded(m_pDvdControl->SetOption(tarnplayer::DVD_HMSF_TimeCodeEvents, 1));
}

bool CDvdMpcCore::ResumeStep() {
  switch (m_state) {
    case kClosed:
      return false;
    case kStopped:
      m_pMC->Run();
      m_pDvdControl->Pause(0);
      return true;
    case kPaused:
      m_pDvdControl->Pause(0);
      return true;
    default:
      if (m_still && Succeeded(m_pDvdControl->StillOff())) m_still = 0;
      return true;
  }
}

HRESULT CDvdMpcCore::Play() {
  if (m_showOnFirstPlay) {
    if (m_host) {
      m_host->Show();
      m_host->Update();
    }
    m_showOnFirstPlay = 0;
  }
  switch (m_state) {
    case kClosed:
      return E_FAIL;
    case kStopped: {
      const HRESULT hr = m_pMC->Run();
      m_pDvdControl->Pause(0);
      m_pDvdControl->PlayForwards(1.0, DVD_CMD_FLAG_None, nullptr);
      if (Succeeded(hr)) SetState(kPlaying);
      return hr;
    }
    case kPaused: {
      m_pDvdControl->PlayForwards(1.0, DVD_CMD_FLAG_None, nullptr);
      const HRESULT hr = m_pDvdControl->Pause(0);
      if (Succeeded(hr)) SetState(kPlaying);
      return hr;
    }
    default:
      if (m_still) {
        const HRESULT hr = m_pDvdControl->StillOff();
        if (Succeeded(hr)) m_still = 0;
        return hr;
      }
      return tarnplayer::S_OK;
  }
}

bool CDvdMpcCore::Pause() {
  if (m_state != kPlaying) return false;
  if (!Succeeded(m_pDvdControl->Pause(1))) return false;
  SetState(kPaused);
  return true;
}

bool CDvdMpcCore::Stop() {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  if (m_pIME) {
    int32_t code = 0;
    intptr_t p1 = 0, p2 = 0;
    while (Succeeded(m_pIME->GetEvent(&code, &p1, &p2, 0))) m_pIME->FreeEventParams(code, p1, p2);
    m_pIME->SetNotifyWindow(nullptr, nullptr, 0, 0);
    ReleaseInterface(m_pIME);
    Log(kLogInfo, "Stop m_pIME:%d\n", 0);
  }
  if (m_state == kClosed) return false;
  if (m_state == kPaused) m_pDvdControl->Pause(0);
  m_pDvdControl->SetOption(tarnplayer::DVD_ResetOnStop, 1);
  m_pMC->Stop();
  m_pDvdControl->SetOption(tarnplayer::DVD_ResetOnStop, 0);
  SetState(kStopped);
  return true;
}

bool CDvdMpcCore::NextChapter() {
  if (!ResumeStep()) return false;
  if (!Succeeded(m_pDvdControl->PlayNextChapter(DVD_CMD_FLAG_None, nullptr))) return false;
  SetState(kPlaying);
  return true;
}

bool CDvdMpcCore::PrevChapter() {
  if (!ResumeStep()) return false;
  if (!Succeeded(m_pDvdControl->PlayPrevChapter(DVD_CMD_FLAG_None, nullptr))) return false;
  SetState(kPlaying);
  return true;
}

bool CDvdMpcCore::PlayChapter(uint32_t chapter) {
  if (!ResumeStep()) return false;
  const HRESULT hr = m_pDvdControl->PlayChapter(chapter, DVD_CMD_FLAG_Block, nullptr);
  if (!Succeeded(hr)) {
    if (hr == tarnplayer::VFW_E_DVD_OPERATION_INHIBITED) m_callback->OnOperationInhibited();
    return false;
  }
  SetState(kPlaying);
  return true;
}

bool CDvdMpcCore::PlayTitle(uint32_t title) {
  if (!ResumeStep()) return false;
  const HRESULT hr = m_pDvdControl->PlayChapterInTitle(title, 1, DVD_CMD_FLAG_Block, nullptr);
  if (!Succeeded(hr)) {
    if (hr == tarnplayer::VFW_E_DVD_OPERATION_INHIBITED) m_callback->OnOperationInhibited();
    return false;
  }
  SetState(kPlaying);
  return true;
}

bool CDvdMpcCore::PlayTime(tarnplayer::DVD_HMSF_TIMECODE time, bool wait) {
  Log(kLogInfo, "CDvdMpcCore::PlayTime() hh:mm:ss %u:%u:%u\n", time.bHours, time.bMinutes, time.bSeconds);
  bool ok = ResumeStep() &&
            Succeeded(m_pDvdControl->PlayAtTime(&time, wait ? DVD_CMD_FLAG_Block : DVD_CMD_FLAG_Flush, nullptr));
  if (ok) SetState(kPlaying);
  Log(kLogInfo, ok ? "CDvdMpcCore::PlayTime() successful\n" : "CDvdMpcCore::PlayTime() fail\n");
  return ok;
}

bool CDvdMpcCore::ToggleMenu(int32_t menuId) {
  if (m_state == kClosed) return false;
  if (m_inMenu) {
    if (!Succeeded(m_pDvdControl->Resume(DVD_CMD_FLAG_Flush, nullptr))) return false;
    m_inMenu = 0;
    SetState(kPlaying);
    return true;
  }
  if (m_state != kPlaying && m_state != kPaused) return false;
  tarnplayer::IDvdCmd* cmd = nullptr;
  if (!Succeeded(m_pDvdControl->ShowMenu(menuId, DVD_CMD_FLAG_Flush, &cmd))) return false;
  bool ended = true;
  if (cmd) {
    ended = Succeeded(cmd->WaitForEnd());
    cmd->Release();
  }
  if (!ended) return false;
  m_inMenu = 1;
  SetState(kPlaying);
  return true;
}

void CDvdMpcCore::SetVolume(int32_t volume) {
  const int32_t hundredthsDb = volume * 100 - 10000;
  if (m_pBA) m_pBA->put_Volume(hundredthsDb);
  Log(kLogInfo, "set audio volume :%d\n", hundredthsDb);
}

int32_t CDvdMpcCore::GetVolume() const {
  int32_t volume = 1;
  if (!m_pBA || !Succeeded(m_pBA->get_Volume(&volume))) return 1;
  return volume;
}

void CDvdMpcCore::SetCrop(int32_t x, int32_t y, int32_t width, int32_t height) {
  m_cropX = x;
  m_cropY = y;
  m_cropWidth = width;
  m_cropHeight = height;
}

void CDvdMpcCore::GetCrop(int32_t* x, int32_t* y, int32_t* width, int32_t* height) const {
  *x = m_cropX;
  *y = m_cropY;
  *width = m_cropWidth;
  *height = m_cropHeight;
}

void CDvdMpcCore::SetState(int32_t state) {
  m_state = state;
  PublishPosition();
}

void CDvdMpcCore::PublishPosition() {
  CorePosition& p = CurrentCorePosition();
  p.title = m_ulCurTitle;
  p.domain = m_currentDomain;
  p.state = m_state;
  p.width = m_sourceWidth;
  p.height = m_sourceHeight;
  p.aspectX = m_aspectX;
  p.aspectY = m_aspectY;
  p.eventSinkQueue = (m_attached && m_host) ? m_host->QueueId() : 0;
}

bool CDvdMpcCore::InRecordMode() const {
  return m_clock && m_clock->GetMode() == CVirtualClock::kModeRecord;
}

}  // namespace tarn
