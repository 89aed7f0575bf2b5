// A stand-in for libRIDirud.so, for tests that must force outcomes the real
// encoder cannot be made to produce on demand (an output of an exact size, a
// run that lasts until the user stops). It reads the init block like the
// real library, calls the callbacks and writes the output file.
//
// Environment:
//   TARN_STANDIN_BYTES  bytes to write (default 200000)
//   TARN_STANDIN_MODE   "size" (default): write the bytes, ask StopTest once;
//                       "until-stop": write 4096-byte pieces until StopTest
//                       answers 1 (at most 10 s)
//   TARN_STANDIN_DUMP   when set, a file that receives "name=value" lines of
//                       the block's texts and numbers
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "RIDirud.h"

namespace {

const unsigned char* g_block = nullptr;

void Dump(const char* path) {
  FILE* f = std::fopen(path, "w");
  if (!f) return;
  const struct {
    const char* name;
    uint32_t offset;
  } texts[] = {{"scratch", kBlockScratchPath}, {"output", kBlockOutputFile},   {"format", kBlockFormat},
               {"vcodec", kBlockVideoCodec},   {"vbitrate", kBlockVideoBitrate}, {"aspect", kBlockAspect},
               {"scaled", kBlockScaledSize},   {"frame", kBlockFrameSize},     {"crop", kBlockCrop},
               {"fps", kBlockFrameRate},       {"acodec", kBlockAudioCodec},   {"abitrate", kBlockAudioBitrate},
               {"rate", kBlockSampleRate},     {"channels", kBlockChannels},   {"title", kBlockTitle}};
  for (const auto& t : texts) std::fprintf(f, "%s=%s\n", t.name, EncoderBlockText(g_block, t.offset));
  std::fprintf(f, "threads=%d\nwidth=%d\nheight=%d\n", EncoderBlockInt(g_block, kBlockThreads),
               EncoderBlockInt(g_block, kBlockFrameWidth), EncoderBlockInt(g_block, kBlockFrameHeight));
  std::fclose(f);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int Video_to_X_init(const unsigned char* block) {
  g_block = block;
  return 0;
}

extern "C" __attribute__((visibility("default"))) int Video_to_X_do_Convert() {
  if (!g_block) return -1;
  if (const char* dump = std::getenv("TARN_STANDIN_DUMP")) Dump(dump);
  auto log = reinterpret_cast<EncoderLogFn>(EncoderBlockPointer(g_block, kBlockEncoderLog));
  auto fetch = reinterpret_cast<FetchMediaInfoFn>(EncoderBlockPointer(g_block, kBlockFetchMediaInfo));
  auto stop = reinterpret_cast<StopTestFn>(EncoderBlockPointer(g_block, kBlockStopTest));
  if (log) log("stand-in encoder starts\n");
  MediaInfo info{};
  if (fetch && fetch(&info) < 0) return -1;

  const char* bytesText = std::getenv("TARN_STANDIN_BYTES");
  const long long bytes = bytesText ? std::atoll(bytesText) : 200000;
  const char* modeText = std::getenv("TARN_STANDIN_MODE");
  const bool untilStop = modeText && std::string(modeText) == "until-stop";

  FILE* out = std::fopen(EncoderBlockText(g_block, kBlockOutputFile), "wb");
  if (!out) return -1;
  std::vector<char> piece(4096, 'x');
  if (untilStop) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < limit) {
      std::fwrite(piece.data(), 1, piece.size(), out);
      if (stop && stop() == 1) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  } else {
    for (long long left = bytes; left > 0;) {
      const size_t n = left < static_cast<long long>(piece.size()) ? static_cast<size_t>(left) : piece.size();
      std::fwrite(piece.data(), 1, n, out);
      left -= static_cast<long long>(n);
    }
    if (stop) stop();
  }
  std::fclose(out);
  if (log) log("stand-in encoder ends\n");
  return 0;
}
