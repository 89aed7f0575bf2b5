// libTarnPlayer.so: the capture and playback engine.
//
// The engine opens a disc folder (a VIDEO_TS folder, the folder above it, an
// ISO image or a device node), builds a navigator graph on libdvdnav and
// FFmpeg, and hands back ten interface objects that stand for the graph's
// control interfaces. Once started with TarnPlayMedia it delivers every
// decoded picture and PCM block to two callbacks on its own threads, paced by
// the reference clock the host sets with IMediaFilter::SetSyncSource.
//
// Everything here is plain C++ with C entry points: the host loads the
// library with dlopen and looks the four entry points up by name.
#ifndef TARN_COMPONENTS_TARNPLAYER_TARNPLAYER_H
#define TARN_COMPONENTS_TARNPLAYER_TARNPLAYER_H

#include <cstdint>

namespace tarnplayer {

// Result codes, with the values the host compares against.
using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
// The operation is not allowed in the current domain or by the disc.
constexpr HRESULT VFW_E_DVD_OPERATION_INHIBITED = static_cast<HRESULT>(0x80040276u);
// The navigator is not in a state where the request makes sense.
constexpr HRESULT VFW_E_DVD_INVALIDDOMAIN = static_cast<HRESULT>(0x80040277u);
// An event queue that is empty when GetEvent is asked with time-out 0.
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);

inline bool Succeeded(HRESULT hr) { return hr >= 0; }

// Reference counting shared by every interface object.
class IUnknownLike {
 public:
  virtual unsigned long AddRef() = 0;
  virtual unsigned long Release() = 0;

 protected:
  virtual ~IUnknownLike() = default;
};

// ---------------------------------------------------------------------------
// Reference clock (implemented by the host, used by the engine for pacing).

// An event the clock's advise thread signals when an advise time has come.
// The engine provides it; Set may be called from any thread.
class IAdviseEvent {
 public:
  virtual void Set() = 0;

 protected:
  virtual ~IAdviseEvent() = default;
};

class IReferenceClock : public IUnknownLike {
 public:
  // Current clock time in 100 ns units.
  virtual HRESULT GetTime(int64_t* time) = 0;
  // Signals `event` once the clock reaches baseTime + streamTime. The cookie
  // identifies the advise for Unadvise. An advise whose time has already
  // passed is signalled at once.
  virtual HRESULT AdviseTime(int64_t baseTime, int64_t streamTime, IAdviseEvent* event,
                             uintptr_t* cookie) = 0;
  // Removes a pending advise; S_FALSE when it already fired or is unknown.
  virtual HRESULT Unadvise(uintptr_t cookie) = 0;
};

// ---------------------------------------------------------------------------
// Graph interfaces handed out by TarnOpenMedia.

// Graph states as GetState reports them.
enum FilterState : int32_t { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

class IMediaControl : public IUnknownLike {
 public:
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(int32_t timeoutMs, int32_t* state) = 0;
};

// Called from an engine thread whenever events are waiting; the host posts
// `message` with `param` to its window queue and fetches the events there.
using EventNotifyFn = void (*)(void* context, uint32_t message, intptr_t param);

// Event codes (the navigator's and the graph's).
enum EventCode : int32_t {
  EC_COMPLETE = 0x01,
  EC_STEP_COMPLETE = 0x24,
  EC_DVD_DOMAIN_CHANGE = 0x101,
  EC_DVD_TITLE_CHANGE = 0x102,
  EC_DVD_CHAPTER_START = 0x103,
  EC_DVD_AUDIO_STREAM_CHANGE = 0x104,
  EC_DVD_SUBPICTURE_STREAM_CHANGE = 0x105,
  EC_DVD_ANGLE_CHANGE = 0x106,
  EC_DVD_BUTTON_CHANGE = 0x107,
  EC_DVD_VALID_UOPS_CHANGE = 0x108,
  EC_DVD_STILL_ON = 0x109,
  EC_DVD_STILL_OFF = 0x10A,
  EC_DVD_CURRENT_TIME = 0x10B,
  EC_DVD_ERROR = 0x10C,
  EC_DVD_WARNING = 0x10D,
  EC_DVD_CHAPTER_AUTOSTOP = 0x10E,
  EC_DVD_NO_FP_PGC = 0x10F,
  EC_DVD_PLAYBACK_RATE_CHANGE = 0x110,
  EC_DVD_PARENTAL_LEVEL_CHANGE = 0x111,
  EC_DVD_PLAYBACK_STOPPED = 0x112,
  EC_DVD_ANGLES_AVAILABLE = 0x113,
  EC_DVD_PLAYPERIOD_AUTOSTOP = 0x114,
  EC_DVD_BUTTON_AUTO_ACTIVATED = 0x115,
  EC_DVD_CMD_START = 0x116,
  EC_DVD_CMD_END = 0x117,
  EC_DVD_DISC_EJECTED = 0x118,
  EC_DVD_DISC_INSERTED = 0x119,
  EC_DVD_CURRENT_HMSF_TIME = 0x11A,
  EC_DVD_KARAOKE_MODE = 0x11B,
};

// Navigator error codes carried by EC_DVD_ERROR's first parameter.
enum DvdErrorCode : int32_t {
  DVD_ERROR_Unexpected = 1,
  DVD_ERROR_CopyProtectFail = 2,
  DVD_ERROR_InvalidDVD1_0Disc = 3,
  DVD_ERROR_InvalidDiscRegion = 4,
  DVD_ERROR_LowParentalLevel = 5,
  DVD_ERROR_MacrovisionFail = 6,
  DVD_ERROR_IncompatibleSystemAndDecoderRegions = 7,
  DVD_ERROR_IncompatibleDiscAndDecoderRegions = 8,
};

// Navigator warning codes carried by EC_DVD_WARNING's first parameter.
enum DvdWarningCode : int32_t {
  DVD_WARNING_InvalidDVD1_0Disc = 1,
  DVD_WARNING_FormatNotSupported = 2,
  DVD_WARNING_IllegalNavCommand = 3,
  DVD_WARNING_Open = 4,
  DVD_WARNING_Seek = 5,
  DVD_WARNING_Read = 6,
};

class IMediaEventEx : public IUnknownLike {
 public:
  // Takes the oldest waiting event. With no event waiting after timeoutMs
  // (0 = do not wait) returns E_ABORT.
  virtual HRESULT GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMs) = 0;
  virtual HRESULT FreeEventParams(int32_t code, intptr_t param1, intptr_t param2) = 0;
  // fn null stops notifications.
  virtual HRESULT SetNotifyWindow(EventNotifyFn fn, void* context, uint32_t message, intptr_t param) = 0;
};

// A picture ready for the screen: planar 4:2:0 with the subpicture, menu
// highlight and mixer bitmap already blended in.
struct VideoPicture {
  const uint8_t* planes[3];
  int32_t pitches[3];
  int32_t width;
  int32_t height;
  // Where the picture goes inside the video window (SetDestinationPosition)
  // and the window's own rectangle (SetWindowPosition), in window pixels.
  int32_t destX, destY, destWidth, destHeight;
  int32_t windowX, windowY, windowWidth, windowHeight;
};

// The host's video output (a widget in the desktop program). Present runs on
// the engine's video thread and must copy what it needs before returning.
class IVideoSink {
 public:
  virtual void Present(const VideoPicture& picture) = 0;

 protected:
  virtual ~IVideoSink() = default;
};

class IVideoWindow : public IUnknownLike {
 public:
  virtual HRESULT put_Owner(IVideoSink* owner) = 0;  // null: no output
  virtual HRESULT get_WindowStyle(int32_t* style) = 0;
  virtual HRESULT put_WindowStyle(int32_t style) = 0;
  virtual HRESULT SetWindowPosition(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  // The host that receives key and mouse messages over the video; kept as an
  // opaque value the engine does not interpret.
  virtual HRESULT put_MessageDrain(void* drain) = 0;
  virtual HRESULT put_Visible(int32_t visible) = 0;
};

// Time code: hours, minutes, seconds, frames; handled as one 32-bit value with
// the hours in the low byte. bFrameRateCode style flags are not kept here.
struct DVD_HMSF_TIMECODE {
  uint8_t bHours;
  uint8_t bMinutes;
  uint8_t bSeconds;
  uint8_t bFrames;
};
static_assert(sizeof(DVD_HMSF_TIMECODE) == 4);

enum DvdDomain : int32_t {
  DVD_DOMAIN_FirstPlay = 1,
  DVD_DOMAIN_VideoManagerMenu = 2,
  DVD_DOMAIN_VideoTitleSetMenu = 3,
  DVD_DOMAIN_Title = 4,
  DVD_DOMAIN_Stop = 5,
};

// The two menu domains, where buttons and menu commands apply.
inline constexpr bool IsMenuDomain(int32_t domain) {
  return domain == DVD_DOMAIN_VideoManagerMenu || domain == DVD_DOMAIN_VideoTitleSetMenu;
}

enum DvdMenuId : int32_t {
  DVD_MENU_Title = 2,
  DVD_MENU_Root = 3,
  DVD_MENU_Subpicture = 4,
  DVD_MENU_Audio = 5,
  DVD_MENU_Angle = 6,
  DVD_MENU_Chapter = 7,
};

enum DvdCmdFlags : uint32_t {
  DVD_CMD_FLAG_None = 0,
  DVD_CMD_FLAG_Flush = 1,
  DVD_CMD_FLAG_SendEvents = 2,
  DVD_CMD_FLAG_Block = 4,
  DVD_CMD_FLAG_StartWhenRendered = 8,
  DVD_CMD_FLAG_EndAfterRendered = 16,
};

enum DvdOption : int32_t {
  DVD_ResetOnStop = 1,
  DVD_NotifyParentalLevelChange = 2,
  DVD_HMSF_TimeCodeEvents = 3,
};

enum DvdRelativeButton : int32_t {
  DVD_Relative_Upper = 1,
  DVD_Relative_Lower = 2,
  DVD_Relative_Left = 3,
  DVD_Relative_Right = 4,
};

// Audio coding as the attributes report it.
enum DvdAudioFormat : int32_t {
  DVD_AudioFormat_AC3 = 0,
  DVD_AudioFormat_MPEG1 = 1,
  DVD_AudioFormat_MPEG1_DRC = 2,
  DVD_AudioFormat_MPEG2 = 3,
  DVD_AudioFormat_MPEG2_DRC = 4,
  DVD_AudioFormat_LPCM = 5,
  DVD_AudioFormat_DTS = 6,
  DVD_AudioFormat_SDDS = 7,
  DVD_AudioFormat_Other = 8,
};

// Stream selector for "the current stream" in the attribute queries.
constexpr uint32_t DVD_STREAM_CURRENT = 0x800;

struct DVD_PLAYBACK_LOCATION2 {
  uint32_t TitleNum;
  uint32_t ChapterNum;
  DVD_HMSF_TIMECODE TimeCode;
  uint32_t TimeCodeFlags;
};

struct DVD_AudioAttributes {
  int32_t AudioFormat;      // DvdAudioFormat
  uint32_t dwFrequency;     // samples per second
  uint8_t bQuantization;    // bits per sample
  uint8_t bNumberOfChannels;
  char language[3];         // ISO 639-1 code, "" when the disc has none
};

struct DVD_SubpictureAttributes {
  char language[3];  // ISO 639-1 code, "" when the disc has none
};

struct DVD_VideoAttributes {
  uint32_t ulAspectX;           // display aspect, e.g. 4 and 3, 16 and 9
  uint32_t ulAspectY;
  uint32_t ulFrameRate;         // 50 or 60
  uint32_t ulSourceResolutionX;
  uint32_t ulSourceResolutionY;
  int32_t fIsInterlaced;
};

// A command handed back by the navigator operations that accept one.
class IDvdCmd : public IUnknownLike {
 public:
  virtual HRESULT WaitForStart() = 0;
  virtual HRESULT WaitForEnd() = 0;
};

class IDvdControl2 : public IUnknownLike {
 public:
  virtual HRESULT SetOption(int32_t option, int32_t value) = 0;
  virtual HRESULT PlayTitle(uint32_t title, uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT PlayChapterInTitle(uint32_t title, uint32_t chapter, uint32_t flags,
                                     IDvdCmd** cmd) = 0;
  virtual HRESULT PlayChapter(uint32_t chapter, uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT PlayNextChapter(uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT PlayPrevChapter(uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT PlayAtTime(const DVD_HMSF_TIMECODE* time, uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT PlayForwards(double speed, uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT Pause(int32_t pause) = 0;
  virtual HRESULT Resume(uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT ShowMenu(int32_t menuId, uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT ReturnFromSubmenu(uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT StillOff() = 0;
  virtual HRESULT SelectRelativeButton(int32_t direction) = 0;
  virtual HRESULT SelectButton(uint32_t button) = 0;
  virtual HRESULT ActivateButton() = 0;
  // Positions are in the video window's pixels.
  virtual HRESULT SelectAtPosition(int32_t x, int32_t y) = 0;
  virtual HRESULT ActivateAtPosition(int32_t x, int32_t y) = 0;
  virtual HRESULT SelectAudioStream(uint32_t stream, uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT SelectSubpictureStream(uint32_t stream, uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT SetSubpictureState(int32_t on, uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT SelectAngle(uint32_t angle, uint32_t flags, IDvdCmd** cmd) = 0;
  virtual HRESULT SelectParentalLevel(uint32_t level) = 0;
  virtual HRESULT AcceptParentalLevelChange(int32_t accept) = 0;
};

class IDvdInfo2 : public IUnknownLike {
 public:
  virtual HRESULT GetCurrentDomain(int32_t* domain) = 0;
  virtual HRESULT GetCurrentLocation(DVD_PLAYBACK_LOCATION2* location) = 0;
  virtual HRESULT GetTotalTitleTime(DVD_HMSF_TIMECODE* time, uint32_t* timeCodeFlags) = 0;
  virtual HRESULT GetNumberOfChapters(uint32_t title, uint32_t* chapters) = 0;
  virtual HRESULT GetDVDVolumeInfo(uint32_t* volumes, uint32_t* volume, int32_t* side,
                                   uint32_t* titles) = 0;
  virtual HRESULT GetCurrentAudio(uint32_t* available, uint32_t* current) = 0;
  virtual HRESULT GetCurrentSubpicture(uint32_t* available, uint32_t* current,
                                       int32_t* disabled) = 0;
  virtual HRESULT GetCurrentAngle(uint32_t* available, uint32_t* current) = 0;
  virtual HRESULT GetCurrentButton(uint32_t* available, uint32_t* current) = 0;
  virtual HRESULT GetCurrentUOPS(uint32_t* uops) = 0;
  virtual HRESULT GetAudioAttributes(uint32_t stream, DVD_AudioAttributes* attributes) = 0;
  virtual HRESULT GetSubpictureAttributes(uint32_t stream, DVD_SubpictureAttributes* attributes) = 0;
  virtual HRESULT GetCurrentVideoAttributes(DVD_VideoAttributes* attributes) = 0;
};

class IMediaFilter : public IUnknownLike {
 public:
  // The clock that paces presentation; null runs unpaced. The graph keeps a
  // reference until it is torn down or another clock is set.
  virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
  virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;
};

class IBasicVideo : public IUnknownLike {
 public:
  virtual HRESULT SetDefaultSourcePosition() = 0;
  virtual HRESULT SetDestinationPosition(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  virtual HRESULT GetVideoSize(int32_t* width, int32_t* height) = 0;
};

class IBasicAudio : public IUnknownLike {
 public:
  // Hundredths of a decibel: -10000 silent .. 0 full volume.
  virtual HRESULT put_Volume(int32_t volume) = 0;
  virtual HRESULT get_Volume(int32_t* volume) = 0;
};

// Alpha-bitmap flags.
enum MixerBitmapFlags : uint32_t {
  VMR9AlphaBitmap_Disable = 1,
  VMR9AlphaBitmap_hDC = 2,
  VMR9AlphaBitmap_EntireDDS = 4,
  VMR9AlphaBitmap_SrcColorKey = 8,
  VMR9AlphaBitmap_SrcRect = 16,
  VMR9AlphaBitmap_FilterMode = 32,
};

// An overlay blended over every picture: 32-bit ARGB pixels (the engine
// copies them), pixels equal to the colour key are transparent, the rest is
// blended with `alpha` (0..1) into the normalised destination rectangle.
struct MixerAlphaBitmap {
  uint32_t flags;
  const uint32_t* pixels;
  int32_t width;
  int32_t height;
  uint32_t colorKey;  // 0x00RRGGBB
  float destLeft, destTop, destRight, destBottom;
  float alpha;
};

class IVMRMixerBitmap9 : public IUnknownLike {
 public:
  virtual HRESULT SetAlphaBitmap(const MixerAlphaBitmap* bitmap) = 0;
  virtual HRESULT UpdateAlphaBitmapParameters(const MixerAlphaBitmap* bitmap) = 0;
};

}  // namespace tarnplayer

extern "C" {

// Frame callbacks. The video callback gets the frame size, the stream time
// (the reference-clock time the stream started at, so streamTime + start is
// when the picture is due), the frame's start and stop times on the title's
// elapsed-time line (100 ns units) and width x height x 3/2 bytes of planar
// 4:2:0; a result of 0 keeps the picture off the screen. The audio callback
// gets 48 kHz stereo 16-bit PCM: channels x samples x 2 bytes.
typedef int (*TarnVideoCallback)(int width, int height, int64_t streamTime, int64_t start,
                                 int64_t stop, unsigned char* picture);
typedef int (*TarnAudioCallback)(int channels, int sampleRate, int samplesPerChannel,
                                 int64_t start, unsigned char* samples);

// Opens the disc folder (UTF-8, ends in "/" for folders) and builds the graph.
// Non-zero on success; every out-pointer but the mixer bitmap is then set and
// referenced. Only one graph exists at a time.
typedef int (*TarnOpenMediaFn)(const char* discFolder, tarnplayer::IMediaControl** control,
                               tarnplayer::IMediaEventEx** events, tarnplayer::IVideoWindow** window,
                               tarnplayer::IDvdControl2** dvdControl, tarnplayer::IDvdInfo2** dvdInfo,
                               tarnplayer::IUnknownLike** held, tarnplayer::IMediaFilter** filter,
                               tarnplayer::IBasicVideo** basicVideo, tarnplayer::IBasicAudio** basicAudio,
                               tarnplayer::IVMRMixerBitmap9** mixerBitmap);
// Tears the graph down; called after the host released every interface.
typedef void (*TarnCloseMediaFn)();
// From now on decoded frames reach the callbacks. The scratch buffers (1 MiB
// each) are where the engine puts the picture or PCM it hands over.
typedef int (*TarnPlayMediaFn)(TarnVideoCallback video, TarnAudioCallback audio,
                               unsigned char* videoScratch, unsigned char* audioScratch);
// Returns only when no callback can run any more.
typedef void (*TarnStopMediaFn)();

__attribute__((visibility("default"))) int TarnOpenMedia(
    const char* discFolder, tarnplayer::IMediaControl** control, tarnplayer::IMediaEventEx** events,
    tarnplayer::IVideoWindow** window, tarnplayer::IDvdControl2** dvdControl,
    tarnplayer::IDvdInfo2** dvdInfo, tarnplayer::IUnknownLike** held, tarnplayer::IMediaFilter** filter,
    tarnplayer::IBasicVideo** basicVideo, tarnplayer::IBasicAudio** basicAudio,
    tarnplayer::IVMRMixerBitmap9** mixerBitmap);
__attribute__((visibility("default"))) void TarnCloseMedia();
__attribute__((visibility("default"))) int TarnPlayMedia(TarnVideoCallback video,
                                                         TarnAudioCallback audio,
                                                         unsigned char* videoScratch,
                                                         unsigned char* audioScratch);
__attribute__((visibility("default"))) void TarnStopMedia();
}

#endif  // TARN_COMPONENTS_TARNPLAYER_TARNPLAYER_H
