#include "playback/safe_search.h"

#include <ctime>

#include "app/log.h"
#include "app/user_messages.h"
#include "platform/message_queue.h"
#include "playback/clock_mode.h"
#include "playback/current_core.h"
#include "playback/dvd_mpc_core.h"
#include "playback/seek_state.h"
#include "playback/virtual_clock.h"

namespace tarn {

using tarnplayer::Succeeded;

namespace {

constexpr int kWaitFactor = 2;  // only logged

const std::string kOpenBar(10, '\\');
const std::string kCloseBar(13, '\\');

void Pump() { platform::PumpMessages(); }

// One turn of a waiting loop: handles what is pending, or waits briefly for
// the next message so the loop does not spin the processor.
void PumpOrWait() {
  if (platform::PumpMessages() == 0 && platform::WaitForMessage(10)) platform::PumpMessages();
}

std::string ClockText(std::time_t t) {
  char text[16] = "";
  std::tm local{};
  localtime_r(&t, &local);
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

bool InMenuDomain(const CDvdMpcCore& core) { return tarnplayer::IsMenuDomain(core.CurrentDomain()); }

bool Recording() { return Conversion().recording.load() != 0; }

// One attempt's wait ("way 3"). True when the target was reached inside it.
bool WaitForNavigator(int32_t target, platform::AutoResetEvent& seekEvent, int waitSeconds) {
  seekEvent.Reset();
  const std::time_t start = std::time(nullptr);
  Log(kLogInfo, "SDTC NO.3 way: waitfactor:%d currenttime:%s\n", kWaitFactor, ClockText(start).c_str());
  bool buttonTried = false;
  while (!seekEvent.Wait(0)) {
    PumpOrWait();
    if (TargetReached(target)) {
      Log(kLogInfo, "SDTC NO.3 way: reach target title, while loop seeking output search loop.\n");
      return true;
    }
    CDvdMpcCore* core = CurrentCore();
    if (!core) break;
    if (InMenuDomain(*core) && !buttonTried) {
      uint32_t available = 0, current = 0;
      const tarnplayer::HRESULT hr = core->GetCurrentButton(&available, &current);
      Log(kLogInfo, "SDTC NO.3 way: get selected button resault:%d, %d, %d\n", static_cast<int>(hr),
          static_cast<int>(available), static_cast<int>(current));
      buttonTried = true;
      if (Succeeded(hr) && available > 0 && Succeeded(core->ActivateButton())) {
        Log(kLogInfo, "SDTC NO.3 way: active selected button resault:%d\n", 0);
        break;
      }
    }
    if (std::time(nullptr) - start > waitSeconds) {
      Log(kLogInfo, "SDTC NO.3 way: time out(%d), break the waiting loop\n", waitSeconds);
      break;
    }
  }
  Pump();
  CDvdMpcCore* core = CurrentCore();
  if (core && InMenuDomain(*core) && !buttonTried) {
    uint32_t available = 0, current = 0;
    const tarnplayer::HRESULT hr = core->GetCurrentButton(&available, &current);
    Log(kLogInfo, "SDTC NO.3 way out_wait_loop: get selected button resault:%d, %d, %d\n", static_cast<int>(hr),
        static_cast<int>(available), static_cast<int>(current));
    if (Succeeded(hr) && available > 0 && Succeeded(core->ActivateButton()))
      Log(kLogInfo, "SDTC NO.3 way out_wait_loop: active selected button resault:%d\n", 0);
  }
  Log(kLogInfo, "SDTC, NO.3 way: Now check current place. currenttime:%s, wait time:%d\n",
      ClockText(std::time(nullptr)).c_str(), waitSeconds);
  core = CurrentCore();
  Log(kLogInfo, "SDTC NO.3 way: target:%d; get current %d, title:%d\n", static_cast<int>(target),
      core ? static_cast<int>(core->CurrentDomain()) : 0, core ? static_cast<int>(core->CurrentTitle()) : 0);
  if (TargetReached(target)) {
    Log(kLogInfo, "SDTC NO.3 way: reach target title, output search loop.\n");
    return true;
  }
  return false;
}

// The attempts; returns the outcome and how many attempts ran.
SafeSearchResult RunAttempts(int32_t target, platform::AutoResetEvent& seekEvent, int waitSeconds) {
  SafeSearchResult result;
  for (int i = 0; i < kSeekAttempts; ++i) {
    result.attempts = i + 1;
    Log(kLogInfo, "SDTC: times:%d\n", i);
    CDvdMpcCore* core = CurrentCore();
    if (!core || core->GetState() == CDvdMpcCore::kClosed) {
      Log(kLogInfo, "SDTC: player state is not MLS_LOADED, so stop safe seek and Close media\n");
      return result;
    }
    Pump();
    if (TargetReached(target)) {
      Log(kLogInfo, "SDTC: reach target title charpter, output search loop.\n");
      result.reached = true;
      return result;
    }
    Log(kLogInfo, "SDTC: don't reach target title, continue search loop.\n");
    Pump();
    Log(kLogInfo, "SDTC, begin using NO.1 way\n");
    if (!(core = CurrentCore())) return result;
    const bool first = core->PlayTitle(static_cast<uint32_t>(target));
    Log(kLogInfo, "SDTC, NO.1 way: playtitle resault:%d\n", first ? 1 : 0);
    const bool second = core->PlayTitle(static_cast<uint32_t>(target));
    Log(kLogInfo, "SDTC, NO.1 way title: PlayChapterInTitle resault:%d\n", second ? 1 : 0);
    Pump();
    Log(kLogInfo, "SDTC, begin using NO.3 way\n");
    Pump();
    if (!CurrentCore()) return result;
    if (WaitForNavigator(target, seekEvent, waitSeconds)) {
      result.reached = true;
      return result;
    }
  }
  return result;
}

void SelectJobStreams(CDvdMpcCore& core, const DvdTitleEntry& entry) {
  // The entry's choices are indexes into its stream lists; the navigator
  // wants the disc's stream numbers, which differ where a stream is absent.
  uint32_t audio = static_cast<uint32_t>(entry.selectedAudio);
  if (entry.selectedAudio >= 0 && static_cast<size_t>(entry.selectedAudio) < entry.audioStreamNumbers.size())
    audio = entry.audioStreamNumbers[static_cast<size_t>(entry.selectedAudio)];
  core.SelectAudioStream(audio);
  core.RefreshAudioStreams();
  if (entry.selectedSubtitle >= 0) {
    uint32_t subtitle = static_cast<uint32_t>(entry.selectedSubtitle);
    if (static_cast<size_t>(entry.selectedSubtitle) < entry.subtitleStreamNumbers.size())
      subtitle = entry.subtitleStreamNumbers[static_cast<size_t>(entry.selectedSubtitle)];
    core.SelectSubpictureStream(subtitle);
    core.RefreshSubpictureStreams();
    core.ShowSubtitle(true);
  } else {
    core.ShowSubtitle(false);
  }
  core.RefreshSubpictureStreams();
}

void TitleRipperSuccess(ISeekHost& host, int32_t target) {
  SetClockMode(CVirtualClock::kModeNormal);
  const std::time_t start = std::time(nullptr);
  while (std::time(nullptr) - start <= 1) platform::PumpingSleep(10);
  CDvdMpcCore* core = CurrentCore();
  if (core) {
    core->Play();
    const std::vector<RipJob>* jobs = host.Jobs();
    const RipJob* job = jobs ? FindJobForTarget(*jobs, target) : nullptr;
    if (job && job->title) SelectJobStreams(*core, *job->title);
  }
  Log(kLogInfo, "safe search process successful\n");
  if (Conversion().batch.load()) {
    host.SendToWindow(UM_START_TITLE_RIP, 0, 0);
  } else if (!Recording() && core) {
    core->SetVolume(100);
  }
}

void TitleRipperFailure(ISeekHost& host, int32_t target) {
  SetClockMode(CVirtualClock::kModeNormal);
  host.SendToWindow(UM_CLOSE_PLAYER, 0, 0);
  const bool batch = Conversion().batch.load() != 0;
  if (batch) {
    host.SendToWindow(UM_JOB_RESULT, 1, 0);
  } else {
    char text[256];
    std::snprintf(text, sizeof text,
                  "Failed to search to Title%d, so cannot play this title. \nPlease click top-right button switch "
                  "to DVD Recorder screen and try again.",
                  static_cast<int>(target));
    host.MessageBox(text, "Note");
  }
  Log(kLogInfo, "safe search process failed, send close dvd player message!.\n");
  if (batch) host.SendToWindow(UM_NEXT_TITLE, 0, 0);
}

void EditorSuccess(ISeekHost& host, SeekForm form) {
  SetClockMode(CVirtualClock::kModeNormal);
  CDvdMpcCore* core = CurrentCore();
  if (!core) return;
  if (form == SeekForm::MovieEditor) core->ShowSubtitle(true);
  core->Play();
  if (!Recording()) core->SetVolume(100);
  Pump();
  if (!(core = CurrentCore())) return;
  core->LayoutVideo();
  if (form == SeekForm::CropEditor) host.StartCropOverlay(*core);
}

void EditorFailure(ISeekHost& host) {
  Log(kLogInfo, "SDTC: failed, send close message!.\n");
  host.MessageBox("Play Video Failed!", "Note");
  SetClockMode(CVirtualClock::kModeNormal);
  host.StopPlayback();
}

}  // namespace

void ISeekHost::StopPlayback() { DestroyCurrentCore(); }

bool TargetReached(int32_t target) {
  const CDvdMpcCore* core = CurrentCore();
  return core && target > 0 && core->CurrentTitle() == static_cast<uint32_t>(target) &&
         core->CurrentDomain() == tarnplayer::DVD_DOMAIN_Title;
}

void SignalSeekEvent(platform::AutoResetEvent& seekEvent) {
  if (GetClockMode() == CVirtualClock::kModeFast) seekEvent.Set();
}

void TitleRipperTimeUpdate(int32_t target) {
  if (GetClockMode() == CVirtualClock::kModeFast && SeekPending().load() && TargetReached(target)) {
    SeekPending() = 0;
    SetClockMode(CVirtualClock::kModeNormal);
  }
}

const RipJob* FindJobForTarget(const std::vector<RipJob>& jobs, int32_t target) {
  for (const RipJob& job : jobs)
    if (job.checked && job.chapterIndex < 0 && job.titleIndex + 1 == target) return &job;
  return nullptr;
}

void DestroyCurrentCore() {
  CDvdMpcCore* core = CurrentCore();
  if (!core) return;
  core->StopMedia();
  core->Stop();
  SetCurrentCore(nullptr);
  delete core;
}

SafeSearchResult SafeSearch(ISeekHost& host, SeekForm form, int32_t target, platform::AutoResetEvent& seekEvent,
                            int waitSeconds) {
  SeekPending() = 1;
  host.SendToWindow(UM_LOADING_OPEN, 0, 0);
  CDvdMpcCore* core = CurrentCore();
  if (!core || core->GetState() == CDvdMpcCore::kClosed) {
    SeekPending() = 0;
    host.SendToWindow(UM_LOADING_CLOSE, 0, 0);
    return {};
  }
  if (form == SeekForm::TitleRipper)
    Log(kLogInfo, "%sSDTC: start search target:%d%s\n", kOpenBar.c_str(), static_cast<int>(target), kCloseBar.c_str());
  else
    Log(kLogInfo, "%sSDTC: start search%s\n", kOpenBar.c_str(), kCloseBar.c_str());

  const SafeSearchResult result = RunAttempts(target, seekEvent, waitSeconds);

  Log(kLogInfo, "%sSDTC: end search%s\n", kOpenBar.c_str(), kCloseBar.c_str());
  Pump();
  SeekPending() = 0;
  if (form == SeekForm::TitleRipper) {
    if (result.reached) TitleRipperSuccess(host, target);
    else TitleRipperFailure(host, target);
    host.SendToWindow(UM_LOADING_CLOSE, 0, 0);
  } else {
    host.SendToWindow(UM_LOADING_CLOSE, 0, 0);
    if (result.reached) EditorSuccess(host, form);
    else EditorFailure(host);
  }
  return result;
}

}  // namespace tarn
