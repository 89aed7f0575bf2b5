#pragma once
// What the crash report needs of the viewer connection. Every function here
// is async-signal-safe: the crash report runs in a signal handler and opens
// a connection of its own, so it never waits for the lock of the ordinary
// log call (which the crashing thread may hold).
namespace tarn::crash_link {

// A fresh connection to the running viewer after its ready answer, or -1
// when no viewer runs or it does not answer.
int Connect();

// Sends one record and waits for its answer; false when the viewer failed.
bool Send(int fd, int level, const char* text, unsigned long length);

// Sends `text` at level 2 and waits for the end answer; a viewer that does
// not answer is terminated. Closes `fd` (may be -1).
void StopViewer(int fd, const char* text, unsigned long length);

}  // namespace tarn::crash_link
