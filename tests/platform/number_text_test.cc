#include "platform/number_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace tarn::platform {
namespace {

TEST(NumberText, ParsesLikeTheSettingsFileExpects) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"8", 8}, {"  -3", -3}, {"+12", 12}, {"7abc", 7}, {"abc", 0}, {"", 0}, {"9999999999999", 2147483647},
      {"-9999999999999", -2147483647 - 1}, {"0x10", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseInt32(c.text), c.value) << c.text;
  EXPECT_EQ(ParseInt64("1733900000"), 1733900000);
  EXPECT_EQ(ParseInt64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(ParseInt64("99999999999999999999"), std::numeric_limits<int64_t>::max());
  EXPECT_DOUBLE_EQ(ParseDouble("29.97"), 29.97);
  EXPECT_DOUBLE_EQ(ParseDouble("12.2k"), 12.2);
  EXPECT_DOUBLE_EQ(ParseDouble("Original"), 0.0);
}

}  // namespace
}  // namespace tarn::platform
