// The record layout and the cut at 5,119 UTF-16 units.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/log.h"
#include "app/log_record.h"
#include "platform/text_encoding.h"
#include "test_support.h"

namespace tarn {
namespace {

std::string Repeat(const std::string& piece, size_t times) {
  std::string s;
  for (size_t i = 0; i < times; ++i) s += piece;
  return s;
}

struct CutCase {
  const char* name;
  std::string text;
  std::string expected;  // the text after the cut
};

TEST(LogRecord, CutsAtTheLastWholeCharacterWithin5119Units) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600, two units
  const std::vector<CutCase> cases = {
      {"short", "hello\n", "hello\n"},
      {"exactly 5119", Repeat("a", 5119), Repeat("a", 5119)},
      {"ascii 6000", Repeat("a", 6000), Repeat("a", 5119)},
      {"two-byte characters count one unit", Repeat("\xC3\xA9", 6000), Repeat("\xC3\xA9", 5119)},
      {"three-byte characters count one unit", Repeat("\xE2\x82\xAC", 6000), Repeat("\xE2\x82\xAC", 5119)},
      {"pairs filling all 5119 units", "a" + Repeat(emoji, 2600), "a" + Repeat(emoji, 2559)},
      {"pair that would straddle the limit", Repeat(emoji, 2600), Repeat(emoji, 2559)},
  };
  for (const CutCase& c : cases) {
    SCOPED_TRACE(c.name);
    unsigned char record[kLogRecordBytes + 8];
    std::fill(std::begin(record), std::end(record), 0xAB);
    EncodeLogRecord(7, c.text, record);
    EXPECT_EQ(record[kLogRecordBytes], 0xAB) << "wrote past the record";
    EXPECT_EQ(GetInt32Le(record), 7);
    // The last unit is always the terminator.
    EXPECT_EQ(record[kLogRecordBytes - 2], 0);
    EXPECT_EQ(record[kLogRecordBytes - 1], 0);
    DecodedLogRecord back = DecodeLogRecord(record);
    EXPECT_EQ(back.text, c.expected);
    EXPECT_LE(platform::Utf8ToUtf16(back.text).size(), kLogTextMaxUnits);
    EXPECT_EQ(c.text.substr(0, Utf8PrefixForUnits(c.text, kLogTextMaxUnits)), c.expected);
  }
}

TEST(LogRecord, IsTenThousand244BytesLittleEndianAndZeroFilled) {
  EXPECT_EQ(kLogRecordBytes, 10244u);
  unsigned char record[kLogRecordBytes];
  std::fill(std::begin(record), std::end(record), 0xFF);
  EncodeLogRecord(0x01020304, "A\xC3\xA9", record);
  const unsigned char head[] = {0x04, 0x03, 0x02, 0x01, 'A', 0, 0xE9, 0};
  EXPECT_EQ(std::string(record, record + 8), std::string(head, head + 8));
  for (size_t i = 8; i < kLogRecordBytes; ++i) ASSERT_EQ(record[i], 0) << "byte " << i;
}

TEST(LogRecord, InvalidUtf8BecomesReplacementCharacters) {
  unsigned char record[kLogRecordBytes];
  EncodeLogRecord(0, "a\xFF" "b\xE2\x82", record);  // a stray byte and a cut-short character
  EXPECT_EQ(DecodeLogRecord(record).text, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(LogCall, ObserversSeeTheCutTextWithoutAViewer) {
  test::LogCapture capture;
  EXPECT_EQ(Log(1, "%s", std::string(6000, 'z').c_str()), 0);  // no viewer: nothing sent
  auto records = capture.records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].first, 1);
  EXPECT_EQ(records[0].second, std::string(5119, 'z'));
}

}  // namespace
}  // namespace tarn
