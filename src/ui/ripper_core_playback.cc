#include "ui/ripper_core_playback.h"

#include "app/log.h"
#include "app/user_messages.h"
#include "convert/rip_job.h"
#include "convert/capture_callbacks.h"
#include "convert/frame_exchange.h"
#include "dvd/open_disc_playback.h"
#include "dvd/source_rows.h"
#include "playback/clock_mode.h"
#include "playback/core_position.h"
#include "playback/current_core.h"
#include "playback/dvd_mpc_core.h"
#include "playback/seek_state.h"
#include "ui/title_ripper_batch.h"

namespace tarn {
namespace {

DVD_HMSF_TIMECODE FromEngine(const tarnplayer::DVD_HMSF_TIMECODE& t) {
  return DVD_HMSF_TIMECODE{t.bHours, t.bMinutes, t.bSeconds, t.bFrames};
}

}  // namespace

CoreRipperPlayback::CoreRipperPlayback(ITitleRipperView& view, tarnplayer::IVideoSink* sink)
    : view_(view), sink_(sink) {}

CoreRipperPlayback::~CoreRipperPlayback() { DestroyCurrentCore(); }

bool CoreRipperPlayback::IsOpen() const { return CurrentCore() != nullptr; }
bool CoreRipperPlayback::EngineLoaded() const { return CurrentCore() != nullptr; }

bool CoreRipperPlayback::OpenDisc(const std::string& folder) {
  PlaybackWindow window;
  window.kind = PlaybackWindowKind::TitleRipper;
  window.callback = this;
  window.owner = this;
  window.host = this;
  CaptureHooks capture;
  capture.resetExchange = &ResetExchange;
  capture.video = &OnVideoFrame;
  capture.audio = &OnAudioBlock;
  capture.videoScratch = VideoScratch();
  capture.audioScratch = AudioScratch();
  if (!OpenDiscPlayback(window, folder, capture)) return false;
  // The navigator's first events come from the engine's threads; on the
  // platform the seek was written for they are queued before the posted
  // seek command runs. Let them in first (at most 2 s).
  auto settled = [] {
    const CorePosition& p = CurrentCorePosition();
    return p.domain != 0 && (p.domain != kTitleDomain || p.title != 0);
  };
  for (int i = 0; i < 200 && CurrentCore() && !settled(); ++i) platform::PumpingSleep(10);
  return true;
}

void CoreRipperPlayback::RunTitleSeek(int targetTitle) {
  const CDvdMpcCore* core = CurrentCore();
  if (core && core->TitleCount() > 0 && (targetTitle < 1 || static_cast<uint32_t>(targetTitle) > core->TitleCount())) {
    // A title the disc does not have cannot be reached: the seek's failure
    // now instead of after ten attempts of waiting for it.
    Log(kLogError, "The disc has %u titles, title %d cannot be played\n", core->TitleCount(), targetTitle);
    tarn::SeekPending() = 0;
    tarn::SetClockMode(0);
    SendToWindow(UM_CLOSE_PLAYER, 0, 0);
    const bool batch = Conversion().batch != 0;
    if (batch) SendToWindow(UM_JOB_RESULT, 1, 0);
    else
      view_.ShowMessage("Failed to search to Title" + std::to_string(targetTitle) +
                            ", so cannot play this title. \nPlease click top-right button switch to DVD Recorder "
                            "screen and try again.",
                        "", MessageIcon::kNone);
    Log(kLogInfo, "safe search process failed, send close dvd player message!.\n");
    if (batch) SendToWindow(UM_NEXT_TITLE, 0, 0);
    return;
  }
  jobs_.clear();
  if (batch_) {
    SourceRows& rows = batch_->Rows();
    for (int i = 0; i < rows.Count(); ++i) jobs_.push_back(*rows.Row(i)->job);
  }
  SafeSearch(*this, SeekForm::TitleRipper, targetTitle, seekEvent_);
}

void CoreRipperPlayback::StopAndDestroy() { DestroyCurrentCore(); }

void CoreRipperPlayback::ClosePlayer() {
  DestroyCurrentCore();
  ResetExchange();
}

int CoreRipperPlayback::State() const {
  const CDvdMpcCore* core = CurrentCore();
  return core ? core->GetState() : kCoreClosed;
}

int CoreRipperPlayback::CurrentTitle() const {
  const CDvdMpcCore* core = CurrentCore();
  return core ? static_cast<int>(core->CurrentTitle()) : 0;
}

int CoreRipperPlayback::CurrentDomain() const {
  const CDvdMpcCore* core = CurrentCore();
  return core ? core->CurrentDomain() : 0;
}

DVD_HMSF_TIMECODE CoreRipperPlayback::CurrentTime() const {
  const CDvdMpcCore* core = CurrentCore();
  return core ? FromEngine(core->CurrentTime()) : DVD_HMSF_TIMECODE{};
}

DVD_HMSF_TIMECODE CoreRipperPlayback::TotalTime() const {
  const CDvdMpcCore* core = CurrentCore();
  return core ? FromEngine(core->TotalTitleTime()) : DVD_HMSF_TIMECODE{};
}

bool CoreRipperPlayback::PlayTime(const DVD_HMSF_TIMECODE& t, bool wait) {
  CDvdMpcCore* core = CurrentCore();
  return core && core->PlayTime(tarnplayer::DVD_HMSF_TIMECODE{t.bHours, t.bMinutes, t.bSeconds, t.bFrames}, wait);
}

void CoreRipperPlayback::Play() {
  if (CDvdMpcCore* core = CurrentCore()) core->Play();
}

bool CoreRipperPlayback::Pause() {
  CDvdMpcCore* core = CurrentCore();
  return core && core->Pause();
}

void CoreRipperPlayback::HoldCapture() {
  if (CDvdMpcCore* core = CurrentCore()) core->StopMedia();
}

void CoreRipperPlayback::ResumeCapture() {
  if (CDvdMpcCore* core = CurrentCore()) core->PlayMedia(&OnVideoFrame, &OnAudioBlock, VideoScratch(), AudioScratch());
}

bool CoreRipperPlayback::HandleWindowMessage(const platform::Message& m, intptr_t* result) {
  if (m.message != UM_DVD_GRAPH_EVENT) return false;
  CDvdMpcCore* core = CurrentCore();
  *result = core ? core->HandleGraphEvent() : 0;
  return true;
}

int CoreRipperPlayback::ClockMode() const { return GetClockMode(); }
void CoreRipperPlayback::SetClockMode(int mode) { tarn::SetClockMode(mode); }
bool CoreRipperPlayback::SeekPending() const { return tarn::SeekPending().load() != 0; }
void CoreRipperPlayback::SetSeekPending(bool pending) { tarn::SeekPending() = pending ? 1 : 0; }

void CoreRipperPlayback::OnTimeUpdate() {
  if (batch_) batch_->OnTimeUpdate();
}

void CoreRipperPlayback::OnDomainChange(int32_t) {
  SignalSeekEvent(seekEvent_);
  if (CDvdMpcCore* core = CurrentCore()) core->LayoutVideo();
}

void CoreRipperPlayback::OnTitleChange(uint32_t) {
  SignalSeekEvent(seekEvent_);
  if (CDvdMpcCore* core = CurrentCore()) core->LayoutVideo();
}

int32_t CoreRipperPlayback::MessageBox(const std::string& text, const std::string& caption, int32_t icon,
                                       int32_t buttons) {
  if (buttons == kButtonsYesNo) return view_.AskYesNo(text, caption) ? kAnswerYes : kAnswerNo;
  view_.ShowMessage(text, caption, icon == kIconInformation ? MessageIcon::kInformation : MessageIcon::kNone);
  return kAnswerOk;
}

int32_t CoreRipperPlayback::MessageBox(const std::string& text, const std::string& caption) {
  return MessageBox(text, caption, kIconNone, kButtonsOk);
}

intptr_t CoreRipperPlayback::SendToWindow(uint32_t message, intptr_t wparam, intptr_t lparam) {
  return batch_ ? batch_->Queue().Send(message, wparam, lparam) : 0;
}

platform::QueueId CoreRipperPlayback::QueueId() const { return batch_ ? batch_->Queue().Id() : 0; }

void CoreRipperPlayback::ClientSize(int32_t* width, int32_t* height) const {
  // The title ripper's preview pane (197 x 108 dialog units at the
  // template's scale).
  *width = 394;
  *height = 216;
}

}  // namespace tarn
