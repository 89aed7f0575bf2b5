#pragma once
// The title ripper's conversion side on the real parts: the free-space
// question through the window's view, the encoder library, the frame
// exchange and job range, the ripper thread and the shutdown.
#include <atomic>
#include <thread>

#include "convert/free_space.h"
#include "ui/ripper_services.h"
#include "ui/ripper_view.h"

namespace tarn {

class CTitleRipperBatch;

class ConversionRipperDriver final : public IRipperDriver, public QuestionView {
 public:
  explicit ConversionRipperDriver(ITitleRipperView& view) : view_(view) {}
  ~ConversionRipperDriver();  // waits for a ripper thread that still runs
  void Bind(CTitleRipperBatch* batch) { batch_ = batch; }

  int CheckFreeSpace(int estimateMB, const std::string& path) override;
  int LoadEncoderLibrary() override;
  void UnloadEncoderLibrary() override;
  void ResetExchange() override;
  void SetJobRange(int64_t start, int64_t end) override;
  void StartRipperThread() override;
  void ShutdownComputer() override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;

  // Waits (handling the calling thread's messages) until the last ripper
  // thread has ended.
  void WaitForThread();

 private:
  ITitleRipperView& view_;
  CTitleRipperBatch* batch_ = nullptr;
  std::thread thread_;
  std::atomic<bool> threadEnded_{true};
};

}  // namespace tarn
