#include "playback/reference_clock.h"

#include <algorithm>

namespace tarn {

using tarnplayer::E_INVALIDARG;
using tarnplayer::E_POINTER;
using tarnplayer::HRESULT;
using tarnplayer::S_FALSE;
using tarnplayer::S_OK;

namespace {
// The advise thread converts the time left at the real-time rate, but the
// derived clock may run faster or jump, so it never sleeps longer than this
// before it reads the clock again.
constexpr int64_t kLongestWaitMs = 10;
constexpr int64_t kUnitsPerMs = 10000;
}  // namespace

CBaseReferenceClock::CBaseReferenceClock(CAMSchedule* schedule)
    : m_ownSchedule(schedule ? nullptr : std::make_unique<CAMSchedule>()),
      m_schedule(schedule ? schedule : m_ownSchedule.get()) {}

CBaseReferenceClock::~CBaseReferenceClock() { StopAdviseThread(); }

unsigned long CBaseReferenceClock::AddRef() { return ++m_refCount; }

unsigned long CBaseReferenceClock::Release() {
  const unsigned long left = --m_refCount;
  if (left == 0) delete this;
  return left;
}

HRESULT CBaseReferenceClock::GetTime(int64_t* time) {
  if (!time) return E_POINTER;
  *time = GetPrivateTime();
  return S_OK;
}

HRESULT CBaseReferenceClock::AdviseTime(int64_t baseTime, int64_t streamTime,
                                        tarnplayer::IAdviseEvent* event, uintptr_t* cookie) {
  if (!event || !cookie) return E_POINTER;
  *cookie = 0;
  int64_t due = 0;
  if (__builtin_add_overflow(baseTime, streamTime, &due)) return E_INVALIDARG;
  if (m_ownSchedule) StartAdviseThread();
  *cookie = m_schedule->AddAdvisePacket(due, event);
  int64_t now = GetPrivateTime();
  if (due <= now) m_schedule->Advise(now);
  return S_OK;
}

HRESULT CBaseReferenceClock::Unadvise(uintptr_t cookie) {
  return m_schedule->Unadvise(cookie) ? S_OK : S_FALSE;
}

void CBaseReferenceClock::StartAdviseThread() {
  std::lock_guard<std::mutex> lock(m_threadLock);
  if (m_adviseThread.joinable() || m_stopping) return;
  m_adviseThread = std::thread([this] { AdviseThread(); });
}

void CBaseReferenceClock::StopAdviseThread() {
  std::lock_guard<std::mutex> lock(m_threadLock);
  m_stopping = true;
  if (!m_adviseThread.joinable()) return;
  m_schedule->GetEvent().Set();
  m_adviseThread.join();
}

void CBaseReferenceClock::AdviseThread() {
  while (!m_stopping) {
    int waitMs = -1;  // nothing pending: sleep until an advise arrives
    if (m_schedule->GetAdviseCount() > 0) {
      const int64_t now = GetPrivateTime();
      const int64_t next = m_schedule->Advise(now);
      if (next != CAMSchedule::kNoAdvise) {
        // next > now here: everything up to now has fired.
        const uint64_t left = static_cast<uint64_t>(next) - static_cast<uint64_t>(now);
        const uint64_t leftMs = left / kUnitsPerMs;
        waitMs = static_cast<int>(std::clamp<uint64_t>(leftMs, 1, kLongestWaitMs));
      }
    }
    m_schedule->GetEvent().Wait(waitMs);
  }
}

}  // namespace tarn
