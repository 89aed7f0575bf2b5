// Feeds damaged IFO files to the DVD reader. The first input byte picks which
// IFO file of an authored disc the rest of the input replaces (with its .BUP
// backup, which libdvdread reads when the IFO fails); then the disc is opened
// and every title is walked through every entry point.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "DVDReader.h"

namespace {

namespace fs = std::filesystem;

struct Target {
  const char* disc;
  const char* file;  // base name in VIDEO_TS, without .IFO/.BUP
};

// Keep in step with make-seeds.
constexpr Target kTargets[] = {
    {"feature", "VIDEO_TS"}, {"feature", "VTS_01_0"}, {"feature", "VTS_02_0"},
    {"menu", "VIDEO_TS"},    {"ntsc", "VTS_01_0"},
};
constexpr size_t kTargetCount = sizeof kTargets / sizeof kTargets[0];

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& path, const char* data, size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data, static_cast<std::streamsize>(size));
}

// Working copies of the discs: IFO and BUP files copied, VOBs linked.
class Workspace {
 public:
  Workspace() {
    char pattern[] = "/tmp/dvdreader-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) abort();
    root_ = pattern;
    for (const Target& target : kTargets) {
      const fs::path from = fs::path(TARN_FUZZ_DISCS_DIR) / target.disc / "VIDEO_TS";
      const fs::path to = root_ / target.disc / "VIDEO_TS";
      if (fs::exists(to)) continue;
      fs::create_directories(to);
      for (const auto& entry : fs::directory_iterator(from)) {
        const fs::path name = entry.path().filename();
        if (entry.path().extension() == ".VOB") {
          fs::create_symlink(entry.path(), to / name);
        } else {
          const std::string bytes = ReadAll(entry.path());
          WriteAll(to / name, bytes.data(), bytes.size());
          pristine_[(to / name).string()] = bytes;
        }
      }
    }
  }
  ~Workspace() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // Puts `data` in place of the target's IFO and BUP; returns the disc folder.
  std::string Replace(const Target& target, const uint8_t* data, size_t size) {
    RestoreLast();
    for (const char* extension : {".IFO", ".BUP"}) {
      const fs::path path = root_ / target.disc / "VIDEO_TS" / (std::string(target.file) + extension);
      WriteAll(path, reinterpret_cast<const char*>(data), size);
      changed_.push_back(path.string());
    }
    return (root_ / target.disc).string();
  }

 private:
  void RestoreLast() {
    for (const std::string& path : changed_) {
      const std::string& bytes = pristine_[path];
      WriteAll(path, bytes.data(), bytes.size());
    }
    changed_.clear();
  }

  fs::path root_;
  std::map<std::string, std::string> pristine_;
  std::vector<std::string> changed_;
};

Workspace& workspace() {
  static Workspace instance;
  return instance;
}

volatile size_t g_sink;  // keeps the reads of the texts

void WalkDisc(const std::string& folder) {
  if (!DVD_DECODER_ConnectDVD(folder.c_str())) return;
  int count = 0;
  DVD_DECODER_GetTitleNumber2(&count);
  if (count < 0 || count > 0xFFFF) abort();
  for (int title = 0; title <= count + 1; ++title) {
    DVD_DECODER_PLayMovie(title);
    double seconds = 0;
    DVD_DECODER_GetTitleInfo(title - 1, &seconds);
    int chapters = 0;
    DVD_DECODER_GetChapterNumber(title, &chapters);
    g_sink = DVD_DECODER_GetAspect();
    int angle = 0;
    int angles = 0;
    DVD_DECODER_GetAngles(&angle, &angles);
    int32_t tracks = 0;
    DVD_DECODER_GetAudioTracks(&tracks);
    DVD_DECODER_GetSubtitles(&tracks);
    for (int i = -1; i <= 8; ++i) {
      g_sink = static_cast<size_t>(DVD_DECODER_GetAudioStreams(i)) + std::strlen(DVD_DECODER_GetAudioStream(i));
    }
    for (int i = -1; i <= 32; ++i) {
      g_sink = static_cast<size_t>(DVD_DECODER_GetStreams(i)) + std::strlen(DVD_DECODER_GetStream(i));
    }
  }
  DVD_DECODER_DisconnectDVD();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const Target& target = kTargets[data[0] % kTargetCount];
  WalkDisc(workspace().Replace(target, data + 1, size - 1));
  return 0;
}
