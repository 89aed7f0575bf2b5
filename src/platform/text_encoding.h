#pragma once
// Conversions between the UTF-8 used in the core and the UTF-16 of the
// files and records that carry UTF-16 (profile files with a byte-order mark,
// log records).
#include <cstdint>
#include <string>

namespace tarn::platform {
// Appends one code point (U+FFFD for a surrogate or a value past U+10FFFF).
void AppendUtf8(std::string& out, uint32_t codePoint);
std::string Utf16ToUtf8(const std::u16string& text);
std::u16string Utf8ToUtf16(const std::string& text);
// Number of code points in UTF-8 text (invalid bytes count one each).
size_t Utf8Length(const std::string& text);
}  // namespace tarn::platform
