// The video thread (decoding, subpicture, callback) and the video presenter
// (waits for the due time, blends the mixer overlay, shows the picture).
#include <chrono>
#include <cstring>
#include <deque>

#include "engine.h"
#include "overlay_blend.h"
#include "video_decoder.h"

namespace tarnplayer {
namespace {

constexpr int64_t k100nsPer90k = 1000;  // 100 ns units = 90 kHz ticks * 1000 / 9

int64_t To100ns(int64_t ticks90k) { return ticks90k * k100nsPer90k / 9; }

// A subtitle may come in the multiplex after the pictures it belongs on
// (spumux puts it about half a second late), so decoded pictures wait until
// the stream read has gone this far past them before they are blended and
// handed over; a still, the end or an idle stream lets them all out.
constexpr int64_t kSubpictureLookahead90k = 63000;  // 0.7 s
constexpr size_t kMaxHeldPictures = 24;

struct FedPacket {
  int64_t pts90k;
  StreamContext context;
  uint32_t segment;
};

}  // namespace

void Engine::VideoLoop() {
  VideoDecoder decoder;
  decoder.Open();
  SubpictureDecoder subpicture;
  uint64_t generation = 0;
  std::deque<FedPacket> fed;  // time stamps of the packets fed, to place what comes out
  uint32_t segment = 0;       // counts markers; pictures of later packets belong after them
  std::deque<std::pair<uint32_t, std::vector<EngineEvent>>> markers;
  StreamContext lastContext;
  uint32_t lastSegment = 0;
  int64_t lastRawPts = -1, lastStart90k = -1, lastDuration90k = 3600;
  uint32_t lastEpoch = 0;
  int64_t lastSecond = -1;
  std::vector<DecodedPicture> pictures;
  DecodedPicture menuPicture;  // the last menu picture before blending, for highlight changes
  StreamContext menuContext;
  int64_t menuStart = 0;
  auto idleSince = std::chrono::steady_clock::now();

  // After a flush a still that was never shown is not announced.
  auto fireMarkers = [&](uint32_t upTo, bool flushed = false) {
    while (!markers.empty() && markers.front().first <= upTo) {
      for (const EngineEvent& event : markers.front().second) {
        if (flushed && event.code == EC_DVD_STILL_ON) continue;
        events_.Push(event.code, event.param1, event.param2);
      }
      markers.pop_front();
    }
  };

  auto present = [&](PresentItem&& item) {
    uint64_t itemGeneration = item.generation;
    videoOut_.Push(std::move(item), [&] { return Stale(itemGeneration); });
  };

  // The newest packet fed with this time stamp, or null.
  auto findFed = [&](int64_t pts90k) -> const FedPacket* {
    for (auto it = fed.rbegin(); it != fed.rend(); ++it) {
      if (it->pts90k == pts90k) return &*it;
    }
    return nullptr;
  };

  auto deliver = [&](DecodedPicture& picture) {
    StreamContext context = lastContext;
    uint32_t pictureSegment = lastSegment;
    const FedPacket* source = picture.pts90k >= 0 ? findFed(picture.pts90k) : nullptr;
    const bool placed = source != nullptr;
    if (placed) {
      context = source->context;
      pictureSegment = source->segment;
    }
    int64_t start90k;
    if (placed) {
      start90k = picture.pts90k + context.offset90k;
    } else if (lastStart90k >= 0 && context.epoch == lastEpoch) {
      start90k = lastStart90k + lastDuration90k;
    } else {
      start90k = picture.pts90k >= 0 ? picture.pts90k + context.offset90k : 0;
    }
    // One rising timeline per title: a picture never goes before the last.
    if (context.epoch == lastEpoch && lastStart90k >= 0 && start90k <= lastStart90k) {
      start90k = lastStart90k + lastDuration90k;
    }
    if (start90k < 0) start90k = 0;
    int64_t duration90k = picture.duration90k > 0 ? picture.duration90k : (context.fps == 30 ? 3003 : 3600);
    lastContext = context;
    lastSegment = pictureSegment;
    lastRawPts = picture.pts90k >= 0 ? picture.pts90k : (lastRawPts >= 0 ? lastRawPts + duration90k : -1);
    if (context.epoch != lastEpoch) lastSecond = -1;
    lastEpoch = context.epoch;
    lastStart90k = start90k;
    lastDuration90k = duration90k;

    bool menu = IsMenuDomain(context.domain);
    if (menu) {
      menuPicture = picture;
      menuContext = context;
      menuStart = To100ns(start90k);
    } else {
      menuPicture.data.clear();
    }
    int32_t subpictureState = subpictureState_.load();
    bool showSubpicture = menu || subpictureState == 1 || (subpictureState < 0 && !context.spuHidden);
    if (showSubpicture) {
      subpicture.Blend(picture.data.data(), picture.width, picture.height, lastRawPts, menu);
    }

    Callbacks callbacks;
    if (!WaitForCallbacks(generation, &callbacks)) return;
    // What belongs to this place in the stream is reported just before the picture.
    fireMarkers(pictureSegment);
    if (context.domain == DVD_DOMAIN_Title) {
      int64_t second = start90k / 90000;
      if (second != lastSecond) {
        lastSecond = second;
        DVD_HMSF_TIMECODE code{uint8_t(second / 3600), uint8_t(second / 60 % 60), uint8_t(second % 60),
                               uint8_t(start90k % 90000 * context.fps / 90000)};
        uint32_t packed = 0;
        std::memcpy(&packed, &code, sizeof(packed));
        events_.Push(EC_DVD_CURRENT_HMSF_TIME, intptr_t(packed), 0);
      }
    }
    SetLocation(context, start90k);
    {
      std::lock_guard<std::mutex> lock(locationMutex_);
      lastWidth_ = picture.width;
      lastHeight_ = picture.height;
      lastInterlaced_ = picture.interlaced;
    }
    int64_t start = To100ns(start90k);
    int64_t stop = To100ns(start90k + duration90k);
    int64_t streamTime = StreamTimeFor(context.epoch, start);
    size_t bytes = size_t(picture.width) * picture.height * 3 / 2;
    int show = 0;
    if (bytes <= picture.data.size() && bytes <= (1u << 20)) {
      std::memcpy(callbacks.videoScratch, picture.data.data(), bytes);
      show = callbacks.video(picture.width, picture.height, streamTime, start, stop, callbacks.videoScratch);
    }
    EndCallback();
    PresentItem item;
    item.generation = generation;
    item.epoch = context.epoch;
    item.start = start;
    item.show = show != 0;
    item.width = picture.width;
    item.height = picture.height;
    item.picture = std::move(picture.data);
    present(std::move(item));
  };

  std::deque<DecodedPicture> held;
  int64_t readPts = -1;  // the last video time stamp read from the stream
  uint32_t readEpoch = 0;
  auto releaseReady = [&](bool all) {
    while (!held.empty() && !Stale(generation)) {
      DecodedPicture& front = held.front();
      bool ready = all || held.size() > kMaxHeldPictures || front.pts90k < 0 || readPts < 0;
      if (!ready) {
        const FedPacket* source = findFed(front.pts90k);
        // Another timeline, or time stamps that restarted: nothing to wait for.
        ready = !source || source->context.epoch != readEpoch || readPts < front.pts90k ||
                readPts - front.pts90k >= kSubpictureLookahead90k;
      }
      if (!ready) break;
      DecodedPicture picture = std::move(front);
      held.pop_front();
      deliver(picture);
    }
  };

  while (!quit_) {
    VideoItem item;
    if (!videoIn_.Pop(item, std::chrono::milliseconds(50))) {
      // Nothing in flight: the pictures held back go out, and what waits
      // for a picture is reported now.
      if ((!markers.empty() || !held.empty()) &&
          std::chrono::steady_clock::now() - idleSince > std::chrono::milliseconds(150)) {
        releaseReady(true);
        if (!Stale(generation)) fireMarkers(UINT32_MAX);
      }
      continue;
    }
    idleSince = std::chrono::steady_clock::now();
    if (item.generation != generation_.load()) continue;
    if (item.generation != generation) {
      // A flush: start from nothing; what was waiting for a picture is
      // reported now.
      decoder.Flush();
      subpicture.Flush();
      fed.clear();
      held.clear();
      readPts = -1;
      fireMarkers(UINT32_MAX, true);
      menuPicture.data.clear();
      generation = item.generation;
      lastStart90k = -1;
      lastRawPts = -1;
      lastEpoch = 0;
      lastSecond = -1;
      lastContext = item.context;
    }
    pictures.clear();
    switch (item.kind) {
      case VideoItem::Packet:
        if (item.pts90k >= 0) {
          fed.push_back({item.pts90k, item.context, segment});
          if (fed.size() > 64) fed.pop_front();
        }
        if (lastStart90k < 0) lastContext = item.context;
        decoder.Decode(item.bytes.data(), item.bytes.size() - kPadding, item.pts90k, pictures);
        break;
      case VideoItem::Subpicture:
        subpicture.Decode(item.bytes.data(), item.bytes.size() - kPadding, item.pts90k);
        break;
      case VideoItem::Palette:
        subpicture.SetPalette(item.clut);
        break;
      case VideoItem::HighlightArea:
        subpicture.SetHighlight(item.hasHighlight ? &item.highlight : nullptr);
        if (!menuPicture.data.empty() && videoIn_.Size() == 0) {
          // A still menu shows the new highlight at once.
          PresentItem again;
          again.generation = generation;
          again.epoch = menuContext.epoch;
          again.start = menuStart;
          again.width = menuPicture.width;
          again.height = menuPicture.height;
          again.picture = menuPicture.data;
          subpicture.Blend(again.picture.data(), again.width, again.height, lastRawPts, true);
          present(std::move(again));
        }
        break;
      case VideoItem::Drain:
        decoder.Drain(pictures);
        break;
      case VideoItem::Marker:
        ++segment;
        markers.emplace_back(segment, std::move(item.events));
        break;
    }
    if (item.kind == VideoItem::Packet && item.pts90k >= 0) {
      readPts = item.pts90k;
      readEpoch = item.context.epoch;
    }
    for (DecodedPicture& picture : pictures) held.push_back(std::move(picture));
    releaseReady(item.kind == VideoItem::Drain);
    if (item.kind == VideoItem::Drain && !Stale(generation)) fireMarkers(UINT32_MAX);
  }
}

void Engine::VideoPresentLoop() {
  while (!quit_) {
    PresentItem item;
    if (!videoOut_.Pop(item, std::chrono::milliseconds(50))) continue;
    if (!WaitDue(item, videoWaiter_, false)) continue;
    if (!item.show) continue;
    {
      std::lock_guard<std::mutex> lock(overlayMutex_);
      if (overlayOn_ && !overlayPixels_.empty()) {
        BlendOverlay(item.picture.data(), item.width, item.height, overlayPixels_.data(), overlay_.width,
                     overlay_.height, overlay_.colorKey, overlay_.destLeft, overlay_.destTop,
                     overlay_.destRight, overlay_.destBottom, overlay_.alpha);
      }
    }
    std::lock_guard<std::mutex> lock(sinkMutex_);
    if (!sink_) continue;
    VideoPicture picture{};
    size_t lumaSize = size_t(item.width) * item.height;
    picture.planes[0] = item.picture.data();
    picture.planes[1] = item.picture.data() + lumaSize;
    picture.planes[2] = item.picture.data() + lumaSize + lumaSize / 4;
    picture.pitches[0] = item.width;
    picture.pitches[1] = picture.pitches[2] = item.width / 2;
    picture.width = item.width;
    picture.height = item.height;
    picture.windowX = window_[0];
    picture.windowY = window_[1];
    picture.windowWidth = window_[2];
    picture.windowHeight = window_[3];
    if (hasDestination_) {
      picture.destX = destination_[0];
      picture.destY = destination_[1];
      picture.destWidth = destination_[2];
      picture.destHeight = destination_[3];
    } else {
      picture.destWidth = window_[2] > 0 ? window_[2] : item.width;
      picture.destHeight = window_[3] > 0 ? window_[3] : item.height;
    }
    sink_->Present(picture);
  }
}

}  // namespace tarnplayer
