#pragma once
// The title ripper's view on a console: progress on stderr (a bar when it is
// a terminal, plain lines otherwise), one result line per title on stdout,
// the free-space question answered by --yes, and the results kept for the
// JSON document.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ui/ripper_view.h"

namespace tarn::cli {

struct JobOutcome {
  int title = 0;
  bool completed = false;
  std::string output;
  int64_t bytes = -1;  // -1 when no file is there
  std::vector<std::string> sideFiles;
  std::string reason;  // why it failed
};

class ConsoleRipperView final : public ITitleRipperView {
 public:
  ConsoleRipperView(bool answerYes, bool printLines);
  ~ConsoleRipperView();

  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void OpenProgress(const std::string& caption) override;
  void CloseProgress() override;
  bool ProgressOpen() const override { return progressOpen_; }
  void SetProgress(int percent, const std::string& statusLine) override;
  void SetRemuxProgress(int percent) override;
  void OpenLoading() override {}
  void CloseLoading() override {}
  void SetTimeText(const std::string&) override {}
  void SetPlaying(bool) override {}
  void BringToForeground() override {}
  void OpenFolder(const std::string&) override {}
  void CreateScreenSaverBlocker() override {}
  void DeleteScreenSaverBlocker() override {}
  void JobFinished(int row, const RipJob& job, bool completed) override;

  const std::vector<JobOutcome>& Outcomes() const { return outcomes_; }
  // Set when the user interrupted the run.
  void SetUserStopped() { userStopped_ = true; }

 private:
  void EndBarLine();
  std::string TakeLastError();

  bool answerYes_;
  bool printLines_;
  bool terminal_;
  bool progressOpen_ = false;
  bool barShown_ = false;
  bool converting_ = false;  // the job's encode began
  bool userStopped_ = false;
  std::mutex errorMutex_;
  std::string lastError_;    // the last error the program logged during the job (any thread)
  int logHandle_ = -1;
  std::vector<JobOutcome> outcomes_;
};

}  // namespace tarn::cli
