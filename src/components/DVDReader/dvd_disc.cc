#include "dvd_disc.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>

#include "stream_names.h"

namespace tarn::dvdreader {
namespace {

// libdvdread reports every oddity of a disc on the console; the program has
// no console, and a damaged disc is answered by the return values.
void DiscardLibraryMessage(void*, dvd_logger_level_t, const char*, va_list) {}
const dvd_logger_cb kQuietLogger = {DiscardLibraryMessage};

constexpr int kMaxTitleSets = 99;
constexpr int kMaxAngles = 9;
constexpr int64_t kSectorSize = DVD_VIDEO_LB_LEN;
// IFO files hold tables only; anything larger is not one.
constexpr size_t kMaxIfoSize = 32u << 20;

int FromBcd(uint8_t value) { return (value >> 4) * 10 + (value & 0x0F); }

// The bytes of VIDEO_TS.IFO (title set 0) or VTS_nn_0.IFO, or of its backup.
std::optional<std::vector<uint8_t>> ReadInfoFile(dvd_reader_t* reader, int title_set,
                                                 dvd_read_domain_t which) {
  dvd_file_t* file = DVDOpenFile(reader, title_set, which);
  if (!file) return std::nullopt;
  // libdvdread reads whole blocks of the file and nothing when asked for
  // more than it holds (or, in an image, the bytes after it), so the read
  // asks for exactly the file's blocks.
  const ssize_t blocks = DVDFileSize(file);
  std::optional<std::vector<uint8_t>> bytes;
  if (blocks > 0 && static_cast<size_t>(blocks) <= kMaxIfoSize / kSectorSize) {
    bytes.emplace(static_cast<size_t>(blocks) * kSectorSize);
    if (DVDReadBytes(file, bytes->data(), bytes->size()) != static_cast<ssize_t>(bytes->size())) {
      bytes.reset();
    }
  }
  DVDCloseFile(file);
  return bytes;
}

// Parses the IFO file with `parse`, falling back to the backup copy.
template <typename Parse>
auto ReadTables(dvd_reader_t* reader, int title_set, Parse parse)
    -> decltype(parse(nullptr, 0)) {
  for (dvd_read_domain_t which : {DVD_READ_INFO_FILE, DVD_READ_INFO_BACKUP_FILE}) {
    if (auto bytes = ReadInfoFile(reader, title_set, which)) {
      if (auto tables = parse(bytes->data(), bytes->size())) return tables;
    }
  }
  return std::nullopt;
}

}  // namespace

std::string DiscRootPath(const std::string& path) {
  std::string root = path;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  const size_t slash = root.rfind('/');
  const std::string last = slash == std::string::npos ? root : root.substr(slash + 1);
  struct stat info {};
  if (strcasecmp(last.c_str(), "VIDEO_TS") == 0 && stat(root.c_str(), &info) == 0 &&
      S_ISDIR(info.st_mode)) {
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : root.substr(0, slash);
  }
  return root;
}

double PlaybackSeconds(const std::array<uint8_t, 4>& bcd) {
  double seconds = FromBcd(bcd[0]) * 3600.0 + FromBcd(bcd[1]) * 60.0 + FromBcd(bcd[2]);
  const int frames = FromBcd(bcd[3] & 0x3F);
  switch (bcd[3] >> 6) {
    case 1: seconds += frames / 25.0; break;
    case 3: seconds += frames / 29.97; break;
    default: break;  // reserved rate codes: the frames cannot be converted
  }
  return seconds;
}

std::unique_ptr<Disc> Disc::Open(const std::string& path) {
  const std::string root = DiscRootPath(path);
  struct stat info {};
  // libdvdread prints to stderr itself when it cannot stat the path.
  if (root.empty() || stat(root.c_str(), &info) != 0) return nullptr;
  Reader reader(DVDOpen2(nullptr, &kQuietLogger, root.c_str()));
  if (!reader) return nullptr;
  std::optional<VideoManager> manager = ReadTables(reader.get(), 0, ParseVideoManager);
  if (!manager) return nullptr;
  return std::unique_ptr<Disc>(new Disc(std::move(reader), std::move(*manager)));
}

Disc::Disc(Reader reader, VideoManager manager)
    : reader_(std::move(reader)), manager_(std::move(manager)), titles_(manager_.titles.size()) {}

const TitleDetails* Disc::Title(int number) {
  if (number < 1 || number > TitleCount()) return nullptr;
  auto& slot = titles_[number - 1];
  if (!slot) slot = ReadTitle(number);
  return *slot ? &**slot : nullptr;
}

const TitleSet* Disc::TitleSetNumber(int number) {
  auto found = title_sets_.find(number);
  if (found == title_sets_.end()) {
    found = title_sets_.emplace(number, ReadTables(reader_.get(), number, ParseTitleSet)).first;
  }
  return found->second ? &*found->second : nullptr;
}

bool Disc::VideoPresent(int title_set, const ProgramChain& chain) {
  dvd_stat_t video{};
  if (DVDFileStat(reader_.get(), title_set, DVD_READ_TITLE_VOBS, &video) != 0 || video.size <= 0) {
    return false;
  }
  const int64_t sectors = video.size / kSectorSize;
  return std::all_of(chain.cells.begin(), chain.cells.end(), [sectors](const CellSectors& cell) {
    return cell.first <= cell.last && cell.last < sectors;
  });
}

std::optional<TitleDetails> Disc::ReadTitle(int number) {
  const TitleEntry& entry = manager_.titles[number - 1];
  if (entry.title_set < 1 || entry.title_set > manager_.title_sets || entry.title_set > kMaxTitleSets) {
    return std::nullopt;
  }
  const TitleSet* set = TitleSetNumber(entry.title_set);
  if (!set) return std::nullopt;
  if (entry.ttn < 1 || entry.ttn > static_cast<int>(set->titles.size())) return std::nullopt;
  const std::vector<PartOfTitle>& parts = set->titles[entry.ttn - 1];
  const int chapters = std::min<int>(entry.chapters, static_cast<int>(parts.size()));
  if (chapters < 1) return std::nullopt;

  const PartOfTitle& start = parts.front();
  if (start.pgcn < 1 || start.pgcn > static_cast<int>(set->chains.size())) return std::nullopt;
  const std::optional<ProgramChain>& chain = set->chains[start.pgcn - 1];
  if (!chain || chain->cells.empty() || start.pgn < 1 || start.pgn > chain->programs) {
    return std::nullopt;
  }
  if (!VideoPresent(entry.title_set, *chain)) return std::nullopt;

  TitleDetails details;
  details.seconds = PlaybackSeconds(chain->playback_time);
  details.chapters = chapters;
  details.angles = std::clamp(entry.angles, 1, kMaxAngles);
  details.aspect = static_cast<unsigned char>(set->aspect);
  for (size_t i = 0; i < set->audio.size(); ++i) {
    if (!(chain->audio_control[i] & 0x8000)) continue;
    const AudioAttributes& audio = set->audio[i];
    details.audio[i] = AudioDescription(audio.has_language, audio.language, audio.coding, audio.channels);
  }
  for (size_t i = 0; i < set->subpictures.size(); ++i) {
    if (!(chain->subpicture_control[i] & 0x80000000u)) continue;
    const SubpictureAttributes& subpicture = set->subpictures[i];
    details.subtitles[i] = SubtitleDescription(subpicture.has_language, subpicture.language);
  }
  return details;
}

}  // namespace tarn::dvdreader
