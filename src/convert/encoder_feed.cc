#include "convert/encoder_feed.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "app/log.h"

namespace tarn {
namespace {

// 48,000 Hz x 2 channels x 2 bytes.
constexpr int64_t kAudioBytesPerSecond = 192000;
constexpr int64_t kUnitsPerSecond = 10000000;

// A decimal of the frame-rate table as its single-precision value.
constexpr double F(float v) { return static_cast<double>(v); }

// The repaired time of a stored picture, on the audio's time line.
int64_t RepairedTime(const VideoSlot& slot) { return slot.pts - kStoredVideoPtsOffset; }

}  // namespace

FrameRateChoice ChooseFrameRate(double fps, int32_t lengthSeconds) {
  const double d = lengthSeconds;
  FrameRateChoice c;
  if (fps > F(23.87f) && fps < F(24.07f)) {
    c.raten = 4000000;
    c.rated = 166833;
    c.numFrames = static_cast<int32_t>(d * F(23.97f) * 10);
  } else if (fps > F(24.9f) && fps < F(25.1f)) {
    c.raten = 25;
    c.rated = 1;
    c.numFrames = static_cast<int32_t>(d * 25 * 10);
  } else {
    // 29.97 and everything outside the bands.
    c.raten = 5000000;
    c.rated = 166833;
    c.numFrames = static_cast<int32_t>(d * F(29.97f) * 10);
  }
  return c;
}

void FillFallbackMediaInfo(MediaInfo& info) {
  info.width = 720;
  info.height = 480;
  info.raten = 5000000;
  info.rated = 166833;
  info.aspectn = 0;
  info.aspectd = 1;
  info.interlaced_frame = 0;
  info.top_field_first = 0;
  info.num_frames = 185155;
  info.audio_samples_per_second = 48000;
  info.num_audio_samples = 272450824;
  info.sample_type = 2;
  info.nchannels = 2;
}

EncoderFeed::EncoderFeed(FrameExchange& exchange, JobRange& range, EncoderEnvironment& environment)
    : exchange_(exchange), range_(range), env_(environment) {}

bool EncoderFeed::EndReached() {
  if (range_.endReached.load()) return true;
  return PositionPastJobEnd(range_, env_.CurrentSeconds(), env_.EndSeconds());
}

bool EncoderFeed::OutOfRange() { return env_.LeftJobTitle() || EndReached(); }

bool EncoderFeed::AlignWait(int64_t since, const char* timeoutLine) {
  FrameExchange& x = exchange_;
  if (env_.NowMs() - since > kAlignTimeoutMs) {
    Log(kLogInfo, "%s", timeoutLine);
    env_.RequestStop();
    return false;
  }
  if (x.VideoCount() == 0 || x.UnitsAvailable() == 0) env_.NudgeClock();
  env_.PumpMessages();
  env_.Sleep(10);
  return true;
}

int EncoderFeed::FetchMediaInfo(MediaInfo* info) {
  FrameExchange& x = exchange_;
  static const char kVideoTimeout[] = "wait for video frame too long time, stop ripper process\n";
  Log(kLogInfo, "Begin Fetch media info!\n");
  env_.EnterRecordMode();

  // Wait for both streams.
  int64_t since = env_.NowMs();
  while (!(x.VideoCount() >= 1 && x.UnitsAvailable() > 0)) {
    while (x.VideoCount() > 2) x.DropOldestVideo();
    env_.PumpMessages();
    env_.Sleep(100);
    Log(kLogInfo, "Wait for video and audio frame get 1 frames:%d, %d\n", x.VideoCount(), x.UnitsAvailable());
    if (env_.NowMs() - since > kFirstFramesTimeoutMs) {
      if (info) FillFallbackMediaInfo(*info);
      Log(kLogInfo, "Detect video data transfer error!\n");
      env_.RequestStop();
      return -1;
    }
  }
  x.firstVideoPts = x.Slot(x.ReadIndex()).pts;
  // The later start of the two streams, in the stored pictures' terms.
  x.beginPts = std::max(x.firstVideoPts.load(), x.firstAudioPts.load() + kStoredVideoPtsOffset);
  Log(kLogInfo, "Get Media info vframe:%d, aframe:%d, beginpts:%" PRId64 "\n", x.VideoCount(), x.UnitsAvailable(),
      x.beginPts.load());

  // Saved audio jumps.
  int64_t jumpSum = 0;
  AudioJump last;
  if (x.NewestJump(last)) {
    Log(kLogInfo, "Get a audio jump, process it here\n");
    if (last.jumpPts <= x.beginPts.load() - kStoredVideoPtsOffset) {
      Log(kLogInfo, "Drop all audio jumps\n");
    } else {
      Log(kLogInfo, "Wait for right video and audio pts all bigger then last jump pts\n");
      since = env_.NowMs();
      for (;;) {
        if (x.VideoCount() > 1 && x.UnitsAvailable() > 1) {
          const VideoSlot& slot = x.Slot(x.ReadIndex());
          const int64_t v = RepairedTime(slot);
          if (v < last.jumpPts) {
            x.DropOldestVideo();
            continue;
          }
          if (x.lastAudioPts.load() >= v) {
            x.beginPts = slot.pts;
            Log(kLogInfo, "Get right video and audio pts all bigger then last jump pts: %" PRId64 "\n", slot.pts);
            break;
          }
        }
        if (!AlignWait(since, kVideoTimeout)) return -1;
      }
    }
    jumpSum = x.RemoveAllJumps();
  }

  // Align video with audio: the first picture that does not start before the audio.
  since = env_.NowMs();
  for (;;) {
    if (x.VideoCount() >= 1) {
      const VideoSlot& slot = x.Slot(x.ReadIndex());
      if (RepairedTime(slot) >= x.firstAudioPts.load()) {
        x.beginPts = slot.pts;
        break;
      }
      if (x.VideoCount() > 1) {
        x.DropOldestVideo();
        continue;
      }
    }
    if (!AlignWait(since, kVideoTimeout)) return -1;
  }
  Log(kLogInfo, "Get Media info vframe:%d, vbegin:%d, aframe:%d\n", x.VideoCount(), x.ReadIndex(),
      x.UnitsAvailable());

  // Align audio: skip what lies before the first picture, on the gapless
  // audio time line (the saved jumps' gaps are not in the ring). Audio that
  // starts after the first picture skips nothing.
  int64_t skip = (x.beginPts.load() - kStoredVideoPtsOffset - x.firstAudioPts.load() - jumpSum) *
                 kAudioBytesPerSecond / kUnitsPerSecond;
  if (skip < 0) skip = 0;
  skip = (skip + 3) / 4 * 4;
  since = env_.NowMs();
  // Only audio that has arrived is skipped: wait until the ring holds it.
  while (!(x.UnitsAvailable() > 0 && x.BytesBuffered() >= skip))
    if (!AlignWait(since, "wait for right audio too long time, stop ripper process\n")) return -1;
  x.SkipAudio(skip);

  int32_t width = 0, height = 0;
  env_.VideoSize(width, height);
  if (width <= 0 || height <= 0) {
    // No size published: the stored picture's own.
    width = x.Slot(x.ReadIndex()).width;
    height = x.Slot(x.ReadIndex()).height;
  }
  uint32_t ax = 0, ay = 0;
  env_.DisplayAspect(ax, ay);
  const float displayAspect = ay != 0 ? static_cast<float>(ax) / static_cast<float>(ay) : 0.0f;
  int32_t aspectd = 100000;
  if (height > 0 && displayAspect > 0.0f) {
    const float ratio = static_cast<float>(width) / static_cast<float>(height);
    aspectd = static_cast<int32_t>(ratio / displayAspect * 100000.0f);
  }
  Log(kLogInfo, "Get Media info video size:%dx%d, display aspect:%f, displayfactor:%d/%d.\n", width, height,
      static_cast<double>(displayAspect), 100000, aspectd);

  // Enough pictures to measure the frame rate; a range or title that ends
  // with fewer goes on with what it has.
  Log(kLogInfo, "Get Media info vend:%d, vbegin:%d\n", x.LastWrittenIndex(), x.ReadIndex());
  since = env_.NowMs();
  while (x.SlotsBetweenReadAndLastWritten() <= 4 && !OutOfRange()) {
    if (env_.StopRequested()) return -1;
    if (!AlignWait(since, kVideoTimeout)) return -1;
  }
  const int64_t timeLength =
      static_cast<int64_t>(x.Slot(x.LastWrittenIndex()).duration) + x.Slot(x.ReadIndex()).duration;
  const double fps = timeLength > 0 ? 20000000.0 / static_cast<double>(timeLength) : 0.0;
  Log(kLogInfo, "Cal fps:%f, timelength:%d\n", fps, static_cast<int32_t>(timeLength));
  const FrameRateChoice rate = ChooseFrameRate(fps, env_.LengthSeconds());

  if (info) {
    info->width = width;
    info->height = height;
    info->raten = rate.raten;
    info->rated = rate.rated;
    info->aspectn = 100000;
    info->aspectd = aspectd;
    info->interlaced_frame = 0;
    info->top_field_first = 0;
    info->num_frames = rate.numFrames;
    info->audio_samples_per_second = 48000;
    info->sample_type = 0;
    info->nchannels = 2;
  }
  Log(kLogInfo,
      "End Fetch media info: width:%d, height:%d; \nraten:%d, rated:%d, aspectn:%d, aspectd:%d, "
      "interlaced_frame:%d;\ntop_field_first:%d, num_frames:%d, sample_type:%d, nchannels:%d, "
      "audio_samples_per_second:%d;\n",
      width, height, rate.raten, rate.rated, 100000, aspectd, 0, 0, rate.numFrames, 0, 2, 48000);
  return rate.numFrames;
}

int EncoderFeed::SupplyVideoFrame(VideoRequest* request, unsigned char* destination) {
  FrameExchange& x = exchange_;
  while (!env_.StopRequested()) {
    const int32_t count = x.VideoCount();
    // The last waiting picture is handed out only once no later one can come
    // (the range or the title has ended); it then lasts its own duration.
    const bool last = count == 1 && OutOfRange();
    if (count > 1 || last) {
      const int32_t index = x.ReadIndex();
      const VideoSlot& slot = x.Slot(index);
      const int64_t time = (slot.pts - x.beginPts.load()) / 10;
      const int64_t duration =
          last ? slot.duration / 10 : (x.Slot((index + 1) % kVideoSlotCount).pts - slot.pts) / 10;
      if (request) {
        request->time = time;
        request->time2 = time;
        request->duration = static_cast<int32_t>(duration);
      }
      x.TakeVideo(destination);
      return env_.StopRequested() ? -1 : 0;
    }
    if (OutOfRange()) return 0;
    if (x.VideoCount() == 0 || x.UnitsAvailable() == 0) env_.NudgeClock();
    env_.Sleep(2);
    env_.PumpMessages();
  }
  return -1;
}

int EncoderFeed::SupplyAudio(unsigned char* destination, AudioRequest* request) {
  FrameExchange& x = exchange_;
  const int32_t frames = request ? static_cast<int32_t>(static_cast<uint32_t>(request->count & 0xFFFFFFFF)) : 0;
  const int64_t since = env_.NowMs();
  for (;;) {
    if (env_.StopRequested()) return -1;
    if (frames <= 0) return 0;  // nothing asked for
    if (x.TakeAudio(destination, frames)) return env_.StopRequested() ? -1 : 0;
    x.ClearUnitsAvailable();
    if (OutOfRange()) return env_.StopRequested() ? -1 : 0;
    env_.NudgeClock();
    if (env_.NowMs() - since > kAudioTimeoutMs) {
      Log(kLogInfo, "wait for audio too long time, stop ripper process\n");
      env_.RequestStop();
      return -1;
    }
    env_.Sleep(2);
    env_.PumpMessages();
  }
}

int EncoderFeed::StopTest() {
  env_.PumpMessages();
  if (env_.StopRequested()) return 1;
  const bool leftTitle = env_.LeftJobTitle();
  const bool endReached = EndReached();
  if (!leftTitle && !endReached) return 0;
  // The pictures of the range still waiting in the ring are handed out first.
  if (exchange_.VideoCount() > 0) return 0;
  if (!leftTitle) {
    Log(kLogInfo, "Detect convert time bigger then stop time, stop ripper process\n");
  } else {
    Log(kLogInfo, "Detect title changed or domain changed, stop ripper process\n");
  }
  return 1;
}

void EncoderFeed::EncoderLog(const char* text) {
  // The encoder's text is UTF-8 already and is logged unchanged.
  Log(kLogInfo, "%s", text ? text : "");
}

}  // namespace tarn
