#pragma once
// What the encoder is given for one encode, field by field in the order of
// its init block, and how the conversion thread fills it from the current
// profile, the settings record and the output geometry.
#include <cstdint>
#include <string>

namespace tarn {

struct AVOutputProfile;
struct AppSettings;
struct OutputGeometryResult;
namespace platform {
class MessageQueue;
}

struct EncoderSettings {
  std::string scratchPath;   // tarn.drp
  std::string outputFile;    // the destination or the temporary file
  std::string format;
  std::string videoCodec;
  std::string videoBitrate;
  std::string aspect;        // ":" replaced by "/"
  std::string scaledSize;    // "w:h"
  std::string frameSize;     // "w:h" or "Original"
  std::string crop;          // "w:h:left:top" or empty
  std::string frameRate;
  std::string audioCodec;
  std::string audioBitrate;
  std::string sampleRate;
  std::string channels;      // one character
  std::string reservedText;  // always empty
  int32_t reserved60 = 0;
  int32_t reserved64 = 0;
  int32_t threads = 2;
  int32_t tvMode = 0;        // list index of the TV mode's current value
  float volume = 0.0f;       // (profile volume - 100) / 10
  int32_t frameWidth = 0;
  int32_t frameHeight = 0;
  double startTime = 0.0;
  double duration = 0.0;
  float float104 = 0.0f;
  int32_t int108 = 0;
  int32_t int112 = 0;
  std::string title;         // metadata: the settings' outputName
  std::string author;
  std::string album;
  std::string genre;
  std::string year;
  std::string track;
  std::string comment;
  const platform::MessageQueue* window = nullptr;  // passed through untouched
  int32_t int188 = 0;
  float float192 = 0.0f;
  int32_t int196 = -1;
};

// Audio-only formats: the encoder writes "temp.mp3" at 128 kbit/s, 44100 Hz,
// stereo, and post-processing makes the real format from it.
bool IsAudioOnlyFormat(const std::string& format);

// Fills every field from the profile, the settings and the geometry; texts
// of the geometry are turned into "w:h" form here.
EncoderSettings MakeEncoderSettings(const AVOutputProfile& profile, const AppSettings& settings,
                                    const OutputGeometryResult& geometry, const std::string& scratchPath,
                                    const std::string& outputFile, const platform::MessageQueue* window);

}  // namespace tarn
