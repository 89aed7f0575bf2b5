#pragma once
// The hosting window the title seek tests run the seek in.
#include <cstdint>
#include <string>
#include <vector>

#include "app/user_messages.h"
#include "convert/rip_job.h"
#include "core_test_support.h"
#include "platform/named_event.h"
#include "playback/safe_search.h"

namespace tarn::test {

// A hosting window as the title seek sees it: it signals its seek event from
// its title and domain callbacks and notes the messages the seek sends.
class SeekWindow : public TestWindow, public ISeekHost {
 public:
  void OnTitleChange(uint32_t title) override {
    TestWindow::OnTitleChange(title);
    SignalSeekEvent(seekEvent);
  }
  void OnDomainChange(int32_t domain) override {
    TestWindow::OnDomainChange(domain);
    SignalSeekEvent(seekEvent);
  }
  intptr_t SendToWindow(uint32_t message, intptr_t wparam, intptr_t) override {
    sent.push_back(message);
    if (message == UM_JOB_RESULT) jobResult = wparam;
    return 0;
  }
  int32_t MessageBox(const std::string& text, const std::string& caption) override {
    return TestWindow::MessageBox(text, caption, kIconInformation, kButtonsOk);
  }
  using TestWindow::MessageBox;
  const std::vector<RipJob>* Jobs() override { return &jobs; }
  void StartCropOverlay(CDvdMpcCore&) override { sent.push_back(0); }  // 0 marks the overlay start

  platform::AutoResetEvent seekEvent;
  std::vector<uint32_t> sent;
  std::vector<RipJob> jobs;
  intptr_t jobResult = -1;
};

}  // namespace tarn::test
