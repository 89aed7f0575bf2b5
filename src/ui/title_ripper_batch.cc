#include "ui/title_ripper_batch.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/log.h"
#include "app/settings.h"
#include "app/user_messages.h"
#include "convert/rip_job.h"
#include "dvd/source_rows.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "profiles/profile_catalogue.h"
#include "ui/batch_size.h"
#include "ui/ripper_commands.h"

namespace tarn {
namespace {

constexpr int kStatusCell = kColumnStatus - 1;  // sub-item index of the "Status" column

void SetRowStatus(SourceRows& rows, int index, const char* status) {
  SourceRow* row = rows.Row(index);
  if (!row) return;
  row->job->status = status;
  rows.SetSubItem(index, kStatusCell, status);
  rows.Refresh(index);
}

}  // namespace

CTitleRipperBatch::CTitleRipperBatch(SourceRows& rows, AppSettings& settings, ProfileCatalogue& catalogue,
                                     ITitleRipperView& view, IRipperPlayback& playback, IRipperDriver& driver)
    : rows_(rows),
      settings_(settings),
      catalogue_(catalogue),
      view_(view),
      playback_(playback),
      driver_(driver),
      queue_([this](const platform::Message& m) { return HandleMessage(m); }) {}

intptr_t CTitleRipperBatch::HandleMessage(const platform::Message& m) {
  switch (m.message) {
    case kCommandMessage: OnCommand(static_cast<int>(m.wparam)); return 0;
    case UM_START_TITLE_RIP: StartTitleRip(); return 0;
    case UM_STOP_CONVERT: StopProcedure(); return 0;
    case UM_NEXT_TITLE: NextTitle(m.wparam); return 0;
    case UM_JOB_RESULT: JobResult(m.wparam); return 0;
    case UM_CONFIRM_CANCEL_RECORD: return ConfirmCancelRecord();
    case UM_CONFIRM_CANCEL_REMUX: ConfirmCancelRemux(); return 0;
    case UM_BATCH_DONE: BatchDone(); return 0;
    case UM_CLOSE_PLAYER: ClosePlayer(); return 0;
    case UM_PROGRESS_OPEN:
      view_.OpenProgress(m.wparam ? reinterpret_cast<const char*>(m.wparam) : "");
      return 0;
    case UM_PROGRESS_CLOSE: view_.CloseProgress(); return 0;
    case UM_REMUX_PROGRESS:
      if (view_.ProgressOpen()) view_.SetRemuxProgress(static_cast<int>(m.wparam));
      return 0;
    case UM_LOADING_OPEN: view_.OpenLoading(); return 0;
    case UM_LOADING_CLOSE: view_.CloseLoading(); return 0;
    default: {
      intptr_t result = 0;
      playback_.HandleWindowMessage(m, &result);
      return result;
    }
  }
}

void CTitleRipperBatch::OnCommand(int id) {
  switch (id) {
    case kCmdStartNow: StartBatch(); break;
    case kCmdSafeSearch:
      // A batch whose disc went away before the seek began would wait for
      // a seek result that never comes.
      if (Conversion().batch && !playback_.IsOpen()) FailJobAndGoOn();
      else playback_.RunTitleSeek(targetTitle_);
      break;
    case kCmdPreviewStop: PreviewStop(); break;
    case kCmdStop:
    case kCmdStopMenu: Stop(); break;
    default: break;
  }
}

// "Start now": the first checked row starts the batch.
void CTitleRipperBatch::StartBatch() {
  ConversionState& cs = Conversion();
  if (cs.recording || cs.batch) return;
  if (playback_.IsOpen()) PreviewStop();

  int first = -1;
  for (int i = 0; i < rows_.Count() && first < 0; ++i)
    if (rows_.Row(i)->job->checked) first = i;
  if (first < 0) return;

  rows_.Select(first);
  targetTitle_ = rows_.Row(first)->job->titleIndex + 1;
  for (int i = 0; i < rows_.Count(); ++i) SetRowStatus(rows_, i, "Ready");
  platform::PumpMessages();

  Log(kLogInfo, "Begin Make convert process\n");
  if (!platform::MakeFolders(settings_.outputFolder))
    Log(kLogError, "Cannot create the output folder %s\n", settings_.outputFolder.c_str());
  for (int i = 0; i < rows_.Count(); ++i) {
    const RipJob& job = *rows_.Row(i)->job;
    std::error_code ec;
    if (job.checked && !job.destination.empty() && std::filesystem::is_regular_file(job.destination, ec))
      std::filesystem::remove(job.destination, ec);
  }

  if (driver_.CheckFreeSpace(BatchTotalMB(), settings_.outputFolder) != 0) return;

  Log(kLogInfo, "Start Convert Process\n");
  if (driver_.LoadEncoderLibrary() != 0) Log(kLogInfo, "Init encoder fail.");

  endBatchRequested_ = false;
  cs.batch = 1;
  BringPlaybackToTarget();
  if (settings_.disableScreenSaver && !screenSaverBlocked_) {
    view_.CreateScreenSaverBlocker();
    screenSaverBlocked_ = true;
  }
}

int CTitleRipperBatch::BatchTotalMB() {
  const AVOutputProfile* profile = catalogue_.CurrentProfile();
  if (!profile) {
    view_.ShowMessage("Failed of Getting current profile, Please restart software!", "", MessageIcon::kNone);
    return 0;
  }
  return static_cast<int>(tarn::BatchTotalMB(rows_, *profile));
}

// Opens the disc again and lets the title seek bring the target title in.
void CTitleRipperBatch::BringPlaybackToTarget() {
  if (playback_.SeekPending()) return;
  if (playback_.IsOpen()) {
    Log(kLogInfo, "Close DVD Player\n");
    ClosePlayer();
  }
  if (sourceFolder_.empty() || targetTitle_ == 0) return;
  Log(kLogInfo, "Open DVD Disk and start safe search\n");
  if (!playback_.OpenDisc(sourceFolder_)) {
    // No core means no title seek and no ripper thread that could move
    // the batch on: the job fails here and the batch goes on.
    if (Conversion().batch) FailJobAndGoOn();
    return;
  }
  view_.SetPlaying(true);
  queue_.Post(kCommandMessage, kCmdSafeSearch, 0);
}

void CTitleRipperBatch::FailJobAndGoOn() {
  queue_.Send(UM_JOB_RESULT, 1, 0);
  queue_.Post(UM_NEXT_TITLE, 0, 0);
}

// The target title plays: compute the job's times and start the ripper.
void CTitleRipperBatch::StartTitleRip() {
  ConversionState& cs = Conversion();
  if (cs.batch && endBatchRequested_ && !cs.recording) {
    FailJobAndGoOn();  // stopped by the user while the seek ended
    return;
  }
  if (!playback_.IsOpen() || cs.recording || playback_.SeekPending()) return;
  const int row = rows_.FindJob(targetTitle_);
  if (playback_.State() == kCoreStopped || playback_.CurrentDomain() != kTitleDomain || row < 0) {
    // Outside a batch nothing happens; inside one the batch would wait
    // forever for a job that never starts.
    if (cs.batch) {
      Log(kLogError, "Cannot start the job of title %d\n", targetTitle_);
      ClosePlayer();
      FailJobAndGoOn();
    }
    return;
  }
  const RipJob& job = *rows_.Row(row)->job;
  const DVD_HMSF_TIMECODE total = playback_.TotalTime();
  jobWindow_ = ComputeJobWindow(job, total);
  cs.startTitle = playback_.CurrentTitle();
  cs.startDomain = playback_.CurrentDomain();
  // The engine hands pictures and sound to the capture as soon as it has
  // decoded them, also while playback is held, so after a jump the first
  // ones arrive at once, and before it pictures and sound of the old place
  // may still be on their way (on a busy machine well after any pause).
  // The capture is taken from the engine across the jump: nothing of the
  // old place can reach the job (it would start there and drop the new
  // place's first seconds as duplicates), and the new place's first
  // pictures wait for the capture instead of passing it.
  playback_.Pause();
  playback_.HoldCapture();
  driver_.ResetExchange();
  driver_.SetJobRange(jobWindow_.rangeStart, jobWindow_.rangeEnd);
  cs.stopRequest = 0;
  cs.recording = 1;
  playback_.PlayTime(PreRollStart(jobWindow_.window.start), true);
  playback_.ResumeCapture();

  RipProgress& p = Progress();
  p.startClock = static_cast<int32_t>(platform::TickCount());
  p.lastClock = p.startClock.load();
  p.startSeconds = WholeSeconds(jobWindow_.window.start);
  p.endSeconds = WholeSeconds(jobWindow_.window.end);
  p.lengthSeconds = p.endSeconds - p.startSeconds;
  p.currentSeconds = p.startSeconds.load();

  // The time jump reports the core playing while the engine still holds.
  playback_.Play();
  playback_.SetClockMode(0);
  cs.userStopped = 0;
  driver_.StartRipperThread();
}

// The conversion must end: ask for the stop and wait for the encoder.
void CTitleRipperBatch::StopProcedure() {
  ConversionState& cs = Conversion();
  if (!cs.recording) return;
  Log(kLogInfo, "Src list window try to stop convert\n");
  cs.stopRequest = 1;
  while (!cs.encodeDone) platform::PumpingSleep(50);
  Log(kLogInfo, "DVD player window stop convert\n");
  if (playback_.IsOpen()) {
    playback_.SetClockMode(0);
    cs.recording = 0;
    PreviewStop();
  }
}

void CTitleRipperBatch::NextTitle(intptr_t sameTitle) {
  int chosen = -1;
  if (!endBatchRequested_) {
    for (int i = 0; i < rows_.Count() && chosen < 0; ++i) {
      const RipJob& job = *rows_.Row(i)->job;
      if (!job.checked) continue;
      const int number = job.titleIndex + 1;
      if (sameTitle == 0 ? number > targetTitle_ : (sameTitle == 1 && number == targetTitle_)) chosen = i;
    }
  }
  if (chosen < 0) {
    Log(kLogInfo, "Get next title failed so stop ripper process\n");
    queue_.Send(UM_BATCH_DONE, 0, 0);
    return;
  }
  targetTitle_ = rows_.Row(chosen)->job->titleIndex + 1;
  rows_.Select(chosen);
  Log(kLogInfo, "Get next title successful, start ripper next title:%d\n", targetTitle_);
  BringPlaybackToTarget();
}

void CTitleRipperBatch::JobResult(intptr_t result) {
  if (result != 0 && result != 1) return;
  const int row = rows_.FindJob(targetTitle_);
  if (row < 0) return;
  SetRowStatus(rows_, row, result == 0 ? "Completed" : "Failed");
  view_.JobFinished(row, *rows_.Row(row)->job, result == 0);
}

intptr_t CTitleRipperBatch::ConfirmCancelRecord() {
  if (!view_.AskYesNo("Are you sure to cancel record?", "Query")) return 1;
  Stop();
  return 0;
}

void CTitleRipperBatch::ConfirmCancelRemux() {
  ConversionState& cs = Conversion();
  if (!cs.remuxRunning) return;
  if (!view_.AskYesNo("Are you sure to cancel remux?", "Query")) return;
  cs.remuxRunning = 0;
  cs.userStopped = 1;
}

void CTitleRipperBatch::BatchDone() {
  ConversionState& cs = Conversion();
  Log(kLogInfo, "Completed Convert Process\n");
  cs.batch = 0;
  driver_.UnloadEncoderLibrary();
  queue_.Send(UM_CLOSE_PLAYER, 0, 0);
  if (!settings_.shutdownComputer || cs.userStopped) {
    view_.BringToForeground();
    if (cs.userStopped) view_.ShowMessage("Mission Stopped!", "", MessageIcon::kInformation);
    else view_.ShowMessage("Mission accomplished!", "", MessageIcon::kInformation);
    view_.OpenFolder(settings_.outputFolder);
  } else {
    driver_.ShutdownComputer();
  }
  if (screenSaverBlocked_) {
    view_.DeleteScreenSaverBlocker();
    screenSaverBlocked_ = false;
  }
  cs.userStopped = 0;
  endBatchRequested_ = false;
}

void CTitleRipperBatch::UserStop() {
  ConversionState& cs = Conversion();
  if (cs.recording && !playback_.IsOpen()) {
    // The encode is over and its output is being post-processed: that job
    // finishes whole, and no next title follows.
    endBatchRequested_ = true;
    return;
  }
  if (cs.recording) {
    AbandonPendingSeek();
    Stop();
    return;
  }
  if (!cs.batch) {
    PreviewStop();
    return;
  }
  // Between jobs or during a title seek: nothing to delete; the seek sees
  // its core gone and reports the job failed, and no next title follows.
  cs.userStopped = 1;
  endBatchRequested_ = true;
  AbandonPendingSeek();
  if (playback_.IsOpen()) playback_.StopAndDestroy();
  ResetTimeDisplay();
}

}  // namespace tarn
