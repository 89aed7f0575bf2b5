// The encoder library against bare x264 on the same pictures: a 320x240
// H.264 768 kbit/s + AAC 128 kbit/s MP4 through the whole encode run
// (callbacks, frame rate conversion, audio path, muxing) versus libx264
// through libavcodec alone with the same settings and threads.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "encode_run.h"
#include "encoder_settings.h"
#include "ridirud_test_host.h"

namespace {

constexpr int kWidth = 320, kHeight = 240, kPictures = 150, kThreads = 2;
constexpr int kPictureBytes = kWidth * kHeight * 3 / 2;

const std::vector<uint8_t>& Pictures() {
  static const std::vector<uint8_t> pictures = [] {
    std::vector<uint8_t> all(static_cast<size_t>(kPictureBytes) * kPictures);
    for (int i = 0; i < kPictures; ++i) {
      uint8_t* y = all.data() + static_cast<size_t>(i) * kPictureBytes;
      tarn::test::DrawMovingPattern(i, y, y + kWidth * kHeight, y + kWidth * kHeight * 5 / 4, kWidth, kHeight);
    }
    return all;
  }();
  return pictures;
}

void CopyPicture(int index, uint8_t* y, uint8_t*, uint8_t*, int, int) {
  std::memcpy(y, Pictures().data() + static_cast<size_t>(index) * kPictureBytes, kPictureBytes);
}

void BM_RidirudMp4H264(benchmark::State& state) {
  Pictures();
  const std::string output =
      (std::filesystem::temp_directory_path() / ("ridirud_bench_" + std::to_string(::getpid()) + ".mp4")).string();
  for (auto _ : state) {
    tarn::test::TestSource source;
    source.width = kWidth;
    source.height = kHeight;
    source.rate_num = 30000;
    source.rate_den = 1001;
    source.pictures = kPictures;
    source.draw = CopyPicture;
    tarn::test::TestEncoderHost host(source);
    tarn::test::EncodeProfile profile{"mp4", "h264", "768", "320:240", "", "", "29.97", "aac", "128", "48000", "2"};
    profile.threads = kThreads;
    tarn::test::EncoderBlockBuilder block;
    host.FillBlock(block, profile, output);
    if (ridirud::RunEncode(ridirud::ReadEncoderSettings(block.data())) != ridirud::kEncodeOk)
      state.SkipWithError("encode failed");
  }
  std::filesystem::remove(output);
  state.SetItemsProcessed(state.iterations() * kPictures);
}
BENCHMARK(BM_RidirudMp4H264)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareX264(benchmark::State& state) {
  Pictures();
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  for (auto _ : state) {
    AVCodecContext* ctx = avcodec_alloc_context3(codec);
    ctx->width = kWidth;
    ctx->height = kHeight;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = {1001, 30000};
    ctx->framerate = {30000, 1001};
    ctx->bit_rate = 768000;
    ctx->thread_count = kThreads;
    ctx->gop_size = 290;
    ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    avcodec_open2(ctx, codec, nullptr);
    AVFrame* frame = av_frame_alloc();
    AVPacket* packet = av_packet_alloc();
    int64_t bytes = 0;
    for (int i = 0; i <= kPictures; ++i) {
      AVFrame* send = nullptr;
      if (i < kPictures) {
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = kWidth;
        frame->height = kHeight;
        av_frame_get_buffer(frame, 0);
        const uint8_t* src = Pictures().data() + static_cast<size_t>(i) * kPictureBytes;
        for (int row = 0; row < kHeight; ++row) std::memcpy(frame->data[0] + row * frame->linesize[0], src + row * kWidth, kWidth);
        for (int p = 1; p < 3; ++p)
          for (int row = 0; row < kHeight / 2; ++row)
            std::memcpy(frame->data[p] + row * frame->linesize[p],
                        src + kWidth * kHeight + (p - 1) * kWidth * kHeight / 4 + row * kWidth / 2, kWidth / 2);
        frame->pts = i;
        send = frame;
      }
      avcodec_send_frame(ctx, send);
      av_frame_unref(frame);
      while (avcodec_receive_packet(ctx, packet) == 0) {
        bytes += packet->size;
        av_packet_unref(packet);
      }
    }
    benchmark::DoNotOptimize(bytes);
    av_packet_free(&packet);
    av_frame_free(&frame);
    avcodec_free_context(&ctx);
  }
  state.SetItemsProcessed(state.iterations() * kPictures);
}
BENCHMARK(BM_BareX264)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
BENCHMARK_MAIN();
