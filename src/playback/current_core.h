#pragma once
// The one live playback core of the process and the virtual clock of its
// graph. The window that opens a disc publishes its core here; the frame
// callbacks, the encoder callbacks and the title seek reach the core and the
// clock only through these two pointers.
namespace tarn {

class CDvdMpcCore;
class CVirtualClock;

CDvdMpcCore* CurrentCore();
void SetCurrentCore(CDvdMpcCore* core);

// Set by the core's Open once the clock is the graph's sync source, cleared
// by its Close; null while no graph exists.
CVirtualClock* CurrentClock();
void SetCurrentClock(CVirtualClock* clock);

}  // namespace tarn
