#pragma once
// What the playback core tells the window that plays a disc. Every window
// that plays implements the operations it cares about; each one defaults to
// doing nothing. The order of the operations is fixed (slot 3 is a query the
// core never makes).
#include <cstdint>

namespace tarn {

struct DvdMpcQueryRecord {
  uint32_t values[4] = {0, 0, 0, 0};
};

class IDvdMpcCallback {
 public:
  virtual void OnTimeUpdate() {}                             // 0: a new current time code arrived
  virtual void OnOperationInhibited() {}                     // 1: a chapter or title jump was refused
  virtual void OnVideoWindowClose() {}                       // 2: the video window was asked to close
  virtual DvdMpcQueryRecord Query() { return {}; }           // 3: never called by the core
  virtual void OnContextMenu() {}                            // 4: right button pressed on the video
  virtual void OnDomainChange(int32_t domain) {}             // 5: domain changed (not in record mode)
  virtual void OnTitleChange(uint32_t title) {}              // 6: title changed
  virtual void OnChapterStart(uint32_t chapter) {}           // 7: a chapter started
  virtual void OnSubpictureChange() {}                       // 8
  virtual void OnAudioChange() {}                            // 9
  virtual void OnAngleChange() {}                            // 10
  virtual void OnAnglesAvailable() {}                        // 11
  virtual void OnValidUopsChange() {}                        // 12
  virtual void OnError() {}                                  // 13: the navigator reported an error
  virtual void OnWarning() {}                                // 14: the navigator reported a warning
  virtual void OnRateChange(int32_t rate) {}                 // 15
  virtual void OnButtonChange() {}                           // 16: menu buttons changed

 protected:
  ~IDvdMpcCallback() = default;
};

}  // namespace tarn
