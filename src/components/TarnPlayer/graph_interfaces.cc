#include "graph_interfaces.h"

namespace tarnplayer {
namespace {

// Commands finish before the operation returns, so a command object is
// always complete.
class DoneCommand : public IDvdCmd {
 public:
  unsigned long AddRef() override { return ++references_; }
  unsigned long Release() override {
    unsigned long left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT WaitForStart() override { return S_OK; }
  HRESULT WaitForEnd() override { return S_OK; }

 private:
  std::atomic<unsigned long> references_{1};
};

HRESULT WithCommand(HRESULT hr, IDvdCmd** command) {
  if (command) *command = Succeeded(hr) ? new DoneCommand : nullptr;
  return hr;
}

class MediaControlObject : public GraphObject<IMediaControl> {
 public:
  using GraphObject::GraphObject;
  HRESULT Run() override { return engine_.Run(); }
  HRESULT Pause() override { return engine_.PauseGraph(); }
  HRESULT Stop() override { return engine_.StopGraph(); }
  HRESULT GetState(int32_t, int32_t* state) override {
    if (!state) return E_POINTER;
    *state = engine_.State();
    return S_OK;
  }
};

class MediaEventsObject : public GraphObject<IMediaEventEx> {
 public:
  using GraphObject::GraphObject;
  HRESULT GetEvent(int32_t* code, intptr_t* p1, intptr_t* p2, int32_t timeoutMs) override {
    return engine_.Events().Get(code, p1, p2, timeoutMs);
  }
  HRESULT FreeEventParams(int32_t, intptr_t, intptr_t) override { return S_OK; }
  HRESULT SetNotifyWindow(EventNotifyFn fn, void* context, uint32_t message, intptr_t param) override {
    engine_.Events().SetNotify(fn, context, message, param);
    return S_OK;
  }
};

class VideoWindowObject : public GraphObject<IVideoWindow> {
 public:
  using GraphObject::GraphObject;
  HRESULT put_Owner(IVideoSink* owner) override {
    engine_.SetVideoSink(owner);
    return S_OK;
  }
  HRESULT get_WindowStyle(int32_t* style) override {
    if (!style) return E_POINTER;
    *style = style_;
    return S_OK;
  }
  HRESULT put_WindowStyle(int32_t style) override {
    style_ = style;
    return S_OK;
  }
  HRESULT SetWindowPosition(int32_t x, int32_t y, int32_t width, int32_t height) override {
    if (width < 0 || height < 0) return E_INVALIDARG;
    engine_.SetWindowPosition(x, y, width, height);
    return S_OK;
  }
  HRESULT put_MessageDrain(void* drain) override {
    drain_ = drain;
    return S_OK;
  }
  HRESULT put_Visible(int32_t visible) override {
    visible_ = visible;
    return S_OK;
  }

 private:
  std::atomic<int32_t> style_{0x06CF0000};  // an overlapped, captioned window until the host changes it
  std::atomic<void*> drain_{nullptr};
  std::atomic<int32_t> visible_{1};
};

class DvdControlObject : public GraphObject<IDvdControl2> {
 public:
  using GraphObject::GraphObject;
  HRESULT SetOption(int32_t option, int32_t value) override { return engine_.SetOption(option, value); }
  HRESULT PlayTitle(uint32_t title, uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.PlayTitle(title), cmd);
  }
  HRESULT PlayChapterInTitle(uint32_t title, uint32_t chapter, uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.PlayChapterInTitle(title, chapter), cmd);
  }
  HRESULT PlayChapter(uint32_t chapter, uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.PlayChapter(chapter), cmd);
  }
  HRESULT PlayNextChapter(uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.PlayNextChapter(), cmd);
  }
  HRESULT PlayPrevChapter(uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.PlayPrevChapter(), cmd);
  }
  HRESULT PlayAtTime(const DVD_HMSF_TIMECODE* time, uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.PlayAtTime(time), cmd);
  }
  HRESULT PlayForwards(double speed, uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.PlayForwards(speed), cmd);
  }
  HRESULT Pause(int32_t pause) override { return engine_.NavigatorPause(pause != 0); }
  HRESULT Resume(uint32_t, IDvdCmd** cmd) override { return WithCommand(engine_.Resume(), cmd); }
  HRESULT ShowMenu(int32_t menuId, uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.ShowMenu(menuId), cmd);
  }
  HRESULT ReturnFromSubmenu(uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.ReturnFromSubmenu(), cmd);
  }
  HRESULT StillOff() override { return engine_.StillOff(); }
  HRESULT SelectRelativeButton(int32_t direction) override { return engine_.SelectRelativeButton(direction); }
  HRESULT SelectButton(uint32_t button) override { return engine_.SelectButton(button); }
  HRESULT ActivateButton() override { return engine_.ActivateButton(); }
  HRESULT SelectAtPosition(int32_t x, int32_t y) override { return engine_.SelectAtPosition(x, y, false); }
  HRESULT ActivateAtPosition(int32_t x, int32_t y) override { return engine_.SelectAtPosition(x, y, true); }
  HRESULT SelectAudioStream(uint32_t stream, uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.SelectAudioStream(stream), cmd);
  }
  HRESULT SelectSubpictureStream(uint32_t stream, uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.SelectSubpictureStream(stream), cmd);
  }
  HRESULT SetSubpictureState(int32_t on, uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.SetSubpictureState(on != 0), cmd);
  }
  HRESULT SelectAngle(uint32_t angle, uint32_t, IDvdCmd** cmd) override {
    return WithCommand(engine_.SelectAngle(angle), cmd);
  }
  HRESULT SelectParentalLevel(uint32_t level) override { return engine_.SelectParentalLevel(level); }
  HRESULT AcceptParentalLevelChange(int32_t) override { return S_OK; }
};

class DvdInfoObject : public GraphObject<IDvdInfo2> {
 public:
  using GraphObject::GraphObject;
  HRESULT GetCurrentDomain(int32_t* domain) override { return engine_.GetCurrentDomain(domain); }
  HRESULT GetCurrentLocation(DVD_PLAYBACK_LOCATION2* location) override {
    return engine_.GetCurrentLocation(location);
  }
  HRESULT GetTotalTitleTime(DVD_HMSF_TIMECODE* time, uint32_t* flags) override {
    return engine_.GetTotalTitleTime(time, flags);
  }
  HRESULT GetNumberOfChapters(uint32_t title, uint32_t* chapters) override {
    return engine_.GetNumberOfChapters(title, chapters);
  }
  HRESULT GetDVDVolumeInfo(uint32_t* volumes, uint32_t* volume, int32_t* side, uint32_t* titles) override {
    HRESULT hr = engine_.GetTitleCount(titles);
    if (!Succeeded(hr)) return hr;
    if (volumes) *volumes = 1;
    if (volume) *volume = 1;
    if (side) *side = 1;
    return S_OK;
  }
  HRESULT GetCurrentAudio(uint32_t* available, uint32_t* current) override {
    return engine_.GetCurrentAudio(available, current);
  }
  HRESULT GetCurrentSubpicture(uint32_t* available, uint32_t* current, int32_t* disabled) override {
    return engine_.GetCurrentSubpicture(available, current, disabled);
  }
  HRESULT GetCurrentAngle(uint32_t* available, uint32_t* current) override {
    return engine_.GetCurrentAngle(available, current);
  }
  HRESULT GetCurrentButton(uint32_t* available, uint32_t* current) override {
    return engine_.GetCurrentButton(available, current);
  }
  HRESULT GetCurrentUOPS(uint32_t* uops) override { return engine_.GetCurrentUops(uops); }
  HRESULT GetAudioAttributes(uint32_t stream, DVD_AudioAttributes* attributes) override {
    return engine_.GetAudioAttributes(stream, attributes);
  }
  HRESULT GetSubpictureAttributes(uint32_t stream, DVD_SubpictureAttributes* attributes) override {
    return engine_.GetSubpictureAttributes(stream, attributes);
  }
  HRESULT GetCurrentVideoAttributes(DVD_VideoAttributes* attributes) override {
    return engine_.GetCurrentVideoAttributes(attributes);
  }
};

// The interface the host only holds and releases.
class HeldObject : public GraphObject<IUnknownLike> {
 public:
  using GraphObject::GraphObject;
};

class MediaFilterObject : public GraphObject<IMediaFilter> {
 public:
  using GraphObject::GraphObject;
  HRESULT SetSyncSource(IReferenceClock* clock) override { return engine_.SetSyncSource(clock); }
  HRESULT GetSyncSource(IReferenceClock** clock) override { return engine_.GetSyncSource(clock); }
};

class BasicVideoObject : public GraphObject<IBasicVideo> {
 public:
  using GraphObject::GraphObject;
  HRESULT SetDefaultSourcePosition() override { return S_OK; }
  HRESULT SetDestinationPosition(int32_t x, int32_t y, int32_t width, int32_t height) override {
    if (width < 0 || height < 0) return E_INVALIDARG;
    engine_.SetDestination(x, y, width, height);
    return S_OK;
  }
  HRESULT GetVideoSize(int32_t* width, int32_t* height) override { return engine_.GetVideoSize(width, height); }
};

class BasicAudioObject : public GraphObject<IBasicAudio> {
 public:
  using GraphObject::GraphObject;
  HRESULT put_Volume(int32_t volume) override {
    if (volume < -10000 || volume > 0) return E_INVALIDARG;
    engine_.SetVolume(volume);
    return S_OK;
  }
  HRESULT get_Volume(int32_t* volume) override {
    if (!volume) return E_POINTER;
    *volume = engine_.Volume();
    return S_OK;
  }
};

class MixerBitmapObject : public GraphObject<IVMRMixerBitmap9> {
 public:
  using GraphObject::GraphObject;
  HRESULT SetAlphaBitmap(const MixerAlphaBitmap* bitmap) override { return engine_.SetOverlay(bitmap, false); }
  HRESULT UpdateAlphaBitmapParameters(const MixerAlphaBitmap* bitmap) override {
    return engine_.SetOverlay(bitmap, true);
  }
};

}  // namespace

struct PlayerGraph::Objects {
  explicit Objects(Engine& engine)
      : control(engine), events(engine), window(engine), dvdControl(engine), dvdInfo(engine),
        held(engine), filter(engine), basicVideo(engine), basicAudio(engine), mixerBitmap(engine) {}
  MediaControlObject control;
  MediaEventsObject events;
  VideoWindowObject window;
  DvdControlObject dvdControl;
  DvdInfoObject dvdInfo;
  HeldObject held;
  MediaFilterObject filter;
  BasicVideoObject basicVideo;
  BasicAudioObject basicAudio;
  MixerBitmapObject mixerBitmap;
};

PlayerGraph::PlayerGraph() : objects_(std::make_unique<Objects>(engine_)) {}

PlayerGraph::~PlayerGraph() { engine_.Close(); }

IMediaControl* PlayerGraph::Control() { return &objects_->control; }
IMediaEventEx* PlayerGraph::Events() { return &objects_->events; }
IVideoWindow* PlayerGraph::Window() { return &objects_->window; }
IDvdControl2* PlayerGraph::DvdControl() { return &objects_->dvdControl; }
IDvdInfo2* PlayerGraph::DvdInfo() { return &objects_->dvdInfo; }
IUnknownLike* PlayerGraph::Held() { return &objects_->held; }
IMediaFilter* PlayerGraph::Filter() { return &objects_->filter; }
IBasicVideo* PlayerGraph::BasicVideo() { return &objects_->basicVideo; }
IBasicAudio* PlayerGraph::BasicAudio() { return &objects_->basicAudio; }
IVMRMixerBitmap9* PlayerGraph::MixerBitmap() { return &objects_->mixerBitmap; }

}  // namespace tarnplayer
