// The five conversion callbacks as the encoder's init block carries them.
#include "convert/encoder_init_block.h"

#if __has_include("convert/encoder_callbacks.h")
#include "convert/encoder_callbacks.h"
#define TARN_HAVE_ENCODER_CALLBACKS 1
#endif

namespace tarn {

EncoderCallbacks ConversionEncoderCallbacks() {
  EncoderCallbacks cb;
#ifdef TARN_HAVE_ENCODER_CALLBACKS
  cb.fetchMediaInfo = &FetchMediaInfo;
  cb.supplyVideoFrame = &SupplyVideoFrame;
  cb.supplyAudio = &SupplyAudio;
  cb.stopTest = &StopTest;
  cb.encoderLog = &EncoderLog;
#endif
  return cb;
}

}  // namespace tarn
