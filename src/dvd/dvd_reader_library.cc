#include "dvd/dvd_reader_library.h"

namespace tarn {
namespace {

template <typename Fn>
bool Bind(const platform::DynamicLibrary& lib, const char* name, Fn& fn, std::string& error) {
  fn = lib.Entry<Fn>(name);
  if (!fn && error.empty()) error = std::string("entry point ") + name + " not found";
  return fn != nullptr;
}

}  // namespace

bool DvdReaderLibrary::Load(const std::string& programFolder) {
  loaded_ = false;
  error_.clear();
  if (!library_.Open(programFolder + kFileName)) {
    error_ = library_.Error();
    return false;
  }
  bool ok = true;
  ok &= Bind(library_, "DVD_DECODER_DisconnectDVD", disconnect_, error_);
  ok &= Bind(library_, "DVD_DECODER_ConnectDVD", connect_, error_);
  ok &= Bind(library_, "DVD_DECODER_GetTitleNumber2", titleNumber_, error_);
  ok &= Bind(library_, "DVD_DECODER_PLayMovie", playMovie_, error_);
  ok &= Bind(library_, "DVD_DECODER_GetTitleInfo", titleInfo_, error_);
  ok &= Bind(library_, "DVD_DECODER_GetChapterNumber", chapterNumber_, error_);
  ok &= Bind(library_, "DVD_DECODER_GetAspect", aspect_, error_);
  ok &= Bind(library_, "DVD_DECODER_GetAngles", angles_, error_);
  ok &= Bind(library_, "DVD_DECODER_GetAudioTracks", audioTracks_, error_);
  ok &= Bind(library_, "DVD_DECODER_GetSubtitles", subtitles_, error_);
  ok &= Bind(library_, "DVD_DECODER_GetAudioStreams", audioStreams_, error_);
  ok &= Bind(library_, "DVD_DECODER_GetAudioStream", audioStream_, error_);
  ok &= Bind(library_, "DVD_DECODER_GetStreams", subStreams_, error_);
  ok &= Bind(library_, "DVD_DECODER_GetStream", subStream_, error_);
  loaded_ = ok;
  return ok;
}

void DvdReaderLibrary::DisconnectDVD() const {
  if (loaded_) disconnect_();
}

bool DvdReaderLibrary::ConnectDVD(const std::string& discPath) const {
  return loaded_ && connect_(discPath.c_str()) != 0;
}

int DvdReaderLibrary::GetTitleNumber() const {
  int count = 0;
  if (loaded_) titleNumber_(&count);
  return count;
}

bool DvdReaderLibrary::PlayMovie(int titleNumber) const { return loaded_ && playMovie_(titleNumber) == 1; }

double DvdReaderLibrary::GetTitleInfo(int titleIndex) const {
  double seconds = 0.0;
  if (loaded_) titleInfo_(titleIndex, &seconds);
  return seconds;
}

int DvdReaderLibrary::GetChapterNumber(int titleNumber) const {
  int chapters = 0;
  if (loaded_) chapterNumber_(titleNumber, &chapters);
  return chapters;
}

uint8_t DvdReaderLibrary::GetAspect() const { return loaded_ ? aspect_() : 1; }

void DvdReaderLibrary::GetAngles(int* current, int* count) const {
  *current = 1;
  *count = 1;
  if (loaded_) angles_(current, count);
}

void DvdReaderLibrary::GetAudioTracks() const {
  uint32_t unused = 0;
  if (loaded_) audioTracks_(&unused);
}

void DvdReaderLibrary::GetSubtitles() const {
  uint32_t unused = 0;
  if (loaded_) subtitles_(&unused);
}

bool DvdReaderLibrary::HasAudioStream(int stream) const {
  return loaded_ && static_cast<signed char>(audioStreams_(stream)) != -1;
}

std::string DvdReaderLibrary::AudioStreamName(int stream) const {
  const char* text = loaded_ ? audioStream_(stream) : nullptr;
  return text ? text : "";
}

bool DvdReaderLibrary::HasSubtitleStream(int stream) const {
  return loaded_ && static_cast<signed char>(subStreams_(stream)) != -1;
}

std::string DvdReaderLibrary::SubtitleStreamName(int stream) const {
  const char* text = loaded_ ? subStream_(stream) : nullptr;
  return text ? text : "";
}

}  // namespace tarn
