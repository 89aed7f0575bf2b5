// Graph lifecycle, the host callbacks, the reference clock with the stream
// time anchors, and the output settings.
#include "engine.h"

#include <dvdnav/dvdnav.h>
#include <sys/stat.h>

#include <cstdarg>
#include <cstring>

namespace tarnplayer {
namespace {

// libdvdnav and libdvdread report every detail on stderr; the engine reports
// what matters through its events instead.
void QuietLog(void*, dvdnav_logger_level_t, const char*, va_list) {}
const dvdnav_logger_cb kQuietLogger = {QuietLog};

}  // namespace

Engine::Engine() = default;

Engine::~Engine() { Close(); }

bool Engine::Open(const std::string& path) {
  if (path.empty()) return false;
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  // libdvdread keeps a little memory for a path that does not exist.
  struct stat info {};
  if (stat(trimmed.c_str(), &info) != 0) return false;
  dvdnav_t* nav = nullptr;
  if (dvdnav_open2(&nav, nullptr, &kQuietLogger, trimmed.c_str()) != DVDNAV_STATUS_OK || !nav) {
    return false;
  }
  int32_t titles = 0;
  if (dvdnav_get_number_of_titles(nav, &titles) != DVDNAV_STATUS_OK || titles < 1) {
    dvdnav_close(nav);
    return false;
  }
  // libdvdnav's read-ahead cache is lost by dvdnav_close after a failed read
  // (a damaged disc), and reading without it is as fast here.
  dvdnav_set_readahead_flag(nav, 0);
  dvdnav_set_PGC_positioning_flag(nav, 1);  // time search over the whole title
  nav_ = nav;
  path_ = trimmed;
  audioOpen_ = audioOutput_.Open();
  threads_.emplace_back(&Engine::NavLoop, this);
  threads_.emplace_back(&Engine::VideoLoop, this);
  threads_.emplace_back(&Engine::AudioLoop, this);
  threads_.emplace_back(&Engine::VideoPresentLoop, this);
  threads_.emplace_back(&Engine::AudioPresentLoop, this);
  return true;
}

void Engine::Close() {
  StopCallbacks();
  quit_ = true;
  WakeNav();
  videoIn_.Wake();
  audioIn_.Wake();
  videoOut_.Wake();
  audioOut_.Wake();
  videoWaiter_.Interrupt();
  audioWaiter_.Interrupt();
  stillWaiter_.Interrupt();
  {
    std::lock_guard<std::mutex> lock(clockMutex_);
    holdChanged_.notify_all();
  }
  {
    std::lock_guard<std::mutex> lock(callbackMutex_);
    callbackChanged_.notify_all();
  }
  for (auto& thread : threads_) thread.join();
  threads_.clear();
  if (audioOpen_) audioOutput_.Close();
  audioOpen_ = false;
  {
    std::lock_guard<std::mutex> lock(navMutex_);
    if (nav_) dvdnav_close(nav_);
    nav_ = nullptr;
  }
  std::lock_guard<std::mutex> lock(clockMutex_);
  if (clock_) clock_->Release();
  clock_ = nullptr;
}

// --- callbacks

void Engine::StartCallbacks(TarnVideoCallback video, TarnAudioCallback audio,
                            unsigned char* videoScratch, unsigned char* audioScratch) {
  std::lock_guard<std::mutex> lock(callbackMutex_);
  videoCallback_ = video;
  audioCallback_ = audio;
  videoScratch_ = videoScratch;
  audioScratch_ = audioScratch;
  callbackChanged_.notify_all();
}

void Engine::StopCallbacks() {
  std::unique_lock<std::mutex> lock(callbackMutex_);
  videoCallback_ = nullptr;
  audioCallback_ = nullptr;
  videoScratch_ = nullptr;
  audioScratch_ = nullptr;
  callbackChanged_.wait(lock, [this] { return activeCallbacks_ == 0; });
}

bool Engine::WaitForCallbacks(uint64_t generation, Callbacks* callbacks) {
  std::unique_lock<std::mutex> lock(callbackMutex_);
  while (!videoCallback_ || !audioCallback_ || !videoScratch_ || !audioScratch_) {
    if (Stale(generation)) return false;
    callbackChanged_.wait_for(lock, std::chrono::milliseconds(20));
  }
  if (Stale(generation)) return false;
  callbacks->video = videoCallback_;
  callbacks->audio = audioCallback_;
  callbacks->videoScratch = videoScratch_;
  callbacks->audioScratch = audioScratch_;
  ++activeCallbacks_;
  return true;
}

void Engine::EndCallback() {
  std::lock_guard<std::mutex> lock(callbackMutex_);
  --activeCallbacks_;
  callbackChanged_.notify_all();
}

// --- media control

HRESULT Engine::Run() {
  state_ = State_Running;
  UpdateHold();
  WakeNav();
  return S_OK;
}

HRESULT Engine::PauseGraph() {
  state_ = State_Paused;
  UpdateHold();
  WakeNav();
  return S_OK;
}

HRESULT Engine::StopGraph() {
  state_ = State_Stopped;
  UpdateHold();
  std::lock_guard<std::mutex> lock(navMutex_);
  if (resetOnStop_ && nav_) {
    dvdnav_reset(nav_);
    navStarted_ = false;
    stopDomain_ = false;
    lastDomain_ = lastTitle_ = lastChapter_ = 0;
    lastAudio_ = lastSpu_ = lastButtons_ = -1;
    lastUops_ = 0xFFFFFFFFu;
  }
  FlushLocked(0);
  return S_OK;
}

// --- clock

HRESULT Engine::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard<std::mutex> lock(clockMutex_);
  if (clock) clock->AddRef();
  if (clock_) clock_->Release();
  clock_ = clock;
  ++clockChanges_;
  anchors_.clear();
  heldSince_ = ClockNowLocked();
  return S_OK;
}

HRESULT Engine::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard<std::mutex> lock(clockMutex_);
  *clock = clock_;
  if (clock_) clock_->AddRef();
  return S_OK;
}

IReferenceClock* Engine::AcquireClock() {
  std::lock_guard<std::mutex> lock(clockMutex_);
  if (clock_) clock_->AddRef();
  return clock_;
}

int64_t Engine::ClockNowLocked() {
  int64_t now = 0;
  if (clock_) clock_->GetTime(&now);
  return now;
}

// The stream time of a timeline: fixed by the first picture or block of
// the timeline, so that it is due the moment it is handed over.
int64_t Engine::StreamTimeFor(uint32_t epoch, int64_t start) {
  std::lock_guard<std::mutex> lock(clockMutex_);
  auto found = anchors_.find(epoch);
  if (found != anchors_.end()) return found->second;
  int64_t streamTime = clock_ ? ClockNowLocked() - start : 0;
  anchors_[epoch] = streamTime;
  while (anchors_.size() > 8) anchors_.erase(anchors_.begin());
  return streamTime;
}

bool Engine::Holding() const { return state_.load() != State_Running || navPaused_.load(); }

// A hold (pause) moves every timeline's due times on by its length, so
// presentation continues where it stopped.
void Engine::UpdateHold() {
  std::lock_guard<std::mutex> lock(clockMutex_);
  bool hold = Holding();
  if (hold == held_) return;
  int64_t now = ClockNowLocked();
  if (hold) {
    heldSince_ = now;
  } else {
    for (auto& anchor : anchors_) anchor.second += now - heldSince_;
  }
  held_ = hold;
  holdChanged_.notify_all();
}

bool Engine::HasStreamTime(uint32_t epoch) const {
  std::lock_guard<std::mutex> lock(clockMutex_);
  return anchors_.count(epoch) != 0;
}

// The first picture of a timeline fixes its stream time, so that picture is
// due the moment it is handed over; audio of that timeline waits for it (or
// anchors the timeline itself when no picture comes within a second).
bool Engine::WaitDue(const PresentItem& item, ClockWaiter& waiter, bool followVideo) {
  auto since = std::chrono::steady_clock::now();
  while (true) {
    {
      std::unique_lock<std::mutex> lock(clockMutex_);
      while (!Stale(item.generation) && Holding()) {
        holdChanged_.wait_for(lock, std::chrono::milliseconds(20));
      }
    }
    if (Stale(item.generation)) return false;
    if (followVideo && !HasStreamTime(item.epoch)) {
      if (std::chrono::steady_clock::now() - since < std::chrono::seconds(1)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        continue;
      }
      StreamTimeFor(item.epoch, item.start);
    }
    uint32_t clockChanges = clockChanges_.load();
    IReferenceClock* clock = AcquireClock();
    if (!clock) return true;
    int64_t due = StreamTimeFor(item.epoch, item.start) + item.start;
    bool reached = waiter.WaitUntil(clock, due, [&] {
      return Stale(item.generation) || Holding() || clockChanges_.load() != clockChanges;
    });
    clock->Release();
    if (Stale(item.generation)) return false;
    if (reached && !Holding() && clockChanges_.load() == clockChanges) return true;
  }
}

// --- output settings

void Engine::SetVideoSink(IVideoSink* sink) {
  std::lock_guard<std::mutex> lock(sinkMutex_);
  sink_ = sink;
}

void Engine::SetWindowPosition(int32_t x, int32_t y, int32_t width, int32_t height) {
  std::lock_guard<std::mutex> lock(sinkMutex_);
  window_[0] = x;
  window_[1] = y;
  window_[2] = width;
  window_[3] = height;
}

void Engine::SetDestination(int32_t x, int32_t y, int32_t width, int32_t height) {
  std::lock_guard<std::mutex> lock(sinkMutex_);
  destination_[0] = x;
  destination_[1] = y;
  destination_[2] = width;
  destination_[3] = height;
  hasDestination_ = width > 0 && height > 0;
}

void Engine::ResetDestination() {
  std::lock_guard<std::mutex> lock(sinkMutex_);
  hasDestination_ = false;
}

HRESULT Engine::GetVideoSize(int32_t* width, int32_t* height) {
  if (!width || !height) return E_POINTER;
  {
    std::lock_guard<std::mutex> lock(locationMutex_);
    if (lastWidth_ > 0) {
      *width = lastWidth_;
      *height = lastHeight_;
      return S_OK;
    }
  }
  std::lock_guard<std::mutex> lock(navMutex_);
  uint32_t w = 0, h = 0;
  if (!nav_ || dvdnav_get_video_resolution(nav_, &w, &h) != DVDNAV_STATUS_OK) return E_FAIL;
  *width = int32_t(w);
  *height = int32_t(h);
  return S_OK;
}

void Engine::SetVolume(int32_t volume) {
  if (volume > 0) volume = 0;
  if (volume < -10000) volume = -10000;
  volume_ = volume;
  if (audioOpen_) audioOutput_.SetVolume(volume);
}

HRESULT Engine::SetOverlay(const MixerAlphaBitmap* bitmap, bool parametersOnly) {
  if (!bitmap) return E_POINTER;
  std::lock_guard<std::mutex> lock(overlayMutex_);
  if (bitmap->flags & VMR9AlphaBitmap_Disable) {
    overlayOn_ = false;
    return S_OK;
  }
  if (!parametersOnly) {
    if (!bitmap->pixels || bitmap->width <= 0 || bitmap->height <= 0) return E_INVALIDARG;
    overlayPixels_.assign(bitmap->pixels, bitmap->pixels + size_t(bitmap->width) * bitmap->height);
    overlay_.width = bitmap->width;
    overlay_.height = bitmap->height;
  } else if (overlayPixels_.empty()) {
    return E_UNEXPECTED;
  }
  overlay_.flags = bitmap->flags;
  overlay_.colorKey = bitmap->colorKey;
  overlay_.destLeft = bitmap->destLeft;
  overlay_.destTop = bitmap->destTop;
  overlay_.destRight = bitmap->destRight;
  overlay_.destBottom = bitmap->destBottom;
  overlay_.alpha = bitmap->alpha;
  overlay_.pixels = overlayPixels_.data();
  overlayOn_ = true;
  return S_OK;
}

void Engine::SetLocation(const StreamContext& context, int64_t time90k) {
  std::lock_guard<std::mutex> lock(locationMutex_);
  location_ = context;
  locationTime90k_ = time90k;
}

}  // namespace tarnplayer
