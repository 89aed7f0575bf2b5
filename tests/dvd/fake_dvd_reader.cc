// A stand-in DVD information library for the one case no authored disc can
// show: titles whose chapter count is 0. TARN_FAKE_DVD_CHAPTERS lists one
// chapter count per title ("0,0,0"); every title lasts 100 s and has one
// audio stream.
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {
std::vector<int> Chapters() {
  std::vector<int> counts;
  const char* spec = std::getenv("TARN_FAKE_DVD_CHAPTERS");
  std::stringstream ss(spec ? spec : "");
  std::string item;
  while (std::getline(ss, item, ',')) counts.push_back(std::atoi(item.c_str()));
  return counts;
}
bool g_open = false;
}  // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))
EXPORT void DVD_DECODER_DisconnectDVD() { g_open = false; }
EXPORT int DVD_DECODER_ConnectDVD(const char*) { return g_open = true; }
EXPORT void DVD_DECODER_GetTitleNumber2(int* n) { *n = g_open ? static_cast<int>(Chapters().size()) : 0; }
EXPORT int DVD_DECODER_PLayMovie(int) { return g_open ? 1 : 0; }
EXPORT void DVD_DECODER_GetTitleInfo(int, double* s) { *s = 100.0; }
EXPORT void DVD_DECODER_GetChapterNumber(int title, int* c) {
  auto counts = Chapters();
  *c = title >= 1 && title <= static_cast<int>(counts.size()) ? counts[static_cast<size_t>(title - 1)] : 0;
}
EXPORT unsigned char DVD_DECODER_GetAspect() { return 0; }
EXPORT void DVD_DECODER_GetAngles(int* current, int* count) { *current = *count = 1; }
EXPORT void DVD_DECODER_GetAudioTracks(void*) {}
EXPORT void DVD_DECODER_GetSubtitles(void*) {}
EXPORT char DVD_DECODER_GetAudioStreams(int i) { return i == 0 ? 0 : -1; }
EXPORT const char* DVD_DECODER_GetAudioStream(int) { return "English AC3 2ch"; }
EXPORT char DVD_DECODER_GetStreams(int) { return -1; }
EXPORT const char* DVD_DECODER_GetStream(int) { return ""; }
