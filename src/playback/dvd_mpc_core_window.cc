// The playback core and its host window: attaching the video, fitting the
// picture, and the window's key and mouse input.
#include "app/log.h"
#include "playback/dvd_mpc_core.h"

namespace tarn {

using tarnplayer::Succeeded;

namespace {

constexpr int32_t kStyleKeep = static_cast<int32_t>(0xFF3BFFFFu);  // drops caption and thick frame
constexpr int32_t kStyleChild = 0x40000000;

// The graph's notification runs on an engine thread: it only posts to the
// host window's queue (a queue that is gone just drops the post).
void PostGraphEvent(void* context, uint32_t message, intptr_t param) {
  platform::PostToQueue(static_cast<platform::QueueId>(reinterpret_cast<uintptr_t>(context)), message, param);
}

}  // namespace

VideoRect FitVideo(int32_t clientWidth, int32_t clientHeight, uint32_t aspectX, uint32_t aspectY) {
  VideoRect r;
  if (aspectX == 0 || aspectY == 0 || clientWidth <= 0 || clientHeight <= 0) {
    r.width = clientWidth > 0 ? clientWidth : 0;
    r.height = clientHeight > 0 ? clientHeight : 0;
    return r;
  }
  const double ratio = static_cast<double>(aspectX) / static_cast<double>(aspectY);
  const double window = static_cast<double>(clientWidth) / static_cast<double>(clientHeight);
  if (window < ratio) {
    r.width = clientWidth;
    r.height = static_cast<int32_t>(clientWidth / ratio);
    r.y = (clientHeight - r.height) / 2;
  } else {
    r.height = clientHeight;
    r.width = static_cast<int32_t>(clientHeight * ratio);
    r.x = (clientWidth - r.width) / 2;
  }
  return r;
}

bool CDvdMpcCore::AttachWindow() {
  if (!m_host || !m_pIME || !m_pVW) return false;
  {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const uintptr_t queue = m_host->QueueId();
    m_pIME->SetNotifyWindow(PostGraphEvent, reinterpret_cast<void*>(queue), UM_DVD_GRAPH_EVENT, 0);
  }
  LayoutVideo();
  m_pVW->put_MessageDrain(m_host);
  m_attached = 1;
  PublishPosition();
  return true;
}

void CDvdMpcCore::LayoutVideo() {
  if (!m_pVW || !m_pBV) return;
  int32_t style = 0;
  m_pVW->get_WindowStyle(&style);
  m_pVW->put_WindowStyle((style & kStyleKeep) | kStyleChild);
  m_pVW->put_Owner(m_host ? m_host->VideoSink() : nullptr);
  int32_t cw = 0, ch = 0;
  if (m_host) m_host->ClientSize(&cw, &ch);
  m_destination = FitVideo(cw, ch, m_aspectX, m_aspectY);
  m_pBV->SetDefaultSourcePosition();
  m_pBV->SetDestinationPosition(m_destination.x, m_destination.y, m_destination.width, m_destination.height);
  m_pVW->SetWindowPosition(0, 0, cw, ch);
}

bool CDvdMpcCore::KeyUp(int32_t key) {
  if (!m_attached || !m_pDvdControl) return false;
  switch (key) {
    case kKeyEnter:
      ActivateButton();
      return true;
    case kKeyLeft:
      m_pDvdControl->SelectRelativeButton(tarnplayer::DVD_Relative_Left);
      return true;
    case kKeyUp:
      m_pDvdControl->SelectRelativeButton(tarnplayer::DVD_Relative_Upper);
      return true;
    case kKeyRight:
      m_pDvdControl->SelectRelativeButton(tarnplayer::DVD_Relative_Right);
      return true;
    case kKeyDown:
      m_pDvdControl->SelectRelativeButton(tarnplayer::DVD_Relative_Lower);
      return true;
    case kKeyEscape:
      return true;
    default:
      return false;
  }
}

bool CDvdMpcCore::MouseMove(int32_t x, int32_t y) {
  if (!m_attached || !m_pDvdControl) return false;
  m_pDvdControl->SelectAtPosition(x, y);
  return true;
}

bool CDvdMpcCore::LeftButtonUp(int32_t x, int32_t y) {
  if (!m_attached || !m_pDvdControl) return false;
  m_pDvdControl->ActivateAtPosition(x, y);
  return true;
}

bool CDvdMpcCore::RightButtonDown() {
  if (m_attached) m_callback->OnContextMenu();
  return false;  // the default handling follows
}

void CDvdMpcCore::Size() {
  if (!m_attached || !m_pVW || !m_host) return;
  int32_t cw = 0, ch = 0;
  m_host->ClientSize(&cw, &ch);
  m_pVW->SetWindowPosition(0, 0, cw, ch);
}

void CDvdMpcCore::CloseRequest() {
  if (m_attached) m_callback->OnVideoWindowClose();
}

tarnplayer::HRESULT CDvdMpcCore::GetCurrentButton(uint32_t* available, uint32_t* current) {
  *available = 0;
  *current = 0;
  if (!m_pDvdInfo) return tarnplayer::E_UNEXPECTED;
  const tarnplayer::HRESULT hr = m_pDvdInfo->GetCurrentButton(available, current);
  if (!Succeeded(hr)) *available = *current = 0;
  return hr;
}

tarnplayer::HRESULT CDvdMpcCore::ActivateButton() {
  if (!m_pDvdControl || !m_pDvdInfo) return tarnplayer::E_UNEXPECTED;
  // The snapshot's domain may lag behind the navigator (a title jump whose
  // events are still queued): a menu's button commands must never run once
  // the navigator has left the menu, so its own domain decides.
  int32_t domain = 0;
  if (Succeeded(m_pDvdInfo->GetCurrentDomain(&domain)) && !tarnplayer::IsMenuDomain(domain))
    return tarnplayer::VFW_E_DVD_INVALIDDOMAIN;
  return m_pDvdControl->ActivateButton();
}

}  // namespace tarn
