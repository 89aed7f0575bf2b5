#pragma once
// Reports how far a step has come through the host's progress callback and
// notices when the host asks to stop.
#include "TarnEncoder.h"

struct AVIOContext;

namespace tarn::encoder {

class ProgressReporter {
 public:
  // `durationSeconds` <= 0 means the length is unknown; the position is then
  // judged by how much of `input` (may be null) has been read.
  ProgressReporter(TarnEncoderProgressFn callback, void* window, double durationSeconds, AVIOContext* input);

  // Each returns false once the callback has asked to stop.
  bool Start();                 // reports 0
  bool At(double seconds);      // reports when the whole percentage has grown
  bool Finish();                // reports 100
  bool cancelled() const { return cancelled_; }

 private:
  bool Report(float percentage);

  TarnEncoderProgressFn callback_;
  void* window_;
  double duration_;
  AVIOContext* input_;
  int lastWhole_ = -1;
  bool cancelled_ = false;
};

}  // namespace tarn::encoder
