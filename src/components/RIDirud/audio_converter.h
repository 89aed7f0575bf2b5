// The audio path: 48 kHz stereo 16-bit blocks from the host get the volume
// gain, are resampled to the encoder's rate, channels and sample format, and
// come out in frames of the encoder's frame size.
#ifndef TARN_COMPONENTS_RIDIRUD_AUDIO_CONVERTER_H
#define TARN_COMPONENTS_RIDIRUD_AUDIO_CONVERTER_H

#include <cstdint>
#include <string>

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}
struct SwrContext;

namespace ridirud {

constexpr int kHostSampleRate = 48000;
constexpr int kHostChannels = 2;
constexpr int kHostBytesPerFrame = 4;

// Multiplies 16-bit samples by gain, saturating.
void ApplyGain(int16_t* samples, int count, double gain);

class AudioConverter {
 public:
  AudioConverter() = default;
  ~AudioConverter();
  AudioConverter(const AudioConverter&) = delete;
  AudioConverter& operator=(const AudioConverter&) = delete;

  // frame_size 0 means the encoder takes any number of samples.
  bool Init(int sample_rate, int channels, AVSampleFormat format, int frame_size, double gain,
            std::string* error);
  // Takes `frames` 48 kHz stereo frames (the block is changed in place by the gain).
  bool Push(int16_t* interleaved, int frames);
  // Drains what the resampler still holds; call once at the end.
  bool Flush();
  // The next frame for the encoder, or null when not enough samples are
  // buffered (at_end: hand out the last, shorter frame too).
  AVFrame* Pop(bool at_end);

 private:
  bool Convert(const uint8_t** input, int frames);

  SwrContext* swr_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  uint8_t** converted_ = nullptr;
  int converted_capacity_ = 0;
  int sample_rate_ = 0;
  int channels_ = 0;
  AVSampleFormat format_ = AV_SAMPLE_FMT_NONE;
  int frame_size_ = 0;
  double gain_ = 1.0;
  int64_t next_pts_ = 0;
};

}  // namespace ridirud

#endif  // TARN_COMPONENTS_RIDIRUD_AUDIO_CONVERTER_H
