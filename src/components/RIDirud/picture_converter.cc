#include "picture_converter.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/macros.h>
#include <libswscale/swscale.h>
}

namespace ridirud {
namespace {

constexpr int kLargestDvdPictureBytes = 720 * 576 * 3 / 2;
constexpr uint8_t kBlackY = 16;
constexpr uint8_t kBlackChroma = 128;

void FillRect(uint8_t* plane, int linesize, int x, int y, int w, int h, uint8_t value) {
  if (w <= 0 || h <= 0) return;
  for (int row = 0; row < h; ++row) std::memset(plane + (y + row) * linesize + x, value, w);
}

}  // namespace

PictureConverter::~PictureConverter() {
  sws_freeContext(sws_);
  av_buffer_pool_uninit(&source_pool_);
  av_buffer_pool_uninit(&frame_pool_);
}

bool PictureConverter::Init(const VideoPlan& plan, std::string* error) {
  plan_ = plan;
  const int w = plan.source_width, h = plan.source_height;
  const int cw = (w + 1) / 2, ch = (h + 1) / 2;
  source_bytes_ = w * h + 2 * cw * ch;
  // The host copies each picture at the size it was captured with; leave room
  // for the largest DVD picture in case the stream's size changes.
  const int room = std::max(source_bytes_, kLargestDvdPictureBytes);
  source_pool_ = av_buffer_pool_init(room + AV_INPUT_BUFFER_PADDING_SIZE, av_buffer_alloc);
  if (!source_pool_) {
    *error = "out of memory for the picture buffers";
    return false;
  }
  const CropRect& c = plan.crop;
  passthrough_ = c.left == 0 && c.top == 0 && c.width == w && c.height == h && plan.scaled_width == w &&
                 plan.scaled_height == h && plan.frame_width == w && plan.frame_height == h;
  if (passthrough_) return true;
  // Rows start on 64-byte boundaries for the scaler's and encoders' SIMD code.
  const int fw = plan.frame_width, fh = plan.frame_height;
  frame_linesize_[0] = FFALIGN(fw, 64);
  frame_linesize_[1] = frame_linesize_[2] = FFALIGN((fw + 1) / 2, 64);
  frame_plane_offset_[0] = 0;
  frame_plane_offset_[1] = frame_linesize_[0] * fh;
  frame_plane_offset_[2] = frame_plane_offset_[1] + frame_linesize_[1] * ((fh + 1) / 2);
  const int frame_bytes = frame_plane_offset_[2] + frame_linesize_[2] * ((fh + 1) / 2);
  frame_pool_ = av_buffer_pool_init(frame_bytes + AV_INPUT_BUFFER_PADDING_SIZE, av_buffer_alloc);
  if (!frame_pool_) {
    *error = "out of memory for the picture buffers";
    return false;
  }
  sws_ = sws_getContext(c.width, c.height, AV_PIX_FMT_YUV420P, plan.scaled_width, plan.scaled_height,
                        AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!sws_) {
    *error = "the scaler does not accept " + std::to_string(c.width) + "x" + std::to_string(c.height) + " to " +
             std::to_string(plan.scaled_width) + "x" + std::to_string(plan.scaled_height);
    return false;
  }
  return true;
}

AVBufferRef* PictureConverter::NewSourceBuffer() { return av_buffer_pool_get(source_pool_); }

AVFrame* PictureConverter::Convert(AVBufferRef* source) {
  const int w = plan_.source_width, h = plan_.source_height;
  const int cw = (w + 1) / 2, ch = (h + 1) / 2;
  uint8_t* y = source->data;
  uint8_t* u = y + w * h;
  uint8_t* v = u + cw * ch;
  AVFrame* frame = av_frame_alloc();
  if (!frame) {
    av_buffer_unref(&source);
    return nullptr;
  }
  frame->format = AV_PIX_FMT_YUV420P;
  if (passthrough_) {
    frame->width = w;
    frame->height = h;
    frame->buf[0] = source;  // the frame owns the host's buffer now
    frame->data[0] = y;
    frame->data[1] = u;
    frame->data[2] = v;
    frame->linesize[0] = w;
    frame->linesize[1] = cw;
    frame->linesize[2] = cw;
    return frame;
  }
  frame->width = plan_.frame_width;
  frame->height = plan_.frame_height;
  frame->buf[0] = av_buffer_pool_get(frame_pool_);
  if (!frame->buf[0]) {
    av_frame_free(&frame);
    av_buffer_unref(&source);
    return nullptr;
  }
  for (int p = 0; p < 3; ++p) {
    frame->data[p] = frame->buf[0]->data + frame_plane_offset_[p];
    frame->linesize[p] = frame_linesize_[p];
  }
  const CropRect& c = plan_.crop;
  const uint8_t* src[4] = {y + c.top * w + c.left, u + (c.top / 2) * cw + c.left / 2,
                           v + (c.top / 2) * cw + c.left / 2, nullptr};
  const int src_stride[4] = {w, cw, cw, 0};
  uint8_t* dst[4] = {
      frame->data[0] + plan_.pad_top * frame->linesize[0] + plan_.pad_left,
      frame->data[1] + (plan_.pad_top / 2) * frame->linesize[1] + plan_.pad_left / 2,
      frame->data[2] + (plan_.pad_top / 2) * frame->linesize[2] + plan_.pad_left / 2, nullptr};
  sws_scale(sws_, src, src_stride, 0, c.height, dst, frame->linesize);
  av_buffer_unref(&source);
  FillBorders(frame);
  return frame;
}

void PictureConverter::FillBorders(AVFrame* frame) const {
  const int fw = plan_.frame_width, fh = plan_.frame_height;
  const int sw = plan_.scaled_width, sh = plan_.scaled_height;
  const int left = plan_.pad_left, top = plan_.pad_top;
  if (sw == fw && sh == fh) return;
  for (int p = 0; p < 3; ++p) {
    const int shift = p == 0 ? 0 : 1;
    const uint8_t value = p == 0 ? kBlackY : kBlackChroma;
    const int pw = (fw + shift) >> shift, ph = (fh + shift) >> shift;
    const int px = left >> shift, py = top >> shift;
    const int iw = (sw + shift) >> shift, ih = (sh + shift) >> shift;
    uint8_t* plane = frame->data[p];
    const int ls = frame->linesize[p];
    FillRect(plane, ls, 0, 0, pw, py, value);                          // above
    FillRect(plane, ls, 0, py + ih, pw, ph - py - ih, value);          // below
    FillRect(plane, ls, 0, py, px, ih, value);                         // left
    FillRect(plane, ls, px + iw, py, pw - px - iw, ih, value);         // right
  }
}

}  // namespace ridirud
