// The audio thread (decoding, callback) and the audio presenter (waits for
// the due time, plays through SDL).
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>

#include "engine.h"

namespace tarnplayer {
namespace {

constexpr int kSampleRate = 48000;
constexpr int kChannels = 2;
constexpr size_t kScratchBytes = size_t(1) << 20;
// How far (90 kHz ticks) a block may start from where the last one ended and
// still count as its continuation: the rounding of extrapolated time stamps.
constexpr int64_t kFollowOn90k = 90;

struct FedAudio {
  int64_t pts90k;
  StreamContext context;
};

}  // namespace

void Engine::AudioLoop() {
  std::unique_ptr<AudioDecoder> decoder;
  AudioCoding coding = AudioCoding::AC3;
  uint64_t generation = 0;
  std::deque<FedAudio> fed;
  StreamContext lastContext;
  uint32_t lastEpoch = 0;
  int64_t lastStart100 = -1, lastEnd100 = -1;  // 100 ns on the title's timeline
  int64_t lastRawEnd90k = -1;  // the stream time stamp where the last block ended
  std::vector<DecodedAudio> blocks;

  auto deliver = [&](DecodedAudio& block) {
    size_t frames = block.samples.size() / kChannels;
    if (frames == 0) return;
    StreamContext context = lastContext;
    bool placed = false;
    if (block.pts90k >= 0) {
      for (auto it = fed.rbegin(); it != fed.rend(); ++it) {
        if (it->pts90k == block.pts90k) {
          context = it->context;
          placed = true;
          break;
        }
      }
      // A block without a packet time stamp of its own (a later frame of a
      // packet) continues the last block, on that block's timeline. The
      // decoder gives a piece's last frame only once the next packet came
      // in; where the time stamps restart that packet belongs to the next
      // piece, whose offset would move the frame, and everything after it,
      // a whole piece ahead.
      if (!placed && lastRawEnd90k >= 0 && std::llabs(block.pts90k - lastRawEnd90k) <= kFollowOn90k) placed = true;
      if (!placed && !fed.empty()) {
        context = fed.back().context;
        placed = true;
      }
    }
    lastRawEnd90k = block.pts90k >= 0 ? block.pts90k + int64_t(frames) * 90000 / kSampleRate : -1;
    int64_t start;
    if (placed) {
      start = (block.pts90k + context.offset90k) * 1000 / 9;
    } else {
      start = (context.epoch == lastEpoch && lastEnd100 >= 0) ? lastEnd100 : 0;
    }
    // Never back on the same timeline: an overlap starts where the last block ended.
    if (context.epoch == lastEpoch && lastStart100 >= 0 && start <= lastStart100) start = lastEnd100;
    if (start < 0) {
      // The samples before the timeline's start (the first audio frame
      // begins a little before the first picture) are not part of it; the
      // first one kept lies within half a sample of 0 and starts it, as
      // the first picture does.
      size_t before = size_t((-start * kSampleRate + 5000000) / 10000000);
      if (before >= frames) return;
      block.samples.erase(block.samples.begin(), block.samples.begin() + long(before * kChannels));
      frames -= before;
      start = 0;
    }
    lastContext = context;
    lastEpoch = context.epoch;
    lastStart100 = start;
    lastEnd100 = start + int64_t(frames) * 10000000 / kSampleRate;

    Callbacks callbacks;
    if (!WaitForCallbacks(generation, &callbacks)) return;
    size_t framesPerCall = kScratchBytes / (kChannels * sizeof(int16_t));
    for (size_t done = 0; done < frames; done += framesPerCall) {
      size_t count = frames - done < framesPerCall ? frames - done : framesPerCall;
      std::memcpy(callbacks.audioScratch, block.samples.data() + done * kChannels, count * kChannels * sizeof(int16_t));
      callbacks.audio(kChannels, kSampleRate, int(count), start + int64_t(done) * 10000000 / kSampleRate,
                      callbacks.audioScratch);
    }
    EndCallback();
    PresentItem item;
    item.generation = generation;
    item.epoch = context.epoch;
    item.start = start;
    item.samples = std::move(block.samples);
    uint64_t itemGeneration = generation;
    audioOut_.Push(std::move(item), [&] { return Stale(itemGeneration); });
  };

  while (!quit_) {
    AudioItem item;
    if (!audioIn_.Pop(item, std::chrono::milliseconds(50))) continue;
    if (item.generation != generation_.load()) continue;
    if (item.generation != generation) {
      if (decoder) decoder->Flush();
      fed.clear();
      generation = item.generation;
      lastStart100 = lastEnd100 = -1;
      lastRawEnd90k = -1;
      lastEpoch = 0;
      lastContext = item.context;
    }
    if (!decoder || coding != item.coding) {
      decoder = std::make_unique<AudioDecoder>();
      coding = item.coding;
      if (!decoder->Open(coding)) {
        decoder.reset();
        continue;
      }
    }
    if (item.pts90k >= 0) {
      fed.push_back({item.pts90k, item.context});
      if (fed.size() > 64) fed.pop_front();
    }
    if (lastStart100 < 0) lastContext = item.context;
    blocks.clear();
    decoder->Decode(item.bytes.data(), item.bytes.size() - kPadding, item.pts90k, blocks);
    for (DecodedAudio& block : blocks) {
      if (Stale(generation)) break;
      deliver(block);
    }
  }
}

void Engine::AudioPresentLoop() {
  while (!quit_) {
    PresentItem item;
    if (!audioOut_.Pop(item, std::chrono::milliseconds(50))) continue;
    if (!WaitDue(item, audioWaiter_, true)) continue;
    if (audioOpen_) audioOutput_.Play(item.samples.data(), item.samples.size() / kChannels);
  }
}

}  // namespace tarnplayer
