#pragma once
// The five callbacks the encoder library pulls through while it converts
// (C calling convention, the signatures of RIDirud.h). They serve the
// process-wide frame exchange for the job that is running, read the
// conversion state, the rip progress record, the job range and the current
// core's position, and drive the virtual clock.
#include "RIDirud.h"

namespace tarn {

extern "C" {
// Switches the clock to record mode, waits for pictures and audio, aligns
// their starts and describes the stream; num_frames, or -1 to abort.
int FetchMediaInfo(MediaInfo* info);
// One picture (its time and duration in microseconds); 0 = supplied or
// nothing to supply yet, -1 = stop.
int SupplyVideoFrame(VideoRequest* request, unsigned char* destination);
// request->count frames of 16-bit stereo PCM; 0 = supplied or nothing to
// supply, -1 = stop.
int SupplyAudio(void* ignored, unsigned char* destination, AudioRequest* request);
// 1 = stop, 0 = go on.
int StopTest();
// The encoder's diagnostic text, logged unchanged.
void EncoderLog(const char* text);
}

}  // namespace tarn
