// One encode: asks the host for the stream description, builds the output,
// then pulls pictures and audio through the callbacks until the host says to
// stop, and finishes the file.
#ifndef TARN_COMPONENTS_RIDIRUD_ENCODE_RUN_H
#define TARN_COMPONENTS_RIDIRUD_ENCODE_RUN_H

#include "encoder_settings.h"

namespace ridirud {

// Result codes of RunEncode (and of Video_to_X_do_Convert).
enum EncodeResult : int {
  kEncodeOk = 0,
  kEncodeNoSettings = 1,     // Video_to_X_init was not called or the block was unusable
  kEncodeNoMediaInfo = 2,    // FetchMediaInfo aborted
  kEncodeUnsupported = 3,    // a value the encoders or muxer cannot write
  kEncodeFailed = 4,         // encoding or writing failed on the way
};

int RunEncode(const EncoderSettings& settings);

}  // namespace ridirud

#endif  // TARN_COMPONENTS_RIDIRUD_ENCODE_RUN_H
