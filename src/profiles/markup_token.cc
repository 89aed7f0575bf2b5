#include "profiles/markup_token.h"

namespace tarn::markup {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsDelimiter(char c) {
  switch (c) {
    case '<': case '>': case '=': case '\\': case '/': case '?': case '!':
      return true;
    default:
      return IsSpace(c);
  }
}

// Index just after the next `close` at or after `from`, or -1.
int32_t After(std::string_view text, std::string_view close, int32_t from) {
  size_t at = text.find(close, static_cast<size_t>(from));
  return at == std::string_view::npos ? -1 : static_cast<int32_t>(at + close.size());
}

}  // namespace

bool ScanToken(std::string_view text, int32_t from, Token* token) {
  const int32_t n = static_cast<int32_t>(text.size());
  int32_t i = from < 0 ? 0 : (from > n ? n : from);
  while (i < n && IsSpace(text[i])) ++i;
  if (i >= n) {
    *token = {n, n, n, false};
    return false;
  }
  const char c = text[i];
  if (c == '"' || c == '\'') {
    const int32_t begin = i + 1;
    size_t close = text.find(c, static_cast<size_t>(begin));
    if (close == std::string_view::npos)
      *token = {begin, n, n, true};
    else
      *token = {begin, static_cast<int32_t>(close), static_cast<int32_t>(close) + 1, true};
    return true;
  }
  int32_t j = i;
  while (j < n && !IsDelimiter(text[j])) ++j;
  if (j == i) ++j;  // a delimiter is a token of its own
  *token = {i, j, j, false};
  return true;
}

bool NameMatches(std::string_view token, std::string_view wanted) {
  const size_t length = token.size();
  if (wanted.size() < length || wanted.compare(0, length, token) != 0) return false;
  if (wanted.size() == length) return true;
  const char c = wanted[length];
  return c == ' ' || c == '=' || c == '/' || c == '[';
}

int32_t SkipSpecialNode(std::string_view text, int32_t lt) {
  const int32_t n = static_cast<int32_t>(text.size());
  if (lt < 0 || lt + 3 > n) return -1;  // the text ends within "<" and two more
  const char kind = text[lt + 1];
  if (kind == '?') return After(text, "?>", lt + 2);
  if (kind != '!') return -1;
  if (text[lt + 2] == '[') return After(text, "]]>", lt + 3);
  if (text[lt + 2] == '-') return After(text, "-->", lt + 3);
  // A declaration such as <!DOCTYPE ...>, whose internal subset in brackets
  // may hold ">" characters of its own.
  int depth = 0;
  Token token;
  int32_t from = lt + 2;
  while (ScanToken(text, from, &token)) {
    from = token.next;
    if (token.quoted) continue;
    const char first = text[token.begin];
    if (first == '[')
      ++depth;
    else if (first == ']')
      --depth;
    else if (first == '>' && depth == 0)
      return token.next;
  }
  return -1;
}

int32_t FindChar(std::string_view text, char c, int32_t from) {
  if (from < 0) from = 0;
  if (static_cast<size_t>(from) >= text.size()) return -1;
  size_t at = text.find(c, static_cast<size_t>(from));
  return at == std::string_view::npos ? -1 : static_cast<int32_t>(at);
}

}  // namespace tarn::markup
