// The playback graph behind the interfaces of TarnPlayer.h: the navigator
// (libdvdnav) on its own thread splitting the disc into decoder packets, a
// video and an audio thread that decode and hand every picture and PCM
// block to the host's callbacks, and two presenter threads that hold what
// was decoded until the reference clock says it is due.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TarnPlayer.h"
#include "audio_decoder.h"
#include "audio_output.h"
#include "blocking_queue.h"
#include "clock_waiter.h"
#include "event_queue.h"
#include "ps_demux.h"
#include "subpicture.h"

struct dvdnav_s;

namespace tarnplayer {

// Where the packets of one navigation pack lie on the title's timeline.
struct StreamContext {
  int64_t offset90k = 0;  // elapsed title time = stream time stamp + offset
  uint32_t epoch = 0;     // timeline number: new after every flush and title or domain change
  int32_t domain = 0;     // DvdDomain
  int32_t title = 0;
  int32_t chapter = 0;
  int32_t fps = 25;       // frames of the time codes
  bool spuHidden = false; // the disc shows only forced subpictures here
};

// Packet bytes end in this many zero bytes that are not part of the payload
// (the decoders' parsers read past the end).
constexpr size_t kPadding = 64;

struct VideoItem {
  enum Kind { Packet, Subpicture, Palette, HighlightArea, Drain, Marker } kind = Packet;
  uint64_t generation = 0;
  StreamContext context;
  std::vector<uint8_t> bytes;
  int64_t pts90k = -1;
  uint32_t clut[16] = {};
  bool hasHighlight = false;
  Highlight highlight;
  std::vector<EngineEvent> events;  // Marker: queued when playback reaches this place
};

struct AudioItem {
  uint64_t generation = 0;
  StreamContext context;
  AudioCoding coding = AudioCoding::AC3;
  std::vector<uint8_t> bytes;
  int64_t pts90k = -1;
};

// A decoded picture or block waiting for its due time.
struct PresentItem {
  uint64_t generation = 0;
  uint32_t epoch = 0;
  int64_t start = 0;  // 100 ns on the title's timeline
  bool show = true;
  int width = 0, height = 0;
  std::vector<uint8_t> picture;
  std::vector<int16_t> samples;
};

class Engine {
 public:
  Engine();
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // False when `path` is not a playable disc; nothing stays open then.
  bool Open(const std::string& path);
  void Close();

  // Host callbacks (TarnPlayMedia / TarnStopMedia).
  void StartCallbacks(TarnVideoCallback video, TarnAudioCallback audio, unsigned char* videoScratch,
                      unsigned char* audioScratch);
  void StopCallbacks();

  EventQueue& Events() { return events_; }

  // IMediaControl.
  HRESULT Run();
  HRESULT PauseGraph();
  HRESULT StopGraph();
  int32_t State() const { return state_.load(); }

  // IMediaFilter.
  HRESULT SetSyncSource(IReferenceClock* clock);
  HRESULT GetSyncSource(IReferenceClock** clock);

  // IVideoWindow / IBasicVideo / IBasicAudio / IVMRMixerBitmap9.
  void SetVideoSink(IVideoSink* sink);
  void SetWindowPosition(int32_t x, int32_t y, int32_t width, int32_t height);
  void SetDestination(int32_t x, int32_t y, int32_t width, int32_t height);
  void ResetDestination();
  HRESULT GetVideoSize(int32_t* width, int32_t* height);
  void SetVolume(int32_t volume);
  int32_t Volume() const { return volume_.load(); }
  HRESULT SetOverlay(const MixerAlphaBitmap* bitmap, bool parametersOnly);

  // IDvdControl2.
  HRESULT SetOption(int32_t option, int32_t value);
  HRESULT PlayTitle(uint32_t title);
  HRESULT PlayChapterInTitle(uint32_t title, uint32_t chapter);
  HRESULT PlayChapter(uint32_t chapter);
  HRESULT PlayNextChapter();
  HRESULT PlayPrevChapter();
  HRESULT PlayAtTime(const DVD_HMSF_TIMECODE* time);
  HRESULT PlayForwards(double speed);
  HRESULT NavigatorPause(bool pause);
  HRESULT Resume();
  HRESULT ShowMenu(int32_t menu);
  HRESULT ReturnFromSubmenu();
  HRESULT StillOff();
  HRESULT SelectRelativeButton(int32_t direction);
  HRESULT SelectButton(uint32_t button);
  HRESULT ActivateButton();
  HRESULT SelectAtPosition(int32_t x, int32_t y, bool activate);
  HRESULT SelectAudioStream(uint32_t stream);
  HRESULT SelectSubpictureStream(uint32_t stream);
  HRESULT SetSubpictureState(bool on);
  HRESULT SelectAngle(uint32_t angle);
  HRESULT SelectParentalLevel(uint32_t level);

  // IDvdInfo2.
  HRESULT GetCurrentDomain(int32_t* domain);
  HRESULT GetCurrentLocation(DVD_PLAYBACK_LOCATION2* location);
  HRESULT GetTotalTitleTime(DVD_HMSF_TIMECODE* time, uint32_t* flags);
  HRESULT GetNumberOfChapters(uint32_t title, uint32_t* chapters);
  HRESULT GetTitleCount(uint32_t* titles);
  HRESULT GetCurrentAudio(uint32_t* available, uint32_t* current);
  HRESULT GetCurrentSubpicture(uint32_t* available, uint32_t* current, int32_t* disabled);
  HRESULT GetCurrentAngle(uint32_t* available, uint32_t* current);
  HRESULT GetCurrentButton(uint32_t* available, uint32_t* current);
  HRESULT GetCurrentUops(uint32_t* uops);
  HRESULT GetAudioAttributes(uint32_t stream, DVD_AudioAttributes* attributes);
  HRESULT GetSubpictureAttributes(uint32_t stream, DVD_SubpictureAttributes* attributes);
  HRESULT GetCurrentVideoAttributes(DVD_VideoAttributes* attributes);

 private:
  // --- navigation thread (engine_nav.cc)
  void NavLoop();
  void HandleNavEvent(int event, const uint8_t* block, int length, std::vector<VideoItem>& video,
                      std::vector<AudioItem>& audio);
  void HandleBlock(const uint8_t* block, int length, std::vector<VideoItem>& video,
                   std::vector<AudioItem>& audio);
  void HandleCellChange(const void* cellEvent, std::vector<VideoItem>& video);
  void HandleNavPacket(std::vector<VideoItem>& video);
  bool HandleReadError(std::vector<VideoItem>& video, std::vector<AudioItem>& audio);
  void CheckPlace(std::vector<VideoItem>& video);
  void EnterStopDomain(std::vector<VideoItem>& video, std::vector<AudioItem>& audio);
  void AddMarker(std::vector<VideoItem>& video, int32_t code, intptr_t param1);
  VideoItem NewVideoItem(VideoItem::Kind kind) const;
  void AddHighlight(std::vector<VideoItem>& video);
  bool PushAll(std::vector<VideoItem>& video, std::vector<AudioItem>& audio);
  void WaitForNav(int64_t timeoutMs);
  int32_t DomainLocked() const;
  int ActiveAudioPhysicalLocked() const;
  bool ActiveAudioLocked(int* physical, PesKind* kind) const;
  int ActiveSpuPhysicalLocked(bool* hidden) const;
  int LogicalAudioLocked(int physical) const;
  int LogicalSpuLocked(int physical) const;
  int AudioStreamCountLocked() const;
  int SpuStreamCountLocked() const;
  uint32_t UopsLocked() const;

  // --- commands (engine_commands.cc)
  // Runs after a navigator jump: drops what is queued and starts a new timeline.
  void FlushLocked(int64_t newTime90k);
  HRESULT CheckTitleDomainLocked() const;
  void WakeNav();

  // --- decoding and presentation (engine_video.cc, engine_audio.cc)
  void VideoLoop();
  void AudioLoop();
  void VideoPresentLoop();
  void AudioPresentLoop();
  struct Callbacks {
    TarnVideoCallback video = nullptr;
    TarnAudioCallback audio = nullptr;
    unsigned char* videoScratch = nullptr;
    unsigned char* audioScratch = nullptr;
  };
  // Waits until the host has given its callbacks; on true `callbacks` holds
  // them and the caller runs one callback and then calls EndCallback.
  bool WaitForCallbacks(uint64_t generation, Callbacks* callbacks);
  void EndCallback();
  int64_t StreamTimeFor(uint32_t epoch, int64_t start);
  bool HasStreamTime(uint32_t epoch) const;
  // Waits until the item is due; false when it was flushed meanwhile. Audio
  // waits for the timeline's first picture to fix the stream time.
  bool WaitDue(const PresentItem& item, ClockWaiter& waiter, bool followVideo);
  bool Holding() const;
  void UpdateHold();
  bool Stale(uint64_t generation) const { return quit_.load() || generation != generation_.load(); }
  void SetLocation(const StreamContext& context, int64_t time90k);

  // Navigator.
  mutable std::mutex navMutex_;  // guards nav_ and every navigator field below
  dvdnav_s* nav_ = nullptr;
  std::string path_;
  bool navStarted_ = false;
  bool inStill_ = false;
  int64_t stillEnd_ = 0;  // clock time when a timed still ends (0: infinite, -1: not counting yet)
  int64_t stillLength100ns_ = 0;
  bool stopDomain_ = false;
  bool resetOnStop_ = false;
  int32_t lastDomain_ = 0, lastTitle_ = 0, lastChapter_ = 0, lastAngles_ = 0;
  int32_t lastAudio_ = -1, lastSpu_ = -1, lastButtons_ = -1;
  uint32_t lastUops_ = 0xFFFFFFFFu;
  int32_t audioOverride_ = -1, spuOverride_ = -1;  // logical streams the host chose
  int64_t cellStart90k_ = 0;
  int64_t lastVobuEnd_ = -1;
  bool rebase_ = true;
  StreamContext context_;
  uint32_t nextEpoch_ = 1;
  int readErrors_ = 0, skips_ = 0;
  bool reportedBadData_ = false;
  int idleEvents_ = 0;
  uint64_t navCommands_ = 0;
  std::condition_variable navWake_;
  uint32_t parentalLevel_ = 8;

  // Shared flags.
  std::atomic<bool> quit_{false};
  std::atomic<uint64_t> generation_{1};
  std::atomic<int32_t> state_{State_Stopped};
  std::atomic<bool> navPaused_{false};
  std::atomic<int32_t> subpictureState_{-1};  // -1: as the disc says, 0 off, 1 on
  std::atomic<int32_t> volume_{0};

  // Callbacks.
  std::mutex callbackMutex_;
  std::condition_variable callbackChanged_;
  TarnVideoCallback videoCallback_ = nullptr;
  TarnAudioCallback audioCallback_ = nullptr;
  unsigned char* videoScratch_ = nullptr;
  unsigned char* audioScratch_ = nullptr;
  int activeCallbacks_ = 0;

  // Clock, anchors and holding.
  mutable std::mutex clockMutex_;
  std::condition_variable holdChanged_;
  IReferenceClock* clock_ = nullptr;
  std::atomic<uint32_t> clockChanges_{0};  // a wait on a clock that was replaced gives up
  std::map<uint32_t, int64_t> anchors_;  // epoch -> stream time
  bool held_ = true;
  int64_t heldSince_ = 0;
  IReferenceClock* AcquireClock();
  int64_t ClockNowLocked();

  // Location of the last picture handed over.
  mutable std::mutex locationMutex_;
  StreamContext location_;
  int64_t locationTime90k_ = 0;
  int32_t lastWidth_ = 0, lastHeight_ = 0;
  bool lastInterlaced_ = false;

  // Output.
  std::mutex sinkMutex_;
  IVideoSink* sink_ = nullptr;
  int32_t window_[4] = {0, 0, 0, 0};
  int32_t destination_[4] = {0, 0, 0, 0};
  bool hasDestination_ = false;
  std::mutex overlayMutex_;
  std::vector<uint32_t> overlayPixels_;
  MixerAlphaBitmap overlay_ = {};
  bool overlayOn_ = false;
  AudioOutput audioOutput_;
  bool audioOpen_ = false;

  EventQueue events_;
  BlockingQueue<VideoItem> videoIn_{160};
  BlockingQueue<AudioItem> audioIn_{96};
  BlockingQueue<PresentItem> videoOut_{3};
  BlockingQueue<PresentItem> audioOut_{6};
  ClockWaiter videoWaiter_, audioWaiter_, stillWaiter_;
  std::vector<std::thread> threads_;
};

}  // namespace tarnplayer
