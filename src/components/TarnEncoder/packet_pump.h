#pragma once
// The packet loop the remux and conversion steps share: every packet of the
// input is either copied to an output stream, sent through the audio
// transcoder, or dropped, while the progress is reported.
#include <vector>

#include "audio_transcoder.h"
#include "mux_output.h"
#include "progress_reporter.h"

namespace tarn::encoder {

// Adds an output stream that takes `input`'s packets unchanged; its index, or
// -1 when it cannot be added.
int AddCopiedStream(MuxOutput& mux, const AVStream* input);

struct PacketRoutes {
  std::vector<int> copyTo;             // per input stream: output stream index, or -1
  int transcodeFrom = -1;              // input stream fed to `transcoder`, or -1
  AudioTranscoder* transcoder = nullptr;
  int transcodeTo = -1;                // output stream of the transcoded audio
};

// Runs the whole input through the routes into `mux` (whose header must be
// written) and finishes the file. Returns a TARNENC_* code.
int PumpPackets(AVFormatContext* input, MuxOutput& mux, const PacketRoutes& routes, int transcodedRate,
                ProgressReporter& progress);

}  // namespace tarn::encoder
