// The title ripper's stop steps as the batch uses them: the preview stop,
// the DVD menu's stop and the close-player message.
#include "app/log.h"
#include "convert/rip_job.h"
#include "platform/message_queue.h"
#include "ui/title_ripper_batch.h"

namespace tarn {

void CTitleRipperBatch::ResetTimeDisplay() {
  view_.SetPlaying(false);
  view_.SetTimeText("00:00:00 / 00:00:00");
}

void CTitleRipperBatch::WaitUntilCoreGone() {
  while (playback_.IsOpen()) platform::PumpingSleep(50);
}

// A title seek still under way is given up and the clock runs normally again.
void CTitleRipperBatch::AbandonPendingSeek() {
  if (!playback_.SeekPending()) return;
  playback_.SetSeekPending(false);
  playback_.SetClockMode(0);
}

// Button 1024: abandons a pending seek; stops a running conversion first.
void CTitleRipperBatch::PreviewStop() {
  if (!playback_.IsOpen()) return;
  AbandonPendingSeek();
  if (Conversion().recording) {
    StopProcedure();
    WaitUntilCoreGone();
  } else {
    Log(kLogInfo, "try to stop play\n");
    playback_.StopAndDestroy();
    Log(kLogInfo, "stop dvd player\n");
  }
  ResetTimeDisplay();
}

// DVD menu "Stop": while converting this is the user's stop of the job.
void CTitleRipperBatch::Stop() {
  if (playback_.SeekPending() || !playback_.IsOpen() || !playback_.EngineLoaded()) return;
  ConversionState& cs = Conversion();
  if (cs.recording) {
    cs.userStopped = 1;
    StopProcedure();
    WaitUntilCoreGone();
  } else {
    playback_.StopAndDestroy();
  }
  ResetTimeDisplay();
}

// UM_CLOSE_PLAYER.
void CTitleRipperBatch::ClosePlayer() {
  if (!playback_.IsOpen()) return;
  playback_.ClosePlayer();
  ResetTimeDisplay();
}

}  // namespace tarn
