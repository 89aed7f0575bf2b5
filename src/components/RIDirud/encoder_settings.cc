#include "encoder_settings.h"

#include <cmath>
#include <cstdlib>
#include <vector>

namespace ridirud {
namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
  return parts;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<long> ParseWhole(std::string_view text) {
  text = Trim(text);
  if (text.empty() || text.size() > 9) return std::nullopt;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<double> ParseDecimal(std::string_view text) {
  std::string copy(Trim(text));
  if (copy.empty()) return std::nullopt;
  char* end = nullptr;
  double value = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace

EncoderSettings ReadEncoderSettings(const unsigned char* block) {
  EncoderSettings s;
  s.scratch_path = EncoderBlockText(block, kBlockScratchPath);
  s.output_file = EncoderBlockText(block, kBlockOutputFile);
  s.format = EncoderBlockText(block, kBlockFormat);
  s.video_codec = EncoderBlockText(block, kBlockVideoCodec);
  s.video_bitrate = EncoderBlockText(block, kBlockVideoBitrate);
  s.aspect = EncoderBlockText(block, kBlockAspect);
  s.scaled_size = EncoderBlockText(block, kBlockScaledSize);
  s.frame_size = EncoderBlockText(block, kBlockFrameSize);
  s.crop = EncoderBlockText(block, kBlockCrop);
  s.frame_rate = EncoderBlockText(block, kBlockFrameRate);
  s.audio_codec = EncoderBlockText(block, kBlockAudioCodec);
  s.audio_bitrate = EncoderBlockText(block, kBlockAudioBitrate);
  s.sample_rate = EncoderBlockText(block, kBlockSampleRate);
  s.channels = EncoderBlockText(block, kBlockChannels);
  s.threads = EncoderBlockInt(block, kBlockThreads);
  s.tv_mode = EncoderBlockInt(block, kBlockTvMode);
  s.volume_offset = EncoderBlockFloat(block, kBlockVolume);
  s.frame_width = EncoderBlockInt(block, kBlockFrameWidth);
  s.frame_height = EncoderBlockInt(block, kBlockFrameHeight);
  s.title = EncoderBlockText(block, kBlockTitle);
  s.author = EncoderBlockText(block, kBlockAuthor);
  s.album = EncoderBlockText(block, kBlockAlbum);
  s.genre = EncoderBlockText(block, kBlockGenre);
  s.year = EncoderBlockText(block, kBlockYear);
  s.track = EncoderBlockText(block, kBlockTrack);
  s.comment = EncoderBlockText(block, kBlockComment);
  s.callbacks.fetch_media_info =
      reinterpret_cast<FetchMediaInfoFn>(EncoderBlockPointer(block, kBlockFetchMediaInfo));
  s.callbacks.supply_video_frame =
      reinterpret_cast<SupplyVideoFrameFn>(EncoderBlockPointer(block, kBlockSupplyVideoFrame));
  s.callbacks.supply_audio = reinterpret_cast<SupplyAudioFn>(EncoderBlockPointer(block, kBlockSupplyAudio));
  s.callbacks.stop_test = reinterpret_cast<StopTestFn>(EncoderBlockPointer(block, kBlockStopTest));
  s.callbacks.log = reinterpret_cast<EncoderLogFn>(EncoderBlockPointer(block, kBlockEncoderLog));
  return s;
}

std::optional<PictureSize> ParseSizeText(std::string_view text) {
  std::vector<std::string_view> parts = Split(text, ':');
  if (parts.size() != 2) parts = Split(text, 'x');
  if (parts.size() != 2) return std::nullopt;
  auto w = ParseWhole(parts[0]);
  auto h = ParseWhole(parts[1]);
  if (!w || !h || *w <= 0 || *h <= 0 || *w > 16384 || *h > 16384) return std::nullopt;
  return PictureSize{static_cast<int>(*w), static_cast<int>(*h)};
}

std::optional<CropRect> ParseCropText(std::string_view text) {
  if (Trim(text).empty()) return CropRect{};
  std::vector<std::string_view> parts = Split(text, ':');
  if (parts.size() != 4) return std::nullopt;
  long v[4];
  for (int i = 0; i < 4; ++i) {
    auto n = ParseWhole(parts[i]);
    if (!n) return std::nullopt;
    v[i] = *n;
  }
  return CropRect{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]),
                  static_cast<int>(v[3])};
}

std::optional<FrameRate> ParseFrameRateText(std::string_view text) {
  auto value = ParseDecimal(text);
  if (!value || *value < 1.0 || *value > 240.0) return std::nullopt;
  double rounded = std::round(*value);
  if (std::fabs(*value - rounded) < 1e-6) return FrameRate{static_cast<int>(rounded), 1};
  // 23.976, 29.97, 59.94: the rates of NTSC video are n * 1000 / 1001.
  double ntsc = std::round(*value * 1001.0 / 1000.0);
  if (std::fabs(*value - ntsc * 1000.0 / 1001.0) < 0.01) return FrameRate{static_cast<int>(ntsc) * 1000, 1001};
  return FrameRate{static_cast<int>(std::lround(*value * 1000.0)), 1000};
}

std::optional<int64_t> ParseKbpsText(std::string_view text) {
  auto value = ParseDecimal(text);
  if (!value || *value <= 0.0 || *value > 1e6) return std::nullopt;
  return static_cast<int64_t>(std::llround(*value * 1000.0));
}

std::optional<int> ParsePositiveInt(std::string_view text) {
  auto value = ParseWhole(text);
  if (!value || *value <= 0) return std::nullopt;
  return static_cast<int>(*value);
}

std::optional<double> ParseAspectText(std::string_view text) {
  std::vector<std::string_view> parts = Split(text, '/');
  if (parts.size() != 2) parts = Split(text, ':');
  if (parts.size() != 2) return std::nullopt;
  auto x = ParseDecimal(parts[0]);
  auto y = ParseDecimal(parts[1]);
  if (!x || !y || *x <= 0.0 || *y <= 0.0) return std::nullopt;
  double aspect = *x / *y;
  if (aspect < 0.1 || aspect > 10.0) return std::nullopt;
  return aspect;
}

double VolumeGain(float volume_offset) {
  if (!std::isfinite(volume_offset)) return 1.0;
  // offset * 10 + 100 is the slider's percentage.
  double percent = static_cast<double>(volume_offset) * 10.0 + 100.0;
  if (percent < 0.0) percent = 0.0;
  if (percent > 1000.0) percent = 1000.0;
  return percent / 100.0;
}

}  // namespace ridirud
