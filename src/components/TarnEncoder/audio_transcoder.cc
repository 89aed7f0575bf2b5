#include "audio_transcoder.h"

#include <algorithm>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace tarn::encoder {

AudioTranscoder::~AudioTranscoder() {
  if (fifo_) av_audio_fifo_free(fifo_);
}

bool AudioTranscoder::Open(const AVStream* stream) {
  decoder_ = OpenDecoder(stream);
  decoded_ = NewFrame();
  fifo_ = av_audio_fifo_alloc(encoder_.SampleFormat(), encoder_.Layout().nb_channels, encoder_.FrameSamples());
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    endPts_ = av_rescale_q(start + stream->duration, stream->time_base, AVRational{1, encoder_.SampleRate()});
  }
  return decoder_ && decoded_ && fifo_;
}

bool AudioTranscoder::OpenResampler() {
  AVChannelLayout inLayout{};
  if (decoded_->ch_layout.order != AV_CHANNEL_ORDER_UNSPEC && decoded_->ch_layout.nb_channels > 0)
    av_channel_layout_copy(&inLayout, &decoded_->ch_layout);
  else
    av_channel_layout_default(&inLayout, std::max(1, decoded_->ch_layout.nb_channels));
  AVChannelLayout outLayout{};
  av_channel_layout_copy(&outLayout, &encoder_.Layout());
  SwrContext* raw = nullptr;
  const int made = swr_alloc_set_opts2(&raw, &outLayout, encoder_.SampleFormat(), encoder_.SampleRate(),
                                       &inLayout, static_cast<AVSampleFormat>(decoded_->format),
                                       decoded_->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&inLayout);
  av_channel_layout_uninit(&outLayout);
  resampler_.reset(raw);
  return made >= 0 && resampler_ && swr_init(resampler_.get()) >= 0;
}

bool AudioTranscoder::ConvertFrame(const AVFrame* input) {
  const int inSamples = input ? input->nb_samples : 0;
  const int room = swr_get_out_samples(resampler_.get(), inSamples);
  if (room < 0) return false;
  if (room == 0) return true;
  FrameHandle converted = NewFrame();
  if (!converted) return false;
  converted->format = encoder_.SampleFormat();
  converted->nb_samples = room;
  if (av_channel_layout_copy(&converted->ch_layout, &encoder_.Layout()) < 0) return false;
  if (av_frame_get_buffer(converted.get(), 0) < 0) return false;
  const int got = swr_convert(resampler_.get(), converted->data, room,
                              input ? const_cast<const uint8_t**>(input->extended_data) : nullptr, inSamples);
  if (got < 0) return false;
  return got == 0 || av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted->data), got) == got;
}

bool AudioTranscoder::EncodeQueued(bool all, const PacketSink& sink) {
  const int frameSamples = encoder_.FrameSamples();
  for (;;) {
    const int queued = av_audio_fifo_size(fifo_);
    if (queued == 0 || (queued < frameSamples && !all)) return true;
    int take = std::min(queued, frameSamples);
    if (endPts_ != AV_NOPTS_VALUE && nextPts_ + take > endPts_) {
      take = static_cast<int>(std::max<int64_t>(0, endPts_ - nextPts_));
      if (take == 0) {
        av_audio_fifo_reset(fifo_);
        return true;
      }
    }
    FrameHandle frame = NewFrame();
    if (!frame) return false;
    frame->format = encoder_.SampleFormat();
    frame->sample_rate = encoder_.SampleRate();
    frame->nb_samples = encoder_.FixedFrames() ? frameSamples : take;
    if (av_channel_layout_copy(&frame->ch_layout, &encoder_.Layout()) < 0) return false;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
    if (frame->nb_samples > take)
      av_samples_set_silence(frame->data, take, frame->nb_samples - take, frame->ch_layout.nb_channels,
                             static_cast<AVSampleFormat>(frame->format));
    if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame->data), take) != take) return false;
    frame->pts = nextPts_;
    nextPts_ += frame->nb_samples;
    if (!encoder_.Encode(frame.get(), sink)) return false;
  }
}

bool AudioTranscoder::ReceiveDecoded(const PacketSink& sink) {
  for (;;) {
    const int got = avcodec_receive_frame(decoder_.get(), decoded_.get());
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
    if (got < 0) return false;
    if (!resampler_ && !OpenResampler()) return false;
    if (nextPts_ == AV_NOPTS_VALUE) {
      // The first sample keeps its place on the input's time line, so audio
      // stays in step with video that is copied unchanged.
      const int64_t start = decoded_->best_effort_timestamp;
      nextPts_ = start == AV_NOPTS_VALUE
                     ? 0
                     : std::max<int64_t>(0, av_rescale_q(start, decoder_->pkt_timebase,
                                                         AVRational{1, encoder_.SampleRate()}));
    }
    const bool converted = ConvertFrame(decoded_.get());
    av_frame_unref(decoded_.get());
    if (!converted || !EncodeQueued(false, sink)) return false;
  }
}

bool AudioTranscoder::Push(const AVPacket* packet, const PacketSink& sink) {
  const int sent = avcodec_send_packet(decoder_.get(), packet);
  if (sent == AVERROR_INVALIDDATA) return true;  // a damaged packet is dropped, the rest still converts
  if (sent < 0) return false;
  return ReceiveDecoded(sink);
}

bool AudioTranscoder::Finish(const PacketSink& sink) {
  if (avcodec_send_packet(decoder_.get(), nullptr) < 0 || !ReceiveDecoded(sink)) return false;
  if (resampler_ && !ConvertFrame(nullptr)) return false;
  if (nextPts_ == AV_NOPTS_VALUE) nextPts_ = 0;
  return EncodeQueued(true, sink) && encoder_.Encode(nullptr, sink);
}

}  // namespace tarn::encoder
