// "seek" and "play": the disc opened as the title ripper opens it, the title
// seek run on this thread (its message queue stands for the window), and
// playback for a stretch of disc time with what reached the frame callbacks
// counted.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/user_messages.h"
#include "cli/cli_context.h"
#include "cli/json_writer.h"
#include "dvd/open_disc_playback.h"
#include "platform/message_queue.h"
#include "platform/named_event.h"
#include "platform/number_text.h"
#include "playback/clock_mode.h"
#include "playback/core_position.h"
#include "playback/current_core.h"
#include "playback/dvd_mpc_core.h"
#include "playback/safe_search.h"
#include "playback/seek_state.h"
#include "playback/virtual_clock.h"

namespace tarn::cli {
namespace {

// What reached the engine's callbacks; written on the engine's threads.
struct Arrivals {
  std::atomic<int64_t> pictures{0};
  std::atomic<int32_t> width{0}, height{0};
  std::atomic<int64_t> audioBlocks{0};
  std::atomic<int64_t> audioMicroseconds{0};
};

Arrivals& Counts() {
  static Arrivals a;
  return a;
}

extern "C" int CountVideoFrame(int width, int height, int64_t, int64_t, int64_t, unsigned char*) {
  Counts().pictures++;
  Counts().width = width;
  Counts().height = height;
  return 1;
}

extern "C" int CountAudioBlock(int channels, int sampleRate, int samplesPerChannel, int64_t, unsigned char*) {
  Counts().audioBlocks++;
  if (sampleRate > 0) Counts().audioMicroseconds += int64_t{samplesPerChannel} * 1000000 / sampleRate;
  return 0;
}

// This thread as the playing window: its queue hosts the video, it answers
// the core's and the seek's message boxes on stderr, and it hears the core.
class CliPlaybackWindow : public IHostWindow, public ICoreOwner, public IDvdMpcCallback, public ISeekHost {
 public:
  explicit CliPlaybackWindow(int32_t target)
      : m_target(target), m_queue([](const platform::Message& m) -> intptr_t {
          if (m.message == UM_DVD_GRAPH_EVENT && CurrentCore()) return CurrentCore()->HandleGraphEvent();
          return 0;
        }) {}

  platform::QueueId QueueId() const override { return m_queue.Id(); }
  void ClientSize(int32_t* width, int32_t* height) const override {
    *width = 720;
    *height = 576;
  }
  int32_t MessageBox(const std::string& text, const std::string& caption, int32_t, int32_t buttons) override {
    std::fprintf(stderr, "tarn-orvane-cli: %s: %s\n", caption.c_str(), text.c_str());
    return buttons == kButtonsYesNo ? kAnswerNo : kAnswerOk;
  }
  int32_t MessageBox(const std::string& text, const std::string& caption) override {
    return MessageBox(text, caption, kIconInformation, kButtonsOk);
  }
  intptr_t SendToWindow(uint32_t, intptr_t, intptr_t) override { return 0; }

  void OnTimeUpdate() override {
    ++timeEvents;
    TitleRipperTimeUpdate(m_target);
  }
  void OnTitleChange(uint32_t) override {
    ++titleChanges;
    SignalSeekEvent(seekEvent);
  }
  void OnDomainChange(int32_t) override {
    ++domainChanges;
    SignalSeekEvent(seekEvent);
  }

  platform::AutoResetEvent seekEvent;
  int64_t timeEvents = 0, titleChanges = 0, domainChanges = 0;

 private:
  int32_t m_target;
  platform::MessageQueue m_queue;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Opens the disc as the title ripper does (fast mode, muted, seek pending)
// and lets the disc's first navigator events in, as the window does before
// its posted seek command runs.
bool OpenAsTitleRipper(CliPlaybackWindow& window, const std::string& disc) {
  PlaybackWindow pw{PlaybackWindowKind::TitleRipper, &window, &window, &window, nullptr};
  // The engine puts each picture and PCM block into these before the calls.
  static std::vector<unsigned char> videoScratch(1 << 20), audioScratch(1 << 20);
  CaptureHooks hooks;
  hooks.video = CountVideoFrame;
  hooks.audio = CountAudioBlock;
  hooks.videoScratch = videoScratch.data();
  hooks.audioScratch = audioScratch.data();
  if (!OpenDiscPlayback(pw, disc, hooks)) return false;
  auto settled = [] {
    const CorePosition& p = CurrentCorePosition();
    return p.domain != 0 && (p.domain != tarnplayer::DVD_DOMAIN_Title || p.title != 0);
  };
  for (int i = 0; i < 200 && !settled(); ++i) platform::PumpingSleep(10);
  return true;
}

bool ReadTitle(const CliContext& ctx, int32_t* title) {
  auto it = ctx.values.find("title");
  if (it == ctx.values.end()) return false;
  *title = platform::ParseInt32(it->second);
  return true;
}

void WriteSeekFields(JsonWriter& w, const SafeSearchResult& r) {
  const CDvdMpcCore* core = CurrentCore();
  w.Field("reached", r.reached)
      .Field("attempts", static_cast<int64_t>(r.attempts))
      .Field("domain", static_cast<int64_t>(core ? core->CurrentDomain() : 0))
      .Field("currentTitle", static_cast<int64_t>(core ? core->CurrentTitle() : 0));
}

void PrintSeekText(const SafeSearchResult& r) {
  const CDvdMpcCore* core = CurrentCore();
  std::printf("reached: %s\nattempts: %d\ndomain: %d\ncurrentTitle: %u\n", r.reached ? "true" : "false", r.attempts,
              core ? core->CurrentDomain() : 0, core ? core->CurrentTitle() : 0u);
}

}  // namespace

int RunSeek(CliContext& ctx) {
  int32_t target = 0;
  if (ctx.args.size() != 1 || !ReadTitle(ctx, &target) || target < 1 || target > 99)
    return UsageError("seek needs one disc and --title N (1..99)");
  const auto start = std::chrono::steady_clock::now();
  CliPlaybackWindow window(target);
  if (!OpenAsTitleRipper(window, ctx.args[0])) return kExitUsage;
  const SafeSearchResult result = SafeSearch(window, SeekForm::TitleRipper, target, window.seekEvent);
  const double seconds = SecondsSince(start);
  if (ctx.json) {
    JsonWriter w;
    w.BeginObject();
    WriteSeekFields(w, result);
    w.Field("seconds", seconds).EndObject();
    std::printf("%s\n", w.Text().c_str());
  } else {
    PrintSeekText(result);
    std::printf("seconds: %.1f\n", seconds);
  }
  DestroyCurrentCore();
  return result.reached ? kExitOk : kExitFailure;
}

int RunPlay(CliContext& ctx) {
  if (ctx.args.size() != 1) return UsageError("play needs one disc");
  int32_t target = 0;
  const bool seek = ReadTitle(ctx, &target);
  if (seek && (target < 1 || target > 99)) return UsageError("--title takes 1..99");
  double seconds = 5.0;
  if (auto it = ctx.values.find("seconds"); it != ctx.values.end()) seconds = platform::ParseDouble(it->second);
  if (seconds <= 0.0 || seconds > 3600.0) return UsageError("--seconds takes more than 0 and at most 3600");
  int32_t clockMode = CVirtualClock::kModeNormal;
  if (auto it = ctx.values.find("clock"); it != ctx.values.end()) {
    if (it->second != "0" && it->second != "1") return UsageError("--clock takes 0 or 1");
    clockMode = platform::ParseInt32(it->second);
  }

  CliPlaybackWindow window(target);
  if (!OpenAsTitleRipper(window, ctx.args[0])) return kExitUsage;
  SafeSearchResult seekResult;
  if (seek) {
    seekResult = SafeSearch(window, SeekForm::TitleRipper, target, window.seekEvent);
    if (!seekResult.reached) {
      std::fprintf(stderr, "tarn-orvane-cli: title %d was not reached\n", target);
      DestroyCurrentCore();
      return kExitFailure;
    }
  }
  SeekPending() = 0;
  SetClockMode(clockMode);
  if (CDvdMpcCore* core = CurrentCore()) core->SetVolume(100);

  // Count from here on: what the stretch of disc time delivers.
  window.timeEvents = window.titleChanges = window.domainChanges = 0;
  Arrivals& a = Counts();
  a.pictures = 0;
  a.audioBlocks = 0;
  a.audioMicroseconds = 0;
  const auto playStart = std::chrono::steady_clock::now();
  CVirtualClock* clock = CurrentClock();
  int64_t clockStart = 0;
  if (clock) clock->GetTime(&clockStart);
  const int64_t span = static_cast<int64_t>(seconds * 1e7);
  const double wallLimit = (clockMode == CVirtualClock::kModeFast ? seconds / 8.0 : seconds) + 10.0;
  for (;;) {
    platform::PumpingSleep(10);
    clock = CurrentClock();
    if (!clock) break;
    int64_t now = 0;
    clock->GetTime(&now);
    if (now - clockStart >= span || SecondsSince(playStart) > wallLimit) break;
  }
  const double wall = SecondsSince(playStart);
  DestroyCurrentCore();  // no callback runs after this

  if (ctx.json) {
    JsonWriter w;
    w.BeginObject()
        .Field("pictures", a.pictures.load())
        .Field("width", static_cast<int64_t>(a.width.load()))
        .Field("height", static_cast<int64_t>(a.height.load()))
        .Field("audioBlocks", a.audioBlocks.load())
        .Field("audioSeconds", static_cast<double>(a.audioMicroseconds.load()) / 1e6)
        .Field("timeEvents", window.timeEvents)
        .Field("domainChanges", window.domainChanges)
        .Field("titleChanges", window.titleChanges)
        .Field("seconds", wall)
        .EndObject();
    std::printf("%s\n", w.Text().c_str());
  } else {
    std::printf("pictures: %lld (last %dx%d)\naudio blocks: %lld (%.2f s)\ntime events: %lld\n"
                "domain changes: %lld\ntitle changes: %lld\nseconds: %.1f\n",
                static_cast<long long>(a.pictures.load()), a.width.load(), a.height.load(),
                static_cast<long long>(a.audioBlocks.load()), static_cast<double>(a.audioMicroseconds.load()) / 1e6,
                static_cast<long long>(window.timeEvents), static_cast<long long>(window.domainChanges),
                static_cast<long long>(window.titleChanges), wall);
  }
  return kExitOk;
}

}  // namespace tarn::cli
