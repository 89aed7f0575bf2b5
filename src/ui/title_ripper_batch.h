#pragma once
// The title ripper's batch run: every checked row is brought into playback
// with the title seek, converted by the ripper thread and marked
// "Completed" or "Failed", one after another, until the end message, the
// output folder or the shutdown. The logic is bound to the window's message
// queue and talks to the window through ITitleRipperView, so the Qt window
// and the command-line front end run the same code.
#include <cstdint>
#include <string>

#include "platform/message_queue.h"
#include "ui/job_window.h"
#include "ui/ripper_services.h"
#include "ui/ripper_view.h"

namespace tarn {

struct AppSettings;
class ProfileCatalogue;
class SourceRows;

class CTitleRipperBatch {
 public:
  CTitleRipperBatch(SourceRows& rows, AppSettings& settings, ProfileCatalogue& catalogue, ITitleRipperView& view,
                    IRipperPlayback& playback, IRipperDriver& driver);
  CTitleRipperBatch(const CTitleRipperBatch&) = delete;
  CTitleRipperBatch& operator=(const CTitleRipperBatch&) = delete;

  // The window's queue: the title seek, the ripper thread and the window's
  // own commands reach the batch through it.
  const platform::MessageQueue& Queue() const { return queue_; }
  intptr_t HandleMessage(const platform::Message& message);

  // The source folder (ends in "/"); the disc every job opens.
  void SetSourceFolder(const std::string& folder) { sourceFolder_ = folder; }
  const std::string& SourceFolder() const { return sourceFolder_; }
  // The 1-based title number the batch works on; 0 when none.
  int TargetTitle() const { return targetTitle_; }
  SourceRows& Rows() { return rows_; }
  const JobWindow& LastJobWindow() const { return jobWindow_; }

  // The user's stop from outside the window (the command-line front end's
  // interrupt): the running job is stopped as by the DVD menu's "Stop" (its
  // partial output is deleted), a pending title seek is abandoned, and the
  // batch ends with "Mission Stopped!". A job whose output is already being
  // post-processed finishes, and the batch ends after it.
  void UserStop();

  // The core's time update while a job runs or a seek is pending (the
  // window's OnTimeUpdate): the throttled status line and progress bar, the
  // time text, and the end of fast mode once the target title plays.
  void OnTimeUpdate();

 private:
  void OnCommand(int id);
  void StartBatch();                    // "Start now"
  void BringPlaybackToTarget();         // open the disc and seek the target title
  void StartTitleRip();                 // UM_START_TITLE_RIP
  void StopProcedure();                 // UM_STOP_CONVERT
  void NextTitle(intptr_t sameTitle);   // UM_NEXT_TITLE
  void JobResult(intptr_t result);      // UM_JOB_RESULT
  intptr_t ConfirmCancelRecord();       // UM_CONFIRM_CANCEL_RECORD
  void ConfirmCancelRemux();            // UM_CONFIRM_CANCEL_REMUX
  void BatchDone();                     // UM_BATCH_DONE
  void ClosePlayer();                   // UM_CLOSE_PLAYER
  void PreviewStop();                   // button 1024
  void Stop();                          // DVD menu "Stop"
  void WaitUntilCoreGone();
  void AbandonPendingSeek();
  void FailJobAndGoOn();
  void ResetTimeDisplay();
  int BatchTotalMB();

  SourceRows& rows_;
  AppSettings& settings_;
  ProfileCatalogue& catalogue_;
  ITitleRipperView& view_;
  IRipperPlayback& playback_;
  IRipperDriver& driver_;
  platform::MessageQueue queue_;

  std::string sourceFolder_;
  int targetTitle_ = 0;
  bool screenSaverBlocked_ = false;
  bool endBatchRequested_ = false;  // a user stop outside a job: no next title
  JobWindow jobWindow_;
};

}  // namespace tarn
