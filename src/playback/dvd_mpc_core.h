#pragma once
// The playback core: drives one opened disc through the engine's navigator
// graph. It plays, pauses and stops, moves between chapters, titles, menus
// and time codes, selects streams, sets the volume, fits the video into its
// host window, turns the graph's events into IDvdMpcCallback calls and keeps
// a snapshot of the disc position that it also publishes for other threads
// (playback/core_position.h). Everything runs on the host window's thread.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "TarnPlayer.h"
#include "playback/dvd_mpc_callback.h"
#include "playback/engine_library.h"
#include "playback/host_window.h"

namespace tarn {

class CVirtualClock;

// Where the picture goes inside a host window of cw x ch for a display
// aspect ax:ay: as large as fits, centred. An unknown aspect (0) or an empty
// window fills the window.
struct VideoRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const VideoRect&) const = default;
};
VideoRect FitVideo(int32_t clientWidth, int32_t clientHeight, uint32_t aspectX, uint32_t aspectY);

// Language name of an ISO 639-1 code ("" when unknown).
std::string LanguageName(const char code[3]);

class CDvdMpcCore : public IDvdMpcCallback {
 public:
  enum State : int32_t { kClosed = 0, kStopped = 2, kPlaying = 4, kPaused = 6 };

  // Loads libTarnPlayer.so from the program folder. `callback` null: the
  // core notifies itself (every notification then does nothing).
  CDvdMpcCore(IDvdMpcCallback* callback, IHostWindow* host, ICoreOwner* owner);
  // The same with the engine's entry points handed in (a stand-in engine).
  CDvdMpcCore(IDvdMpcCallback* callback, IHostWindow* host, ICoreOwner* owner,
              const EngineEntryPoints& engine);
  virtual ~CDvdMpcCore();
  CDvdMpcCore(const CDvdMpcCore&) = delete;
  CDvdMpcCore& operator=(const CDvdMpcCore&) = delete;

  // The disc folder Open uses; empty means the default drive.
  void SetDiscFolder(const std::string& folder) { m_discFolder = folder; }
  const std::string& DiscFolder() const { return m_discFolder; }

  bool Open();
  void Close();
  bool AttachWindow();
  void LayoutVideo();
  bool SetNavigatorOptions();

  tarnplayer::HRESULT Play();
  bool Pause();
  bool Stop();
  bool NextChapter();
  bool PrevChapter();
  bool PlayChapter(uint32_t chapter);
  bool PlayTitle(uint32_t title);
  bool PlayTime(tarnplayer::DVD_HMSF_TIMECODE time, bool wait);
  bool ToggleMenu(int32_t menuId);
  bool ShowSubtitle(bool on);
  void SetVolume(int32_t volume);  // 0..100
  void RefreshTitleInfo(int32_t title);
  bool GetAudioLanguage(uint32_t stream, std::string* text);
  bool GetSubtitleLanguage(uint32_t stream, std::string* text);
  std::string GetCurrentAudioText();
  std::string GetCurrentSubtitleText();

  // Stream selection as the title seek makes it after arrival.
  bool SelectAudioStream(uint32_t stream);
  bool SelectSubpictureStream(uint32_t stream);
  void RefreshAudioStreams();
  void RefreshSubpictureStreams();
  // Menu buttons: available and current (0 and 0 when they cannot be read).
  tarnplayer::HRESULT GetCurrentButton(uint32_t* available, uint32_t* current);
  tarnplayer::HRESULT ActivateButton();

  // The engine's capture: TarnPlayMedia / TarnStopMedia. The play handle is
  // kept until StopMedia; the destructor stops a capture still running.
  int PlayMedia(TarnVideoCallback video, TarnAudioCallback audio, unsigned char* videoScratch,
                unsigned char* audioScratch);
  void StopMedia();
  int PlayHandle() const { return m_playHandle; }

  // UM_DVD_GRAPH_EVENT in the host window: handles every waiting event.
  intptr_t HandleGraphEvent();
  // The host window's input while attached. True when the core handled the
  // message (the window returns 0), false when it goes to the default.
  bool KeyUp(int32_t key);
  bool MouseMove(int32_t x, int32_t y);
  bool LeftButtonUp(int32_t x, int32_t y);
  bool RightButtonDown();
  void Size();
  void CloseRequest();

  // The crop rectangle the overlay draws and the conversion reads (from its
  // own thread: each value is one aligned 32-bit read).
  void SetCrop(int32_t x, int32_t y, int32_t width, int32_t height);
  void GetCrop(int32_t* x, int32_t* y, int32_t* width, int32_t* height) const;

  // The snapshot.
  int32_t GetState() const { return m_state; }
  uint32_t CurrentTitle() const { return m_ulCurTitle; }
  int32_t CurrentDomain() const { return m_currentDomain; }
  const std::string& DomainName() const { return m_domainName; }
  uint32_t CurrentChapter() const { return m_currentChapter; }
  uint32_t ChapterCount() const { return m_chapterCount; }
  uint32_t TitleCount() const { return m_titleCount; }
  uint32_t AudioStreamsAvailable() const { return m_audioStreams; }
  uint32_t CurrentAudioStream() const { return m_currentAudio; }
  uint32_t SubpictureStreamsAvailable() const { return m_subpictureStreams; }
  uint32_t CurrentSubpictureStream() const { return m_currentSubpicture; }
  bool SubpictureDisabled() const { return m_subpictureDisabled != 0; }
  uint32_t AnglesAvailable() const { return m_anglesAvailable; }
  uint32_t CurrentAngle() const { return m_currentAngle; }
  uint32_t ButtonsAvailable() const { return m_buttonsAvailable; }
  uint32_t CurrentButton() const { return m_currentButton; }
  int32_t PlaybackRate() const { return m_rate; }
  tarnplayer::DVD_HMSF_TIMECODE CurrentTime() const { return m_currentTime; }
  tarnplayer::DVD_HMSF_TIMECODE TotalTitleTime() const { return m_totalTitleTime; }
  int32_t SourceWidth() const { return m_sourceWidth; }
  int32_t SourceHeight() const { return m_sourceHeight; }
  uint32_t AspectX() const { return m_aspectX; }
  uint32_t AspectY() const { return m_aspectY; }
  uint32_t FrameRate() const { return m_frameRate; }
  uint32_t AudioChannels() const { return m_audioChannels; }
  uint32_t AudioFrequency() const { return m_audioFrequency; }
  uint32_t AudioQuantization() const { return m_audioQuantization; }
  bool InMenu() const { return m_inMenu != 0; }
  bool Still() const { return m_still != 0; }
  bool Attached() const { return m_attached != 0; }
  bool StepComplete() const { return m_stepComplete != 0; }
  // Where LayoutVideo put the picture, in host window pixels.
  VideoRect VideoDestination() const { return m_destination; }
  // The volume the audio output holds, in hundredths of a decibel; 1 when
  // it cannot be read.
  int32_t GetVolume() const;
  CVirtualClock* Clock() const { return m_clock; }
  const std::string& EngineError() const { return m_engineError; }

 private:
  void Construct(IDvdMpcCallback* callback, IHostWindow* host, ICoreOwner* owner);
  bool ResumeStep();
  void HandleEvent(int32_t code, intptr_t p1, intptr_t p2);
  void HandleError(int32_t code);
  void HandleWarning(int32_t code);
  int32_t ShowBox(const std::string& text, const std::string& caption, int32_t buttons);
  void SetState(int32_t state);
  void PublishPosition();
  bool InRecordMode() const;
  template <typename T>
  static void ReleaseInterface(T*& p) {
    if (p) p->Release();
    p = nullptr;
  }

  // picture
  int32_t m_sourceWidth = 0, m_sourceHeight = 0;
  uint32_t m_aspectX = 0, m_aspectY = 0;
  uint32_t m_frameRate = 0;
  // audio
  uint32_t m_audioChannels = 0, m_audioFrequency = 0, m_audioQuantization = 0;
  // position
  uint32_t m_chapterCount = 0;
  uint32_t m_currentChapter = 0;
  uint32_t m_titleCount = 0;
  uint32_t m_ulCurTitle = 0;
  uint32_t m_audioStreams = 0, m_currentAudio = 0;
  uint32_t m_subpictureStreams = 0, m_currentSubpicture = 0;
  int32_t m_subpictureDisabled = 0;
  std::string m_domainName;
  int32_t m_currentDomain = 0;
  uint32_t m_anglesAvailable = 0, m_currentAngle = 0;
  uint32_t m_buttonsAvailable = 0, m_currentButton = 0;
  int32_t m_rate = 0;
  tarnplayer::DVD_HMSF_TIMECODE m_currentTime{};
  tarnplayer::DVD_HMSF_TIMECODE m_totalTitleTime{};
  // control
  IDvdMpcCallback* m_callback = nullptr;
  uint8_t m_inMenu = 0;
  uint8_t m_showOnFirstPlay = 1;
  IHostWindow* m_host = nullptr;
  uint8_t m_still = 0;
  std::string m_discFolder;
  int32_t m_state = kClosed;
  uint8_t m_attached = 0;
  uint8_t m_stepComplete = 0;
  ICoreOwner* m_owner = nullptr;
  mutable std::recursive_mutex m_lock;  // guards the event interface
  VideoRect m_destination;
  // graph
  tarnplayer::IMediaControl* m_pMC = nullptr;
  tarnplayer::IMediaEventEx* m_pIME = nullptr;
  tarnplayer::IVideoWindow* m_pVW = nullptr;
  tarnplayer::IDvdControl2* m_pDvdControl = nullptr;
  tarnplayer::IDvdInfo2* m_pDvdInfo = nullptr;
  tarnplayer::IUnknownLike* m_pHeld = nullptr;
  tarnplayer::IMediaFilter* m_pMF = nullptr;
  tarnplayer::IBasicVideo* m_pBV = nullptr;
  tarnplayer::IBasicAudio* m_pBA = nullptr;
  tarnplayer::IVMRMixerBitmap9* m_pMixerBitmap = nullptr;
  CVirtualClock* m_clock = nullptr;  // one reference held from Open to Close
  bool m_graphOpen = false;          // TarnOpenMedia succeeded and TarnCloseMedia is due
  // overlay: the crop rectangle, read by the conversion thread too
  std::atomic<int32_t> m_cropX{0}, m_cropY{0}, m_cropWidth{0}, m_cropHeight{0};
  // engine
  EngineLibrary m_library;
  EngineEntryPoints m_engine;
  std::string m_engineError;
  int m_playHandle = 0;
};

}  // namespace tarn
