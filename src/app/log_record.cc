#include "app/log_record.h"

#include <cstring>

#include "platform/text_encoding.h"

namespace tarn {
namespace {

// Decodes one code point at `i`; returns its byte length (1 for an invalid
// byte, which stands for U+FFFD) and stores it in `cp`.
size_t NextCodePoint(std::string_view s, size_t i, uint32_t& cp) {
  unsigned char b = static_cast<unsigned char>(s[i]);
  size_t extra;
  if (b < 0x80) { cp = b; return 1; }
  if ((b & 0xE0) == 0xC0) { cp = b & 0x1F; extra = 1; }
  else if ((b & 0xF0) == 0xE0) { cp = b & 0x0F; extra = 2; }
  else if ((b & 0xF8) == 0xF0) { cp = b & 0x07; extra = 3; }
  else { cp = 0xFFFD; return 1; }
  if (i + extra >= s.size()) { cp = 0xFFFD; return 1; }  // cut short
  for (size_t k = 1; k <= extra; ++k) {
    unsigned char c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) { cp = 0xFFFD; return 1; }
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;  // not a character
  return extra + 1;
}

}  // namespace

size_t Utf8PrefixForUnits(std::string_view utf8, size_t maxUnits) {
  size_t i = 0, units = 0;
  while (i < utf8.size()) {
    uint32_t cp;
    size_t len = NextCodePoint(utf8, i, cp);
    size_t need = cp >= 0x10000 ? 2 : 1;
    if (units + need > maxUnits) break;
    units += need;
    i += len;
  }
  return i;
}

void PutInt32Le(int32_t value, unsigned char* out) {
  uint32_t v = static_cast<uint32_t>(value);
  for (int k = 0; k < 4; ++k) out[k] = static_cast<unsigned char>(v >> (8 * k));
}

int32_t GetInt32Le(const unsigned char* in) {
  uint32_t v = 0;
  for (int k = 0; k < 4; ++k) v |= static_cast<uint32_t>(in[k]) << (8 * k);
  return static_cast<int32_t>(v);
}

void EncodeLogRecord(int32_t level, std::string_view utf8, unsigned char* out) {
  std::memset(out, 0, kLogRecordBytes);
  PutInt32Le(level, out);
  unsigned char* text = out + 4;
  size_t units = 0, i = 0;
  auto put = [&](uint32_t unit) {
    text[2 * units] = static_cast<unsigned char>(unit & 0xFF);
    text[2 * units + 1] = static_cast<unsigned char>(unit >> 8);
    ++units;
  };
  while (i < utf8.size()) {
    uint32_t cp;
    size_t len = NextCodePoint(utf8, i, cp);
    size_t need = cp >= 0x10000 ? 2 : 1;
    if (units + need > kLogTextMaxUnits) break;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xD800 + (cp >> 10));
      put(0xDC00 + (cp & 0x3FF));
    } else {
      put(cp);
    }
    i += len;
  }
}

DecodedLogRecord DecodeLogRecord(const unsigned char* record) {
  DecodedLogRecord r;
  r.level = GetInt32Le(record);
  std::u16string units;
  for (size_t k = 0; k < kLogRecordUnits; ++k) {
    char16_t u = static_cast<char16_t>(record[4 + 2 * k] | (record[5 + 2 * k] << 8));
    if (u == 0) break;
    units += u;
  }
  r.text = platform::Utf16ToUtf8(units);
  return r;
}

}  // namespace tarn
