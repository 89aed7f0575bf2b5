#include "core_test_support.h"

namespace tarn::test {

TestWindow::TestWindow(int32_t w, int32_t h)
    : width(w), height(h), queue([](const platform::Message& m) -> intptr_t {
        if (m.message == UM_DVD_GRAPH_EVENT && CurrentCore()) return CurrentCore()->HandleGraphEvent();
        return 0;
      }) {}

int32_t TestWindow::MessageBox(const std::string& text, const std::string& caption, int32_t, int32_t buttons) {
  boxes.push_back(caption + "|" + text);
  if (!answers.empty()) {
    const int32_t answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return buttons == kButtonsYesNo ? kAnswerNo : kAnswerOk;
}

}  // namespace tarn::test
