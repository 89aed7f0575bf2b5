#pragma once
// The tables of a disc's IFO files that the reader needs, parsed from the
// files' bytes with every count and offset checked against the file.
//
// libdvdread's own IFO parser is not used: on some damaged files its error
// paths free memory twice, which would bring the program down.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tarn::dvdreader {

// One entry of the video manager's title search pointer table.
struct TitleEntry {
  int angles = 0;
  int chapters = 0;   // parts of title
  int title_set = 0;  // 1-based title set number
  int ttn = 0;        // the title's number inside its title set
};

struct VideoManager {
  int title_sets = 0;
  std::vector<TitleEntry> titles;
};

struct PartOfTitle {
  int pgcn = 0;  // program chain number
  int pgn = 0;   // program number inside the chain
};

struct CellSectors {
  uint32_t first = 0;
  uint32_t last = 0;
};

struct ProgramChain {
  int programs = 0;
  std::array<uint8_t, 4> playback_time{};  // BCD hours, minutes, seconds, frames
  std::array<uint16_t, 8> audio_control{};
  std::array<uint32_t, 32> subpicture_control{};
  std::vector<CellSectors> cells;
};

struct AudioAttributes {
  unsigned coding = 0;     // 0 AC-3, 2 MPEG-1, 3 MPEG-2, 4 LPCM, 6 DTS
  bool has_language = false;
  uint16_t language = 0;   // ISO 639 letters, first in the high byte
  unsigned channels = 0;   // channel count
};

struct SubpictureAttributes {
  bool has_language = false;
  uint16_t language = 0;
};

struct TitleSet {
  unsigned aspect = 0;  // 0 = 4:3, 3 = 16:9
  std::vector<AudioAttributes> audio;            // at most 8
  std::vector<SubpictureAttributes> subpictures; // at most 32
  // Parts of title of each title in the set, by title number - 1.
  std::vector<std::vector<PartOfTitle>> titles;
  // Program chains by number - 1; empty where the chain is damaged.
  std::vector<std::optional<ProgramChain>> chains;
};

// VIDEO_TS.IFO; nullopt when it is not a readable video manager.
std::optional<VideoManager> ParseVideoManager(const uint8_t* data, size_t size);
// VTS_nn_0.IFO; nullopt when it is not a readable title set.
std::optional<TitleSet> ParseTitleSet(const uint8_t* data, size_t size);

}  // namespace tarn::dvdreader
