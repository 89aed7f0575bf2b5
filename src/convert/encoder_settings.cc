#include "convert/encoder_settings.h"

#include "app/settings.h"
#include "convert/output_geometry.h"
#include "profiles/profile_catalogue.h"

namespace tarn {

bool IsAudioOnlyFormat(const std::string& format) {
  return format == "au" || format == "amr" || format == "m4a" || format == "wav";
}

EncoderSettings MakeEncoderSettings(const AVOutputProfile& profile, const AppSettings& settings,
                                    const OutputGeometryResult& geometry, const std::string& scratchPath,
                                    const std::string& outputFile, const platform::MessageQueue* window) {
  EncoderSettings s;
  s.scratchPath = scratchPath;
  s.outputFile = outputFile;
  s.format = profile.format;
  s.videoCodec = profile.videoCodec.value;
  s.videoBitrate = profile.videoBitrate.value;
  s.aspect = profile.aspectRate.value;
  for (char& c : s.aspect)
    if (c == ':') c = '/';
  s.scaledSize = ColonSize(geometry.scaledSize);
  s.frameSize = ColonSize(geometry.frameSize);
  s.crop = geometry.crop;
  s.frameRate = profile.frameRate.value;
  s.audioCodec = profile.audioCodec.value;
  s.audioBitrate = profile.audioBitrate.value;
  s.sampleRate = profile.sampleRate.value;
  s.channels = profile.channels.value.substr(0, 1);
  s.threads = settings.encoderThreads;
  s.tvMode = profile.tvMode.listIndex;
  s.volume = (profile.volume - 100.0f) / 10.0f;
  s.frameWidth = geometry.frameWidth;
  s.frameHeight = geometry.frameHeight;
  s.title = settings.outputName;
  s.author = settings.author;
  s.album = settings.album;
  s.genre = settings.genre;
  s.year = settings.year;
  s.track = settings.track;
  s.comment = settings.comment;
  s.window = window;
  if (IsAudioOnlyFormat(profile.format)) {
    s.audioBitrate = "128";
    s.sampleRate = "44100";
    s.channels = "2";
  }
  return s;
}

}  // namespace tarn
