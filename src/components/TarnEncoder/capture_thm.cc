// The thumbnail of the portable game console formats: one picture of the
// video, fitted into 160x120 with black bars, stored as a JPEG file.
#include <algorithm>
#include <cstdio>

#include "ffmpeg_handles.h"
#include "operations.h"
#include "partial_output.h"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace tarn::encoder {
namespace {

constexpr int kThumbWidth = 160;
constexpr int kThumbHeight = 120;
constexpr double kThumbnailSeconds = 3.0;

// Decodes pictures from the current read position until one reaches
// `target` seconds (or the input ends); the last picture decoded is kept in
// `picture`. False when no picture could be decoded at all.
bool DecodePictureAt(AVFormatContext* in, int video, AVCodecContext* decoder, double target, AVFrame* picture) {
  const AVStream* stream = in->streams[video];
  PacketHandle packet = NewPacket();
  FrameHandle frame = NewFrame();
  if (!packet || !frame) return false;
  bool have = false;
  bool draining = false;
  for (;;) {
    int got = avcodec_receive_frame(decoder, frame.get());
    if (got == 0) {
      av_frame_unref(picture);
      av_frame_move_ref(picture, frame.get());
      have = true;
      if (StreamSeconds(in, stream, picture->best_effort_timestamp) >= target - 0.001) return true;
      continue;
    }
    if (got == AVERROR_EOF || (got != AVERROR(EAGAIN))) return have;
    if (draining) return have;
    // Feed the next packet of the video stream, or drain at the end.
    for (;;) {
      if (av_read_frame(in, packet.get()) < 0) {
        avcodec_send_packet(decoder, nullptr);
        draining = true;
        break;
      }
      const bool ours = packet->stream_index == video;
      if (ours) avcodec_send_packet(decoder, packet.get());  // a damaged packet is skipped
      av_packet_unref(packet.get());
      if (ours) break;
    }
  }
}

// The size and place of the picture inside the thumbnail, aspect kept.
struct Placement {
  int x, y, width, height;
};

Placement FitPicture(const AVFrame* picture) {
  double aspect = static_cast<double>(picture->width) / picture->height;
  if (picture->sample_aspect_ratio.num > 0 && picture->sample_aspect_ratio.den > 0)
    aspect *= av_q2d(picture->sample_aspect_ratio);
  int width = kThumbWidth, height = kThumbHeight;
  if (aspect > static_cast<double>(kThumbWidth) / kThumbHeight)
    height = static_cast<int>(kThumbWidth / aspect + 0.5) & ~1;
  else
    width = static_cast<int>(kThumbHeight * aspect + 0.5) & ~1;
  width = std::max(2, width);
  height = std::max(2, height);
  return Placement{((kThumbWidth - width) / 2) & ~1, ((kThumbHeight - height) / 2) & ~1, width, height};
}

bool IsFullRange(const AVFrame* picture) {
  switch (picture->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
      return true;
    default:
      return picture->color_range == AVCOL_RANGE_JPEG;
  }
}

// The 160x120 picture in full-range YUV 4:2:0 (as JPEG stores it), black
// around the fitted video.
FrameHandle ComposeThumbnail(const AVFrame* picture) {
  FrameHandle thumb = NewFrame();
  if (!thumb) return nullptr;
  thumb->format = AV_PIX_FMT_YUV420P;
  thumb->color_range = AVCOL_RANGE_JPEG;
  thumb->width = kThumbWidth;
  thumb->height = kThumbHeight;
  if (av_frame_get_buffer(thumb.get(), 0) < 0) return nullptr;
  for (int y = 0; y < kThumbHeight; ++y) std::fill_n(thumb->data[0] + y * thumb->linesize[0], kThumbWidth, 0);
  for (int plane = 1; plane < 3; ++plane)
    for (int y = 0; y < kThumbHeight / 2; ++y)
      std::fill_n(thumb->data[plane] + y * thumb->linesize[plane], kThumbWidth / 2, 128);

  const Placement place = FitPicture(picture);
  ScalerHandle scaler(sws_getContext(picture->width, picture->height, static_cast<AVPixelFormat>(picture->format),
                                     place.width, place.height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr,
                                     nullptr, nullptr));
  if (!scaler) return nullptr;
  const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
  sws_setColorspaceDetails(scaler.get(), coefficients, IsFullRange(picture) ? 1 : 0, coefficients, 1, 0, 1 << 16,
                           1 << 16);
  uint8_t* target[4] = {thumb->data[0] + place.y * thumb->linesize[0] + place.x,
                        thumb->data[1] + (place.y / 2) * thumb->linesize[1] + place.x / 2,
                        thumb->data[2] + (place.y / 2) * thumb->linesize[2] + place.x / 2, nullptr};
  int strides[4] = {thumb->linesize[0], thumb->linesize[1], thumb->linesize[2], 0};
  if (sws_scale(scaler.get(), picture->data, picture->linesize, 0, picture->height, target, strides) <= 0)
    return nullptr;
  return thumb;
}

// One JPEG picture: what FFmpeg's MJPEG encoder makes of a single frame.
bool EncodeJpeg(const AVFrame* thumb, std::string& bytes) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
  if (!codec) return false;
  CodecContextHandle ctx(avcodec_alloc_context3(codec));
  if (!ctx) return false;
  ctx->width = kThumbWidth;
  ctx->height = kThumbHeight;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->color_range = AVCOL_RANGE_JPEG;
  ctx->time_base = AVRational{1, 25};
  ctx->flags |= AV_CODEC_FLAG_QSCALE;
  ctx->global_quality = FF_QP2LAMBDA * 3;
  ctx->thread_count = 1;
  if (avcodec_open2(ctx.get(), codec, nullptr) < 0) return false;
  FrameHandle frame = NewFrame();
  if (!frame || av_frame_ref(frame.get(), thumb) < 0) return false;
  frame->pts = 0;
  frame->quality = ctx->global_quality;
  if (avcodec_send_frame(ctx.get(), frame.get()) < 0 || avcodec_send_frame(ctx.get(), nullptr) < 0) return false;
  PacketHandle packet = NewPacket();
  if (!packet || avcodec_receive_packet(ctx.get(), packet.get()) < 0) return false;
  bytes.assign(reinterpret_cast<const char*>(packet->data), static_cast<size_t>(packet->size));
  return !bytes.empty();
}

}  // namespace

double ThumbnailSeconds(double durationSeconds) {
  return durationSeconds > kThumbnailSeconds ? kThumbnailSeconds : 0.0;
}

int CaptureThumbnail(const std::string& video, const std::string& thumbnail) {
  InputHandle in = OpenInput(video);
  if (!in) return TARNENC_ERROR_INPUT;
  const int index = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) return TARNENC_ERROR_INPUT;
  CodecContextHandle decoder = OpenDecoder(in->streams[index]);
  if (!decoder) return TARNENC_ERROR_INPUT;

  const double target = ThumbnailSeconds(InputDurationSeconds(in.get()));
  if (target > 0.0) {
    // Start at the key picture before the target and decode forward to it.
    const AVStream* stream = in->streams[index];
    int64_t when = static_cast<int64_t>(target / av_q2d(stream->time_base));
    if (stream->start_time != AV_NOPTS_VALUE) when += stream->start_time;
    if (av_seek_frame(in.get(), index, when, AVSEEK_FLAG_BACKWARD) < 0)
      av_seek_frame(in.get(), index, stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0,
                    AVSEEK_FLAG_BACKWARD);
  }
  FrameHandle picture = NewFrame();
  if (!picture || !DecodePictureAt(in.get(), index, decoder.get(), target, picture.get()))
    return TARNENC_ERROR_INPUT;
  FrameHandle thumb = ComposeThumbnail(picture.get());
  std::string jpeg;
  if (!thumb || !EncodeJpeg(thumb.get(), jpeg)) return TARNENC_ERROR_CODEC;

  PartialOutput part(thumbnail);
  if (!part.Create()) return TARNENC_ERROR_OUTPUT;
  std::FILE* file = std::fopen(part.path().c_str(), "wb");
  if (!file) return TARNENC_ERROR_OUTPUT;
  const bool written = std::fwrite(jpeg.data(), 1, jpeg.size(), file) == jpeg.size();
  if (std::fclose(file) != 0 || !written) return TARNENC_ERROR_OUTPUT;
  return part.Commit() ? TARNENC_OK : TARNENC_ERROR_OUTPUT;
}

}  // namespace tarn::encoder
