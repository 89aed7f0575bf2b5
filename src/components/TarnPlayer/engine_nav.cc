// The navigation thread: runs libdvdnav, follows domains, titles, chapters
// and stills, rebases the disc's time stamps onto the title's timeline and
// splits every pack into packets for the video and audio threads.
#include <dvdnav/dvdnav.h>

#include <chrono>
#include <cstring>

#include "engine.h"
#include "ps_demux.h"

namespace tarnplayer {
namespace {

// libavcodec's parsers read up to 64 bytes past the end of what they are
// given (AV_INPUT_BUFFER_PADDING_SIZE), so every payload carries zeros there.
constexpr size_t kInputPadding = kPadding;

void CopyPayload(const PesPayload& payload, std::vector<uint8_t>& bytes) {
  bytes.reserve(payload.size + kInputPadding);
  bytes.assign(payload.data, payload.data + payload.size);
  bytes.insert(bytes.end(), kInputPadding, 0);
}

constexpr int kRetriesBeforeSkip = 2;
constexpr int kMaxSkips = 16;
// Events in a row that carry no data before the navigator counts as stuck.
constexpr int kMaxIdleEvents = 20000;

int64_t SteadyNow100ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
             .count() /
         100;
}

}  // namespace

int32_t Engine::DomainLocked() const {
  if (stopDomain_) return DVD_DOMAIN_Stop;
  if (!navStarted_) return DVD_DOMAIN_FirstPlay;
  if (dvdnav_is_domain_vts(nav_)) return DVD_DOMAIN_Title;
  if (dvdnav_is_domain_vtsm(nav_)) return DVD_DOMAIN_VideoTitleSetMenu;
  if (dvdnav_is_domain_vmgm(nav_)) return DVD_DOMAIN_VideoManagerMenu;
  return DVD_DOMAIN_FirstPlay;
}

// libdvdnav maps a logical stream (the number the user picks) to the
// physical one in the packs with dvdnav_get_audio_logical_stream.
int Engine::ActiveAudioPhysicalLocked() const {
  if (audioOverride_ >= 0) {
    int physical = dvdnav_get_audio_logical_stream(nav_, uint8_t(audioOverride_));
    if (physical >= 0) return physical;
  }
  return dvdnav_get_active_audio_stream(nav_);
}

// Physical stream numbers count per coding (AC-3 0x80+n, MPEG 0xC0+n, LPCM
// 0xA0+n), so a pack's audio belongs to the stream only when its coding is
// the logical stream's too.
bool Engine::ActiveAudioLocked(int* physical, PesKind* kind) const {
  *physical = ActiveAudioPhysicalLocked();
  if (*physical < 0) return false;
  int logical = LogicalAudioLocked(*physical);
  audio_attr_t attr{};
  if (dvdnav_get_audio_attr(nav_, uint8_t(logical), &attr) != DVDNAV_STATUS_OK) return false;
  switch (attr.audio_format) {
    case 0: *kind = PesKind::Ac3; return true;
    case 2:
    case 3: *kind = PesKind::MpegAudio; return true;
    case 4: *kind = PesKind::Lpcm; return true;
    case 6: *kind = PesKind::Dts; return true;
    default: return false;
  }
}

int Engine::ActiveSpuPhysicalLocked(bool* hidden) const {
  *hidden = false;
  if (spuOverride_ >= 0) {
    int physical = dvdnav_get_spu_logical_stream(nav_, uint8_t(spuOverride_));
    if (physical >= 0) return physical & 0x1F;
  }
  // The stream number comes with 0x80 set when the disc shows only forced
  // subpictures; as a signed byte that reads negative. 0xFF: no stream.
  uint8_t active = uint8_t(dvdnav_get_active_spu_stream(nav_));
  if (active == 0xFF) return -1;
  *hidden = (active & 0x80) != 0;
  return active & 0x1F;
}

int Engine::LogicalAudioLocked(int physical) const {
  if (audioOverride_ >= 0) return audioOverride_;
  for (int logical = 0; logical < 8; ++logical) {
    if (dvdnav_get_audio_logical_stream(nav_, uint8_t(logical)) == physical) return logical;
  }
  return 0;
}

int Engine::LogicalSpuLocked(int physical) const {
  if (spuOverride_ >= 0) return spuOverride_;
  for (int logical = 0; logical < 32; ++logical) {
    int mapped = dvdnav_get_spu_logical_stream(nav_, uint8_t(logical));
    if (mapped >= 0 && (mapped & 0x1F) == physical) return logical;
  }
  return 0;
}

int Engine::AudioStreamCountLocked() const {
  int count = 0;
  for (int logical = 0; logical < 8; ++logical) {
    if (dvdnav_get_audio_logical_stream(nav_, uint8_t(logical)) >= 0) ++count;
  }
  return count;
}

int Engine::SpuStreamCountLocked() const {
  int count = 0;
  for (int logical = 0; logical < 32; ++logical) {
    if (dvdnav_get_spu_logical_stream(nav_, uint8_t(logical)) >= 0) ++count;
  }
  return count;
}

uint32_t Engine::UopsLocked() const {
  user_ops_t ops = dvdnav_get_restrictions(nav_);
  uint32_t value = 0;
  static_assert(sizeof(ops) == sizeof(value));
  std::memcpy(&value, &ops, sizeof(value));
  return value;
}

VideoItem Engine::NewVideoItem(VideoItem::Kind kind) const {
  VideoItem item;
  item.kind = kind;
  item.generation = generation_.load();
  item.context = context_;
  return item;
}

void Engine::AddMarker(std::vector<VideoItem>& video, int32_t code, intptr_t param1) {
  VideoItem item = NewVideoItem(VideoItem::Marker);
  item.events.push_back({code, param1, 0});
  video.push_back(std::move(item));
}

void Engine::AddHighlight(std::vector<VideoItem>& video) {
  VideoItem item = NewVideoItem(VideoItem::HighlightArea);
  int32_t button = 0;
  pci_t* pci = dvdnav_get_current_nav_pci(nav_);
  if (pci && (pci->hli.hl_gi.hli_ss & 0x03) && (pci->hli.hl_gi.btn_ns & 0x3F) &&
      dvdnav_get_current_highlight(nav_, &button) == DVDNAV_STATUS_OK && button > 0) {
    dvdnav_highlight_area_t area{};
    if (dvdnav_get_highlight_area(pci, button, 0, &area) == DVDNAV_STATUS_OK) {
      item.hasHighlight = true;
      item.highlight.sx = area.sx;
      item.highlight.sy = area.sy;
      item.highlight.ex = area.ex;
      item.highlight.ey = area.ey;
      item.highlight.palette = area.palette;
    }
  }
  video.push_back(std::move(item));
}

// Compares the navigator's place with what was reported and queues the
// changes; a new domain or title starts a new timeline.
void Engine::CheckPlace(std::vector<VideoItem>& video) {
  int32_t domain = DomainLocked();
  int32_t title = 0, part = 0;
  if (domain == DVD_DOMAIN_Title) dvdnav_current_title_info(nav_, &title, &part);
  bool newTimeline = false;
  if (domain != lastDomain_) {
    AddMarker(video, EC_DVD_DOMAIN_CHANGE, domain);
    lastDomain_ = domain;
    lastChapter_ = 0;
    newTimeline = true;
  }
  if (domain == DVD_DOMAIN_Title && title != lastTitle_) {
    AddMarker(video, EC_DVD_TITLE_CHANGE, title);
    lastTitle_ = title;
    lastChapter_ = 0;
    newTimeline = true;
  }
  if (newTimeline) {
    context_.epoch = nextEpoch_++;
    rebase_ = true;
  }
  if (domain == DVD_DOMAIN_Title && part > 0 && part != lastChapter_) {
    AddMarker(video, EC_DVD_CHAPTER_START, part);
    lastChapter_ = part;
  }
  context_.domain = domain;
  context_.title = domain == DVD_DOMAIN_Title ? title : 0;
  context_.chapter = domain == DVD_DOMAIN_Title ? part : 0;
  uint32_t width = 0, height = 0;
  dvdnav_get_video_resolution(nav_, &width, &height);
  context_.fps = (height == 480 || height == 240) ? 30 : 25;

  int32_t angle = 0, angles = 0;
  if (dvdnav_get_angle_info(nav_, &angle, &angles) == DVDNAV_STATUS_OK && angles != lastAngles_) {
    lastAngles_ = angles;
    events_.Push(EC_DVD_ANGLES_AVAILABLE, angles > 1 ? 1 : 0);
  }
  bool hidden = false;
  int audio = LogicalAudioLocked(ActiveAudioPhysicalLocked());
  if (audio != lastAudio_) {
    lastAudio_ = audio;
    events_.Push(EC_DVD_AUDIO_STREAM_CHANGE, audio);
  }
  int spuPhysical = ActiveSpuPhysicalLocked(&hidden);
  int spu = spuPhysical >= 0 ? LogicalSpuLocked(spuPhysical) : 0;
  if (spu != lastSpu_) {
    lastSpu_ = spu;
    events_.Push(EC_DVD_SUBPICTURE_STREAM_CHANGE, spu);
  }
  uint32_t uops = UopsLocked();
  if (uops != lastUops_) {
    lastUops_ = uops;
    events_.Push(EC_DVD_VALID_UOPS_CHANGE, intptr_t(uops));
  }
}

void Engine::HandleCellChange(const void* cellEvent, std::vector<VideoItem>& video) {
  const auto* cell = static_cast<const dvdnav_cell_change_event_t*>(cellEvent);
  cellStart90k_ = cell->cell_start;
  CheckPlace(video);
}

// A navigation pack starts a VOBU: where its start time does not follow on
// from the last VOBU the disc's time stamps restarted, so the offset onto
// the title's elapsed time is taken anew from the navigator's cell time.
void Engine::HandleNavPacket(std::vector<VideoItem>& video) {
  pci_t* pci = dvdnav_get_current_nav_pci(nav_);
  if (!pci) return;
  int64_t vobuStart = pci->pci_gi.vobu_s_ptm;
  int64_t vobuEnd = pci->pci_gi.vobu_e_ptm;
  if (rebase_ || lastVobuEnd_ < 0 || vobuStart != lastVobuEnd_) {
    int64_t elapsed = dvdnav_get_current_time(nav_);
    if (elapsed < 0) elapsed = cellStart90k_;
    context_.offset90k = elapsed - vobuStart;
    rebase_ = false;
  }
  lastVobuEnd_ = vobuEnd;
  int buttons = (pci->hli.hl_gi.hli_ss & 0x03) ? (pci->hli.hl_gi.btn_ns & 0x3F) : 0;
  if (buttons != lastButtons_) {
    lastButtons_ = buttons;
    events_.Push(EC_DVD_BUTTON_CHANGE, buttons);
    AddHighlight(video);
  }
  uint32_t uops = UopsLocked();
  if (uops != lastUops_) {
    lastUops_ = uops;
    events_.Push(EC_DVD_VALID_UOPS_CHANGE, intptr_t(uops));
  }
  skips_ = 0;
}

void Engine::HandleBlock(const uint8_t* block, int length, std::vector<VideoItem>& video,
                         std::vector<AudioItem>& audio) {
  std::vector<PesPayload> payloads;
  if (!SplitPack(block, size_t(length), payloads)) {
    if (!reportedBadData_) {
      reportedBadData_ = true;
      events_.Push(EC_DVD_WARNING, DVD_WARNING_Read);
    }
  } else {
    readErrors_ = 0;
  }
  if (payloads.empty()) return;
  int audioStream = -1;
  PesKind audioKind = PesKind::Other;
  if (!ActiveAudioLocked(&audioStream, &audioKind)) audioStream = -1;
  bool spuHidden = false;
  int spuStream = ActiveSpuPhysicalLocked(&spuHidden);
  context_.spuHidden = spuHidden;
  for (const PesPayload& payload : payloads) {
    switch (payload.kind) {
      case PesKind::Video:
      case PesKind::Subpicture: {
        if (payload.kind == PesKind::Subpicture && payload.stream != spuStream) break;
        VideoItem item = NewVideoItem(payload.kind == PesKind::Video ? VideoItem::Packet
                                                                     : VideoItem::Subpicture);
        CopyPayload(payload, item.bytes);
        item.pts90k = payload.pts90k;
        video.push_back(std::move(item));
        break;
      }
      case PesKind::Ac3:
      case PesKind::Dts:
      case PesKind::Lpcm:
      case PesKind::MpegAudio: {
        if (payload.stream != audioStream || payload.kind != audioKind) break;
        AudioItem item;
        item.generation = generation_.load();
        item.context = context_;
        item.coding = payload.kind == PesKind::Ac3    ? AudioCoding::AC3
                      : payload.kind == PesKind::Dts  ? AudioCoding::DTS
                      : payload.kind == PesKind::Lpcm ? AudioCoding::LPCM
                                                      : AudioCoding::MPEG;
        CopyPayload(payload, item.bytes);
        item.pts90k = payload.pts90k;
        audio.push_back(std::move(item));
        break;
      }
      case PesKind::Other:
        break;
    }
  }
}

void Engine::EnterStopDomain(std::vector<VideoItem>& video, std::vector<AudioItem>& audio) {
  video.push_back(NewVideoItem(VideoItem::Drain));
  stopDomain_ = true;
  inStill_ = false;
  if (lastDomain_ != DVD_DOMAIN_Stop) {
    lastDomain_ = DVD_DOMAIN_Stop;
    AddMarker(video, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Stop);
  }
  // The marker after the drain fires once the last picture is handed over.
  video.push_back(NewVideoItem(VideoItem::Drain));
}

// A read that failed: a few retries, then skip ahead further each time, then
// the next chapter; when nothing more can be read playback stops.
bool Engine::HandleReadError(std::vector<VideoItem>& video, std::vector<AudioItem>& audio) {
  const char* text = dvdnav_err_to_string(nav_);
  bool openFailure = text && (std::strstr(text, "open") || std::strstr(text, "Open"));
  if (!reportedBadData_) {
    reportedBadData_ = true;
    events_.Push(EC_DVD_WARNING, openFailure ? DVD_WARNING_Open : DVD_WARNING_Read);
  }
  if (++readErrors_ <= kRetriesBeforeSkip) return true;
  readErrors_ = 0;
  if (++skips_ > kMaxSkips) {
    EnterStopDomain(video, audio);
    return false;
  }
  int64_t skip = int64_t(16) << (skips_ < 10 ? skips_ : 10);
  if (dvdnav_sector_search(nav_, skip, SEEK_CUR) != DVDNAV_STATUS_OK) {
    events_.Push(EC_DVD_WARNING, DVD_WARNING_Seek);
    if (dvdnav_next_pg_search(nav_) != DVDNAV_STATUS_OK) {
      EnterStopDomain(video, audio);
      return false;
    }
  }
  rebase_ = true;
  return true;
}

void Engine::HandleNavEvent(int event, const uint8_t* block, int length,
                            std::vector<VideoItem>& video, std::vector<AudioItem>& audio) {
  if (event == DVDNAV_BLOCK_OK || event == DVDNAV_NAV_PACKET) {
    idleEvents_ = 0;
  } else if (event != DVDNAV_STILL_FRAME && event != DVDNAV_WAIT && ++idleEvents_ > kMaxIdleEvents) {
    events_.Push(EC_DVD_WARNING, DVD_WARNING_Read);
    EnterStopDomain(video, audio);
    return;
  }
  switch (event) {
    case DVDNAV_BLOCK_OK:
      HandleBlock(block, length, video, audio);
      break;
    case DVDNAV_NAV_PACKET:
      HandleNavPacket(video);
      break;
    case DVDNAV_CELL_CHANGE:
      HandleCellChange(block, video);
      break;
    case DVDNAV_VTS_CHANGE:
    case DVDNAV_AUDIO_STREAM_CHANGE:
    case DVDNAV_SPU_STREAM_CHANGE:
      CheckPlace(video);
      break;
    case DVDNAV_SPU_CLUT_CHANGE: {
      VideoItem item = NewVideoItem(VideoItem::Palette);
      std::memcpy(item.clut, block, sizeof(item.clut));
      video.push_back(std::move(item));
      break;
    }
    case DVDNAV_HIGHLIGHT:
      AddHighlight(video);
      events_.Push(EC_DVD_BUTTON_CHANGE, lastButtons_ > 0 ? lastButtons_ : 0);
      break;
    case DVDNAV_STILL_FRAME: {
      if (inStill_) break;
      const auto* still = reinterpret_cast<const dvdnav_still_event_t*>(block);
      inStill_ = true;
      // A timed still counts from when its picture is out (the loop starts
      // the count once the video queues are empty).
      stillLength100ns_ = int64_t(still->length) * 10000000;
      stillEnd_ = still->length >= 0xFF ? 0 : -1;
      video.push_back(NewVideoItem(VideoItem::Drain));
      AddMarker(video, EC_DVD_STILL_ON, lastButtons_ > 0 ? 0 : 1);
      video.push_back(NewVideoItem(VideoItem::Drain));
      break;
    }
    case DVDNAV_STOP:
      EnterStopDomain(video, audio);
      break;
    default:  // NOP, HOP_CHANNEL (a command flushes itself), WAIT (handled by the loop)
      break;
  }
}

bool Engine::PushAll(std::vector<VideoItem>& video, std::vector<AudioItem>& audio) {
  for (VideoItem& item : video) {
    uint64_t generation = item.generation;
    if (!videoIn_.Push(std::move(item), [&] { return Stale(generation); })) return false;
  }
  for (AudioItem& item : audio) {
    uint64_t generation = item.generation;
    if (!audioIn_.Push(std::move(item), [&] { return Stale(generation); })) return false;
  }
  return true;
}

void Engine::WakeNav() {
  {
    std::lock_guard<std::mutex> lock(navMutex_);
    ++navCommands_;
  }
  navWake_.notify_all();
  stillWaiter_.Interrupt();
}

void Engine::NavLoop() {
  std::vector<uint8_t> block(DVD_VIDEO_LB_LEN);
  std::vector<VideoItem> video;
  std::vector<AudioItem> audio;
  int waitRounds = 0;
  while (!quit_) {
    video.clear();
    audio.clear();
    bool timedStill = false, waiting = false;
    int64_t stillEnd = 0;
    uint64_t seenCommands = 0;
    {
      std::unique_lock<std::mutex> lock(navMutex_);
      seenCommands = navCommands_;
      if (state_ == State_Stopped || stopDomain_ || (inStill_ && stillEnd_ == 0)) {
        navWake_.wait_for(lock, std::chrono::milliseconds(50),
                          [&] { return quit_.load() || navCommands_ != seenCommands; });
        continue;
      }
      if (inStill_) {
        timedStill = true;
        stillEnd = stillEnd_;
      } else {
        int event = DVDNAV_NOP, length = 0;
        uint8_t* buffer = block.data();
        if (!navStarted_ && lastDomain_ != DVD_DOMAIN_FirstPlay) {
          // The disc starts with its first-play chain (it runs inside the
          // first read and usually jumps on at once).
          lastDomain_ = DVD_DOMAIN_FirstPlay;
          AddMarker(video, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_FirstPlay);
        }
        if (dvdnav_get_next_block(nav_, buffer, &event, &length) != DVDNAV_STATUS_OK) {
          HandleReadError(video, audio);
        } else {
          if (!navStarted_) navStarted_ = true;
          if (event == DVDNAV_WAIT) {
            // The navigator wants what is queued played out first.
            waiting = true;
            if ((videoIn_.Size() == 0 && audioIn_.Size() == 0) || ++waitRounds > 200) {
              dvdnav_wait_skip(nav_);
              waiting = false;
              waitRounds = 0;
            }
          } else {
            HandleNavEvent(event, buffer, length, video, audio);
          }
        }
      }
    }
    if (timedStill) {
      if (Holding()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        continue;
      }
      if (stillEnd < 0) {
        if (videoIn_.Size() == 0 && videoOut_.Size() == 0) {
          int64_t now = SteadyNow100ns();
          {
            std::lock_guard<std::mutex> lock(clockMutex_);
            if (clock_) clock_->GetTime(&now);
          }
          std::lock_guard<std::mutex> lock(navMutex_);
          if (inStill_ && stillEnd_ < 0 && navCommands_ == seenCommands) {
            stillEnd_ = now + stillLength100ns_;
            if (stillEnd_ <= 0) stillEnd_ = 1;
          }
        } else {
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        continue;
      }
      IReferenceClock* clock = AcquireClock();
      bool ended;
      if (clock) {
        ended = stillWaiter_.WaitUntil(clock, stillEnd, [&] {
          std::lock_guard<std::mutex> lock(navMutex_);
          return quit_.load() || navCommands_ != seenCommands || Holding();
        });
        clock->Release();
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ended = SteadyNow100ns() >= stillEnd;
      }
      if (ended) {
        std::lock_guard<std::mutex> lock(navMutex_);
        if (inStill_ && navCommands_ == seenCommands) {
          dvdnav_still_skip(nav_);
          inStill_ = false;
          events_.Push(EC_DVD_STILL_OFF);
        }
      }
      continue;
    }
    if (waiting) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    PushAll(video, audio);
  }
}

}  // namespace tarnplayer
