#include "video_decoder.h"

#include <cstring>
#include <deque>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

namespace tarnplayer {

namespace {

// A second slice thread shortens the wall time of a picture but not its CPU
// time; with one thread the other core stays free for the engine's other
// threads (navigation, audio, presentation).
constexpr int kDecoderThreads = 1;

// What a picture carries from the decoder to the deinterlacer's output.
// yadif returns exactly one picture per picture it is given, in order, so a
// FIFO keeps the association without relying on the filter's time base.
struct PendingPicture {
  int64_t pts90k = -1;
  int64_t duration90k = 0;
  bool interlaced = false;
};

}  // namespace

struct VideoDecoder::Impl {
  const AVCodec* codec = nullptr;
  AVCodecContext* decoder = nullptr;
  AVCodecContext* parserContext = nullptr;
  AVCodecParserContext* parser = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  AVFrame* filtered = nullptr;

  AVFilterGraph* graph = nullptr;
  AVFilterContext* source = nullptr;
  AVFilterContext* sink = nullptr;
  int graphWidth = 0, graphHeight = 0, graphFormat = -1;
  std::deque<PendingPicture> pending;
  // The last picture handed out, to stamp pictures whose PES had no time stamp
  // (a picture starting inside a PES another picture's stamp belongs to).
  int64_t lastPts = -1, lastDuration = 0;
  int sentWidth = 0, sentHeight = 0;  // picture size of the stream being decoded

  ~Impl() { Close(); }

  void Close() {
    FreeGraph();
    if (parser) av_parser_close(parser);
    parser = nullptr;
    avcodec_free_context(&decoder);
    avcodec_free_context(&parserContext);
    av_packet_free(&packet);
    av_frame_free(&frame);
    av_frame_free(&filtered);
  }

  void FreeGraph() {
    avfilter_graph_free(&graph);
    source = sink = nullptr;
    graphWidth = graphHeight = 0;
    graphFormat = -1;
    pending.clear();
  }

  bool OpenDecoder() {
    decoder = avcodec_alloc_context3(codec);
    if (!decoder) return false;
    decoder->thread_count = kDecoderThreads;
    return avcodec_open2(decoder, codec, nullptr) == 0;
  }

  bool OpenParser() {
    parserContext = avcodec_alloc_context3(nullptr);
    parser = av_parser_init(AV_CODEC_ID_MPEG2VIDEO);
    return parserContext && parser;
  }

  // Builds buffer -> yadif (interlaced pictures only, one picture out per
  // picture in) -> format yuv420p -> buffersink for the given picture format.
  bool BuildGraph(const AVFrame* f) {
    FreeGraph();
    graph = avfilter_graph_alloc();
    if (!graph) return false;
    graph->nb_threads = kDecoderThreads;  // the engine's other threads need the second core
    char args[256];
    AVRational sar = f->sample_aspect_ratio.num ? f->sample_aspect_ratio : AVRational{1, 1};
    snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/90000:pixel_aspect=%d/%d",
             f->width, f->height, f->format, sar.num, sar.den);
    if (avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in", args, nullptr,
                                     graph) < 0 ||
        avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr,
                                     nullptr, graph) < 0) {
      FreeGraph();
      return false;
    }
    AVFilterInOut* outputs = avfilter_inout_alloc();
    AVFilterInOut* inputs = avfilter_inout_alloc();
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink;
    int rc = avfilter_graph_parse_ptr(
        graph, "yadif=mode=send_frame:parity=auto:deint=interlaced,format=yuv420p", &inputs,
        &outputs, nullptr);
    avfilter_inout_free(&inputs);
    avfilter_inout_free(&outputs);
    if (rc < 0 || avfilter_graph_config(graph, nullptr) < 0) {
      FreeGraph();
      return false;
    }
    graphWidth = f->width;
    graphHeight = f->height;
    graphFormat = f->format;
    return true;
  }

  int64_t FrameDuration(const AVFrame* f) const {
    AVRational rate = decoder->framerate;
    if (rate.num <= 0 || rate.den <= 0) rate = AVRational{25, 1};
    // repeat_pict counts extra half frames (a repeated field is one).
    return av_rescale(90000LL * rate.den, 2 + f->repeat_pict, 2LL * rate.num);
  }

  // Copies the planes out of the frame's line sizes into one packed buffer.
  void CopyOut(const AVFrame* f, const PendingPicture& meta,
                      std::vector<DecodedPicture>& out) {
    DecodedPicture picture;
    picture.width = f->width;
    picture.height = f->height;
    picture.pts90k = meta.pts90k;
    picture.duration90k = meta.duration90k;
    picture.interlaced = meta.interlaced;
    const int chromaWidth = (f->width + 1) / 2, chromaHeight = (f->height + 1) / 2;
    const size_t lumaSize = static_cast<size_t>(f->width) * f->height;
    const size_t chromaSize = static_cast<size_t>(chromaWidth) * chromaHeight;
    // Appended row by row into reserved room: a resize would first clear
    // the whole picture only for the copy to overwrite it.
    std::vector<uint8_t>& data = picture.data;
    data.reserve(lumaSize + 2 * chromaSize);
    auto copyPlane = [&data](const uint8_t* src, int stride, int w, int h) {
      if (stride == w) {
        data.insert(data.end(), src, src + static_cast<size_t>(w) * h);
        return;
      }
      for (int y = 0; y < h; ++y) {
        const uint8_t* row = src + static_cast<ptrdiff_t>(y) * stride;
        data.insert(data.end(), row, row + w);
      }
    };
    copyPlane(f->data[0], f->linesize[0], f->width, f->height);
    copyPlane(f->data[1], f->linesize[1], chromaWidth, chromaHeight);
    copyPlane(f->data[2], f->linesize[2], chromaWidth, chromaHeight);
    out.push_back(std::move(picture));
  }

  void ReceiveFiltered(std::vector<DecodedPicture>& out) {
    while (sink && av_buffersink_get_frame(sink, filtered) >= 0) {
      PendingPicture meta;
      if (!pending.empty()) {
        meta = pending.front();
        pending.pop_front();
      }
      if (meta.pts90k < 0 && lastPts >= 0) meta.pts90k = lastPts + lastDuration;
      lastPts = meta.pts90k;
      lastDuration = meta.duration90k;
      CopyOut(filtered, meta, out);
      av_frame_unref(filtered);
    }
  }

  // Ends the filter graph's stream so it gives back the picture it holds.
  void DrainGraph(std::vector<DecodedPicture>& out) {
    if (!graph) return;
    if (av_buffersrc_add_frame_flags(source, nullptr, 0) >= 0) ReceiveFiltered(out);
    FreeGraph();
  }

  void Filter(AVFrame* f, std::vector<DecodedPicture>& out) {
    if (f->format < 0 || f->width <= 0 || f->height <= 0) return;
    if (!graph || f->width != graphWidth || f->height != graphHeight || f->format != graphFormat) {
      DrainGraph(out);
      if (!BuildGraph(f)) return;
    }
    PendingPicture meta;
    meta.pts90k = f->pts == AV_NOPTS_VALUE ? -1 : f->pts;
    meta.duration90k = FrameDuration(f);
    meta.interlaced = f->interlaced_frame != 0;
    pending.push_back(meta);
    if (av_buffersrc_add_frame_flags(source, f, AV_BUFFERSRC_FLAG_KEEP_REF) < 0) {
      pending.pop_back();
      return;
    }
    ReceiveFiltered(out);
  }

  void ReceiveDecoded(std::vector<DecodedPicture>& out) {
    while (avcodec_receive_frame(decoder, frame) >= 0) {
      Filter(frame, out);
      av_frame_unref(frame);
    }
  }

  void DrainDecoder(std::vector<DecodedPicture>& out) {
    avcodec_send_packet(decoder, nullptr);
    ReceiveDecoded(out);
    avcodec_flush_buffers(decoder);
  }

  void SendPicture(const uint8_t* data, int size, int64_t pts) {
    packet->data = const_cast<uint8_t*>(data);
    packet->size = size;
    packet->pts = pts;
    packet->dts = AV_NOPTS_VALUE;
    avcodec_send_packet(decoder, packet);
  }

  void Parse(const uint8_t* data, size_t size, int64_t pts, std::vector<DecodedPicture>& out,
             bool flush) {
    if (!parser) return;
    while (size > 0 || flush) {
      uint8_t* picture = nullptr;
      int pictureSize = 0;
      int used = av_parser_parse2(parser, parserContext, &picture, &pictureSize, data,
                                  static_cast<int>(size), pts, AV_NOPTS_VALUE, 0);
      if (used < 0) break;
      pts = AV_NOPTS_VALUE;
      data += used;
      size -= static_cast<size_t>(used);
      if (pictureSize > 0) {
        // A new picture size (a menu, then a title) makes the decoder start
        // over and drop the picture it holds back: let that one out first.
        const int width = parser->width, height = parser->height;
        if (width > 0 && height > 0) {
          if (sentWidth > 0 && (width != sentWidth || height != sentHeight)) DrainDecoder(out);
          sentWidth = width;
          sentHeight = height;
        }
        SendPicture(picture, pictureSize, parser->pts);
        ReceiveDecoded(out);
      }
      if (flush && pictureSize == 0) break;
    }
  }
};

VideoDecoder::VideoDecoder() = default;
VideoDecoder::~VideoDecoder() = default;

bool VideoDecoder::Open() {
  impl_ = std::make_unique<Impl>();
  impl_->codec = avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO);
  impl_->packet = av_packet_alloc();
  impl_->frame = av_frame_alloc();
  impl_->filtered = av_frame_alloc();
  if (!impl_->codec || !impl_->packet || !impl_->frame || !impl_->filtered ||
      !impl_->OpenDecoder() || !impl_->OpenParser()) {
    impl_.reset();
    return false;
  }
  return true;
}

void VideoDecoder::Decode(const uint8_t* data, size_t size, int64_t pts90k,
                          std::vector<DecodedPicture>& out) {
  if (!impl_ || !data || size == 0) return;
  impl_->Parse(data, size, pts90k < 0 ? AV_NOPTS_VALUE : pts90k, out, false);
}

void VideoDecoder::Drain(std::vector<DecodedPicture>& out) {
  if (!impl_) return;
  // The parser holds the last picture until it sees the next start code.
  impl_->Parse(nullptr, 0, AV_NOPTS_VALUE, out, true);
  impl_->DrainDecoder(out);
  impl_->DrainGraph(out);
  // The parser keeps no usable state after a flush: start a fresh one.
  av_parser_close(impl_->parser);
  impl_->parser = av_parser_init(AV_CODEC_ID_MPEG2VIDEO);
}

void VideoDecoder::Flush() {
  if (!impl_) return;
  avcodec_flush_buffers(impl_->decoder);
  impl_->FreeGraph();
  impl_->lastPts = -1;
  impl_->sentWidth = impl_->sentHeight = 0;
  av_parser_close(impl_->parser);
  impl_->parser = av_parser_init(AV_CODEC_ID_MPEG2VIDEO);
}

}  // namespace tarnplayer
