// What one encode writes: the muxer chosen by the format code, the FFmpeg
// encoders chosen by the codec texts, the picture geometry and the audio
// format, all checked before the output file is created.
#ifndef TARN_COMPONENTS_RIDIRUD_OUTPUT_PLAN_H
#define TARN_COMPONENTS_RIDIRUD_OUTPUT_PLAN_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "RIDirud.h"
#include "encoder_settings.h"

namespace ridirud {

struct VideoPlan {
  bool enabled = false;
  std::string encoder;  // FFmpeg encoder name
  int source_width = 0;
  int source_height = 0;
  CropRect crop;        // inside the source, even offsets and sizes
  int scaled_width = 0;
  int scaled_height = 0;
  int frame_width = 0;
  int frame_height = 0;
  int pad_left = 0;     // where the scaled picture lies in the frame
  int pad_top = 0;
  FrameRate frame_rate;
  int64_t bit_rate = 0;
  int sar_num = 1;      // sample aspect ratio written to the stream
  int sar_den = 1;
};

struct AudioPlan {
  bool enabled = false;
  std::string encoder;
  int sample_rate = 0;
  int channels = 0;
  int64_t bit_rate = 0;
  double gain = 1.0;
};

struct OutputPlan {
  std::string muxer;
  std::string path;
  VideoPlan video;
  AudioPlan audio;
  int threads = 1;
  bool h264_console_profile = false;  // the console formats want Main profile, level 3
  std::vector<std::pair<std::string, std::string>> metadata;
  std::vector<std::string> notes;  // lines for the log about substitutions
};

// The muxer for a format code, or "" when the code is unknown.
std::string MuxerForFormat(const std::string& format);
// True for the formats written as an MP3 file (mp3 and the audio-only
// formats that a later step converts from it).
bool IsAudioOnlyFormat(const std::string& format);

// Fills plan from the settings and the stream description; false with a
// reason in error when a value cannot be encoded.
bool BuildOutputPlan(const EncoderSettings& settings, const MediaInfo& info, OutputPlan* plan,
                     std::string* error);

}  // namespace ridirud

#endif  // TARN_COMPONENTS_RIDIRUD_OUTPUT_PLAN_H
