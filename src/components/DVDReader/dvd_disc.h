#pragma once
// One opened DVD-Video disc: libdvdread finds and reads its files (folder,
// ISO image or device); the IFO tables are parsed here, and each title's
// details are checked and put together on demand.
#include <dvdread/dvd_reader.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ifo_tables.h"

namespace tarn::dvdreader {

struct TitleDetails {
  double seconds = 0.0;      // playback time of the title's first program chain
  int chapters = 0;          // parts of title
  int angles = 1;
  unsigned char aspect = 0;  // 0 = 4:3, 3 = 16:9
  // Descriptions of the streams the program chain carries, by stream number.
  std::array<std::optional<std::string>, 8> audio;
  std::array<std::optional<std::string>, 32> subtitles;
};

class Disc {
 public:
  // Opens `path` (VIDEO_TS folder, its parent, ISO image or device) and reads
  // its video manager; nullptr when that fails.
  static std::unique_ptr<Disc> Open(const std::string& path);
  Disc(const Disc&) = delete;
  Disc& operator=(const Disc&) = delete;

  int TitleCount() const { return static_cast<int>(manager_.titles.size()); }
  // The details of title `number` (1-based), or nullptr when the title's
  // tables are missing, inconsistent or point at video that is not there.
  // The record lives as long as the disc.
  const TitleDetails* Title(int number);

 private:
  struct ReaderCloser {
    void operator()(dvd_reader_t* reader) const { DVDClose(reader); }
  };
  using Reader = std::unique_ptr<dvd_reader_t, ReaderCloser>;

  Disc(Reader reader, VideoManager manager);
  std::optional<TitleDetails> ReadTitle(int number);
  const TitleSet* TitleSetNumber(int number);
  bool VideoPresent(int title_set, const ProgramChain& chain);

  Reader reader_;
  VideoManager manager_;
  std::map<int, std::optional<TitleSet>> title_sets_;  // nullopt: could not be read
  // One slot per title: empty until read, then the result of reading it.
  std::vector<std::optional<std::optional<TitleDetails>>> titles_;
};

// `path` with trailing slashes removed and a final VIDEO_TS folder replaced
// by the folder that holds it.
std::string DiscRootPath(const std::string& path);

// Seconds of a BCD hh:mm:ss:ff playback time whose two high frame bits give
// the frame rate (1 = 25 fps, 3 = 29.97 fps).
double PlaybackSeconds(const std::array<uint8_t, 4>& bcd);

}  // namespace tarn::dvdreader
