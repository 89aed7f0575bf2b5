// The encoder's copy of the init block: every text, number and callback the
// encode needs, read once by Video_to_X_init so the host may free the block
// afterwards. Also the small parsers for the block's value texts.
#ifndef TARN_COMPONENTS_RIDIRUD_ENCODER_SETTINGS_H
#define TARN_COMPONENTS_RIDIRUD_ENCODER_SETTINGS_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "RIDirud.h"

namespace ridirud {

struct EncoderCallbacks {
  FetchMediaInfoFn fetch_media_info = nullptr;
  SupplyVideoFrameFn supply_video_frame = nullptr;
  SupplyAudioFn supply_audio = nullptr;
  StopTestFn stop_test = nullptr;
  EncoderLogFn log = nullptr;
};

struct EncoderSettings {
  std::string scratch_path;
  std::string output_file;
  std::string format;
  std::string video_codec;
  std::string video_bitrate;
  std::string aspect;
  std::string scaled_size;
  std::string frame_size;
  std::string crop;
  std::string frame_rate;
  std::string audio_codec;
  std::string audio_bitrate;
  std::string sample_rate;
  std::string channels;
  int threads = 1;
  int tv_mode = 0;
  float volume_offset = 0.0f;  // (volume - 100) / 10
  int frame_width = 0;
  int frame_height = 0;
  std::string title;
  std::string author;
  std::string album;
  std::string genre;
  std::string year;
  std::string track;
  std::string comment;
  EncoderCallbacks callbacks;
};

EncoderSettings ReadEncoderSettings(const unsigned char* block);

struct PictureSize {
  int width = 0;
  int height = 0;
};

// "w:h" (or "wxh"), both positive.
std::optional<PictureSize> ParseSizeText(std::string_view text);

struct CropRect {
  int width = 0;
  int height = 0;
  int left = 0;
  int top = 0;
};

// "cw:ch:left:top"; an empty text is "no crop" (a rectangle of zero size).
// nullopt for a text that is not four non-negative numbers.
std::optional<CropRect> ParseCropText(std::string_view text);

struct FrameRate {
  int num = 0;
  int den = 1;
};

// "25", "29.97", "23.976", ...: the NTSC-style rates become n*1000/1001.
std::optional<FrameRate> ParseFrameRateText(std::string_view text);

// A bit rate in kbit/s ("768", "7.95", "1411.2") as bits per second.
std::optional<int64_t> ParseKbpsText(std::string_view text);

// A positive whole number ("44100", "2").
std::optional<int> ParsePositiveInt(std::string_view text);

// The display aspect named by the aspect text ("16/9", "4/3", "x/y");
// nullopt for "Keep original aspect rate" and anything unreadable.
std::optional<double> ParseAspectText(std::string_view text);

// The volume slider is a percentage (10 to 200, 100 = unchanged); the block
// carries it as (volume - 100) / 10. Returns the linear gain.
double VolumeGain(float volume_offset);

}  // namespace ridirud

#endif  // TARN_COMPONENTS_RIDIRUD_ENCODER_SETTINGS_H
