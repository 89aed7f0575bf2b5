#pragma once
// The connection to the log viewer process "TarnLog". The controller starts
// the viewer at start-up and stops it at shutdown; in between every log call
// hands its record to the viewer. Every wait for the viewer is limited to
// kLogViewerWaitMs: a viewer that does not answer is given up (one line on
// stderr) and the program goes on without it.
#include <string>
#include <string_view>

namespace tarn {

inline constexpr const char* kLogViewerProgram = "TarnLog";
inline constexpr const char* kLogViewerStartError =
    "Error on Create Tarn Log App,\nPlease reinstalled this software, or contact Support.";
inline constexpr const char* kLogAbortNormal = "Abort Normal";
inline constexpr const char* kLogAbortByUnknownError = "Abort By Unknow Error";
inline constexpr int kLogViewerWaitMs = 5000;

// Ends a viewer left listening on the settings folder's socket by an earlier
// run, starts "TarnLog" from `programFolder` with the settings folder as its
// argument and waits until it is ready. True when the viewer runs. When the
// program cannot be started, kLogViewerStartError goes to ShowMessageBox();
// when it starts but is not ready in time, it is ended and one line goes to
// stderr. Either way the program goes on and log records reach only the
// observers. Calling it while a viewer runs does nothing and returns true.
bool StartLogViewer(const std::string& settingsFolder, const std::string& programFolder);

// Sends `text` as a level-2 record, waits for the viewer's end answer and
// forgets the viewer; a viewer that does not end in time is terminated.
// Later log calls are dropped. Does nothing when no viewer runs.
void StopLogViewer(const std::string& text);

bool LogViewerRunning();

// Hands one record to the viewer (used by the log call). Returns the viewer's
// answer (kLogReplyTaken, or kLogReplyEnd for a level-2 record), 0 when no
// viewer runs or it failed to answer.
int SendToLogViewer(int level, std::string_view text);

}  // namespace tarn
