#pragma once
// The four post-processing steps behind the entry points. Each returns a
// TARNENC_* code and leaves the destination untouched unless it succeeds.
#include <string>

#include "TarnEncoder.h"

namespace tarn::encoder {

struct ProgressTarget {
  TarnEncoderProgressFn callback = nullptr;
  void* window = nullptr;
};

// Video copied, audio to AMR-NB at the mode nearest `audioKilobits`, into a
// "3gp" or "3g2" container.
int RecreateThreeGp(const std::string& input, const std::string& output, const std::string& container,
                    double audioKilobits, ProgressTarget progress);

// FLV1 video and MP3 audio copied into a new SWF file.
int RemuxSwf(const std::string& input, const std::string& output, ProgressTarget progress);

// The input's audio for the profile format "au", "amr", "wav" or "m4a".
// `audioKilobits` sets the AAC and AMR-NB bit rates; AMR-NB is always
// 8000 Hz mono whatever `sampleRate` and `channels` say.
int ConvertAudio(const std::string& input, const std::string& output, const std::string& format,
                 int sampleRate, int channels, double audioKilobits, ProgressTarget progress);

// The 160x120 JPEG thumbnail.
int CaptureThumbnail(const std::string& video, const std::string& thumbnail);

// The time of the picture the thumbnail shows, for a video of this length
// (0 = the first picture).
double ThumbnailSeconds(double durationSeconds);

}  // namespace tarn::encoder
