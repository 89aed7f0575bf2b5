#include "scripted_graph.h"

#include <memory>

namespace tarn::test {

using namespace tarnplayer;

namespace {

ScriptedGraph* g_graph = nullptr;

std::string Num(int64_t v) { return std::to_string(v); }

// Reference counting against the graph's count of live interfaces.
template <typename Interface>
class Counted : public Interface {
 public:
  unsigned long AddRef() override { return ++Graph().refCount; }
  unsigned long Release() override { return --Graph().refCount; }
  void Call(const std::string& text) { Graph().calls.push_back(text); }
};

class Control : public Counted<IMediaControl> {
 public:
  HRESULT Run() override { return Call("Run"), S_OK; }
  HRESULT Pause() override { return Call("GraphPause"), S_OK; }
  HRESULT Stop() override { return Call("GraphStop"), S_OK; }
  HRESULT GetState(int32_t, int32_t* state) override { return *state = State_Running, S_OK; }
};

class Events : public Counted<IMediaEventEx> {
 public:
  HRESULT GetEvent(int32_t* code, intptr_t* p1, intptr_t* p2, int32_t) override {
    if (Graph().events.empty()) return E_ABORT;
    std::tie(*code, *p1, *p2) = Graph().events.front();
    Graph().events.pop_front();
    return S_OK;
  }
  HRESULT FreeEventParams(int32_t code, intptr_t, intptr_t) override { return Call("Free " + Num(code)), S_OK; }
  HRESULT SetNotifyWindow(EventNotifyFn fn, void* context, uint32_t message, intptr_t) override {
    Graph().notify = fn;
    Graph().notifyContext = context;
    return Call(fn ? "Notify " + Num(message) : "Notify off"), S_OK;
  }
};

class Window : public Counted<IVideoWindow> {
 public:
  HRESULT put_Owner(IVideoSink* owner) override { return Call(owner ? "Owner" : "Owner none"), S_OK; }
  HRESULT get_WindowStyle(int32_t* style) override { return *style = style_, S_OK; }
  HRESULT put_WindowStyle(int32_t style) override {
    style_ = style;
    return Call("Style " + Num(static_cast<uint32_t>(style))), S_OK;
  }
  HRESULT SetWindowPosition(int32_t x, int32_t y, int32_t w, int32_t h) override {
    return Call("WindowPosition " + Num(x) + " " + Num(y) + " " + Num(w) + " " + Num(h)), S_OK;
  }
  HRESULT put_MessageDrain(void*) override { return Call("Drain"), S_OK; }
  HRESULT put_Visible(int32_t) override { return S_OK; }

 private:
  int32_t style_ = static_cast<int32_t>(0x06CF0000u);  // caption, frame, child bits set and cleared below
};

class Cmd : public Counted<IDvdCmd> {
 public:
  HRESULT WaitForStart() override { return S_OK; }
  HRESULT WaitForEnd() override { return Call("WaitForEnd"), S_OK; }
};

class DvdControl : public Counted<IDvdControl2> {
 public:
  HRESULT SetOption(int32_t option, int32_t value) override {
    return Call("SetOption " + Num(option) + " " + Num(value)), S_OK;
  }
  HRESULT PlayTitle(uint32_t title, uint32_t, IDvdCmd**) override { return Call("PlayTitle " + Num(title)), S_OK; }
  HRESULT PlayChapterInTitle(uint32_t title, uint32_t chapter, uint32_t flags, IDvdCmd**) override {
    Call("PlayChapterInTitle " + Num(title) + " " + Num(chapter) + " " + Num(flags));
    ScriptedGraph& g = Graph();
    if (g.titleJumpArrives && g.playChapterResult == S_OK) {
      g.locationTitle = title;
      g.Push(EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Title);
      g.Push(EC_DVD_TITLE_CHANGE, title);
      if (g.notify) g.notify(g.notifyContext, 2024, 0);
    }
    return g.playChapterResult;
  }
  HRESULT PlayChapter(uint32_t chapter, uint32_t flags, IDvdCmd**) override {
    Call("PlayChapter " + Num(chapter) + " " + Num(flags));
    return Graph().playChapterResult;
  }
  HRESULT PlayNextChapter(uint32_t, IDvdCmd**) override { return Call("PlayNextChapter"), S_OK; }
  HRESULT PlayPrevChapter(uint32_t, IDvdCmd**) override { return Call("PlayPrevChapter"), S_OK; }
  HRESULT PlayAtTime(const DVD_HMSF_TIMECODE* t, uint32_t flags, IDvdCmd**) override {
    return Call("PlayAtTime " + Num(t->bMinutes) + ":" + Num(t->bSeconds) + " " + Num(flags)), S_OK;
  }
  HRESULT PlayForwards(double, uint32_t, IDvdCmd**) override { return Call("PlayForwards"), S_OK; }
  HRESULT Pause(int32_t pause) override { return Call("Pause " + Num(pause)), S_OK; }
  HRESULT Resume(uint32_t flags, IDvdCmd**) override { return Call("Resume " + Num(flags)), S_OK; }
  HRESULT ShowMenu(int32_t menu, uint32_t flags, IDvdCmd** cmd) override {
    Call("ShowMenu " + Num(menu) + " " + Num(flags));
    if (cmd) {
      static Cmd command;
      command.AddRef();
      *cmd = &command;
    }
    return S_OK;
  }
  HRESULT ReturnFromSubmenu(uint32_t, IDvdCmd**) override { return S_OK; }
  HRESULT StillOff() override { return Call("StillOff"), S_OK; }
  HRESULT SelectRelativeButton(int32_t direction) override { return Call("Relative " + Num(direction)), S_OK; }
  HRESULT SelectButton(uint32_t) override { return S_OK; }
  HRESULT ActivateButton() override { return Call("ActivateButton"), S_OK; }
  HRESULT SelectAtPosition(int32_t x, int32_t y) override { return Call("SelectAt " + Num(x) + " " + Num(y)), S_OK; }
  HRESULT ActivateAtPosition(int32_t x, int32_t y) override {
    return Call("ActivateAt " + Num(x) + " " + Num(y)), S_OK;
  }
  HRESULT SelectAudioStream(uint32_t s, uint32_t, IDvdCmd**) override { return Call("Audio " + Num(s)), S_OK; }
  HRESULT SelectSubpictureStream(uint32_t s, uint32_t, IDvdCmd**) override {
    return Call("Subpicture " + Num(s)), S_OK;
  }
  HRESULT SetSubpictureState(int32_t on, uint32_t, IDvdCmd**) override {
    return Call("SubpictureState " + Num(on)), S_OK;
  }
  HRESULT SelectAngle(uint32_t, uint32_t, IDvdCmd**) override { return S_OK; }
  HRESULT SelectParentalLevel(uint32_t) override { return S_OK; }
  HRESULT AcceptParentalLevelChange(int32_t accept) override { return Call("AcceptParental " + Num(accept)), S_OK; }
};

class DvdInfo : public Counted<IDvdInfo2> {
 public:
  HRESULT GetCurrentDomain(int32_t* domain) override { return *domain = Graph().domain, S_OK; }
  HRESULT GetCurrentLocation(DVD_PLAYBACK_LOCATION2* location) override {
    Call("GetCurrentLocation");
    *location = DVD_PLAYBACK_LOCATION2{};
    location->TitleNum = Graph().locationTitle;
    return S_OK;
  }
  HRESULT GetTotalTitleTime(DVD_HMSF_TIMECODE* time, uint32_t*) override {
    Call("GetTotalTitleTime");
    *time = Graph().totalTime;
    return S_OK;
  }
  HRESULT GetNumberOfChapters(uint32_t, uint32_t* chapters) override { return *chapters = 5, S_OK; }
  HRESULT GetDVDVolumeInfo(uint32_t* volumes, uint32_t* volume, int32_t* side, uint32_t* titles) override {
    *volumes = *volume = 1;
    *side = 1;
    *titles = 4;
    return S_OK;
  }
  HRESULT GetCurrentAudio(uint32_t* available, uint32_t* current) override {
    *available = 3;
    *current = 0;
    return S_OK;
  }
  HRESULT GetCurrentSubpicture(uint32_t* available, uint32_t* current, int32_t* disabled) override {
    *available = 2;
    *current = 0;
    *disabled = 1;
    return S_OK;
  }
  HRESULT GetCurrentAngle(uint32_t* available, uint32_t* current) override {
    *available = *current = 1;
    return S_OK;
  }
  HRESULT GetCurrentButton(uint32_t* available, uint32_t* current) override {
    *available = Graph().buttonsAvailable;
    *current = Graph().currentButton;
    return S_OK;
  }
  HRESULT GetCurrentUOPS(uint32_t* uops) override { return *uops = 0, S_OK; }
  HRESULT GetAudioAttributes(uint32_t, DVD_AudioAttributes* a) override {
    *a = DVD_AudioAttributes{DVD_AudioFormat_AC3, 48000, 16, 6, {'e', 'n', 0}};
    return S_OK;
  }
  HRESULT GetSubpictureAttributes(uint32_t, DVD_SubpictureAttributes* s) override {
    *s = DVD_SubpictureAttributes{{'f', 'r', 0}};
    return S_OK;
  }
  HRESULT GetCurrentVideoAttributes(DVD_VideoAttributes* v) override { return *v = Graph().video, S_OK; }
};

class Filter : public Counted<IMediaFilter> {
 public:
  HRESULT SetSyncSource(IReferenceClock* clock) override {
    if (clock) clock->AddRef();
    if (Graph().syncSource) Graph().syncSource->Release();
    Graph().syncSource = clock;
    return S_OK;
  }
  HRESULT GetSyncSource(IReferenceClock** clock) override { return *clock = Graph().syncSource, S_OK; }
};

class Video : public Counted<IBasicVideo> {
 public:
  HRESULT SetDefaultSourcePosition() override { return S_OK; }
  HRESULT SetDestinationPosition(int32_t x, int32_t y, int32_t w, int32_t h) override {
    return Call("Destination " + Num(x) + " " + Num(y) + " " + Num(w) + " " + Num(h)), S_OK;
  }
  HRESULT GetVideoSize(int32_t* w, int32_t* h) override {
    *w = 720;
    *h = 576;
    return S_OK;
  }
};

class Audio : public Counted<IBasicAudio> {
 public:
  HRESULT put_Volume(int32_t volume) override {
    Graph().volume = volume;
    return Call("Volume " + Num(volume)), S_OK;
  }
  HRESULT get_Volume(int32_t* volume) override { return *volume = Graph().volume, S_OK; }
};

class Held : public Counted<IUnknownLike> {};

struct Interfaces {
  Control control;
  Events events;
  Window window;
  DvdControl dvdControl;
  DvdInfo dvdInfo;
  Held held;
  Filter filter;
  Video video;
  Audio audio;
};

template <typename T>
T* Out(T* p) {
  p->AddRef();
  return p;
}

int OpenMedia(const char* folder, IMediaControl** control, IMediaEventEx** events, IVideoWindow** window,
              IDvdControl2** dvdControl, IDvdInfo2** dvdInfo, IUnknownLike** held, IMediaFilter** filter,
              IBasicVideo** basicVideo, IBasicAudio** basicAudio, IVMRMixerBitmap9** mixer) {
  static Interfaces ifs;
  Graph().calls.push_back(std::string("Open ") + folder);
  if (!Graph().openResult) return 0;
  *control = Out(&ifs.control);
  *events = Out(&ifs.events);
  *window = Out(&ifs.window);
  *dvdControl = Out(&ifs.dvdControl);
  *dvdInfo = Out(&ifs.dvdInfo);
  *held = Out(&ifs.held);
  *filter = Out(&ifs.filter);
  *basicVideo = Out(&ifs.video);
  *basicAudio = Out(&ifs.audio);
  *mixer = nullptr;
  return 1;
}

void CloseMedia() {
  Graph().calls.push_back("CloseMedia");
  if (Graph().syncSource) Graph().syncSource->Release();
  Graph().syncSource = nullptr;
}
int PlayMedia(TarnVideoCallback, TarnAudioCallback, unsigned char*, unsigned char*) {
  Graph().calls.push_back("PlayMedia");
  return 7;
}
void StopMedia() { Graph().calls.push_back("StopMedia"); }

}  // namespace

bool ScriptedGraph::Called(const std::string& call) const {
  for (const std::string& c : calls)
    if (c == call) return true;
  return false;
}

size_t ScriptedGraph::CountCalls(const std::string& prefix) const {
  size_t n = 0;
  for (const std::string& c : calls)
    if (c.rfind(prefix, 0) == 0) ++n;
  return n;
}

ScriptedGraph& Graph() {
  if (!g_graph) g_graph = new ScriptedGraph();
  return *g_graph;
}

void ResetGraph() {
  delete g_graph;
  g_graph = new ScriptedGraph();
}

EngineEntryPoints ScriptedEngine() {
  EngineEntryPoints e;
  e.openMedia = OpenMedia;
  e.closeMedia = CloseMedia;
  e.playMedia = PlayMedia;
  e.stopMedia = StopMedia;
  return e;
}

}  // namespace tarn::test
