#pragma once
// Fakes of the playback position and conversion flags for the frame
// exchange, timestamp repair and encoder feed tests, and small helpers that
// make pictures and PCM blocks with recognisable contents.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "convert/encoder_feed.h"
#include "convert/frame_exchange.h"
#include "convert/job_range.h"
#include "convert/timestamp_repair.h"

namespace tarn::test {

// One exchange for the whole test executable (its buffers are 122 MiB);
// every test resets it.
inline FrameExchange& SharedExchange() {
  static FrameExchange* exchange = new FrameExchange;
  return *exchange;
}

class FakeCapture : public CaptureEnvironment {
 public:
  std::atomic<bool> recording{true};
  std::atomic<bool> stop{false};
  std::atomic<int> clockMode{2};
  std::atomic<bool> seekPending{false};
  std::atomic<bool> leftTitle{false};
  std::atomic<int32_t> currentSeconds{0};
  std::atomic<int32_t> endSeconds{100000};
  std::atomic<int32_t> display{2};
  std::atomic<int64_t> now{0};
  std::atomic<int> waits{0};
  // Real time each wait step sleeps (the fake clock always moves 10 ms).
  int realWaitMicroseconds = 0;

  bool Recording() override { return recording; }
  bool StopRequested() override { return stop; }
  int ClockMode() override { return clockMode; }
  bool SeekPending() override { return seekPending; }
  bool LeftJobTitle() override { return leftTitle; }
  int32_t CurrentSeconds() override { return currentSeconds; }
  int32_t EndSeconds() override { return endSeconds; }
  int32_t DisplayVideoWhenConvert() override { return display; }
  void ReportToClock(int64_t streamTime, int64_t start) override {
    std::lock_guard<std::mutex> lock(mutex_);
    reports_.emplace_back(streamTime, start);
  }
  void WaitForRoom() override {
    ++waits;
    now += 10;
    if (realWaitMicroseconds > 0) std::this_thread::sleep_for(std::chrono::microseconds(realWaitMicroseconds));
  }
  void PumpMessages() override {}
  int64_t NowMs() override { return now; }

  std::vector<std::pair<int64_t, int64_t>> Reports() {
    std::lock_guard<std::mutex> lock(mutex_);
    return reports_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::pair<int64_t, int64_t>> reports_;
};

class FakeEncoderEnvironment : public EncoderEnvironment {
 public:
  std::atomic<bool> stop{false};
  std::atomic<bool> leftTitle{false};
  std::atomic<int32_t> currentSeconds{0};
  std::atomic<int32_t> endSeconds{100000};
  std::atomic<int> recordModeCalls{0};
  std::atomic<int> nudges{0};
  std::atomic<int64_t> now{0};
  int32_t width = 720, height = 480;
  uint32_t aspectX = 4, aspectY = 3;
  int32_t lengthSeconds = 600;
  // Real time each sleep step takes (the fake clock always moves the full step).
  int realSleepMicroseconds = 0;

  bool StopRequested() override { return stop; }
  void RequestStop() override { stop = true; }
  bool LeftJobTitle() override { return leftTitle; }
  int32_t CurrentSeconds() override { return currentSeconds; }
  int32_t EndSeconds() override { return endSeconds; }
  void EnterRecordMode() override { ++recordModeCalls; }
  void NudgeClock() override { ++nudges; }
  void PumpMessages() override {}
  void Sleep(int milliseconds) override {
    now += milliseconds;
    if (realSleepMicroseconds > 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(realSleepMicroseconds));
    } else {
      std::this_thread::yield();
    }
  }
  int64_t NowMs() override { return now; }
  void VideoSize(int32_t& w, int32_t& h) override {
    w = width;
    h = height;
  }
  void DisplayAspect(uint32_t& x, uint32_t& y) override {
    x = aspectX;
    y = aspectY;
  }
  int32_t LengthSeconds() override { return lengthSeconds; }
};

// A small 4:2:0 picture whose bytes all hold `marker`.
inline constexpr int kPictureWidth = 16;
inline constexpr int kPictureHeight = 16;
inline constexpr int kPictureBytes = kPictureWidth * kPictureHeight * 3 / 2;

inline std::vector<unsigned char> Picture(unsigned char marker) {
  return std::vector<unsigned char>(kPictureBytes, marker);
}

// Stereo 16-bit PCM whose sample frame i carries the number firstIndex + i
// (low 15 bits left, the rest right), so every byte tells where it came from.
inline std::vector<unsigned char> NumberedPcm(int64_t firstIndex, int64_t frames) {
  std::vector<unsigned char> bytes(static_cast<size_t>(frames) * 4);
  for (int64_t i = 0; i < frames; ++i) {
    const int64_t n = firstIndex + i;
    const int16_t left = static_cast<int16_t>(n & 0x7FFF);
    const int16_t right = static_cast<int16_t>((n >> 15) & 0x7FFF);
    std::memcpy(&bytes[static_cast<size_t>(i) * 4], &left, 2);
    std::memcpy(&bytes[static_cast<size_t>(i) * 4 + 2], &right, 2);
  }
  return bytes;
}

// The number NumberedPcm put into sample frame `frame` of `bytes`.
inline int64_t PcmNumber(const unsigned char* bytes, int64_t frame) {
  int16_t left, right;
  std::memcpy(&left, bytes + frame * 4, 2);
  std::memcpy(&right, bytes + frame * 4 + 2, 2);
  return static_cast<int64_t>(left) | (static_cast<int64_t>(right) << 15);
}

// Frame times of 29.97 fps video (100 ns).
inline constexpr int64_t kNtscFrame = 333667;
// One 1536-sample block at 48 kHz (100 ns).
inline constexpr int64_t kAc3Block = 320000;

}  // namespace tarn::test
