#include "app/link_info.h"

#include <gtest/gtest.h>

#include "app/log_message_box.h"
#include "test_support.h"

namespace tarn {
namespace {

TEST(LinkInfo, ReadsTheShippedFile) {
  EXPECT_EQ(ReadLinkInfo(test::ProgramDir(), "Title"), "Tarn Orvane 1.0.0");
  EXPECT_EQ(ReadLinkInfo(test::ProgramDir(), "version"), "1.0.0");  // keys ignore case
  EXPECT_EQ(ReadLinkInfo(test::ProgramDir(), "Home page"), "http://www.tarnsoftware.example/");
  EXPECT_FALSE(ReadLinkInfo(test::ProgramDir(), "Support").empty());
}

TEST(LinkInfo, CutsLongValuesAndReportsAMissingFile) {
  test::TempDir programs;
  std::vector<std::string> shown;
  SetMessageBoxHook([&](const std::string& text) { shown.push_back(text); });
  EXPECT_EQ(ReadLinkInfo(programs.path(), "Title"), "");
  EXPECT_FALSE(TryReadLinkInfo(programs.path(), "Title").has_value());
  SetMessageBoxHook({});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Cannot find ini file: " + programs.path() + "link.ini!");

  test::WriteFile(programs / "link.ini", "[Link]\nTitle=" + std::string(300, 't') + "\n");
  EXPECT_EQ(ReadLinkInfo(programs.path(), "Title"), std::string(255, 't'));
  EXPECT_EQ(ReadLinkInfo(programs.path(), "Version"), "");
}

}  // namespace
}  // namespace tarn
