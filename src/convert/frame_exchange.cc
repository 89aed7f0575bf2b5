#include "convert/frame_exchange.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/log.h"
#include "convert/job_range.h"
#include "convert/rip_job.h"

namespace tarn {
namespace {

unsigned char* AllocateAligned(int64_t bytes) {
  return static_cast<unsigned char*>(std::aligned_alloc(32, static_cast<size_t>(bytes)));
}

// Backlogs up to this many pictures (and audio units) never sleep the engine.
constexpr int64_t kUnthrottledBacklog = 3;

// E moves down by `step`, never below 0.
void Lower(int32_t& extraDelay, int32_t step) { extraDelay = std::max(0, extraDelay - step); }

}  // namespace

int ThrottleStep(int64_t t, int32_t& lastLevel, int32_t& extraDelay) {
  const int32_t L = lastLevel;
  int32_t& E = extraDelay;
  int sleep = 0;
  if (t <= 3) {
    lastLevel = 5;
    return 0;
  }
  if (t <= 5) {
    if (L == 0) {
      sleep = 5;
    } else {
      if (L == 5) Lower(E, 5);
      sleep = E + 5;
    }
    lastLevel = 5;
    return sleep;
  }
  // The bands from 6 on: the sleep when no level was reached yet, the level,
  // how a repeated or higher level moves E, and the base added to E.
  struct Band {
    int64_t upTo;
    int firstSleep;
    int32_t level;
    bool raiseWhenAtMost;  // raise when L <= level (else when L < level)
    int32_t raise;
    int32_t lower;
    int base;
  };
  static constexpr Band kBands[] = {
      {10, 15, 10, false, 5, 5, 10},   {15, 20, 15, false, 5, 5, 15},
      {20, 25, 20, false, 5, 5, 20},   {25, 35, 25, true, 10, 10, 25},
      {30, 45, 30, true, 20, 20, 30},  {35, 55, 35, true, 40, 30, 35},
      {40, 70, 40, true, 50, 30, 70},
  };
  for (const Band& band : kBands) {
    if (t > band.upTo) continue;
    if (L == 0) {
      sleep = band.firstSleep;
    } else {
      bool raise = band.raiseWhenAtMost ? L <= band.level : L < band.level;
      if (raise) {
        E += band.raise;
      } else {
        Lower(E, band.lower);
      }
      sleep = E + band.base;
    }
    lastLevel = band.level;
    return sleep;
  }
  // Above 40: E grows by 100 on every frame until the backlog falls.
  if (L == 0) {
    sleep = 100;
  } else {
    if (L <= 50) E += 100;
    sleep = E + 100;
  }
  lastLevel = 50;
  return sleep;
}

FrameExchange::FrameExchange() : sleeper_([this](int milliseconds) { SleepWhileBacklogged(milliseconds); }) {}

FrameExchange::~FrameExchange() {
  std::free(videoScratch_);
  std::free(audioScratch_);
  std::free(picturePool_);
  std::free(audioRing_);
}

void FrameExchange::Reset() {
  if (!videoScratch_) videoScratch_ = AllocateAligned(kScratchBytes);
  if (!audioScratch_) audioScratch_ = AllocateAligned(kScratchBytes);
  if (!picturePool_) picturePool_ = AllocateAligned(kPicturePoolBytes);
  if (!audioRing_) audioRing_ = AllocateAligned(kAudioRingBytes);
  std::memset(videoScratch_, 0, kScratchBytes);
  std::memset(audioScratch_, 0, kScratchBytes);
  std::memset(picturePool_, 0, kPicturePoolBytes);
  std::memset(audioRing_, 0, kAudioRingBytes);
  {
    std::lock_guard<std::mutex> lock(videoLock_);
    for (int32_t i = 0; i < kVideoSlotCount; ++i) {
      slots_[i] = VideoSlot{};
      slots_[i].pixels = picturePool_ + i * kSlotBytes;
    }
    count_.store(0, std::memory_order_release);
    readIndex_.store(0, std::memory_order_release);
    lastWrittenIndex_.store(kVideoSlotCount - 1, std::memory_order_release);
    jumps_.clear();
  }
  {
    std::lock_guard<std::mutex> lock(audioLock_);
    writeOffset_.store(0, std::memory_order_release);
    readOffset_.store(0, std::memory_order_release);
    bytesBuffered_.store(0, std::memory_order_release);
    unitsAvailable_.store(0, std::memory_order_release);
    unitSize_ = static_cast<int32_t>(kAudioUnitBytes);
    firstAudioBlock_ = true;
  }
  lastVideoPts = 0;
  lastVideoDuration = 0;
  videoCalPts = 0;
  calVAInterval = 0;
  beginPts = 0;
  lastAudioPts = 0;
  audioCalPts = 0;
  lastBlockDuration = 0;
  firstVideoPts = -1;
  firstAudioPts = -1;
  videoSeen = 0;
  audioSeen = 0;
  lastLevel = 0;
  extraDelay = 5;
}

bool FrameExchange::PutVideo(int32_t width, int32_t height, const unsigned char* pixels,
                             int64_t repairedPts, int32_t duration) {
  if (!picturePool_ || width <= 0 || height <= 0) return false;
  const int64_t size = static_cast<int64_t>(width) * height * 3 / 2;
  if (size > kSlotBytes) {
    Log(kLogError, "Video frame %dx%d does not fit a picture slot\n", width, height);
    return false;
  }
  if (VideoCount() >= kVideoSlotCount) return false;
  const int32_t slotIndex = (LastWrittenIndex() + 1) % kVideoSlotCount;
  VideoSlot& slot = slots_[slotIndex];
  std::memcpy(slot.pixels, pixels, static_cast<size_t>(size));
  slot.size = static_cast<int32_t>(size);
  slot.height = height;
  slot.width = width;
  slot.pts = repairedPts + kStoredVideoPtsOffset;
  slot.duration = duration;
  {
    std::lock_guard<std::mutex> lock(videoLock_);
    count_.store(count_.load() + 1, std::memory_order_release);
    lastWrittenIndex_.store(slotIndex, std::memory_order_release);
  }
  SignalChange();
  return true;
}

bool FrameExchange::TakeVideo(unsigned char* destination, VideoSlot* taken) {
  if (VideoCount() <= 0) return false;
  const VideoSlot& slot = slots_[ReadIndex()];
  if (destination) std::memcpy(destination, slot.pixels, static_cast<size_t>(slot.size));
  if (taken) *taken = slot;
  return DropOldestVideo();
}

bool FrameExchange::DropOldestVideo() {
  {
    std::lock_guard<std::mutex> lock(videoLock_);
    const int32_t count = count_.load();
    if (count <= 0) return false;
    readIndex_.store((readIndex_.load() + 1) % kVideoSlotCount, std::memory_order_release);
    count_.store(count - 1, std::memory_order_release);
    freed_.fetch_add(1, std::memory_order_release);
  }
  SignalChange();
  return true;
}

int32_t FrameExchange::SlotsBetweenReadAndLastWritten() const {
  return ((LastWrittenIndex() - ReadIndex()) % kVideoSlotCount + kVideoSlotCount) % kVideoSlotCount;
}

void FrameExchange::PublishAudioCountsLocked() {
  unitsAvailable_.store(static_cast<int32_t>(bytesBuffered_.load() / unitSize_), std::memory_order_release);
}

bool FrameExchange::PutAudio(const unsigned char* bytes, int64_t byteCount, int64_t blockPts) {
  if (!audioRing_ || byteCount <= 0) return false;
  int64_t at;
  {
    std::lock_guard<std::mutex> lock(audioLock_);
    // Only the space the reader has already taken may be written.
    if (kAudioRingBytes - bytesBuffered_.load() < byteCount) return false;
    at = writeOffset_.load();
  }
  if (at >= kAudioRingBytes) at = 0;  // a block that ended at the ring's end
  int64_t end;
  if (at + byteCount <= kAudioRingBytes) {
    std::memcpy(audioRing_ + at, bytes, static_cast<size_t>(byteCount));
    end = at + byteCount;
  } else {
    const int64_t first = kAudioRingBytes - at;
    std::memcpy(audioRing_ + at, bytes, static_cast<size_t>(first));
    std::memcpy(audioRing_, bytes + first, static_cast<size_t>(byteCount - first));
    end = byteCount - first;
  }
  {
    std::lock_guard<std::mutex> lock(audioLock_);
    writeOffset_.store(end, std::memory_order_release);
    if (firstAudioBlock_) {
      firstAudioBlock_ = false;
      firstAudioPts = blockPts;
    }
    bytesBuffered_.store(bytesBuffered_.load() + byteCount, std::memory_order_release);
    PublishAudioCountsLocked();
  }
  SignalChange();
  return true;
}

bool FrameExchange::TakeAudio(unsigned char* destination, int64_t sampleFrames) {
  const int64_t b = sampleFrames * 4;
  if (!audioRing_ || b <= 0) return false;
  // Only bytes the writer has published are handed out.
  if (BytesBuffered() < b) return false;
  int64_t from = ReadOffset();
  if (from >= kAudioRingBytes) from -= kAudioRingBytes;
  int64_t next;
  if (from + b > kAudioRingBytes) {
    const int64_t first = kAudioRingBytes - from;
    std::memcpy(destination, audioRing_ + from, static_cast<size_t>(first));
    std::memcpy(destination + first, audioRing_, static_cast<size_t>(b - first));
    next = b - first;
  } else {
    std::memcpy(destination, audioRing_ + from, static_cast<size_t>(b));
    next = from + b;
  }
  std::unique_lock<std::mutex> lock(audioLock_);
  readOffset_.store(next, std::memory_order_release);
  const int64_t left = bytesBuffered_.load() - b;
  bytesBuffered_.store(left, std::memory_order_release);
  PublishAudioCountsLocked();
  lock.unlock();
  SignalChange();
  // Cannot happen while only written bytes are handed out; kept as a guard.
  if (left < 0) Log(kLogInfo, "get audio frame detect arp> asp\n");
  return true;
}

int64_t FrameExchange::SkipAudio(int64_t bytes) {
  if (bytes <= 0) return 0;
  bytes = (bytes + 3) / 4 * 4;
  std::lock_guard<std::mutex> lock(audioLock_);
  const int64_t buffered = bytesBuffered_.load();
  if (bytes > buffered) bytes = buffered / 4 * 4;
  int64_t next = readOffset_.load() + bytes;
  if (next > kAudioRingBytes) next -= kAudioRingBytes;
  readOffset_.store(next, std::memory_order_release);
  bytesBuffered_.store(buffered - bytes, std::memory_order_release);
  PublishAudioCountsLocked();
  return bytes;
}

void FrameExchange::ClearUnitsAvailable() {
  std::lock_guard<std::mutex> lock(audioLock_);
  unitsAvailable_.store(0, std::memory_order_release);
}

int64_t FrameExchange::Backlog() const { return std::min<int64_t>(VideoCount(), BytesBuffered() / kAudioUnitBytes); }

int FrameExchange::Throttle() {
  if (beginPts.load() == 0) return 0;
  const int sleep = ThrottleStep(Backlog(), lastLevel, extraDelay);
  if (sleep > 0 && sleeper_) sleeper_(sleep);
  return sleep;
}

void FrameExchange::SetSleeper(Sleeper sleeper) {
  if (sleeper) {
    sleeper_ = std::move(sleeper);
  } else {
    sleeper_ = [this](int milliseconds) { SleepWhileBacklogged(milliseconds); };
  }
}

void FrameExchange::SleepWhileBacklogged(int milliseconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (true) {
    const uint64_t seen = Changes();
    if (Backlog() <= kUnthrottledBacklog) return;
    // Rounded up, so the sleep never ends short of its time.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
    if (left <= 0) return;
    WaitForChange(seen, static_cast<int>(left));
  }
}

void FrameExchange::SignalChange() {
  changes_.fetch_add(1);
  // Only a waiter needs the lock and the wake-up; the counter tells the rest.
  if (changeWaiters_.load() == 0) return;
  std::lock_guard<std::mutex> lock(changeLock_);
  changed_.notify_all();
}

bool FrameExchange::WaitForChange(uint64_t seen, int milliseconds) {
  if (milliseconds <= 0) return Changes() != seen;
  changeWaiters_.fetch_add(1);
  std::unique_lock<std::mutex> lock(changeLock_);
  const bool moved = changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return Changes() != seen; });
  lock.unlock();
  changeWaiters_.fetch_sub(1);
  return moved;
}

int32_t FrameExchange::JumpCount() const {
  std::lock_guard<std::mutex> lock(videoLock_);
  return static_cast<int32_t>(jumps_.size());
}

int32_t FrameExchange::SaveJump(const AudioJump& jump) {
  std::lock_guard<std::mutex> lock(videoLock_);
  if (jumps_.size() < static_cast<size_t>(kMaxSavedAudioJumps)) jumps_.push_back(jump);
  return static_cast<int32_t>(jumps_.size());
}

bool FrameExchange::OldestJump(AudioJump& jump) const {
  std::lock_guard<std::mutex> lock(videoLock_);
  if (jumps_.empty()) return false;
  jump = jumps_.front();
  return true;
}

bool FrameExchange::NewestJump(AudioJump& jump) const {
  std::lock_guard<std::mutex> lock(videoLock_);
  if (jumps_.empty()) return false;
  jump = jumps_.back();
  return true;
}

void FrameExchange::RemoveOldestJump() {
  std::lock_guard<std::mutex> lock(videoLock_);
  if (!jumps_.empty()) jumps_.erase(jumps_.begin());
}

int64_t FrameExchange::RemoveAllJumps() {
  std::lock_guard<std::mutex> lock(videoLock_);
  int64_t sum = 0;
  for (const AudioJump& j : jumps_) sum += j.gap;
  jumps_.clear();
  return sum;
}

FrameExchange& Exchange() {
  static FrameExchange* exchange = new FrameExchange;  // kept until the process ends
  return *exchange;
}

void ResetExchange() {
  Exchange().Reset();
  Progress().lastStatusPosition = 0;
  SetOpenJobRange();
  Conversion().stopRequest = 1;
}

unsigned char* VideoScratch() {
  FrameExchange& e = Exchange();
  if (!e.VideoScratch()) e.Reset();
  return e.VideoScratch();
}

unsigned char* AudioScratch() {
  FrameExchange& e = Exchange();
  if (!e.AudioScratch()) e.Reset();
  return e.AudioScratch();
}

}  // namespace tarn
