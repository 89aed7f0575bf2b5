#pragma once
// Token scanning over document text, shared by the XML parser and the
// attribute lookup. Indexes are byte offsets into UTF-8 text; every
// delimiter is ASCII, so a scan never splits a multi-byte character. Every
// scan is bounded by the text length, whatever the text holds.
#include <cstdint>
#include <string_view>

namespace tarn::markup {

struct Token {
  int32_t begin = 0;  // first character of the token
  int32_t end = 0;    // one past its last character
  int32_t next = 0;   // where the following scan starts
  bool quoted = false;
  int32_t length() const { return end - begin; }
};

// Scans the token at or after `from`. White space is skipped; a quoted token
// is the text between the quotes (to the end of the text when the closing
// quote is missing); otherwise the token runs to the next delimiter and is a
// single character when it starts with one. False at the end of the text,
// with begin, end and next all set to the text length.
bool ScanToken(std::string_view text, int32_t from, Token* token);

// The text of a scanned token.
inline std::string_view TokenText(std::string_view text, const Token& token) {
  return text.substr(static_cast<size_t>(token.begin), static_cast<size_t>(token.length()));
}

// Whether a name token names `wanted`: the token equals the start of
// `wanted`, and `wanted` ends there or goes on with " ", "=", "/" or "[".
bool NameMatches(std::string_view token, std::string_view wanted);

// The index just after the comment, CDATA section, processing instruction or
// declaration whose "<" is at `lt`; -1 when it is not closed.
int32_t SkipSpecialNode(std::string_view text, int32_t lt);

// Index of the first `c` at or after `from`, or -1.
int32_t FindChar(std::string_view text, char c, int32_t from);

}  // namespace tarn::markup
