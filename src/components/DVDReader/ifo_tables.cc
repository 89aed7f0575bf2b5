#include "ifo_tables.h"

#include <dvdread/ifo_types.h>

#include <algorithm>
#include <cstddef>

#include "ifo_bytes.h"

namespace tarn::dvdreader {
namespace {

// Field positions come from libdvdread's packed structures, which lay the
// tables out as they are on the disc.
constexpr uint64_t kSector = 2048;
constexpr size_t kTableHeader = 8;  // count, reserved, last byte
constexpr size_t kTitleEntrySize = sizeof(title_info_t);
constexpr size_t kPgcHeaderSize = PGC_SIZE;
constexpr size_t kCellSize = sizeof(cell_playback_t);
constexpr size_t kPgciSrpSize = PGCI_SRP_SIZE;
constexpr size_t kAudioAttrSize = sizeof(audio_attr_t);
constexpr size_t kSubpAttrSize = sizeof(subp_attr_t);
static_assert(kTitleEntrySize == 12 && kCellSize == 24 && kAudioAttrSize == 8 && kSubpAttrSize == 6);
// The positions the DVD-Video format gives these fields.
static_assert(offsetof(vmgi_mat_t, vmg_nr_of_title_sets) == 0x3E && offsetof(vmgi_mat_t, tt_srpt) == 0xC4);
static_assert(offsetof(vtsi_mat_t, vts_ptt_srpt) == 0xC8 && offsetof(vtsi_mat_t, vts_pgcit) == 0xCC);
static_assert(offsetof(vtsi_mat_t, vts_video_attr) == 0x200 &&
              offsetof(vtsi_mat_t, nr_of_vts_audio_streams) == 0x203 &&
              offsetof(vtsi_mat_t, vts_audio_attr) == 0x204 &&
              offsetof(vtsi_mat_t, nr_of_vts_subp_streams) == 0x255 &&
              offsetof(vtsi_mat_t, vts_subp_attr) == 0x256);
static_assert(offsetof(pgc_t, playback_time) == 0x04 && offsetof(pgc_t, audio_control) == 0x0C &&
              offsetof(pgc_t, subp_control) == 0x1C && offsetof(pgc_t, cell_playback_offset) == 0xE8);

constexpr int kMaxTitles = 99;     // per disc and per title set
constexpr int kMaxChapters = 999;  // per title
constexpr int kMaxChains = 32767;  // per title set

// The end (exclusive) of a table that starts at `start`: its last byte as
// the table states it, but never past the file.
uint64_t TableEnd(IfoBytes& ifo, uint64_t start) {
  const uint64_t stated = start + uint64_t{ifo.U32(start + 4)} + 1;
  return std::min<uint64_t>(stated, ifo.size());
}

// Entries of `entry_size` bytes after a table header that fit before `end`.
uint64_t EntriesThatFit(uint64_t start, uint64_t end, size_t entry_size) {
  const uint64_t first = start + kTableHeader;
  return end > first ? (end - first) / entry_size : 0;
}

std::optional<ProgramChain> ParseChain(IfoBytes& ifo, uint64_t pgc, uint64_t table_end) {
  if (pgc + kPgcHeaderSize > table_end) return std::nullopt;
  ProgramChain chain;
  chain.programs = ifo.U8(pgc + offsetof(pgc_t, nr_of_programs));
  const int cells = ifo.U8(pgc + offsetof(pgc_t, nr_of_cells));
  const uint64_t time = pgc + offsetof(pgc_t, playback_time);
  for (size_t i = 0; i < chain.playback_time.size(); ++i) chain.playback_time[i] = ifo.U8(time + i);
  for (size_t i = 0; i < chain.audio_control.size(); ++i) {
    chain.audio_control[i] = ifo.U16(pgc + offsetof(pgc_t, audio_control) + 2 * i);
  }
  for (size_t i = 0; i < chain.subpicture_control.size(); ++i) {
    chain.subpicture_control[i] = ifo.U32(pgc + offsetof(pgc_t, subp_control) + 4 * i);
  }
  if (cells > 0) {
    const uint16_t offset = ifo.U16(pgc + offsetof(pgc_t, cell_playback_offset));
    const uint64_t first_cell = pgc + offset;
    if (offset < kPgcHeaderSize || first_cell + uint64_t{kCellSize} * cells > table_end) {
      return std::nullopt;
    }
    for (int i = 0; i < cells; ++i) {
      const uint64_t cell = first_cell + uint64_t{kCellSize} * i;
      chain.cells.push_back({ifo.U32(cell + offsetof(cell_playback_t, first_sector)),
                             ifo.U32(cell + offsetof(cell_playback_t, last_sector))});
    }
  }
  if (ifo.failed()) return std::nullopt;
  return chain;
}

bool ParsePartsOfTitles(IfoBytes& ifo, uint64_t table, TitleSet& set) {
  const uint64_t end = TableEnd(ifo, table);
  const int count = std::min<int>(ifo.U16(table), kMaxTitles);
  if (ifo.failed()) return false;
  std::vector<uint64_t> offsets;
  for (int i = 0; i < count; ++i) offsets.push_back(ifo.U32(table + kTableHeader + 4 * uint64_t(i)));
  for (int i = 0; i < count; ++i) {
    const uint64_t first = table + offsets[i];
    const uint64_t next = i + 1 < count ? table + offsets[i + 1] : end;
    std::vector<PartOfTitle> parts;
    if (offsets[i] >= kTableHeader && first < end) {
      const uint64_t stop = std::min(next, end);
      const uint64_t available = stop > first ? (stop - first) / 4 : 0;
      const int n = static_cast<int>(std::min<uint64_t>(available, kMaxChapters));
      for (int j = 0; j < n; ++j) {
        const uint64_t entry = first + 4 * uint64_t(j);
        parts.push_back({ifo.U16(entry), ifo.U16(entry + 2)});
      }
    }
    set.titles.push_back(std::move(parts));
  }
  return !ifo.failed();
}

bool ParseChains(IfoBytes& ifo, uint64_t table, TitleSet& set) {
  const uint64_t end = TableEnd(ifo, table);
  const uint64_t fit = EntriesThatFit(table, end, kPgciSrpSize);
  const int count = static_cast<int>(std::min<uint64_t>({ifo.U16(table), fit, kMaxChains}));
  if (ifo.failed()) return false;
  for (int i = 0; i < count; ++i) {
    const uint64_t pointer = table + kTableHeader + kPgciSrpSize * uint64_t(i);
    const uint32_t start = ifo.U32(pointer + offsetof(pgci_srp_t, pgc_start_byte));
    set.chains.push_back(ParseChain(ifo, table + start, end));
  }
  return !ifo.failed();
}

}  // namespace

std::optional<VideoManager> ParseVideoManager(const uint8_t* data, size_t size) {
  IfoBytes ifo(data, size);
  if (!ifo.StartsWith("DVDVIDEO-VMG")) return std::nullopt;
  VideoManager manager;
  manager.title_sets = ifo.U16(offsetof(vmgi_mat_t, vmg_nr_of_title_sets));
  const uint64_t table = ifo.U32(offsetof(vmgi_mat_t, tt_srpt)) * kSector;
  if (ifo.failed() || table == 0 || !ifo.Holds(table, kTableHeader)) return std::nullopt;
  const uint64_t fit = EntriesThatFit(table, TableEnd(ifo, table), kTitleEntrySize);
  const int count = static_cast<int>(std::min<uint64_t>({ifo.U16(table), fit, kMaxTitles}));
  for (int i = 0; i < count; ++i) {
    const uint64_t entry = table + kTableHeader + kTitleEntrySize * uint64_t(i);
    TitleEntry title;
    title.angles = ifo.U8(entry + offsetof(title_info_t, nr_of_angles));
    title.chapters = ifo.U16(entry + offsetof(title_info_t, nr_of_ptts));
    title.title_set = ifo.U8(entry + offsetof(title_info_t, title_set_nr));
    title.ttn = ifo.U8(entry + offsetof(title_info_t, vts_ttn));
    manager.titles.push_back(title);
  }
  if (ifo.failed()) return std::nullopt;
  return manager;
}

std::optional<TitleSet> ParseTitleSet(const uint8_t* data, size_t size) {
  IfoBytes ifo(data, size);
  if (!ifo.StartsWith("DVDVIDEO-VTS")) return std::nullopt;
  TitleSet set;
  set.aspect = (ifo.U8(offsetof(vtsi_mat_t, vts_video_attr)) >> 2) & 0x03;

  const int audio_count = std::min<int>(ifo.U8(offsetof(vtsi_mat_t, nr_of_vts_audio_streams)), 8);
  for (int i = 0; i < audio_count; ++i) {
    const uint64_t attr = offsetof(vtsi_mat_t, vts_audio_attr) + kAudioAttrSize * i;
    const uint8_t coding_byte = ifo.U8(attr);
    AudioAttributes audio;
    audio.coding = coding_byte >> 5;
    audio.has_language = ((coding_byte >> 2) & 0x03) == 1;
    audio.channels = (ifo.U8(attr + 1) & 0x07) + 1u;
    audio.language = ifo.U16(attr + offsetof(audio_attr_t, lang_code));
    set.audio.push_back(audio);
  }
  const int subpicture_count = std::min<int>(ifo.U8(offsetof(vtsi_mat_t, nr_of_vts_subp_streams)), 32);
  for (int i = 0; i < subpicture_count; ++i) {
    const uint64_t attr = offsetof(vtsi_mat_t, vts_subp_attr) + kSubpAttrSize * i;
    SubpictureAttributes subpicture;
    subpicture.has_language = (ifo.U8(attr) & 0x03) == 1;
    subpicture.language = ifo.U16(attr + offsetof(subp_attr_t, lang_code));
    set.subpictures.push_back(subpicture);
  }

  const uint64_t parts = ifo.U32(offsetof(vtsi_mat_t, vts_ptt_srpt)) * kSector;
  const uint64_t chains = ifo.U32(offsetof(vtsi_mat_t, vts_pgcit)) * kSector;
  if (ifo.failed() || parts == 0 || chains == 0 || !ifo.Holds(parts, kTableHeader) ||
      !ifo.Holds(chains, kTableHeader)) {
    return std::nullopt;
  }
  if (!ParsePartsOfTitles(ifo, parts, set) || !ParseChains(ifo, chains, set)) return std::nullopt;
  return set;
}

}  // namespace tarn::dvdreader
