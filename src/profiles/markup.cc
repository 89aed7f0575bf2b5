#include "profiles/markup.h"

#include <limits>
#include <stdexcept>

#include "profiles/markup_token.h"

namespace tarn {
namespace {

using markup::FindChar;
using markup::NameMatches;
using markup::ScanToken;
using markup::Token;
using markup::TokenText;

// Fills the "%s" of a parse message with an element name.
std::string FillName(const char* pattern, std::string_view name) {
  std::string text(pattern);
  const size_t at = text.find("%s");
  if (at != std::string::npos) text.replace(at, 2, name);
  return text;
}

// Replaces the five predefined entity references; anything else after "&"
// (numeric references included) stays as it is.
std::string DecodeEntities(std::string_view value) {
  struct Reference {
    std::string_view name;
    char character;
  };
  static constexpr Reference kReferences[] = {
      {"lt;", '<'}, {"amp;", '&'}, {"gt;", '>'}, {"apos;", '\''}, {"quot;", '"'}};
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '&') {
      const std::string_view rest = value.substr(i + 1);
      bool replaced = false;
      for (const Reference& r : kReferences) {
        if (rest.starts_with(r.name)) {
          out += r.character;
          i += r.name.size();
          replaced = true;
          break;
        }
      }
      if (replaced) continue;
    }
    out += value[i];
  }
  return out;
}

}  // namespace

bool CMarkup::SetDocument(const std::string& text) {
  nextFree_ = 1;
  ResetPosition();
  error_.clear();
  if (table_.empty()) table_.resize(1);
  table_[0] = {};
  // Positions are 32-bit; a text that does not fit is refused whole.
  if (text.size() >= static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    doc_.clear();
    error_ = "Document too large";
    return false;
  }
  doc_ = text;
  const size_t wanted = doc_.size() / 64 + 8;
  if (table_.size() < wanted) table_.resize(wanted);
  if (doc_.empty()) return false;

  const int32_t root = ParseRoot();
  if (root > 0) {
    table_[0].firstChild = root;
    ResetPosition();
    return true;
  }
  table_[0] = {};
  nextFree_ = 1;
  ResetPosition();
  return false;
}

// Parses one element under the document node with all its content. The
// nesting is kept on an explicit stack rather than the call stack, so that
// a deeply nested (or hostile) document cannot overflow it. Returns the
// element's entry, 0 when the first tag is an end tag, -1 on error.
int32_t CMarkup::ParseRoot() {
  struct OpenElement {
    int32_t index;
    int32_t lastChild;
  };
  std::vector<OpenElement> open;
  int32_t parent = 0;
  for (;;) {
    bool hasContent = false;
    int32_t result = ParseStartTag(parent, &hasContent);
    if (result > 0 && hasContent) {
      open.push_back({result, 0});
      parent = result;
      continue;
    }
    // Hand the result to the enclosing element; every end tag met closes
    // one open element and hands that one on in turn.
    for (;;) {
      if (open.empty()) return result;
      if (result < 0) return -1;
      OpenElement& top = open.back();
      if (result > 0) {
        if (top.lastChild == 0)
          table_[top.index].firstChild = result;
        else
          table_[top.lastChild].nextSibling = result;
        top.lastChild = result;
        table_[top.index].endTagBegin = table_[result].endTagEnd + 1;
        parent = top.index;
        break;
      }
      result = ParseEndTag(top.index);
      open.pop_back();
    }
  }
}

// Takes a table entry under `parent` and parses the next start tag from the
// parent's scan position, skipping text and special nodes before it.
// Returns the entry (with *hasContent set when an end tag must follow its
// content), 0 when an end tag comes first (the entry is given back), or -1.
int32_t CMarkup::ParseStartTag(int32_t parent, bool* hasContent) {
  if (static_cast<size_t>(nextFree_) >= table_.size())
    table_.resize(static_cast<size_t>(nextFree_) + static_cast<size_t>(nextFree_ / 2 > 0 ? nextFree_ / 2 : 1));
  const int32_t n = nextFree_++;
  int32_t scan = table_[parent].endTagBegin;
  table_[n].parent = parent;
  table_[n].firstChild = 0;
  table_[n].nextSibling = 0;
  for (;;) {
    const int32_t lt = FindChar(doc_, '<', scan);
    if (lt < 0) return Fail("Element tag not found", n);
    table_[n].startTagBegin = lt;
    table_[parent].endTagBegin = lt;
    Token token;
    if (!ScanToken(doc_, lt + 1, &token)) return Fail("Abrupt end within tag", n);
    if (token.quoted) return Fail("Tag starts with quote", n);
    const char first = doc_[token.begin];
    if (first == '!' || first == '?') {
      const int32_t after = markup::SkipSpecialNode(doc_, lt);
      if (after < 0) return Fail("Invalid node", n);
      scan = after;
      continue;
    }
    if (first == '/') {
      --nextFree_;
      return 0;
    }
    // A plain search: a ">" inside a quoted attribute value ends the tag.
    const int32_t gt = FindChar(doc_, '>', token.end);
    if (gt < 0) return Fail("End of tag not found", n);
    table_[n].startTagEnd = gt;
    if (doc_[gt - 1] == '/') {
      table_[n].endTagBegin = gt - 1;
      table_[n].endTagEnd = gt;
      return n;
    }
    table_[n].endTagBegin = gt + 1;
    *hasContent = true;
    return n;
  }
}

// Parses the end tag of element n, which starts at or after its scan
// position. Returns n, or -1.
int32_t CMarkup::ParseEndTag(int32_t n) {
  const int32_t lt = FindChar(doc_, '<', table_[n].endTagBegin);
  if (lt < 0) return Fail("End tag of %s element not found", n);
  table_[n].endTagBegin = lt;
  const std::string_view name = TagNameAt(n);
  Token token;
  int32_t from = lt + 1;
  int unquoted = 0;
  while (ScanToken(doc_, from, &token)) {
    from = token.next;
    if (token.quoted) continue;
    ++unquoted;
    const std::string_view text = TokenText(doc_, token);
    if (unquoted == 1) {
      if (text != "/") return Fail("Expecting end tag of element %s", n);
      continue;
    }
    if (text[0] == '>') {
      if (unquoted == 2) break;  // the ">" came before the name
      table_[n].endTagEnd = token.begin;
      return n;
    }
    if (unquoted == 2 && !NameMatches(text, name)) return Fail("End tag does not correspond to %s", n);
  }
  return Fail("End tag not completed for element %s", n);
}

int32_t CMarkup::Fail(const char* message, int32_t n) {
  error_ = FillName(message, TagNameAt(n));
  --nextFree_;
  return -1;
}

std::string_view CMarkup::TagNameAt(int32_t index) const {
  Token token;
  if (!ScanToken(doc_, table_[index].startTagBegin + 1, &token) || token.quoted) return {};
  return TokenText(doc_, token);
}

bool CMarkup::InTable(int32_t index) const {
  if (index >= 0 && index < nextFree_ && static_cast<size_t>(index) < table_.size()) return true;
#ifdef TARN_DEBUG_CHECKS
  throw std::invalid_argument("CMarkup: element index " + std::to_string(index) + " outside the table");
#else
  return false;
#endif
}

const CMarkup::ElemPos* CMarkup::ElementAt(int32_t index) const {
  return InTable(index) ? &table_[index] : nullptr;
}

void CMarkup::ResetPosition() {
  parent_ = 0;
  current_ = 0;
  child_ = 0;
  nodeKind_ = kNodeNone;
}

bool CMarkup::FindElement(std::string_view name) {
  int32_t pos;
  if (current_) {
    if (!InTable(current_)) return false;
    pos = table_[current_].nextSibling;
  } else {
    if (!InTable(parent_)) return false;
    pos = table_[parent_].firstChild;
  }
  while (pos > 0) {
    if (!InTable(pos)) return false;
    if (name.empty() || NameMatches(TagNameAt(pos), name)) {
      current_ = pos;
      child_ = 0;
      nodeKind_ = kNodeElement;
      return true;
    }
    pos = table_[pos].nextSibling;
  }
  return false;
}

bool CMarkup::EnterElement() {
  if (!current_ || nodeKind_ != kNodeElement) return false;
  parent_ = current_;
  current_ = child_;
  child_ = 0;
  nodeKind_ = current_ ? kNodeElement : kNodeNone;
  return true;
}

bool CMarkup::LeaveElement() {
  if (!parent_ || !InTable(parent_)) return false;
  child_ = current_;
  current_ = parent_;
  parent_ = table_[current_].parent;
  nodeKind_ = current_ ? kNodeElement : kNodeNone;
  return true;
}

std::string CMarkup::CurrentTagName() const {
  if (!current_ || !InTable(current_)) return {};
  return std::string(TagNameAt(current_));
}

// Tokens after the element name: a name that matches, "=", then the value
// in quotes. An unquoted value is never found; "/", ">" or "?" end the tag.
std::string CMarkup::GetAttribute(std::string_view name) const {
  if (!current_ || nodeKind_ != kNodeElement || !InTable(current_)) return {};
  Token token;
  if (!ScanToken(doc_, table_[current_].startTagBegin + 1, &token)) return {};
  int32_t from = token.next;
  int number = 0;
  int matched = -1;
  while (ScanToken(doc_, from, &token)) {
    from = token.next;
    ++number;
    const std::string_view text = TokenText(doc_, token);
    if (token.quoted) {
      if (matched >= 0 && number == matched + 2) return DecodeEntities(text);
      continue;
    }
    if (text[0] == '/' || text[0] == '>' || text[0] == '?') return {};
    if (text == "=") continue;
    if (matched < 0 && NameMatches(text, name)) matched = number;
  }
  return {};
}

}  // namespace tarn
