#pragma once
// A recording title ripper view and stand-ins for the playback and
// conversion sides, so the batch's message flow can be driven through its
// queue and every step it takes observed. The stand-in playback behaves as
// a disc whose seeks succeed (or fail for chosen titles); the stand-in
// ripper thread reports each job as a real one would, with messages.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/user_messages.h"
#include "convert/rip_job.h"
#include "dvd/source_rows.h"
#include "ui/ripper_services.h"
#include "ui/ripper_view.h"
#include "ui/title_ripper_batch.h"

namespace tarn::test {

class RecordingView : public ITitleRipperView {
 public:
  void ShowMessage(const std::string& text, const std::string&, MessageIcon) override { messages.push_back(text); }
  bool AskYesNo(const std::string& text, const std::string&) override {
    questions.push_back(text);
    return answer;
  }
  void OpenProgress(const std::string& caption) override { progress = true, progressCaption = caption; }
  void CloseProgress() override { progress = false; }
  bool ProgressOpen() const override { return progress; }
  void SetProgress(int percent, const std::string& line) override { percents.push_back(percent), statusLine = line; }
  void SetRemuxProgress(int) override {}
  void OpenLoading() override { ++loadingOpens; }
  void CloseLoading() override {}
  void SetTimeText(const std::string& text) override { timeText = text; }
  void SetPlaying(bool) override {}
  void BringToForeground() override {}
  void OpenFolder(const std::string& folder) override { openedFolders.push_back(folder); }
  void CreateScreenSaverBlocker() override { ++blockers; }
  void DeleteScreenSaverBlocker() override { --blockers; }

  bool answer = true;
  bool progress = false;
  std::string progressCaption, statusLine, timeText;
  std::vector<int> percents;
  std::vector<std::string> messages, questions, openedFolders;
  int loadingOpens = 0;
  int blockers = 0;
};

class StandInPlayback : public IRipperPlayback {
 public:
  bool IsOpen() const override { return open; }
  bool EngineLoaded() const override { return true; }
  bool OpenDisc(const std::string& folder) override {
    opened.push_back(folder);
    if (failOpen) return false;
    open = true, state = kCorePlaying, domain = 1, title = 0, seekPending = true, clockMode = 1;
    return true;
  }
  void RunTitleSeek(int target) override {
    seeks.push_back(target);
    if (stopDuringSeek) batch->UserStop();  // the user's interrupt arrives while the seek pumps
    seekPending = false, clockMode = 0;
    if (!open || unreachable.count(target)) {
      // As the seek reports a failure during a batch.
      if (open) batch->Queue().Send(UM_CLOSE_PLAYER);
      batch->Queue().Send(UM_JOB_RESULT, 1);
      batch->Queue().Send(UM_NEXT_TITLE, 0);
      return;
    }
    title = target, domain = kTitleDomain;
    batch->Queue().Send(UM_START_TITLE_RIP);
  }
  void StopAndDestroy() override { open = false, state = kCoreClosed; }
  void ClosePlayer() override { StopAndDestroy(), ++closes; }
  int State() const override { return state; }
  int CurrentTitle() const override { return title; }
  int CurrentDomain() const override { return domain; }
  DVD_HMSF_TIMECODE CurrentTime() const override { return now; }
  DVD_HMSF_TIMECODE TotalTime() const override { return total; }
  bool PlayTime(const DVD_HMSF_TIMECODE& t, bool) override {
    playedAt.push_back(t);
    Step("jump");
    return true;
  }
  void Play() override {
    state = kCorePlaying;
    Step("play");
  }
  bool Pause() override {
    Step("pause");
    return true;
  }
  void HoldCapture() override {
    Step("hold capture");
    captureHeld = true;
  }
  void ResumeCapture() override {
    captureHeld = false;
    Step("resume capture");
  }
  // What the playback side was asked, with whether the capture was held
  // and the job recording at that moment.
  void Step(const std::string& what) {
    steps.push_back(what + (captureHeld ? ", held" : "") + (Conversion().recording ? ", recording" : ""));
  }
  int ClockMode() const override { return clockMode; }
  void SetClockMode(int mode) override { clockMode = mode; }
  bool SeekPending() const override { return seekPending; }
  void SetSeekPending(bool p) override { seekPending = p; }

  CTitleRipperBatch* batch = nullptr;
  bool open = false, failOpen = false, seekPending = false, stopDuringSeek = false, captureHeld = false;
  int state = kCoreClosed, domain = 0, title = 0, clockMode = 0, closes = 0;
  DVD_HMSF_TIMECODE now{}, total{0, 1, 12, 0};
  std::set<int> unreachable;
  std::vector<std::string> opened;
  std::vector<int> seeks;
  std::vector<DVD_HMSF_TIMECODE> playedAt;
  std::vector<std::string> steps;
};

// Results the stand-in ripper thread reports, by title number: 0 completed
// (the default), 1 failed, 2 stopped by the user.
class StandInDriver : public IRipperDriver {
 public:
  int CheckFreeSpace(int mb, const std::string&) override { return askedMB.push_back(mb), freeSpaceAnswer; }
  int LoadEncoderLibrary() override { return ++loads, 0; }
  void UnloadEncoderLibrary() override { ++unloads; }
  void ResetExchange() override { ++resets; }
  void SetJobRange(int64_t start, int64_t end) override { ranges.push_back({start, end}); }
  void StartRipperThread() override {
    const int target = batch->TargetTitle();
    started.push_back(target);
    ConversionState& cs = Conversion();
    cs.recording = 1, cs.encodeDone = 1;
    const int outcome = outcomes.count(target) ? outcomes.at(target) : 0;
    batch->Queue().Post(UM_STOP_CONVERT);
    if (outcome == 2) {
      cs.userStopped = 1;
      batch->Queue().Post(UM_JOB_RESULT, 1);
      batch->Queue().Post(UM_BATCH_DONE);
    } else {
      batch->Queue().Post(UM_JOB_RESULT, outcome);
      batch->Queue().Post(UM_NEXT_TITLE, 0);
    }
  }
  void ShutdownComputer() override { ++shutdowns; }

  CTitleRipperBatch* batch = nullptr;
  int freeSpaceAnswer = 0;
  int loads = 0, unloads = 0, resets = 0, shutdowns = 0;
  std::vector<int> askedMB, started;
  std::vector<std::pair<int64_t, int64_t>> ranges;
  std::map<int, int> outcomes;
};

}  // namespace tarn::test
