#pragma once
// The frame exchange between the capture engine's threads and the encoder:
// a ring of 60 picture slots and a 60 MiB byte ring of 16-bit PCM, each with
// its own lock (never held together), the timing state of the timestamp
// repair and of the encoder start, and the back-pressure step that slows the
// capture side when the encoder falls behind.
//
// One writer per ring (the engine's video and audio threads) and one reader
// (the conversion thread). A slot or byte range is written completely before
// the count or offset that publishes it moves, and read completely before the
// count that frees it moves, so the copies run outside the locks.
//
// Neither ring ever overwrites what the reader has not taken: PutVideo and
// PutAudio refuse to store (false) while there is no room, and the callers
// wait for room (capture_callbacks.h).
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace tarn {

inline constexpr int32_t kVideoSlotCount = 60;
inline constexpr int64_t kScratchBytes = 1048576;
inline constexpr int64_t kSlotBytes = 1048576;
inline constexpr int64_t kPicturePoolBytes = kVideoSlotCount * kSlotBytes;
inline constexpr int64_t kAudioRingBytes = 62914560;
inline constexpr int64_t kAudioUnitBytes = 8000;
// Added to every repaired picture time when it is stored (0.4 s).
inline constexpr int64_t kStoredVideoPtsOffset = 4000000;
inline constexpr int32_t kMaxSavedAudioJumps = 9;

struct VideoSlot {
  int32_t width = 0;
  int32_t height = 0;
  int64_t pts = 0;          // repaired time + kStoredVideoPtsOffset, 100 ns
  int32_t duration = 0;     // the engine's stop - start (low 32 bits)
  unsigned char* pixels = nullptr;  // this slot's 1 MiB of the picture pool
  int32_t size = 0;         // width * height * 3 / 2
};

// An audio discontinuity: the block time where it was seen and how far that
// block starts from where the previous block ended.
struct AudioJump {
  int64_t jumpPts = 0;
  int64_t gap = 0;
};

class FrameExchange {
 public:
  using Sleeper = std::function<void(int milliseconds)>;

  FrameExchange();
  ~FrameExchange();
  FrameExchange(const FrameExchange&) = delete;
  FrameExchange& operator=(const FrameExchange&) = delete;

  // Allocates the buffers on first use (32-byte aligned), clears all four,
  // rebinds the slots and sets every ring and timing value to its start.
  // The process-wide ResetExchange() also resets the conversion flags.
  void Reset();

  unsigned char* VideoScratch() { return videoScratch_; }
  unsigned char* AudioScratch() { return audioScratch_; }

  // Stores one planar 4:2:0 picture in the slot after the last written one.
  // False when all 60 slots are filled or the picture does not fit a slot
  // (nothing is stored then).
  bool PutVideo(int32_t width, int32_t height, const unsigned char* pixels, int64_t repairedPts,
                int32_t duration);
  // Appends `byteCount` bytes of PCM; the first block after a reset records
  // `blockPts` as firstAudioPts. False when the unread audio leaves no room
  // for the whole block (nothing is stored then).
  bool PutAudio(const unsigned char* bytes, int64_t byteCount, int64_t blockPts);
  // Copies the slot at readIndex out (its `size` bytes) and frees it; `slot`
  // receives the slot's fields. False when no picture is waiting.
  bool TakeVideo(unsigned char* destination, VideoSlot* slot = nullptr);
  // Copies sampleFrames * 4 bytes (16-bit stereo) out. False, and nothing
  // moves, while fewer bytes are buffered.
  bool TakeAudio(unsigned char* destination, int64_t sampleFrames);
  // The back-pressure step after each stored picture: sleeps the calling
  // engine thread by the backlog; returns the milliseconds it slept.
  int Throttle();
  // Where Throttle sleeps (SleepWhileBacklogged unless a test records the
  // sleeps; null restores it).
  void SetSleeper(Sleeper sleeper);
  // The throttle's own sleep: up to `milliseconds`, but it ends as soon as
  // the encoder has taken the backlog below the throttle's lowest band, so
  // the engine never idles while the encoder waits for its next picture.
  void SleepWhileBacklogged(int milliseconds);
  // Moves whenever a picture or audio is stored, taken or dropped.
  uint64_t Changes() const { return changes_.load(); }
  // Waits until Changes() differs from `seen`, at most `milliseconds`; true
  // when it moved. Lets a reader or writer sleep until the other side acts
  // instead of polling in fixed steps.
  bool WaitForChange(uint64_t seen, int milliseconds);

  // --- ring state ---
  int32_t VideoCount() const { return count_.load(std::memory_order_acquire); }
  int32_t ReadIndex() const { return readIndex_.load(std::memory_order_acquire); }
  int32_t LastWrittenIndex() const { return lastWrittenIndex_.load(std::memory_order_acquire); }
  const VideoSlot& Slot(int32_t index) const { return slots_[index]; }
  // Drops the oldest waiting picture (count - 1, readIndex + 1); false when none.
  bool DropOldestVideo();
  // How many pictures the reader has freed since the process started; the
  // video callback watches it while it waits for room.
  uint64_t PicturesFreed() const { return freed_.load(std::memory_order_acquire); }
  // Pictures lying from readIndex to lastWrittenIndex, counted around the ring.
  int32_t SlotsBetweenReadAndLastWritten() const;

  int64_t WriteOffset() const { return writeOffset_.load(std::memory_order_acquire); }
  int64_t ReadOffset() const { return readOffset_.load(std::memory_order_acquire); }
  int64_t BytesBuffered() const { return bytesBuffered_.load(std::memory_order_acquire); }
  int32_t UnitsAvailable() const { return unitsAvailable_.load(std::memory_order_acquire); }
  int32_t UnitSize() const { return unitSize_; }
  // Moves the read position forward by `bytes` rounded up to a multiple of
  // 4, never past what is buffered; returns the bytes skipped.
  int64_t SkipAudio(int64_t bytes);
  // The reader found too little audio: unitsAvailable = 0 until the next block.
  void ClearUnitsAvailable();

  // --- saved audio jumps (under the video lock) ---
  int32_t JumpCount() const;
  // Appends a jump unless kMaxSavedAudioJumps are saved; returns the count after.
  int32_t SaveJump(const AudioJump& jump);
  bool OldestJump(AudioJump& jump) const;
  bool NewestJump(AudioJump& jump) const;
  void RemoveOldestJump();
  // Removes every saved jump and returns the sum of their gaps.
  int64_t RemoveAllJumps();

  // --- timing state (100 ns); each value written by one thread ---
  std::atomic<int64_t> lastVideoPts{0};
  std::atomic<int64_t> lastVideoDuration{0};
  std::atomic<int64_t> videoCalPts{0};
  std::atomic<int64_t> calVAInterval{0};
  std::atomic<int64_t> firstVideoPts{-1};
  std::atomic<int64_t> beginPts{0};
  std::atomic<int64_t> firstAudioPts{-1};
  std::atomic<int64_t> lastAudioPts{0};
  std::atomic<int64_t> audioCalPts{0};
  std::atomic<int64_t> lastBlockDuration{0};
  // 1 once a picture / an audio block has been taken into account since the
  // reset (a time of 0 is a real time: the title's first picture).
  std::atomic<int32_t> videoSeen{0};
  std::atomic<int32_t> audioSeen{0};
  // The throttle's state, touched only by the video thread.
  int32_t lastLevel = 0;
  int32_t extraDelay = 5;

 private:
  void PublishAudioCountsLocked();
  void SignalChange();
  // What the throttle measures: the smaller of the waiting pictures and the
  // buffered audio units.
  int64_t Backlog() const;

  unsigned char* videoScratch_ = nullptr;
  unsigned char* audioScratch_ = nullptr;
  unsigned char* picturePool_ = nullptr;
  unsigned char* audioRing_ = nullptr;

  mutable std::mutex videoLock_;
  VideoSlot slots_[kVideoSlotCount];
  std::atomic<int32_t> count_{0};
  std::atomic<int32_t> readIndex_{0};
  std::atomic<int32_t> lastWrittenIndex_{kVideoSlotCount - 1};
  std::vector<AudioJump> jumps_;
  std::atomic<uint64_t> freed_{0};

  mutable std::mutex audioLock_;
  std::atomic<int64_t> writeOffset_{0};
  std::atomic<int64_t> readOffset_{0};
  std::atomic<int64_t> bytesBuffered_{0};
  std::atomic<int32_t> unitsAvailable_{0};
  int32_t unitSize_ = static_cast<int32_t>(kAudioUnitBytes);
  bool firstAudioBlock_ = true;

  Sleeper sleeper_;
  std::atomic<uint64_t> changes_{0};
  std::atomic<int32_t> changeWaiters_{0};
  std::mutex changeLock_;
  std::condition_variable changed_;
};

// The process-wide exchange (its buffers are kept until the process ends).
FrameExchange& Exchange();

// Resets the process-wide exchange, sets the rip progress record's last
// status position to 0 and the conversion state's stop request to 1; the job
// starter clears the stop request right after. Also opens the job range
// (job_range.h): a job starter sets its range after the reset.
void ResetExchange();
// The 1 MiB scratch buffers handed to the engine (allocated on first use).
unsigned char* VideoScratch();
unsigned char* AudioScratch();

// The sleep of the throttle for a backlog of `t` pictures with the previous
// level `lastLevel` and the extra delay `extraDelay` (updated in place);
// returns the milliseconds to sleep. `lastLevel` becomes the new level.
int ThrottleStep(int64_t t, int32_t& lastLevel, int32_t& extraDelay);

}  // namespace tarn
