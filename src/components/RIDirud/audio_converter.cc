#include "audio_converter.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

namespace ridirud {

void ApplyGain(int16_t* samples, int count, double gain) {
  if (std::fabs(gain - 1.0) < 1e-6) return;
  // Fixed point with 16 fractional bits keeps this cheap.
  const int64_t factor = static_cast<int64_t>(std::llround(gain * 65536.0));
  for (int i = 0; i < count; ++i) {
    int64_t v = (samples[i] * factor) >> 16;
    samples[i] = static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767));
  }
}

AudioConverter::~AudioConverter() {
  swr_free(&swr_);
  if (fifo_) av_audio_fifo_free(fifo_);
  if (converted_) av_freep(&converted_[0]);
  av_freep(&converted_);
}

bool AudioConverter::Init(int sample_rate, int channels, AVSampleFormat format, int frame_size, double gain,
                          std::string* error) {
  sample_rate_ = sample_rate;
  channels_ = channels;
  format_ = format;
  frame_size_ = frame_size;
  gain_ = gain;
  AVChannelLayout in_layout, out_layout;
  av_channel_layout_default(&in_layout, kHostChannels);
  av_channel_layout_default(&out_layout, channels);
  int rc = swr_alloc_set_opts2(&swr_, &out_layout, format, sample_rate, &in_layout, AV_SAMPLE_FMT_S16,
                               kHostSampleRate, 0, nullptr);
  av_channel_layout_uninit(&in_layout);
  av_channel_layout_uninit(&out_layout);
  if (rc < 0 || swr_init(swr_) < 0) {
    *error = "the resampler does not accept " + std::to_string(sample_rate) + " Hz, " +
             std::to_string(channels) + " channels";
    return false;
  }
  fifo_ = av_audio_fifo_alloc(format, channels, std::max(frame_size, 1) * 4);
  if (!fifo_) {
    *error = "out of memory for the audio buffer";
    return false;
  }
  return true;
}

bool AudioConverter::Convert(const uint8_t** input, int frames) {
  int room = swr_get_out_samples(swr_, frames);
  if (room < 0) return false;
  if (room > converted_capacity_) {
    if (converted_) av_freep(&converted_[0]);
    av_freep(&converted_);
    if (av_samples_alloc_array_and_samples(&converted_, nullptr, channels_, room, format_, 0) < 0) return false;
    converted_capacity_ = room;
  }
  int got = swr_convert(swr_, converted_, room, input, frames);
  if (got < 0) return false;
  if (got > 0 && av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted_), got) < got) return false;
  return true;
}

bool AudioConverter::Push(int16_t* interleaved, int frames) {
  if (frames <= 0) return true;
  ApplyGain(interleaved, frames * kHostChannels, gain_);
  const uint8_t* input[1] = {reinterpret_cast<const uint8_t*>(interleaved)};
  return Convert(input, frames);
}

bool AudioConverter::Flush() { return Convert(nullptr, 0); }

AVFrame* AudioConverter::Pop(bool at_end) {
  int available = av_audio_fifo_size(fifo_);
  int take = frame_size_ > 0 ? frame_size_ : available;
  if (available <= 0 || (available < take && !at_end)) return nullptr;
  take = std::min(take, available);
  AVFrame* frame = av_frame_alloc();
  if (!frame) return nullptr;
  frame->nb_samples = take;
  frame->format = format_;
  frame->sample_rate = sample_rate_;
  av_channel_layout_default(&frame->ch_layout, channels_);
  if (av_frame_get_buffer(frame, 0) < 0 ||
      av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame->data), take) < take) {
    av_frame_free(&frame);
    return nullptr;
  }
  frame->pts = next_pts_;
  next_pts_ += take;
  return frame;
}

}  // namespace ridirud
