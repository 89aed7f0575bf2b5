#pragma once
// The DVD information library, loaded from the program folder and called
// through its C entry points. It holds one open disc and one current title.
#include <cstdint>
#include <string>

#include "platform/dynamic_library.h"

namespace tarn {

class DvdReaderLibrary {
 public:
  static constexpr const char* kFileName = "libDVDReader.so";

  // Loads the library from `programFolder`; false (with Error()) when the
  // file or one of its entry points is missing.
  bool Load(const std::string& programFolder);
  bool IsLoaded() const { return loaded_; }
  const std::string& Error() const { return error_; }

  void DisconnectDVD() const;
  bool ConnectDVD(const std::string& discPath) const;
  int GetTitleNumber() const;
  // True when the 1-based title is selected and usable.
  bool PlayMovie(int titleNumber) const;
  double GetTitleInfo(int titleIndex) const;
  int GetChapterNumber(int titleNumber) const;
  uint8_t GetAspect() const;
  void GetAngles(int* current, int* count) const;
  void GetAudioTracks() const;
  void GetSubtitles() const;
  // False when the stream is not present in the current title.
  bool HasAudioStream(int stream) const;
  std::string AudioStreamName(int stream) const;
  bool HasSubtitleStream(int stream) const;
  std::string SubtitleStreamName(int stream) const;

 private:
  platform::DynamicLibrary library_;
  bool loaded_ = false;
  std::string error_;

  void (*disconnect_)() = nullptr;
  int (*connect_)(const char*) = nullptr;
  void (*titleNumber_)(int*) = nullptr;
  int (*playMovie_)(int) = nullptr;
  void (*titleInfo_)(int, double*) = nullptr;
  void (*chapterNumber_)(int, int*) = nullptr;
  unsigned char (*aspect_)() = nullptr;
  void (*angles_)(int*, int*) = nullptr;
  void (*audioTracks_)(void*) = nullptr;
  void (*subtitles_)(void*) = nullptr;
  char (*audioStreams_)(int) = nullptr;
  const char* (*audioStream_)(int) = nullptr;
  char (*subStreams_)(int) = nullptr;
  const char* (*subStream_)(int) = nullptr;
};

}  // namespace tarn
