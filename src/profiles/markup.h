#pragma once
// A small read-only XML document. The whole text is kept in one string and
// a flat table of element positions is built beside it by one parsing pass;
// navigation moves a cursor over that table, and attribute values are cut
// out of the text and entity-decoded only when asked for. Used by the
// profile catalogue; there is no writer.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarn {

class CMarkup {
 public:
  // One element: indexes into the document text (startTag*, endTag*) and
  // into the element table (parent, firstChild, nextSibling; 0 is none).
  // Entry 0 is a virtual document node whose firstChild is the root element.
  // For an empty element tag endTagBegin is the "/" and endTagEnd the ">" of
  // the start tag. While an element's content is parsed, endTagBegin holds
  // the scan position.
  struct ElemPos {
    int32_t startTagBegin = 0, startTagEnd = 0, endTagBegin = 0, endTagEnd = 0, parent = 0, firstChild = 0,
            nextSibling = 0;
  };

  // Node kinds of the cursor's current position.
  static constexpr int32_t kNodeNone = 0;
  static constexpr int32_t kNodeElement = 1;

  // Replaces the document and parses its first top-level element; true when
  // a root element was parsed. On failure Error() says why (it stays empty
  // for an empty text or one whose first tag is an end tag) and the
  // document has no elements.
  bool SetDocument(const std::string& text);
  // Reads a file (UTF-16LE with FF FE, else UTF-8, with or without its
  // byte-order mark) and sets it as the document; logs why when it fails.
  bool LoadDocumentFile(const std::string& path);

  // Cursor: back to the document node, nothing current.
  void ResetPosition();
  // Next element at the cursor's level (after the current one, or the
  // parent's first child when nothing is current) whose name matches; an
  // empty name matches any element. The cursor is unchanged on failure.
  bool FindElement(std::string_view name = {});
  // Steps into the current element; the old child position becomes current.
  bool EnterElement();
  // Steps out to the parent, which becomes current.
  bool LeaveElement();

  // Name of the current element, empty when nothing is current.
  std::string CurrentTagName() const;
  // Decoded value of a quoted attribute of the current element; empty when
  // there is no current element or no such attribute.
  std::string GetAttribute(std::string_view name) const;

  const std::string& Error() const { return error_; }
  const std::string& Document() const { return doc_; }

  // Inspection of the table and cursor.
  int32_t ElementCount() const { return nextFree_; }  // entries in use, entry 0 included
  // The entry at `index`. An index outside the entries in use is a
  // programming error: it throws std::invalid_argument when built with
  // TARN_DEBUG_CHECKS and yields nullptr otherwise.
  const ElemPos* ElementAt(int32_t index) const;
  int32_t ParentPosition() const { return parent_; }
  int32_t CurrentPosition() const { return current_; }
  int32_t ChildPosition() const { return child_; }
  int32_t NodeKind() const { return nodeKind_; }
  size_t TableCapacity() const { return table_.size(); }

 private:
  int32_t ParseRoot();
  int32_t ParseStartTag(int32_t parent, bool* hasContent);
  int32_t ParseEndTag(int32_t n);
  int32_t Fail(const char* message, int32_t n);
  std::string_view TagNameAt(int32_t index) const;
  bool InTable(int32_t index) const;

  std::string doc_;
  std::string error_;
  std::vector<ElemPos> table_;
  int32_t parent_ = 0;
  int32_t current_ = 0;
  int32_t child_ = 0;
  int32_t nextFree_ = 1;
  int32_t nodeKind_ = kNodeNone;
};

}  // namespace tarn
