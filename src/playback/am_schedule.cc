#include "playback/am_schedule.h"

namespace tarn {

uintptr_t CAMSchedule::AddAdvisePacket(int64_t time, tarnplayer::IAdviseEvent* event) {
  std::lock_guard<std::mutex> lock(m_lock);
  const uintptr_t cookie = m_nextCookie++;
  if (m_nextCookie == 0) m_nextCookie = 1;
  auto it = m_pending.emplace(time, Packet{cookie, event});
  if (it == m_pending.begin()) m_wakeUp.Set();
  return cookie;
}

bool CAMSchedule::Unadvise(uintptr_t cookie) {
  std::lock_guard<std::mutex> lock(m_lock);
  for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
    if (it->second.cookie == cookie) {
      m_pending.erase(it);
      return true;
    }
  }
  return false;
}

size_t CAMSchedule::GetAdviseCount() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_pending.size();
}

int64_t CAMSchedule::GetNextAdviseTime() const {
  std::lock_guard<std::mutex> lock(m_lock);
  return m_pending.empty() ? kNoAdvise : m_pending.begin()->first;
}

int64_t CAMSchedule::Advise(int64_t now) {
  std::lock_guard<std::mutex> lock(m_lock);
  while (!m_pending.empty() && m_pending.begin()->first <= now) {
    tarnplayer::IAdviseEvent* event = m_pending.begin()->second.event;
    m_pending.erase(m_pending.begin());
    event->Set();
  }
  return m_pending.empty() ? kNoAdvise : m_pending.begin()->first;
}

}  // namespace tarn
