#pragma once
// The title ripper's playback side on the real parts: the current playback
// core opened with the title ripper's start (fast clock, seek pending,
// muted), the title seek with the window's "DVD SafeSearch" event, and the
// stop and close-player steps. It is also the window as the core and the
// seek see it: the core's callbacks, the owner of its message boxes and the
// host of its video (no picture is shown when no sink is given).
#include <vector>

#include "playback/dvd_mpc_callback.h"
#include "playback/host_window.h"
#include "playback/safe_search.h"
#include "platform/named_event.h"
#include "ui/ripper_services.h"
#include "ui/ripper_view.h"

namespace tarn {

class CTitleRipperBatch;

class CoreRipperPlayback final : public IRipperPlayback,
                                 public IDvdMpcCallback,
                                 public ICoreOwner,
                                 public ISeekHost,
                                 public IHostWindow {
 public:
  CoreRipperPlayback(ITitleRipperView& view, tarnplayer::IVideoSink* sink = nullptr);
  ~CoreRipperPlayback();
  // The window the core reports to; set before the first open.
  void Bind(CTitleRipperBatch* batch) { batch_ = batch; }

  // IRipperPlayback
  bool IsOpen() const override;
  bool EngineLoaded() const override;
  bool OpenDisc(const std::string& folder) override;
  void RunTitleSeek(int targetTitle) override;
  void StopAndDestroy() override;
  void ClosePlayer() override;
  int State() const override;
  int CurrentTitle() const override;
  int CurrentDomain() const override;
  DVD_HMSF_TIMECODE CurrentTime() const override;
  DVD_HMSF_TIMECODE TotalTime() const override;
  bool PlayTime(const DVD_HMSF_TIMECODE& time, bool wait) override;
  void Play() override;
  bool Pause() override;
  void HoldCapture() override;
  void ResumeCapture() override;
  bool HandleWindowMessage(const platform::Message& message, intptr_t* result) override;
  int ClockMode() const override;
  void SetClockMode(int mode) override;
  bool SeekPending() const override;
  void SetSeekPending(bool pending) override;

  // IDvdMpcCallback
  void OnTimeUpdate() override;
  void OnDomainChange(int32_t domain) override;
  void OnTitleChange(uint32_t title) override;

  // ICoreOwner and ISeekHost
  int32_t MessageBox(const std::string& text, const std::string& caption, int32_t icon, int32_t buttons) override;
  intptr_t SendToWindow(uint32_t message, intptr_t wparam, intptr_t lparam) override;
  int32_t MessageBox(const std::string& text, const std::string& caption) override;
  const std::vector<RipJob>* Jobs() override { return &jobs_; }

  // IHostWindow
  platform::QueueId QueueId() const override;
  void ClientSize(int32_t* width, int32_t* height) const override;
  tarnplayer::IVideoSink* VideoSink() override { return sink_; }

 private:
  ITitleRipperView& view_;
  tarnplayer::IVideoSink* sink_;
  CTitleRipperBatch* batch_ = nullptr;
  platform::AutoResetEvent seekEvent_;
  std::vector<RipJob> jobs_;  // the rows as the seek reads them
};

}  // namespace tarn
