#include "convert/timestamp_repair.h"

#include <cinttypes>
#include <cstdlib>

#include "app/log.h"

namespace tarn {
namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kVideoJumpLimit = 10000;      // 1 ms
constexpr int64_t kAudioJumpLimit = 320000;     // 32 ms, one 1536-sample block at 48 kHz
constexpr int64_t kLostVideoLimit = 10000000;   // 1 s
constexpr int64_t kPreviewAfterStart = 50000000;  // 5 s

// Number of samples of a block starting at `blockStart` whose time lies
// before `limit` (sample i lies at blockStart + i / sampleRate seconds).
int64_t SamplesBefore(int64_t blockStart, int64_t limit, int sampleRate, int64_t samples) {
  if (limit == kOpenRangeEnd) return samples;
  if (limit <= blockStart) return 0;
  const int64_t span = limit - blockStart;
  if (span > (samples + 1) * kUnitsPerSecond / sampleRate) return samples;  // the whole block
  const int64_t n = (span * sampleRate + kUnitsPerSecond - 1) / kUnitsPerSecond;
  return n < samples ? n : samples;
}

}  // namespace

TimestampRepair::TimestampRepair(FrameExchange& exchange, JobRange& range, CaptureEnvironment& environment)
    : exchange_(exchange), range_(range), env_(environment) {}

bool TimestampRepair::LeftJob() {
  if (env_.LeftJobTitle()) return true;
  return PositionPastJobEnd(range_, env_.CurrentSeconds(), env_.EndSeconds());
}

int TimestampRepair::OnVideoFrame(int width, int height, int64_t streamTime, int64_t start, int64_t stop,
                                  const unsigned char* pixels) {
  FrameExchange& x = exchange_;
  // A start of 0 is the title's first picture and is kept; a negative one
  // has no place on the title's time line.
  if (width <= 0 || height <= 0 || start < 0 || !pixels) return 1;
  if (!env_.Recording()) return env_.ClockMode() == 1 ? 0 : 1;
  if (env_.StopRequested()) return 1;
  if (range_.endReached.load() || LeftJob()) return 0;
  if (start >= range_.end.load()) {
    range_.endReached = 1;
    Log(kLogInfo, "Reached the end of the converted range at %" PRId64 "\n", start);
    return 0;
  }
  if (start < range_.start.load()) {
    // Before the range: not stored, but the clock keeps the capture moving.
    env_.ReportToClock(streamTime, start);
    return 0;
  }
  const int64_t lastPts = x.lastVideoPts.load();
  if (x.videoSeen.load() && start <= lastPts) {
    Log(kLogInfo, "Get duplicate Video frame last pts:%" PRId64 ", cur pts:%" PRId64 "\n", lastPts, start);
    return 1;
  }
  if (!x.videoSeen.load()) {
    x.videoCalPts = start;
  } else if (!RepairVideoTime(streamTime, start)) {
    return 0;
  }
  x.lastVideoDuration = stop - start;
  x.lastVideoPts = start;
  x.videoSeen = 1;
  if (StoreVideo(width, height, pixels, stop - start)) {
    x.Throttle();
  } else if (env_.StopRequested() || !env_.Recording()) {
    return 1;
  }
  env_.ReportToClock(streamTime, start);
  if (env_.DisplayVideoWhenConvert() != 0) return 1;
  return x.lastVideoPts.load() - x.firstVideoPts.load() < kPreviewAfterStart ? 1 : 0;
}

bool TimestampRepair::RepairVideoTime(int64_t streamTime, int64_t start) {
  FrameExchange& x = exchange_;
  const int64_t lastPts = x.lastVideoPts.load();
  const int64_t dev = std::llabs(start - x.lastVideoDuration.load() - lastPts);
  const bool jumps = dev > kVideoJumpLimit;
  if (x.JumpCount() == 0) {
    if (jumps) Log(kLogInfo, "Video pts jump but cannot detect audio jump now: %" PRId64 "\n", start - lastPts);
    x.videoCalPts = start - x.calVAInterval.load();
    return true;
  }
  int64_t adj = 0;
  AudioJump j;
  while (x.OldestJump(j)) {
    Log(kLogInfo,
        "Find Video check calVAInterval:%" PRId64 ", jumpnumber:%d, jump dur:%" PRId64 ", duration:%" PRId64
        ", can jump:%" PRId64 ">0, %" PRId64 ">0\n",
        x.calVAInterval.load(), x.JumpCount(), j.gap, dev, start - j.jumpPts,
        start - j.gap - x.calVAInterval.load() - x.videoCalPts.load());
    const int64_t d = start - j.jumpPts;
    if (d > kLostVideoLimit) {
      if (x.videoCalPts.load() > start - j.gap - x.calVAInterval.load()) {
        Log(kLogInfo,
            "Find Video lost video too big but cannot find right pts so we should process it cast this video "
            "frame\n");
        env_.ReportToClock(streamTime, start);
        return false;
      }
      x.calVAInterval = x.calVAInterval.load() + j.gap;
      Log(kLogInfo,
          "Find Video lost video too big but cannot find right pts so we should process it change all "
          "interval:%" PRId64 "\n",
          x.calVAInterval.load());
    } else if (d > 0 && jumps) {
      x.calVAInterval = x.calVAInterval.load() + j.gap;
      adj = j.gap - lastPts - start;
      Log(kLogInfo, "Find Video lost find right video pts and modify calVAInterval to :%" PRId64
                    ", frameptsinterval:%" PRId64 "\n",
          x.calVAInterval.load(), adj);
      if (adj < 0) adj = 0;
    } else {
      if (d > 0 && dev < kVideoJumpLimit) {
        Log(kLogInfo, "Find Video wait for video pts jump\n");
      } else {
        Log(kLogInfo, "Find Video lost video pts is smaller then jump pts\n");
      }
      break;
    }
    x.RemoveOldestJump();
    if (x.JumpCount() == 0) {
      Log(kLogInfo,
          "Find Video lost break loop pts nVideoPts:%" PRId64 ", interval: %" PRId64 ", allinterval:%" PRId64
          ", videocalpts:%" PRId64 ", audiocalpts:%" PRId64 ", calv-a:%" PRId64 ", realv-a:%" PRId64
          ", jumpnumber:%d\n",
          start, start - lastPts, x.calVAInterval.load(), x.videoCalPts.load(), x.audioCalPts.load(),
          start - x.audioCalPts.load() - x.calVAInterval.load(), start - x.lastAudioPts.load(), 0);
      break;
    }
  }
  x.videoCalPts = start - x.calVAInterval.load() + adj;
  return true;
}

bool TimestampRepair::StoreVideo(int width, int height, const unsigned char* pixels, int64_t duration) {
  FrameExchange& x = exchange_;
  if (static_cast<int64_t>(width) * height * 3 / 2 > kSlotBytes) {
    Log(kLogError, "Video frame %dx%d is larger than a picture slot, not stored\n", width, height);
    return false;
  }
  const int32_t duration32 = static_cast<int32_t>(static_cast<uint32_t>(duration & 0xFFFFFFFF));
  // A full ring waits for the encoder to take a picture instead of losing
  // this one. Only when the encoder takes no picture for a long time (it
  // waits for audio or encodes no video) is the picture given up, and then
  // every picture that finds the ring full until the encoder takes one.
  uint64_t freed = x.PicturesFreed();
  int64_t lastProgress = env_.NowMs();
  while (!x.PutVideo(width, height, pixels, x.videoCalPts.load(), duration32)) {
    if (env_.StopRequested() || !env_.Recording()) return false;
    const uint64_t nowFreed = x.PicturesFreed();
    if (nowFreed != freed) {
      freed = nowFreed;
      lastProgress = env_.NowMs();
      continue;
    }
    const bool stillIdle = videoConsumerIdle_ && idleMark_ == nowFreed;
    if (stillIdle || env_.NowMs() - lastProgress > kFullRingPatienceMs) {
      videoConsumerIdle_ = true;
      idleMark_ = nowFreed;
      Log(kLogInfo, "Video ring full and the encoder takes no picture, drop video frame pts:%" PRId64 "\n",
          x.lastVideoPts.load());
      return false;
    }
    env_.WaitForRoom();
  }
  return true;
}

int TimestampRepair::OnAudioBlock(int channels, int sampleRate, int samplesPerChannel, int64_t start,
                                  const unsigned char* samples) {
  FrameExchange& x = exchange_;
  if (channels <= 0 || sampleRate <= 0 || samplesPerChannel <= 0 || start < 0 || !samples) return 1;
  if (!env_.Recording()) return env_.SeekPending() ? -1 : 0;
  if (env_.StopRequested() || LeftJob()) return 1;

  // Cut the block to the job's range at sample precision.
  const int64_t from = SamplesBefore(start, range_.start.load(), sampleRate, samplesPerChannel);
  const int64_t to = SamplesBefore(start, range_.end.load(), sampleRate, samplesPerChannel);
  if (from >= to) return 1;
  const int64_t pts = start + from * kUnitsPerSecond / sampleRate;
  const int64_t count = to - from;
  const unsigned char* bytes = samples + from * channels * 2;

  const int64_t lastPts = x.lastAudioPts.load();
  const bool seen = x.audioSeen.load() != 0;
  if (seen && pts <= lastPts) {
    Log(kLogInfo, "Get duplicate audio frame last pts:%" PRId64 ", curPts:%" PRId64 "\n", lastPts, pts);
    return 1;
  }
  const int64_t gap = pts - x.lastBlockDuration.load() - lastPts;
  if (seen && std::llabs(gap) > kAudioJumpLimit) {
    const int32_t saved = x.SaveJump(AudioJump{pts, gap});
    Log(kLogInfo, "Find audio lost frame pts nAudioPts:%" PRId64 ", interval: %" PRId64 ", saved jump data:%d\n",
        pts, gap, saved);
  }
  // Every block's own length is kept, the first one's too, so the next
  // block's gap measures from where this one really ends.
  x.lastBlockDuration = count * kUnitsPerSecond / sampleRate;
  if (!seen) {
    x.audioCalPts = pts;
  } else {
    x.audioCalPts = x.audioCalPts.load() + x.lastBlockDuration.load();
  }
  x.lastAudioPts = pts;
  x.audioSeen = 1;
  StoreAudio(bytes, count * channels * 2, pts);
  env_.PumpMessages();
  return 1;
}

bool TimestampRepair::StoreAudio(const unsigned char* bytes, int64_t byteCount, int64_t pts) {
  if (byteCount > kAudioRingBytes) {
    Log(kLogError, "Audio block of %" PRId64 " bytes is larger than the audio ring, not stored\n", byteCount);
    return false;
  }
  // The unread audio is never overwritten: wait until the reader made room.
  while (!exchange_.PutAudio(bytes, byteCount, pts)) {
    if (env_.StopRequested() || !env_.Recording()) return false;
    env_.WaitForRoom();
  }
  return true;
}

}  // namespace tarn
