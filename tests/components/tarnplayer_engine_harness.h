// Drives libTarnPlayer.so the way the host does: loads it with dlopen,
// opens a disc, sets a reference clock and collects what reaches the two
// callbacks together with the events, in the order they arrived.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TarnPlayer.h"

namespace tarnplayer::test {

inline std::string DiscPath(const std::string& name) { return std::string(TARN_TEST_DISCS_DIR) + name; }

// A reference clock running at `speed` times real time, with its own advise
// thread (what the host's clocks do, without the host).
class TestClock : public IReferenceClock {
 public:
  explicit TestClock(double speed) : speed_(speed), origin_(std::chrono::steady_clock::now()) {
    thread_ = std::thread([this] { Run(); });
  }
  ~TestClock() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  unsigned long AddRef() override { return ++references_; }
  unsigned long Release() override { return --references_; }
  HRESULT GetTime(int64_t* time) override {
    *time = Now();
    return S_OK;
  }
  HRESULT AdviseTime(int64_t base, int64_t stream, IAdviseEvent* event, uintptr_t* cookie) override {
    std::lock_guard<std::mutex> lock(mutex_);
    *cookie = nextCookie_++;
    if (base + stream <= Now()) {
      event->Set();
      return S_OK;
    }
    pending_[*cookie] = {base + stream, event};
    wake_.notify_all();
    return S_OK;
  }
  HRESULT Unadvise(uintptr_t cookie) override {
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_.erase(cookie) ? S_OK : S_FALSE;
  }
  int64_t Now() const {
    auto elapsed = std::chrono::steady_clock::now() - origin_;
    return 1000000000 + int64_t(double(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()) / 100 * speed_);
  }
  std::atomic<unsigned long> references_{0};

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
      int64_t now = Now();
      for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->second.first <= now) {
          it->second.second->Set();
          it = pending_.erase(it);
        } else {
          ++it;
        }
      }
      wake_.wait_for(lock, std::chrono::milliseconds(1));
    }
  }
  double speed_;
  std::chrono::steady_clock::time_point origin_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::map<uintptr_t, std::pair<int64_t, IAdviseEvent*>> pending_;
  uintptr_t nextCookie_ = 1;
  bool stop_ = false;
  std::thread thread_;
};

// One thing that happened, in arrival order.
struct Happening {
  enum Kind { Picture, Audio, Event } kind;
  int64_t start = 0, stop = 0, streamTime = 0;
  int width = 0, height = 0, samples = 0, channels = 0, rate = 0;
  uint32_t lumaSum = 0;  // tells pictures of different sources apart
  int32_t code = 0;
  intptr_t param1 = 0;
  int64_t clockNow = 0;      // the test clock when the picture arrived
  int loudAt = -1;           // first sample of the block louder than a beep threshold
  bool quiet = true;         // the block has no loud sample
};

class Recorder {
 public:
  static Recorder*& Current() {
    static Recorder* current = nullptr;
    return current;
  }
  std::vector<Happening> Snapshot() {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }
  void Add(const Happening& happening) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      log_.push_back(happening);
    }
    changed_.notify_all();
  }
  // Waits until `done` holds for the log or the time-out passed.
  bool WaitFor(const std::function<bool(const std::vector<Happening>&)>& done, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done(log_); });
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    log_.clear();
  }
  IMediaEventEx* events = nullptr;
  std::atomic<bool> stopped{false};
  std::atomic<int> callsAfterStop{0};
  std::atomic<int> videoResult{1};
  std::atomic<TestClock*> clock{nullptr};
  // Called with every picture's stream time and start, as the host's
  // capture callback drives its clock.
  std::atomic<void (*)(int64_t, int64_t)> pictureHook{nullptr};

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Happening> log_;
};

inline void TakeEvents(Recorder& recorder) {
  int32_t code;
  intptr_t p1, p2;
  while (recorder.events && recorder.events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
    Happening event{Happening::Event};
    event.code = code;
    event.param1 = p1;
    recorder.Add(event);
  }
}

inline int OnVideo(int width, int height, int64_t streamTime, int64_t start, int64_t stop, unsigned char* picture) {
  Recorder& recorder = *Recorder::Current();
  if (recorder.stopped) ++recorder.callsAfterStop;
  TakeEvents(recorder);
  Happening happening{Happening::Picture};
  happening.width = width;
  happening.height = height;
  happening.streamTime = streamTime;
  happening.start = start;
  happening.stop = stop;
  uint32_t sum = 0;
  for (int i = 0; i < width * height; i += 97) sum += picture[i];
  happening.lumaSum = sum;
  if (TestClock* clock = recorder.clock.load()) happening.clockNow = clock->Now();
  if (auto hook = recorder.pictureHook.load()) hook(streamTime, start);
  recorder.Add(happening);
  return recorder.videoResult.load();
}

inline int OnAudio(int channels, int rate, int samples, int64_t start, unsigned char* pcm) {
  Recorder& recorder = *Recorder::Current();
  if (recorder.stopped) ++recorder.callsAfterStop;
  Happening happening{Happening::Audio};
  happening.channels = channels;
  happening.rate = rate;
  happening.samples = samples;
  happening.start = start;
  const auto* values = reinterpret_cast<const int16_t*>(pcm);
  for (int i = 0; i < samples * channels; ++i) {
    if (values[i] > 8000 || values[i] < -8000) {
      happening.loudAt = i / channels;
      happening.quiet = false;
      break;
    }
  }
  recorder.Add(happening);
  return 1;
}

class EngineLibrary {
 public:
  EngineLibrary() {
    handle_ = dlopen(TARN_TEST_PROGRAM_DIR "libTarnPlayer.so", RTLD_NOW | RTLD_LOCAL);
    if (!handle_) return;
    open = reinterpret_cast<TarnOpenMediaFn>(dlsym(handle_, "TarnOpenMedia"));
    close = reinterpret_cast<TarnCloseMediaFn>(dlsym(handle_, "TarnCloseMedia"));
    play = reinterpret_cast<TarnPlayMediaFn>(dlsym(handle_, "TarnPlayMedia"));
    stop = reinterpret_cast<TarnStopMediaFn>(dlsym(handle_, "TarnStopMedia"));
  }
  ~EngineLibrary() {
    if (handle_) dlclose(handle_);
  }
  bool Loaded() const { return handle_ && open && close && play && stop; }
  TarnOpenMediaFn open = nullptr;
  TarnCloseMediaFn close = nullptr;
  TarnPlayMediaFn play = nullptr;
  TarnStopMediaFn stop = nullptr;

 private:
  void* handle_ = nullptr;
};

// One opened graph with its interfaces, in the order TarnOpenMedia gives them.
struct Graph {
  IMediaControl* control = nullptr;
  IMediaEventEx* events = nullptr;
  IVideoWindow* window = nullptr;
  IDvdControl2* dvd = nullptr;
  IDvdInfo2* info = nullptr;
  IUnknownLike* held = nullptr;
  IMediaFilter* filter = nullptr;
  IBasicVideo* basicVideo = nullptr;
  IBasicAudio* basicAudio = nullptr;
  IVMRMixerBitmap9* mixer = nullptr;

  bool Open(EngineLibrary& library, const std::string& path) {
    return library.open(path.c_str(), &control, &events, &window, &dvd, &info, &held, &filter, &basicVideo,
                        &basicAudio, &mixer) != 0;
  }
  void Release() {
    IUnknownLike* all[] = {control, events, window, dvd, info, held, filter, basicVideo, basicAudio, mixer};
    for (IUnknownLike* object : all) {
      if (object) object->Release();
    }
    *this = Graph{};
  }
};

// Start and stop times of the pictures, in arrival order.
inline std::vector<Happening> Pictures(const std::vector<Happening>& log) {
  std::vector<Happening> out;
  for (const Happening& h : log) {
    if (h.kind == Happening::Picture) out.push_back(h);
  }
  return out;
}

inline int64_t AudioLength(const std::vector<Happening>& log) {
  int64_t samples = 0;
  for (const Happening& h : log) {
    if (h.kind == Happening::Audio) samples += h.samples;
  }
  return samples * 10000000 / 48000;
}

// Start times of the pictures brighter than halfway between the darkest and
// the brightest: the white pictures of the avsync disc.
inline std::vector<int64_t> FlashTimes(const std::vector<Happening>& pictures) {
  uint32_t darkest = UINT32_MAX, brightest = 0;
  for (const Happening& p : pictures) {
    darkest = std::min(darkest, p.lumaSum);
    brightest = std::max(brightest, p.lumaSum);
  }
  std::vector<int64_t> flashes;
  for (const Happening& p : pictures) {
    if (p.lumaSum > (darkest + brightest) / 2) flashes.push_back(p.start);
  }
  return flashes;
}

// Times where the sound turns loud after a quiet block: the avsync disc's
// beeps, to the sample.
inline std::vector<int64_t> BeepTimes(const std::vector<Happening>& log) {
  std::vector<int64_t> beeps;
  bool quiet = true;
  for (const Happening& h : log) {
    if (h.kind != Happening::Audio) continue;
    if (quiet && !h.quiet) beeps.push_back(h.start + int64_t(h.loudAt) * 10000000 / 48000);
    quiet = h.quiet;
  }
  return beeps;
}

inline bool HasEvent(const std::vector<Happening>& log, int32_t code, intptr_t param1 = -1) {
  for (const Happening& h : log) {
    if (h.kind == Happening::Event && h.code == code && (param1 < 0 || h.param1 == param1)) return true;
  }
  return false;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.Loaded());
    Recorder::Current() = &recorder_;
  }
  void TearDown() override {
    Close();
    Recorder::Current() = nullptr;
  }
  // Opens the disc, sets the clock (none when speed is 0) and starts playing,
  // at `title` when given (chosen before the graph runs, so no picture of
  // the first-play chain comes first), else from the first-play chain. A
  // test may hand its own video callback in place of the recorder's.
  void Start(const std::string& disc, double speed, uint32_t title = 0, TarnVideoCallback video = OnVideo) {
    ASSERT_TRUE(graph_.Open(library_, DiscPath(disc))) << disc;
    opened_ = true;
    recorder_.events = graph_.events;
    if (speed > 0) {
      clock_ = std::make_unique<TestClock>(speed);
      ASSERT_EQ(graph_.filter->SetSyncSource(clock_.get()), S_OK);
      recorder_.clock = clock_.get();
    }
    ASSERT_EQ(library_.play(video, OnAudio, videoScratch_.data(), audioScratch_.data()), 1);
    if (title > 0) {
      ASSERT_EQ(graph_.dvd->PlayTitle(title, DVD_CMD_FLAG_Block, nullptr), S_OK);
    }
    ASSERT_EQ(graph_.control->Run(), S_OK);
  }
  void Close() {
    if (!opened_) return;
    library_.stop();
    graph_.control->Stop();
    recorder_.events = nullptr;
    graph_.Release();
    library_.close();
    recorder_.clock = nullptr;
    clock_.reset();
    opened_ = false;
  }
  // Waits until a picture at or after `time` (100 ns) arrived.
  bool WaitForPictureAt(int64_t time, int timeoutMs = 15000) {
    return recorder_.WaitFor(
        [&](const std::vector<Happening>& log) {
          for (auto it = log.rbegin(); it != log.rend(); ++it) {
            if (it->kind == Happening::Picture) return it->start >= time;
          }
          return false;
        },
        timeoutMs);
  }
  // Index in the log of the first event `code` (with `param1` unless -1), -1 when none.
  static int FindEvent(const std::vector<Happening>& log, int32_t code, intptr_t param1 = -1) {
    for (size_t i = 0; i < log.size(); ++i) {
      if (log[i].kind == Happening::Event && log[i].code == code && (param1 < 0 || log[i].param1 == param1)) {
        return int(i);
      }
    }
    return -1;
  }
  // Waits for event `code` among what arrived after the first `after` log entries.
  bool WaitForEvent(int32_t code, intptr_t param1 = -1, int timeoutMs = 15000, size_t after = 0) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
      TakeEvents(recorder_);
      auto log = recorder_.Snapshot();
      if (after < log.size() && HasEvent(std::vector<Happening>(log.begin() + long(after), log.end()), code, param1)) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  EngineLibrary library_;
  Recorder recorder_;
  Graph graph_;
  bool opened_ = false;
  std::unique_ptr<TestClock> clock_;
  std::vector<unsigned char> videoScratch_ = std::vector<unsigned char>(1 << 20);
  std::vector<unsigned char> audioScratch_ = std::vector<unsigned char>(1 << 20);
};

}  // namespace tarnplayer::test
