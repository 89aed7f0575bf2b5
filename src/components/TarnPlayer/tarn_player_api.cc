// The four exported entry points of libTarnPlayer.so. One graph exists at a
// time; it lives from TarnOpenMedia to TarnCloseMedia.
#include <memory>
#include <mutex>

#include "TarnPlayer.h"
#include "graph_interfaces.h"

namespace {

std::mutex g_graphMutex;
std::unique_ptr<tarnplayer::PlayerGraph> g_graph;

template <typename Interface>
void HandOut(Interface* object, Interface** out) {
  if (!out) return;
  object->AddRef();
  *out = object;
}

}  // namespace

int TarnOpenMedia(const char* discFolder, tarnplayer::IMediaControl** control,
                  tarnplayer::IMediaEventEx** events, tarnplayer::IVideoWindow** window,
                  tarnplayer::IDvdControl2** dvdControl, tarnplayer::IDvdInfo2** dvdInfo,
                  tarnplayer::IUnknownLike** held, tarnplayer::IMediaFilter** filter,
                  tarnplayer::IBasicVideo** basicVideo, tarnplayer::IBasicAudio** basicAudio,
                  tarnplayer::IVMRMixerBitmap9** mixerBitmap) {
  std::lock_guard<std::mutex> lock(g_graphMutex);
  if (g_graph || !discFolder) return 0;
  auto graph = std::make_unique<tarnplayer::PlayerGraph>();
  if (!graph->Open(discFolder)) return 0;
  HandOut(graph->Control(), control);
  HandOut(graph->Events(), events);
  HandOut(graph->Window(), window);
  HandOut(graph->DvdControl(), dvdControl);
  HandOut(graph->DvdInfo(), dvdInfo);
  HandOut(graph->Held(), held);
  HandOut(graph->Filter(), filter);
  HandOut(graph->BasicVideo(), basicVideo);
  HandOut(graph->BasicAudio(), basicAudio);
  HandOut(graph->MixerBitmap(), mixerBitmap);
  g_graph = std::move(graph);
  return 1;
}

// The graph is torn down under the lock, so a new one cannot open while the
// old one still holds the disc and the sound device.
void TarnCloseMedia() {
  std::lock_guard<std::mutex> lock(g_graphMutex);
  g_graph.reset();
}

int TarnPlayMedia(TarnVideoCallback video, TarnAudioCallback audio, unsigned char* videoScratch,
                  unsigned char* audioScratch) {
  std::lock_guard<std::mutex> lock(g_graphMutex);
  if (!g_graph || !video || !audio || !videoScratch || !audioScratch) return 0;
  g_graph->GetEngine().StartCallbacks(video, audio, videoScratch, audioScratch);
  return 1;
}

void TarnStopMedia() {
  std::lock_guard<std::mutex> lock(g_graphMutex);
  if (g_graph) g_graph->GetEngine().StopCallbacks();
}
