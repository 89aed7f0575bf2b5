#include "media_writer.h"

#include <unistd.h>

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/opt.h>
}

namespace ridirud {

std::string FfmpegError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {0};
  av_strerror(code, text, sizeof text);
  return text;
}

MediaWriter::~MediaWriter() {
  if (!finished_) Discard();
  Close();
}

void MediaWriter::Close() {
  avcodec_free_context(&video_);
  avcodec_free_context(&audio_);
  av_packet_free(&packet_);
  if (format_) {
    if (format_->pb && !(format_->oformat->flags & AVFMT_NOFILE)) avio_closep(&format_->pb);
    avformat_free_context(format_);
    format_ = nullptr;
  }
}

void MediaWriter::Discard() {
  Close();
  if (file_created_) ::unlink(path_.c_str());
  file_created_ = false;
  finished_ = true;
}

bool MediaWriter::OpenVideo(const OutputPlan& plan, std::string* error) {
  const VideoPlan& v = plan.video;
  const AVCodec* codec = avcodec_find_encoder_by_name(v.encoder.c_str());
  if (!codec) {
    *error = "the encoder " + v.encoder + " is not available";
    return false;
  }
  video_ = avcodec_alloc_context3(codec);
  if (!video_) return false;
  video_->width = v.frame_width;
  video_->height = v.frame_height;
  video_->pix_fmt = AV_PIX_FMT_YUV420P;
  video_->time_base = AVRational{v.frame_rate.den, v.frame_rate.num};
  video_->framerate = AVRational{v.frame_rate.num, v.frame_rate.den};
  video_->sample_aspect_ratio = AVRational{v.sar_num, v.sar_den};
  video_->bit_rate = v.bit_rate;
  const int whole_fps = std::max(1, v.frame_rate.num / v.frame_rate.den);
  if (v.encoder == "libx264") {
    video_->thread_count = plan.threads;
    // The small pictures and low bit rates of portable players gain little
    // from x264's slower searches, and a conversion should run many times
    // faster than the film plays.
    av_opt_set(video_->priv_data, "preset", "veryfast", 0);
    // Main profile at level 3 is what the console players decode.
    if (plan.h264_console_profile) {
      av_opt_set(video_->priv_data, "profile", "main", 0);
      video_->level = 30;
    }
    video_->gop_size = whole_fps * 10;
  } else {
    // The MPEG-4 encoder splits the picture into slices per thread (at most
    // one per macroblock row); H.263 and Sorenson encode on one thread.
    int mb_rows = (v.frame_height + 15) / 16;
    video_->thread_count = v.encoder == "mpeg4" ? std::clamp(plan.threads, 1, mb_rows) : 1;
    video_->gop_size = whole_fps * 5;
    video_->max_b_frames = 0;
  }
  if (format_->oformat->flags & AVFMT_GLOBALHEADER) video_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int rc = avcodec_open2(video_, codec, nullptr);
  if (rc < 0) {
    *error = "the " + v.encoder + " encoder refuses " + std::to_string(v.frame_width) + "x" +
             std::to_string(v.frame_height) + " at " + std::to_string(v.frame_rate.num) + "/" +
             std::to_string(v.frame_rate.den) + " fps: " + FfmpegError(rc);
    return false;
  }
  video_stream_ = avformat_new_stream(format_, nullptr);
  if (!video_stream_ || avcodec_parameters_from_context(video_stream_->codecpar, video_) < 0) return false;
  video_stream_->time_base = video_->time_base;
  video_stream_->avg_frame_rate = video_->framerate;
  video_stream_->r_frame_rate = video_->framerate;
  video_stream_->sample_aspect_ratio = video_->sample_aspect_ratio;
  return true;
}

bool MediaWriter::OpenAudio(const OutputPlan& plan, std::string* error) {
  const AudioPlan& a = plan.audio;
  const AVCodec* codec = avcodec_find_encoder_by_name(a.encoder.c_str());
  if (!codec) {
    *error = "the encoder " + a.encoder + " is not available";
    return false;
  }
  audio_ = avcodec_alloc_context3(codec);
  if (!audio_) return false;
  audio_->sample_rate = a.sample_rate;
  av_channel_layout_default(&audio_->ch_layout, a.channels);
  audio_->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  audio_->bit_rate = a.bit_rate;
  audio_->time_base = AVRational{1, a.sample_rate};
  // The fast AAC coder takes half the time of the default one for music and
  // speech, which keeps the audio small next to the picture encoding.
  if (a.encoder == "aac") av_opt_set(audio_->priv_data, "aac_coder", "fast", 0);
  if (format_->oformat->flags & AVFMT_GLOBALHEADER) audio_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int rc = avcodec_open2(audio_, codec, nullptr);
  if (rc < 0) {
    *error = "the " + a.encoder + " encoder refuses " + std::to_string(a.sample_rate) + " Hz, " +
             std::to_string(a.channels) + " channels at " + std::to_string(a.bit_rate) +
             " bit/s: " + FfmpegError(rc);
    return false;
  }
  audio_stream_ = avformat_new_stream(format_, nullptr);
  if (!audio_stream_ || avcodec_parameters_from_context(audio_stream_->codecpar, audio_) < 0) return false;
  audio_stream_->time_base = audio_->time_base;
  return true;
}

bool MediaWriter::Open(const OutputPlan& plan, std::string* error) {
  path_ = plan.path;
  int rc = avformat_alloc_output_context2(&format_, nullptr, plan.muxer.c_str(), plan.path.c_str());
  if (rc < 0 || !format_) {
    *error = "no muxer " + plan.muxer;
    return false;
  }
  packet_ = av_packet_alloc();
  if (!packet_) return false;
  if (plan.video.enabled && !OpenVideo(plan, error)) return false;
  if (plan.audio.enabled && !OpenAudio(plan, error)) return false;
  for (const auto& [key, value] : plan.metadata) av_dict_set(&format_->metadata, key.c_str(), value.c_str(), 0);
  if (!(format_->oformat->flags & AVFMT_NOFILE)) {
    rc = avio_open(&format_->pb, plan.path.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0) {
      *error = "cannot create " + plan.path + ": " + FfmpegError(rc);
      return false;
    }
    file_created_ = true;
  }
  rc = avformat_write_header(format_, nullptr);
  if (rc < 0) {
    *error = "the " + plan.muxer + " muxer refuses these streams: " + FfmpegError(rc);
    return false;
  }
  return true;
}

bool MediaWriter::Drain(AVCodecContext* codec, AVStream* stream, std::string* error) {
  while (true) {
    int rc = avcodec_receive_packet(codec, packet_);
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) {
      *error = "encoding failed: " + FfmpegError(rc);
      return false;
    }
    av_packet_rescale_ts(packet_, codec->time_base, stream->time_base);
    packet_->stream_index = stream->index;
    rc = av_interleaved_write_frame(format_, packet_);
    if (rc < 0) {
      *error = "writing failed: " + FfmpegError(rc);
      return false;
    }
  }
}

bool MediaWriter::WriteVideo(AVFrame* frame, std::string* error) {
  if (!video_) return true;
  frame->pts = video_frames_++;
  frame->pict_type = AV_PICTURE_TYPE_NONE;
  int rc = avcodec_send_frame(video_, frame);
  if (rc < 0) {
    *error = "video encoding failed: " + FfmpegError(rc);
    return false;
  }
  return Drain(video_, video_stream_, error);
}

bool MediaWriter::WriteAudio(AVFrame* frame, std::string* error) {
  if (!audio_) return true;
  int rc = avcodec_send_frame(audio_, frame);
  if (rc < 0) {
    *error = "audio encoding failed: " + FfmpegError(rc);
    return false;
  }
  return Drain(audio_, audio_stream_, error);
}

bool MediaWriter::Finish(std::string* error) {
  if (video_ && (avcodec_send_frame(video_, nullptr) < 0 || !Drain(video_, video_stream_, error))) return false;
  if (audio_ && (avcodec_send_frame(audio_, nullptr) < 0 || !Drain(audio_, audio_stream_, error))) return false;
  int rc = av_write_trailer(format_);
  if (rc < 0) {
    *error = "finishing the file failed: " + FfmpegError(rc);
    return false;
  }
  if (format_->pb && !(format_->oformat->flags & AVFMT_NOFILE)) {
    rc = avio_closep(&format_->pb);
    if (rc < 0) {
      *error = "closing the file failed: " + FfmpegError(rc);
      return false;
    }
  }
  finished_ = true;
  Close();
  return true;
}

AVSampleFormat MediaWriter::audio_format() const { return audio_ ? audio_->sample_fmt : AV_SAMPLE_FMT_NONE; }

int MediaWriter::audio_frame_size() const {
  if (!audio_) return 0;
  if (audio_->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) return 0;
  return audio_->frame_size;
}

}  // namespace ridirud
