#pragma once
// A small stand-in for the conversion host of the encoder library: builds an
// init block the way the host lays it out (300 bytes, texts and callback
// pointers in the extension area after it), serves generated pictures and a
// tone through the five callbacks, and probes the written files with
// ffprobe/ffmpeg. Header-only so the encoder tests need no extra library.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "components/RIDirud/RIDirud.h"

namespace tarn::test {

// The init block: 300 fixed bytes followed by the extension area that text
// and pointer fields refer to by offset.
class EncoderBlockBuilder {
 public:
  EncoderBlockBuilder() : bytes_(kEncoderBlockSize, 0) { SetInt(kBlockInt196, -1); }

  void SetText(uint32_t field, const std::string& text) {
    uint32_t at = static_cast<uint32_t>(bytes_.size());
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.push_back(0);
    std::memcpy(bytes_.data() + field, &at, 4);
  }
  void SetInt(uint32_t field, int32_t value) { std::memcpy(bytes_.data() + field, &value, 4); }
  void SetFloat(uint32_t field, float value) { std::memcpy(bytes_.data() + field, &value, 4); }
  void SetDouble(uint32_t field, double value) { std::memcpy(bytes_.data() + field, &value, 8); }
  template <typename T>
  void SetPointer(uint32_t field, T* pointer) {
    while (bytes_.size() % 8) bytes_.push_back(0);
    uint32_t at = static_cast<uint32_t>(bytes_.size());
    void* p = reinterpret_cast<void*>(pointer);
    bytes_.resize(bytes_.size() + sizeof p);
    std::memcpy(bytes_.data() + at, &p, sizeof p);
    std::memcpy(bytes_.data() + field, &at, 4);
  }
  const unsigned char* data() const { return bytes_.data(); }

 private:
  std::vector<unsigned char> bytes_;
};

// The profile values of one encode, as the host hands them over.
struct EncodeProfile {
  std::string format;
  std::string video_codec;
  std::string video_bitrate;
  std::string frame_size;    // "w:h" or "Original"
  std::string scaled_size;   // "w:h"; empty: same as the frame
  std::string crop;          // "cw:ch:x:y" or empty
  std::string frame_rate;
  std::string audio_codec;
  std::string audio_bitrate;
  std::string sample_rate;
  std::string channels;
  std::string aspect = "Keep original aspect rate";
  float volume = 100.0f;
  int threads = 2;
};

struct EncodeMetadata {
  std::string title, author, album, genre, year, track, comment;
};

// What the host serves: a moving pattern of width x height at rate_num /
// rate_den and a tone at 48 kHz stereo.
struct TestSource {
  int width = 352;
  int height = 288;
  int rate_num = 25;
  int rate_den = 1;
  int pictures = 50;
  double tone_hz = 440.0;             // whole hertz
  int tone_amplitude = 8000;
  bool abort_media_info = false;     // FetchMediaInfo returns -1
  int supply_stop_after = -1;        // SupplyVideoFrame returns -1 after that many pictures
  int empty_replies = 0;             // "nothing yet" answers before each picture
  // Draws picture `index` into the three planes (Y, U, V; chroma half size).
  std::function<void(int index, uint8_t* y, uint8_t* u, uint8_t* v, int width, int height)> draw;
};

inline void DrawMovingPattern(int index, uint8_t* y, uint8_t* u, uint8_t* v, int width, int height) {
  for (int row = 0; row < height; ++row)
    for (int col = 0; col < width; ++col) y[row * width + col] = static_cast<uint8_t>(((col + 3 * index) ^ row) & 0xff);
  const int cw = (width + 1) / 2, ch = (height + 1) / 2;
  for (int i = 0; i < cw * ch; ++i) {
    u[i] = static_cast<uint8_t>(128 + 40 * std::sin((i % cw + index) * 0.05));
    v[i] = static_cast<uint8_t>(128 + 40 * std::cos((i / cw) * 0.05));
  }
  // A bright box moving across the picture.
  const int box = width / 8, bx = (index * 6) % (width - box), by = height / 3;
  for (int row = by; row < by + box && row < height; ++row) std::memset(y + row * width + bx, 235, box);
}

// Serves one TestSource through the callbacks; one host at a time.
class TestEncoderHost {
 public:
  explicit TestEncoderHost(TestSource source) : source_(std::move(source)) {
    if (!source_.draw) source_.draw = DrawMovingPattern;
    // One second of the tone; a whole number of hertz repeats it exactly.
    tone_.resize(48000);
    for (int i = 0; i < 48000; ++i)
      tone_[i] = static_cast<int16_t>(source_.tone_amplitude * std::sin(2 * M_PI * source_.tone_hz * i / 48000.0));
    current() = this;
  }
  ~TestEncoderHost() { current() = nullptr; }

  // Fills a block for profile writing to output.
  void FillBlock(EncoderBlockBuilder& b, const EncodeProfile& p, const std::string& output,
                 const EncodeMetadata& meta = {}) {
    b.SetText(kBlockScratchPath, output + ".drp");
    b.SetText(kBlockOutputFile, output);
    b.SetText(kBlockFormat, p.format);
    b.SetText(kBlockVideoCodec, p.video_codec);
    b.SetText(kBlockVideoBitrate, p.video_bitrate);
    std::string aspect = p.aspect;
    for (char& c : aspect) if (c == ':') c = '/';
    b.SetText(kBlockAspect, aspect);
    b.SetText(kBlockScaledSize, p.scaled_size.empty() ? p.frame_size : p.scaled_size);
    b.SetText(kBlockFrameSize, p.frame_size);
    if (!p.crop.empty()) b.SetText(kBlockCrop, p.crop);
    b.SetText(kBlockFrameRate, p.frame_rate);
    b.SetText(kBlockAudioCodec, p.audio_codec);
    b.SetText(kBlockAudioBitrate, p.audio_bitrate);
    b.SetText(kBlockSampleRate, p.sample_rate);
    b.SetText(kBlockChannels, p.channels.substr(0, 1));
    b.SetInt(kBlockThreads, p.threads);
    b.SetFloat(kBlockVolume, (p.volume - 100.0f) / 10.0f);
    int fw = 0, fh = 0;
    if (std::sscanf(p.frame_size.c_str(), "%d:%d", &fw, &fh) != 2) fw = source_.width, fh = source_.height;
    b.SetInt(kBlockFrameWidth, fw);
    b.SetInt(kBlockFrameHeight, fh);
    if (!meta.title.empty()) b.SetText(kBlockTitle, meta.title);
    if (!meta.author.empty()) b.SetText(kBlockAuthor, meta.author);
    if (!meta.album.empty()) b.SetText(kBlockAlbum, meta.album);
    if (!meta.genre.empty()) b.SetText(kBlockGenre, meta.genre);
    if (!meta.year.empty()) b.SetText(kBlockYear, meta.year);
    if (!meta.track.empty()) b.SetText(kBlockTrack, meta.track);
    if (!meta.comment.empty()) b.SetText(kBlockComment, meta.comment);
    b.SetPointer(kBlockFetchMediaInfo, &FetchMediaInfo);
    b.SetPointer(kBlockSupplyVideoFrame, &SupplyVideoFrame);
    b.SetPointer(kBlockSupplyAudio, &SupplyAudio);
    b.SetPointer(kBlockStopTest, &StopTest);
    b.SetPointer(kBlockEncoderLog, &EncoderLog);
  }

  // Microseconds at which picture i starts.
  int64_t PictureTime(int i) const {
    return static_cast<int64_t>(std::llround(i * 1e6 * source_.rate_den / source_.rate_num));
  }
  double SuppliedSeconds() const { return PictureTime(served_) / 1e6; }
  int served() const { return served_; }
  int64_t audio_frames() const { return audio_frames_; }
  const std::vector<std::string>& log() const { return log_; }
  bool LogContains(const std::string& text) const {
    for (const auto& line : log_) if (line.find(text) != std::string::npos) return true;
    return false;
  }

 private:
  static TestEncoderHost*& current() {
    static TestEncoderHost* host = nullptr;
    return host;
  }

  static int FetchMediaInfo(MediaInfo* info) {
    TestEncoderHost* h = current();
    if (h->source_.abort_media_info) return -1;
    std::memset(info, 0, sizeof *info);
    info->width = h->source_.width;
    info->height = h->source_.height;
    info->raten = h->source_.rate_num;
    info->rated = h->source_.rate_den;
    info->aspectn = 100000;
    info->aspectd = 100000;
    info->num_frames = h->source_.pictures;
    info->audio_samples_per_second = 48000;
    info->nchannels = 2;
    return info->num_frames;
  }

  static int SupplyVideoFrame(VideoRequest* request, unsigned char* destination) {
    TestEncoderHost* h = current();
    if (h->source_.supply_stop_after >= 0 && h->served_ >= h->source_.supply_stop_after) return -1;
    if (h->empty_left_ > 0) {
      --h->empty_left_;  // nothing to supply yet; the encoder asks again
      return 0;
    }
    h->empty_left_ = h->source_.empty_replies;
    if (h->served_ >= h->source_.pictures) {
      h->ended_ = true;  // out of range: nothing supplied, the stop test ends it
      return 0;
    }
    const int w = h->source_.width, ht = h->source_.height;
    uint8_t* y = destination;
    uint8_t* u = y + w * ht;
    uint8_t* v = u + ((w + 1) / 2) * ((ht + 1) / 2);
    h->source_.draw(h->served_, y, u, v, w, ht);
    request->time = request->time2 = h->PictureTime(h->served_);
    request->duration = static_cast<int32_t>(h->PictureTime(h->served_ + 1) - request->time);
    ++h->served_;
    return 0;
  }

  static int SupplyAudio(void*, unsigned char* destination, AudioRequest* request) {
    TestEncoderHost* h = current();
    const int count = static_cast<int>(request->count & 0xffffffff);
    auto* out = reinterpret_cast<int16_t*>(destination);
    for (int i = 0; i < count; ++i) {
      const int16_t s = h->tone_[(h->audio_frames_ + i) % 48000];
      out[2 * i] = s;
      out[2 * i + 1] = s;
    }
    h->audio_frames_ += count;
    return 0;
  }

  static int StopTest() { return current()->ended_ ? 1 : 0; }
  static void EncoderLog(const char* text) { current()->log_.emplace_back(text); }

  TestSource source_;
  int served_ = 0;
  int empty_left_ = 0;
  bool ended_ = false;
  int64_t audio_frames_ = 0;
  std::vector<int16_t> tone_;
  std::vector<std::string> log_;
};

// ffprobe's view of a file: format fields (tags as "TAG:name") and one map
// per stream in file order.
struct MediaProbe {
  bool ok = false;
  std::map<std::string, std::string> format;
  std::vector<std::map<std::string, std::string>> streams;

  const std::map<std::string, std::string>* Stream(const std::string& type) const {
    for (const auto& s : streams)
      if (s.count("codec_type") && s.at("codec_type") == type) return &s;
    return nullptr;
  }
};

inline std::string RunCommandForTest(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

inline MediaProbe ProbeMedia(const std::string& path) {
  MediaProbe probe;
  std::string text = RunCommandForTest(
      "ffprobe -v error -count_frames -show_entries "
      "format=format_name,duration:format_tags:stream=codec_type,codec_name,width,height,sample_rate,channels,"
      "nb_read_frames,avg_frame_rate,duration,sample_aspect_ratio -of default=nw=0 '" + path + "' 2>/dev/null");
  std::map<std::string, std::string>* section = nullptr;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line == "[STREAM]") {
      probe.streams.emplace_back();
      section = &probe.streams.back();
    } else if (line == "[FORMAT]") {
      section = &probe.format;
      probe.ok = true;
    } else if (line.size() > 1 && line[0] == '[') {
      section = nullptr;
    } else if (section) {
      size_t eq = line.find('=');
      if (eq != std::string::npos) (*section)[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return probe;
}

// The luma plane of a file's first decoded picture (width x height, the
// encoder's own video range), or less when decoding failed.
inline std::vector<uint8_t> FirstPictureLuma(const std::string& path, int width, int height) {
  std::string raw = RunCommandForTest("ffmpeg -v error -i '" + path +
                                      "' -frames:v 1 -f rawvideo -pix_fmt yuv420p - 2>/dev/null");
  raw.resize(std::min(raw.size(), static_cast<size_t>(width) * height));
  return std::vector<uint8_t>(raw.begin(), raw.end());
}

// Mean volume in dB of a file's audio, from ffmpeg's volumedetect filter.
inline double MeanVolumeDb(const std::string& path) {
  std::string out = RunCommandForTest("ffmpeg -v info -nostats -i '" + path +
                                      "' -vn -af volumedetect -f null - 2>&1");
  size_t at = out.find("mean_volume:");
  if (at == std::string::npos) return -999.0;
  return std::strtod(out.c_str() + at + 12, nullptr);
}

}  // namespace tarn::test
