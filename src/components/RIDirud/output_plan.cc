#include "output_plan.h"

#include <algorithm>
#include <cmath>
#include <numeric>

extern "C" {
#include <libavutil/rational.h>
}

namespace ridirud {
namespace {

// The audio-only formats other than mp3 are written as an intermediate MP3
// that the post step converts.
bool IsConvertedAudioFormat(const std::string& format) {
  return format == "au" || format == "amr" || format == "m4a" || format == "wav";
}

std::string VideoEncoderFor(const std::string& codec) {
  if (codec == "h264") return "libx264";
  if (codec == "mpeg4") return "mpeg4";
  if (codec == "h263") return "h263";
  if (codec == "flv") return "flv";
  return "";
}

int EvenDown(int v) { return v & ~1; }

bool BuildVideoPlan(const EncoderSettings& s, const MediaInfo& info, OutputPlan* plan, std::string* error) {
  VideoPlan& v = plan->video;
  v.enabled = true;
  v.encoder = VideoEncoderFor(s.video_codec);
  if (v.encoder.empty()) {
    *error = "video codec \"" + s.video_codec + "\" cannot be encoded";
    return false;
  }
  if (info.width < 2 || info.height < 2 || info.width > 8192 || info.height > 8192) {
    *error = "source picture size " + std::to_string(info.width) + "x" + std::to_string(info.height) +
             " is not usable";
    return false;
  }
  v.source_width = info.width;
  v.source_height = info.height;

  // Frame size: "Original" is the source size.
  PictureSize frame{info.width, info.height};
  if (s.frame_size != "Original") {
    auto parsed = ParseSizeText(s.frame_size);
    if (!parsed && s.frame_size.empty() && s.frame_width > 0 && s.frame_height > 0)
      parsed = PictureSize{s.frame_width, s.frame_height};
    if (!parsed) {
      *error = "frame size \"" + s.frame_size + "\" is not a size";
      return false;
    }
    frame = *parsed;
  }
  if (frame.width % 2 || frame.height % 2) {
    plan->notes.push_back("frame size " + std::to_string(frame.width) + "x" + std::to_string(frame.height) +
                          " rounded down to even numbers for 4:2:0");
    frame.width = EvenDown(frame.width);
    frame.height = EvenDown(frame.height);
  }
  if (frame.width < 16 || frame.height < 16 || frame.width > 4096 || frame.height > 4096) {
    *error = "frame size \"" + s.frame_size + "\" is out of range";
    return false;
  }
  v.frame_width = frame.width;
  v.frame_height = frame.height;

  PictureSize scaled = frame;
  if (!s.scaled_size.empty() && s.scaled_size != "Original") {
    auto parsed = ParseSizeText(s.scaled_size);
    if (!parsed) {
      *error = "scaled size \"" + s.scaled_size + "\" is not a size";
      return false;
    }
    scaled = *parsed;
  }
  if (scaled.width > frame.width || scaled.height > frame.height) {
    plan->notes.push_back("scaled size " + s.scaled_size + " limited to the frame size");
    scaled.width = std::min(scaled.width, frame.width);
    scaled.height = std::min(scaled.height, frame.height);
  }
  v.scaled_width = std::max(2, EvenDown(scaled.width));
  v.scaled_height = std::max(2, EvenDown(scaled.height));
  v.pad_left = EvenDown((v.frame_width - v.scaled_width) / 2);
  v.pad_top = EvenDown((v.frame_height - v.scaled_height) / 2);

  auto crop = ParseCropText(s.crop);
  if (!crop) {
    *error = "crop \"" + s.crop + "\" is not width:height:left:top";
    return false;
  }
  CropRect c = *crop;
  if (c.width == 0 && c.height == 0) {
    c = CropRect{info.width, info.height, 0, 0};
  } else {
    // Keep the rectangle inside the picture, on even lines and columns so the
    // chroma planes crop at the same place.
    CropRect asked = c;
    c.left = EvenDown(std::clamp(c.left, 0, info.width - 2));
    c.top = EvenDown(std::clamp(c.top, 0, info.height - 2));
    c.width = EvenDown(std::clamp(c.width, 2, info.width - c.left));
    c.height = EvenDown(std::clamp(c.height, 2, info.height - c.top));
    if (asked.width != c.width || asked.height != c.height || asked.left != c.left || asked.top != c.top)
      plan->notes.push_back("crop " + s.crop + " adjusted to " + std::to_string(c.width) + ":" +
                            std::to_string(c.height) + ":" + std::to_string(c.left) + ":" +
                            std::to_string(c.top));
  }
  v.crop = c;

  auto rate = ParseFrameRateText(s.frame_rate);
  if (!rate) {
    *error = "frame rate \"" + s.frame_rate + "\" is not a rate";
    return false;
  }
  v.frame_rate = *rate;
  auto bits = ParseKbpsText(s.video_bitrate);
  if (!bits) {
    *error = "video bit rate \"" + s.video_bitrate + "\" is not a rate";
    return false;
  }
  v.bit_rate = *bits;

  // The fitted picture was sized for a frame shown at the chosen display
  // aspect; tell the player through the sample aspect ratio.
  if (auto dar = ParseAspectText(s.aspect)) {
    AVRational sar = av_d2q(*dar * v.frame_height / v.frame_width, 1000);
    if (sar.num > 0 && sar.den > 0) {
      v.sar_num = sar.num;
      v.sar_den = sar.den;
    }
  }
  return true;
}

bool BuildAudioPlan(const EncoderSettings& s, OutputPlan* plan, std::string* error) {
  AudioPlan& a = plan->audio;
  a.enabled = true;
  a.gain = VolumeGain(s.volume_offset);
  bool audio_only = IsAudioOnlyFormat(s.format);
  auto rate = ParsePositiveInt(s.sample_rate);
  auto channels = ParsePositiveInt(s.channels.substr(0, 1));
  auto bits = ParseKbpsText(s.audio_bitrate);
  if (!rate || *rate < 8000 || *rate > 96000) {
    *error = "sample rate \"" + s.sample_rate + "\" cannot be encoded";
    return false;
  }
  if (!channels || *channels > 2) {
    *error = "channels \"" + s.channels + "\" cannot be encoded";
    return false;
  }
  if (!bits) {
    *error = "audio bit rate \"" + s.audio_bitrate + "\" is not a rate";
    return false;
  }
  a.sample_rate = *rate;
  a.channels = *channels;
  a.bit_rate = *bits;
  if (audio_only) {
    a.encoder = "libmp3lame";
    if (s.format != "mp3")
      plan->notes.push_back("format " + s.format + " is written as MP3 for the conversion step");
    else if (s.audio_codec != "mp3" && !s.audio_codec.empty()) {
      *error = "audio codec \"" + s.audio_codec + "\" does not fit an MP3 file";
      return false;
    }
    return true;
  }
  if (s.audio_codec == "aac") {
    a.encoder = "aac";
  } else if (s.audio_codec == "mp3") {
    a.encoder = "libmp3lame";
  } else if (s.audio_codec == "amr_nb") {
    // No AMR-NB encoder here: the temporary file carries AAC at the AMR
    // sample rate and the post step converts it.
    a.encoder = "aac";
    a.bit_rate = std::max<int64_t>(a.bit_rate, 24000);
    plan->notes.push_back("AMR-NB is written as AAC into the temporary file; the post step converts it");
  } else {
    *error = "audio codec \"" + s.audio_codec + "\" cannot be encoded";
    return false;
  }
  return true;
}

}  // namespace

std::string MuxerForFormat(const std::string& format) {
  if (format == "3ggp") return "3gp";
  if (format == "3ggp2") return "3g2";
  if (format == "psp-mp4" || format == "psp-avc") return "psp";
  if (format == "flv") return "flv";
  if (format == "swf") return "swf";
  if (format == "mp4") return "mp4";
  if (format == "mp3" || IsConvertedAudioFormat(format)) return "mp3";
  return "";
}

bool IsAudioOnlyFormat(const std::string& format) { return format == "mp3" || IsConvertedAudioFormat(format); }

bool BuildOutputPlan(const EncoderSettings& s, const MediaInfo& info, OutputPlan* plan, std::string* error) {
  *plan = OutputPlan{};
  plan->path = s.output_file;
  if (plan->path.empty()) {
    *error = "no output file";
    return false;
  }
  plan->muxer = MuxerForFormat(s.format);
  if (plan->muxer.empty()) {
    *error = "format \"" + s.format + "\" cannot be written";
    return false;
  }
  plan->threads = std::clamp(s.threads, 1, 16);
  plan->h264_console_profile = s.format == "psp-avc";
  if (!IsAudioOnlyFormat(s.format) && !BuildVideoPlan(s, info, plan, error)) return false;
  if (!BuildAudioPlan(s, plan, error)) return false;

  auto add = [plan](const char* key, const std::string& value) {
    if (!value.empty()) plan->metadata.emplace_back(key, value);
  };
  add("title", s.title);
  add("artist", s.author);
  // The 3GPP user data keeps the author in a field of its own.
  if (plan->muxer == "3gp" || plan->muxer == "3g2") add("author", s.author);
  add("album", s.album);
  add("genre", s.genre);
  add("date", s.year);
  add("track", s.track);
  add("comment", s.comment);
  return true;
}

}  // namespace ridirud
