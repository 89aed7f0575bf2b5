// The five conversion callbacks as the encoder's init block carries them.
#include "convert/encoder_init_block.h"

#include "convert/encoder_callbacks.h"

namespace tarn {

EncoderCallbacks ConversionEncoderCallbacks() {
  EncoderCallbacks cb;
  cb.fetchMediaInfo = &FetchMediaInfo;
  cb.supplyVideoFrame = &SupplyVideoFrame;
  cb.supplyAudio = &SupplyAudio;
  cb.stopTest = &StopTest;
  cb.encoderLog = &EncoderLog;
  return cb;
}

}  // namespace tarn
