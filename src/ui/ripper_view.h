#pragma once
// What the title ripper's logic needs of its window: message boxes, the
// progress and loading dialogs, the preview time text, the file browser and
// the screen-saver blocker. The rows' cells, selection and scrolling reach
// the view through SourceRowsView. The Qt window and the command-line front
// end each implement this; tests record the calls.
#include <string>

namespace tarn {

struct RipJob;

enum class MessageIcon { kNone, kInformation, kQuestion, kWarning };

class ITitleRipperView {
 public:
  virtual ~ITitleRipperView() = default;

  // A modal message box with an OK button.
  virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;
  // A modal Yes/No message box; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;

  virtual void OpenProgress(const std::string& caption) = 0;  // replaces an open one
  virtual void CloseProgress() = 0;
  virtual bool ProgressOpen() const = 0;
  // The bar (0..100) and the status line while converting.
  virtual void SetProgress(int percent, const std::string& statusLine) = 0;
  // Remux mode: "Remuxing output file, Please wait!" with the bar at `percent`.
  virtual void SetRemuxProgress(int percent) = 0;

  virtual void OpenLoading() = 0;  // replaces an open one
  virtual void CloseLoading() = 0;

  // The preview time text ("00:00:00 / 00:00:00" or "[hh:mm:ss / hh:mm:ss]").
  virtual void SetTimeText(const std::string& text) = 0;
  // The preview play button: true shows "Pause Movie", false "Play Movie".
  virtual void SetPlaying(bool playing) = 0;

  virtual void BringToForeground() = 0;
  virtual void OpenFolder(const std::string& folder) = 0;

  // Alive while a batch runs when the "Disalbe Screen Saver" setting is on.
  virtual void CreateScreenSaverBlocker() = 0;
  virtual void DeleteScreenSaverBlocker() = 0;

  // A job's row was marked "Completed" (true) or "Failed" (false).
  virtual void JobFinished(int /*row*/, const RipJob& /*job*/, bool /*completed*/) {}
};

}  // namespace tarn
