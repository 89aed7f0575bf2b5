// Pictures per second through libTarnPlayer.so with no pacing limit: a
// 60 s NTSC 720x480 MPEG-2 title (authored by make-bench-disc into the
// build folder) played through the real entry points with a clock that is
// always past every due time, so the engine runs as fast as the capture
// side takes it. Also times the stages on their own (pack splitting, video
// decoding) to show where the time goes.
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TarnPlayer.h"
#include "ps_demux.h"
#include "video_decoder.h"

using namespace tarnplayer;

namespace {

// Each reading is ten seconds past the last and every advise fires at once.
class RunawayClock : public IReferenceClock {
 public:
  unsigned long AddRef() override { return 1; }
  unsigned long Release() override { return 1; }
  HRESULT GetTime(int64_t* time) override {
    *time = now_.fetch_add(100000000) + 100000000;
    return S_OK;
  }
  HRESULT AdviseTime(int64_t, int64_t, IAdviseEvent* event, uintptr_t* cookie) override {
    *cookie = 1;
    event->Set();
    return S_OK;
  }
  HRESULT Unadvise(uintptr_t) override { return S_FALSE; }

 private:
  std::atomic<int64_t> now_{0};
};

std::atomic<int> g_pictures{0};
std::atomic<int64_t> g_lastStart{0};

int OnVideo(int, int, int64_t, int64_t start, int64_t, unsigned char*) {
  ++g_pictures;
  g_lastStart = start;
  return 1;
}
int OnAudio(int, int, int, int64_t, unsigned char*) { return 1; }

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Plays title 1 to its end; returns pictures per second.
double EngineRun(const std::string& library, const std::string& disc, int* pictures) {
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "engine_bench: %s\n", dlerror());
    return 0;
  }
  auto open = reinterpret_cast<TarnOpenMediaFn>(dlsym(handle, "TarnOpenMedia"));
  auto close = reinterpret_cast<TarnCloseMediaFn>(dlsym(handle, "TarnCloseMedia"));
  auto play = reinterpret_cast<TarnPlayMediaFn>(dlsym(handle, "TarnPlayMedia"));
  auto stop = reinterpret_cast<TarnStopMediaFn>(dlsym(handle, "TarnStopMedia"));
  IMediaControl* control;
  IMediaEventEx* events;
  IVideoWindow* window;
  IDvdControl2* dvd;
  IDvdInfo2* info;
  IUnknownLike* held;
  IMediaFilter* filter;
  IBasicVideo* basicVideo;
  IBasicAudio* basicAudio;
  IVMRMixerBitmap9* mixer;
  if (!open(disc.c_str(), &control, &events, &window, &dvd, &info, &held, &filter, &basicVideo, &basicAudio,
            &mixer)) {
    std::fprintf(stderr, "engine_bench: cannot open %s\n", disc.c_str());
    return 0;
  }
  RunawayClock clock;
  filter->SetSyncSource(&clock);
  std::vector<unsigned char> videoScratch(1 << 20), audioScratch(1 << 20);
  g_pictures = 0;
  play(OnVideo, OnAudio, videoScratch.data(), audioScratch.data());
  control->Run();
  auto begin = std::chrono::steady_clock::now();
  dvd->PlayTitle(1, DVD_CMD_FLAG_Block, nullptr);
  int32_t code;
  intptr_t p1, p2;
  bool ended = false;
  while (!ended && Seconds(begin) < 120) {
    while (events->GetEvent(&code, &p1, &p2, 50) == S_OK) {
      if (code == EC_DVD_DOMAIN_CHANGE && p1 == DVD_DOMAIN_Stop) ended = true;
    }
  }
  double elapsed = Seconds(begin);
  *pictures = g_pictures.load();
  stop();
  control->Stop();
  filter->SetSyncSource(nullptr);
  IUnknownLike* all[] = {control, events, window, dvd, info, held, filter, basicVideo, basicAudio, mixer};
  for (IUnknownLike* object : all) {
    if (object) object->Release();
  }
  close();
  dlclose(handle);
  return *pictures / elapsed;
}

// The stages alone, straight from the VOB file.
void StageRun(const std::string& vob) {
  std::ifstream file(vob, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  auto begin = std::chrono::steady_clock::now();
  std::vector<PesPayload> payloads;
  size_t videoPayloads = 0;
  for (size_t at = 0; at + 2048 <= bytes.size(); at += 2048) {
    payloads.clear();
    SplitPack(bytes.data() + at, 2048, payloads);
    videoPayloads += payloads.size();
  }
  double split = Seconds(begin);
  VideoDecoder decoder;
  decoder.Open();
  std::vector<DecodedPicture> pictures;
  size_t count = 0;
  begin = std::chrono::steady_clock::now();
  for (size_t at = 0; at + 2048 <= bytes.size(); at += 2048) {
    payloads.clear();
    SplitPack(bytes.data() + at, 2048, payloads);
    for (const PesPayload& payload : payloads) {
      if (payload.kind != PesKind::Video) continue;
      pictures.clear();
      decoder.Decode(payload.data, payload.size, payload.pts90k, pictures);
      count += pictures.size();
    }
  }
  pictures.clear();
  decoder.Drain(pictures);
  count += pictures.size();
  double decode = Seconds(begin);
  std::printf("pack splitting   %8.0f packs/s (%zu payloads)\n", double(bytes.size() / 2048) / split, videoPayloads);
  std::printf("video decoding   %8.1f pictures/s (%zu pictures, deinterlaced)\n", count / decode, count);
}

std::string ExeDir() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return "./";
  path[length] = 0;
  std::string text(path);
  return text.substr(0, text.rfind('/') + 1);
}

}  // namespace

int main() {
  std::string disc = std::string(TARN_BENCH_BINARY_DIR) + "bench-engine/disc";
  std::string make = std::string(TARN_BENCH_SOURCE_DIR) + "bench/make-bench-disc '" + disc + "'";
  if (std::system(make.c_str()) != 0) {
    std::fprintf(stderr, "engine_bench: could not author the disc\n");
    return 1;
  }
  std::string library = ExeDir() + "../bin/libTarnPlayer.so";
  int pictures = 0;
  double perSecond = EngineRun(library, disc + "/", &pictures);
  std::printf("engine, unpaced  %8.1f pictures/s (%d pictures of 720x480 into the video callback)\n", perSecond,
              pictures);
  StageRun(disc + "/VIDEO_TS/VTS_01_1.VOB");
  return perSecond > 0 ? 0 : 1;
}
