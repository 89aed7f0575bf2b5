#pragma once
// The log record as it travels to the log viewer: a little-endian int32
// level followed by 5,120 UTF-16LE code units, 10,244 bytes exactly. The text
// holds at most 5,119 units, so the record is always zero-terminated.
//
// Encoding allocates nothing, so the crash report can build records from a
// signal handler.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarn {

inline constexpr size_t kLogRecordUnits = 5120;
inline constexpr size_t kLogTextMaxUnits = kLogRecordUnits - 1;
inline constexpr size_t kLogRecordBytes = 4 + 2 * kLogRecordUnits;  // 10,244

// Enough UTF-8 bytes to hold any text of kLogTextMaxUnits units (a BMP
// character takes at most 3 bytes for its one unit), plus the terminator.
inline constexpr size_t kLogFormatBytes = 3 * kLogTextMaxUnits + 4;

// The viewer's 4-byte answers (little-endian int32).
enum LogViewerReply : int32_t {
  kLogReplyTaken = 1,  // the record was written
  kLogReplyReady = 2,  // sent once on every new connection
  kLogReplyEnd = 3,    // answer to a level-2 record; the viewer then exits
};

// Length in bytes of the longest prefix of `utf8` that fits in `maxUnits`
// UTF-16 units, ending on a code-point boundary. An invalid byte counts as
// one unit (it becomes U+FFFD).
size_t Utf8PrefixForUnits(std::string_view utf8, size_t maxUnits);

// Fills `out` (kLogRecordBytes) with the level and the text cut to
// kLogTextMaxUnits units; the rest of the text area is zero.
void EncodeLogRecord(int32_t level, std::string_view utf8, unsigned char* out);

struct DecodedLogRecord {
  int32_t level = 0;
  std::string text;  // UTF-8, up to the first zero unit
};
DecodedLogRecord DecodeLogRecord(const unsigned char* record);

void PutInt32Le(int32_t value, unsigned char* out);
int32_t GetInt32Le(const unsigned char* in);

}  // namespace tarn
