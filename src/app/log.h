#pragma once
// The log call: any thread formats one diagnostic record and hands it to the
// log viewer. Level 0 is information, 1 an error, 2 a control record for the
// viewer. Texts are cut to 5,119 characters. Diagnostic texts end in "\n".
#include <cstdarg>
#include <functional>
#include <string>

namespace tarn {

enum LogLevel { kLogInfo = 0, kLogError = 1, kLogControl = 2 };

// Returns the viewer's reply (1 when it took the record), 0 when the record
// was dropped because no viewer runs.
int Log(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
int LogV(int level, const char* format, va_list args);

// Observers see every formatted record, viewer or not; they run on the
// logging thread. Used by tests and by the command-line front end, which
// shows errors on stderr.
using LogObserver = std::function<void(int level, const std::string& text)>;
int AddLogObserver(LogObserver observer);
void RemoveLogObserver(int handle);

}  // namespace tarn
