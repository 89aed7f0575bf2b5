// Feeds arbitrary text to the XML document, walks the whole element tree
// and reads a few attributes of every element. Also checks that the table
// stays consistent with the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "profiles/markup.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

void CheckTable(const tarn::CMarkup& xml) {
  const int32_t size = static_cast<int32_t>(xml.Document().size());
  for (int32_t i = 1; i < xml.ElementCount(); ++i) {
    const tarn::CMarkup::ElemPos& e = *xml.ElementAt(i);
    Check(e.startTagBegin >= 0 && e.startTagBegin < e.startTagEnd && e.startTagEnd <= e.endTagEnd);
    Check(e.endTagBegin <= e.endTagEnd && e.endTagEnd < size);
    Check(e.parent >= 0 && e.parent < i);
    Check(e.firstChild == 0 || (e.firstChild > i && e.firstChild < xml.ElementCount()));
    Check(e.nextSibling == 0 || (e.nextSibling > i && e.nextSibling < xml.ElementCount()));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tarn::CMarkup xml;
  const bool parsed = xml.SetDocument(std::string(reinterpret_cast<const char*>(data), size));
  Check(parsed || xml.ElementCount() == 1);
  if (parsed) CheckTable(xml);
  static const char* const kNames[] = {"name", "value", "x", "id", "ListIndex"};
  for (;;) {
    if (xml.FindElement()) {
      Check(!xml.CurrentTagName().empty());
      for (const char* name : kNames) (void)xml.GetAttribute(name);
      Check(xml.EnterElement());
    } else if (!xml.LeaveElement()) {
      break;
    }
  }
  xml.ResetPosition();
  (void)xml.FindElement("profile");
  return 0;
}
