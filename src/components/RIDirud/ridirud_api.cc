// The two exported entry points of libRIDirud.so.
#include <optional>

#include "RIDirud.h"
#include "encode_run.h"
#include "encoder_settings.h"

namespace {
// The settings of the next encode, copied out of the host's block.
std::optional<ridirud::EncoderSettings> g_settings;
}  // namespace

extern "C" __attribute__((visibility("default"))) int Video_to_X_init(const unsigned char* block) {
  if (!block) {
    g_settings.reset();
    return -1;
  }
  g_settings = ridirud::ReadEncoderSettings(block);
  return 0;
}

extern "C" __attribute__((visibility("default"))) int Video_to_X_do_Convert() {
  if (!g_settings) return ridirud::kEncodeNoSettings;
  return ridirud::RunEncode(*g_settings);
}
