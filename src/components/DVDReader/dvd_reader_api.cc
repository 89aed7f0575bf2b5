// The C entry points of libDVDReader.so over one process-wide open disc.
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

#include "DVDReader.h"
#include "dvd_disc.h"

namespace {

using tarn::dvdreader::Disc;
using tarn::dvdreader::TitleDetails;

struct Session {
  std::mutex mutex;
  std::unique_ptr<Disc> disc;
  const TitleDetails* current = nullptr;  // owned by `disc`
};

Session& session() {
  static Session instance;
  return instance;
}

constexpr char kAbsent = -1;

template <size_t N>
char StreamNumber(const std::array<std::optional<std::string>, N>& streams, int stream) {
  if (stream < 0 || stream >= static_cast<int>(N) || !streams[stream]) return kAbsent;
  return static_cast<char>(stream);
}

template <size_t N>
const char* StreamText(const std::array<std::optional<std::string>, N>& streams, int stream) {
  if (stream < 0 || stream >= static_cast<int>(N) || !streams[stream]) return "";
  return streams[stream]->c_str();
}

template <size_t N>
void WriteStreamCount(const std::array<std::optional<std::string>, N>* streams, void* out) {
  if (!out) return;
  int32_t count = 0;
  if (streams) {
    for (const auto& stream : *streams) count += stream ? 1 : 0;
  }
  std::memcpy(out, &count, sizeof count);
}

}  // namespace

extern "C" {

void DVD_DECODER_DisconnectDVD(void) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  s.current = nullptr;
  s.disc.reset();
}

int DVD_DECODER_ConnectDVD(const char* path) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  s.current = nullptr;
  s.disc.reset();
  if (!path) return 0;
  s.disc = Disc::Open(path);
  return s.disc ? 1 : 0;
}

void DVD_DECODER_GetTitleNumber2(int* count) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  if (count) *count = s.disc ? s.disc->TitleCount() : 0;
}

int DVD_DECODER_PLayMovie(int title) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  s.current = s.disc ? s.disc->Title(title) : nullptr;
  return s.current ? 1 : 0;
}

void DVD_DECODER_GetTitleInfo(int titleIndex, double* seconds) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  if (!seconds) return;
  const TitleDetails* details = s.disc ? s.disc->Title(titleIndex + 1) : nullptr;
  *seconds = details ? details->seconds : 0.0;
}

void DVD_DECODER_GetChapterNumber(int title, int* chapters) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  if (!chapters) return;
  const TitleDetails* details = s.disc ? s.disc->Title(title) : nullptr;
  *chapters = details ? details->chapters : 0;
}

unsigned char DVD_DECODER_GetAspect(void) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  return s.current ? s.current->aspect : 0xFF;
}

void DVD_DECODER_GetAngles(int* current, int* count) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  if (current) *current = s.current ? 1 : 0;
  if (count) *count = s.current ? s.current->angles : 0;
}

void DVD_DECODER_GetAudioTracks(void* out) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  WriteStreamCount(s.current ? &s.current->audio : nullptr, out);
}

void DVD_DECODER_GetSubtitles(void* out) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  WriteStreamCount(s.current ? &s.current->subtitles : nullptr, out);
}

char DVD_DECODER_GetAudioStreams(int stream) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  return s.current ? StreamNumber(s.current->audio, stream) : kAbsent;
}

const char* DVD_DECODER_GetAudioStream(int stream) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  return s.current ? StreamText(s.current->audio, stream) : "";
}

char DVD_DECODER_GetStreams(int stream) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  return s.current ? StreamNumber(s.current->subtitles, stream) : kAbsent;
}

const char* DVD_DECODER_GetStream(int stream) {
  Session& s = session();
  std::lock_guard lock(s.mutex);
  return s.current ? StreamText(s.current->subtitles, stream) : "";
}

}  // extern "C"
