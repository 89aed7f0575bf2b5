#pragma once
// A window for the playback core in tests: a message queue on the test's
// thread as the host window, message boxes answered from a script, and a
// callback that records what the core told it.
#include <deque>
#include <string>
#include <vector>

#include "platform/message_queue.h"
#include "playback/current_core.h"
#include "playback/dvd_mpc_core.h"

namespace tarn::test {

class TestWindow : public IHostWindow, public ICoreOwner, public IDvdMpcCallback {
 public:
  explicit TestWindow(int32_t width = 640, int32_t height = 480);

  platform::QueueId QueueId() const override { return queue.Id(); }
  void ClientSize(int32_t* w, int32_t* h) const override {
    *w = width;
    *h = height;
  }
  int32_t MessageBox(const std::string& text, const std::string& caption, int32_t icon, int32_t buttons) override;

  void OnTimeUpdate() override { notes.push_back("time"); }
  void OnOperationInhibited() override { notes.push_back("inhibited"); }
  void OnVideoWindowClose() override { notes.push_back("close"); }
  void OnContextMenu() override { notes.push_back("context"); }
  void OnDomainChange(int32_t domain) override { notes.push_back("domain " + std::to_string(domain)); }
  void OnTitleChange(uint32_t title) override { notes.push_back("title " + std::to_string(title)); }
  void OnChapterStart(uint32_t chapter) override { notes.push_back("chapter " + std::to_string(chapter)); }
  void OnError() override { notes.push_back("error"); }
  void OnWarning() override { notes.push_back("warning"); }
  void OnButtonChange() override { notes.push_back("button"); }

  int32_t width, height;
  std::deque<int32_t> answers;  // message box answers, in order; OK / No when empty
  std::vector<std::string> boxes;  // "caption|text"
  std::vector<std::string> notes;
  platform::MessageQueue queue;
};

}  // namespace tarn::test
