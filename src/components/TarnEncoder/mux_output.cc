#include "mux_output.h"

namespace tarn::encoder {

MuxOutput::~MuxOutput() {
  if (!ctx_) return;
  if (ctx_->pb) avio_closep(&ctx_->pb);
  avformat_free_context(ctx_);
}

bool MuxOutput::Open(const std::string& path, const char* muxer) {
  if (ctx_) return false;
  if (avformat_alloc_output_context2(&ctx_, nullptr, muxer, path.c_str()) < 0 || !ctx_) {
    ctx_ = nullptr;
    return false;
  }
  return true;
}

AVStream* MuxOutput::AddStream() { return ctx_ ? avformat_new_stream(ctx_, nullptr) : nullptr; }

bool MuxOutput::WantsGlobalHeader() const { return ctx_ && (ctx_->oformat->flags & AVFMT_GLOBALHEADER); }

bool MuxOutput::Begin() {
  if (!ctx_ || begun_) return false;
  if (!(ctx_->oformat->flags & AVFMT_NOFILE) && avio_open(&ctx_->pb, ctx_->url, AVIO_FLAG_WRITE) < 0) return false;
  if (avformat_write_header(ctx_, nullptr) < 0) return false;
  begun_ = true;
  return true;
}

bool MuxOutput::Write(AVPacket* packet, AVRational timeBase, int index) {
  if (!begun_) return false;
  packet->stream_index = index;
  packet->pos = -1;
  av_packet_rescale_ts(packet, timeBase, ctx_->streams[index]->time_base);
  return av_interleaved_write_frame(ctx_, packet) >= 0;
}

bool MuxOutput::End() {
  if (!begun_) return false;
  begun_ = false;
  const bool trailer = av_write_trailer(ctx_) >= 0;
  const bool closed = avio_closep(&ctx_->pb) >= 0;
  return trailer && closed && !ctx_->pb;
}

}  // namespace tarn::encoder
