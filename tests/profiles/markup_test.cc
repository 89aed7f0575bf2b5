#include "profiles/markup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace tarn {
namespace {

// The root element's attribute, read through the cursor.
std::string RootAttribute(const std::string& doc, const char* name) {
  CMarkup xml;
  EXPECT_TRUE(xml.SetDocument(doc)) << doc << ": " << xml.Error();
  EXPECT_TRUE(xml.FindElement());
  return xml.GetAttribute(name);
}

TEST(MarkupAttributeTest, ValuesAreCutAndDecoded) {
  struct Case {
    const char* doc;
    const char* name;
    std::string expected;
  };
  const Case cases[] = {
      {"<a x='1'/>", "x", "1"},
      {"<a x='&lt;&amp;&#65;'></a>", "x", "<&&#65;"},  // numeric references stay
      {"<a x=1></a>", "x", ""},                        // unquoted values are never found
      {"<a x = \"v\" />", "x", "v"},
      {"<a x='&lt;&gt;&amp;&apos;&quot;'/>", "x", "<>&'\""},
      {"<a x='&amp;lt;'/>", "x", "&lt;"},      // decoded once
      {"<a x='1&lt'/>", "x", "1&lt"},          // reference cut by the end of the value
      {"<a x='&amp' y=';'/>", "x", "&amp"},
      {"<a x='&unknown;'/>", "x", "&unknown;"},
      {"<a xy='1'/>", "x", ""},                 // prefix of a longer name
      {"<a x='1' xy='2'/>", "xy", "2"},
      {"<a y='1'/>", "x", ""},
      {"<a x='1' x='2'/>", "x", "1"},           // the first one counts
      {"<a x=\"it's\"/>", "x", "it's"},
      {"<a x='Fran\xC3\xA7" "ais'/>", "x", "Fran\xC3\xA7" "ais"},
      {"<a x='a>b'></a>", "x", "a>b"},          // the tag ends early but the value is whole
      {"<a/ x='1'></a>", "x", ""},             // "/" ends the attributes
      {"<a x='1'/>", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(RootAttribute(c.doc, c.name), c.expected) << c.doc;
}

TEST(MarkupAttributeTest, NothingWithoutCurrentElement) {
  CMarkup xml;
  ASSERT_TRUE(xml.SetDocument("<a x='1'/>"));
  EXPECT_EQ(xml.GetAttribute("x"), "");
  EXPECT_EQ(xml.CurrentTagName(), "");
  ASSERT_TRUE(xml.FindElement());
  ASSERT_TRUE(xml.EnterElement());  // inside <a>, nothing current
  EXPECT_EQ(xml.CurrentPosition(), 0);
  EXPECT_EQ(xml.GetAttribute("x"), "");
}

TEST(MarkupParseTest, ErrorsAndTheirTexts) {
  struct Case {
    const char* doc;
    const char* error;
  };
  const Case cases[] = {
      {"<a><b></c></a>", "End tag does not correspond to b"},
      {"<a></b>", "End tag does not correspond to a"},
      {"<a>", "Element tag not found"},
      {"<a><b/>", "Element tag not found"},
      {"no markup", "Element tag not found"},
      {"<", "Abrupt end within tag"},
      {"<  \r\n\t", "Abrupt end within tag"},
      {"<'a'>", "Tag starts with quote"},
      {"<a><\"b\"></a>", "Tag starts with quote"},
      {"<!-- open", "Invalid node"},
      {"<?xml version='1.0'", "Invalid node"},
      {"<![CDATA[ x ]]", "Invalid node"},
      {"<!DOCTYPE a [ <!ELEMENT a ANY> >", "Invalid node"},
      {"<!", "Invalid node"},
      {"<?", "Invalid node"},
      {"<a x='1'", "End of tag not found"},
      {"<a></a", "End tag not completed for element a"},
      {"<a></", "End tag not completed for element a"},
      {"<a></>", "End tag not completed for element a"},  // ">" before the name
      {"<a></a '>'", "End tag not completed for element a"},
      {"<r><item></item ", "End tag not completed for element item"},
  };
  for (const Case& c : cases) {
    CMarkup xml;
    EXPECT_FALSE(xml.SetDocument(c.doc)) << c.doc;
    EXPECT_EQ(xml.Error(), c.error) << c.doc;
    // A failed document has no elements at all.
    EXPECT_EQ(xml.ElementCount(), 1) << c.doc;
    EXPECT_EQ(xml.ElementAt(0)->firstChild, 0) << c.doc;
    EXPECT_FALSE(xml.FindElement()) << c.doc;
  }
}

TEST(MarkupParseTest, EmptyTextAndLeadingEndTagFailWithoutText) {
  for (const char* doc : {"", "</a>", "  </a><a/>", "<!-- c --></a>"}) {
    CMarkup xml;
    EXPECT_FALSE(xml.SetDocument(doc)) << doc;
    EXPECT_EQ(xml.Error(), "") << doc;
    EXPECT_FALSE(xml.FindElement()) << doc;
  }
}

TEST(MarkupParseTest, NewDocumentClearsTheOldError) {
  CMarkup xml;
  EXPECT_FALSE(xml.SetDocument("<a>"));
  EXPECT_TRUE(xml.SetDocument("<a/>"));
  EXPECT_EQ(xml.Error(), "");
}

TEST(MarkupParseTest, EveryTruncationFailsCleanly) {
  const std::string doc =
      "<?xml version=\"1.0\"?><!DOCTYPE p [<!ENTITY e \"]>\">]><!-- c -->"
      "<p name='a&amp;b'><![CDATA[<x/>]]><q v=\"1\"/>text<r><s/></r></p>";
  CMarkup xml;
  ASSERT_TRUE(xml.SetDocument(doc)) << xml.Error();
  for (size_t length = 0; length < doc.size(); ++length) {
    const std::string cut = doc.substr(0, length);
    EXPECT_FALSE(xml.SetDocument(cut)) << cut;
    EXPECT_FALSE(xml.FindElement()) << cut;
    EXPECT_EQ(xml.ElementCount(), 1) << cut;
  }
}

TEST(MarkupParseTest, SpecialNodesAreSkipped) {
  struct Case {
    const char* doc;
    const char* firstChild;  // name of the root's first child, "" for none
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<a/>", ""},
      {"<!-- a comment with <b/> --><a/>", ""},
      {"<!DOCTYPE a [ <!ELEMENT a ANY> <!ATTLIST a x CDATA \"]>\"> ]><a/>", ""},
      {"<!DOCTYPE a SYSTEM \"a>b.dtd\"><a/>", ""},
      {"<![CDATA[<b/>]]><a/>", ""},
      {"<a><!-- <b/> --><?pi <b/>?><![CDATA[<b/>]]><c/></a>", "c"},
      {"<a><!----><c/></a>", "c"},
  };
  for (const Case& c : cases) {
    CMarkup xml;
    ASSERT_TRUE(xml.SetDocument(c.doc)) << c.doc << ": " << xml.Error();
    ASSERT_TRUE(xml.FindElement("a")) << c.doc;
    ASSERT_TRUE(xml.EnterElement());
    EXPECT_EQ(xml.FindElement() ? xml.CurrentTagName() : "", c.firstChild) << c.doc;
    EXPECT_FALSE(xml.FindElement()) << c.doc;
  }
}

TEST(MarkupParseTest, TableRecordsTagPositions) {
  const std::string doc = " <r k='v'><a/>text<b >x</b ></r> <after/>";
  CMarkup xml;
  ASSERT_TRUE(xml.SetDocument(doc));
  ASSERT_EQ(xml.ElementCount(), 4);  // document node, r, a, b
  const CMarkup::ElemPos& top = *xml.ElementAt(0);
  EXPECT_EQ(top.firstChild, 1);
  EXPECT_EQ(top.nextSibling, 0);
  const CMarkup::ElemPos& r = *xml.ElementAt(1);
  EXPECT_EQ(r.startTagBegin, 1);
  EXPECT_EQ(r.startTagEnd, 9);
  EXPECT_EQ(r.endTagBegin, static_cast<int32_t>(doc.find("</r>")));
  EXPECT_EQ(r.endTagEnd, static_cast<int32_t>(doc.find("</r>") + 3));
  EXPECT_EQ(r.parent, 0);
  EXPECT_EQ(r.firstChild, 2);
  EXPECT_EQ(r.nextSibling, 0);  // <after/> is past the root and ignored
  const CMarkup::ElemPos& a = *xml.ElementAt(2);
  EXPECT_EQ(a.startTagBegin, 10);
  EXPECT_EQ(a.endTagBegin, 12);  // the "/" of the empty element tag
  EXPECT_EQ(a.startTagEnd, 13);
  EXPECT_EQ(a.endTagEnd, 13);
  EXPECT_EQ(a.parent, 1);
  EXPECT_EQ(a.nextSibling, 3);
  const CMarkup::ElemPos& b = *xml.ElementAt(3);
  EXPECT_EQ(b.startTagBegin, static_cast<int32_t>(doc.find("<b")));
  EXPECT_EQ(b.endTagBegin, static_cast<int32_t>(doc.find("</b")));
  EXPECT_EQ(b.endTagEnd, static_cast<int32_t>(doc.find("</b") + 4));
  EXPECT_EQ(b.firstChild, 0);
  EXPECT_EQ(b.nextSibling, 0);
}

TEST(MarkupParseTest, TableIsSizedFromTheTextAndGrows) {
  CMarkup xml;
  const std::string small = "<a/>" + std::string(200, ' ');
  ASSERT_TRUE(xml.SetDocument(small));
  EXPECT_EQ(xml.TableCapacity(), small.size() / 64 + 8);

  // Four bytes per element: far more elements than the first sizing holds.
  std::string doc = "<r>";
  for (int i = 0; i < 300; ++i) doc += "<e/>";
  doc += "</r>";
  CMarkup many;
  ASSERT_TRUE(many.SetDocument(doc));
  EXPECT_EQ(many.ElementCount(), 302);
  EXPECT_GE(many.TableCapacity(), 302u);
  ASSERT_TRUE(many.FindElement("r") && many.EnterElement());
  int found = 0;
  while (many.FindElement("e")) ++found;
  EXPECT_EQ(found, 300);
}

TEST(MarkupParseTest, DeepNestingDoesNotExhaustTheStack) {
  const int depth = 200000;
  std::string open, close;
  for (int i = 0; i < depth; ++i) {
    open += "<d>";
    close += "</d>";
  }
  CMarkup xml;
  ASSERT_TRUE(xml.SetDocument(open + close)) << xml.Error();
  EXPECT_EQ(xml.ElementCount(), depth + 1);
  EXPECT_FALSE(xml.SetDocument(open));
  EXPECT_EQ(xml.Error(), "Element tag not found");
}

TEST(MarkupCursorTest, NameMatchingIsExactUpToATerminator) {
  CMarkup xml;
  ASSERT_TRUE(xml.SetDocument("<r><quicksettings/><abc/></r>"));
  ASSERT_TRUE(xml.FindElement("r"));
  ASSERT_TRUE(xml.EnterElement());
  EXPECT_FALSE(xml.FindElement("quicksetting"));
  EXPECT_FALSE(xml.FindElement("ab"));
  EXPECT_FALSE(xml.FindElement("ABC"));
  EXPECT_FALSE(xml.FindElement("quicksettingsx"));
  EXPECT_TRUE(xml.FindElement("quicksettings"));
  EXPECT_TRUE(xml.FindElement("abc[1]"));  // the wanted name ends at "["
  EXPECT_EQ(xml.CurrentTagName(), "abc");
}

TEST(MarkupCursorTest, WalksTheTree) {
  CMarkup xml;
  ASSERT_TRUE(xml.SetDocument("<root><a n='1'/><b n='2'><c/></b><a n='3'/></root>"));
  EXPECT_EQ(xml.ParentPosition(), 0);
  EXPECT_EQ(xml.CurrentPosition(), 0);
  EXPECT_EQ(xml.NodeKind(), CMarkup::kNodeNone);
  EXPECT_FALSE(xml.EnterElement());  // nothing current
  EXPECT_FALSE(xml.LeaveElement());  // already at the document node

  ASSERT_TRUE(xml.FindElement("root"));
  EXPECT_EQ(xml.CurrentPosition(), 1);
  EXPECT_EQ(xml.NodeKind(), CMarkup::kNodeElement);
  EXPECT_FALSE(xml.FindElement());  // only one top-level element
  EXPECT_EQ(xml.CurrentPosition(), 1);

  ASSERT_TRUE(xml.EnterElement());
  EXPECT_EQ(xml.ParentPosition(), 1);
  EXPECT_EQ(xml.NodeKind(), CMarkup::kNodeNone);
  ASSERT_TRUE(xml.FindElement("a"));
  EXPECT_EQ(xml.GetAttribute("n"), "1");
  ASSERT_TRUE(xml.FindElement("a"));  // skips <b>
  EXPECT_EQ(xml.GetAttribute("n"), "3");
  const int32_t last = xml.CurrentPosition();
  EXPECT_FALSE(xml.FindElement());
  EXPECT_EQ(xml.CurrentPosition(), last);  // unchanged on failure

  ASSERT_TRUE(xml.LeaveElement());
  EXPECT_EQ(xml.CurrentTagName(), "root");
  EXPECT_EQ(xml.ChildPosition(), last);
  ASSERT_TRUE(xml.EnterElement());  // back to the child left last
  EXPECT_EQ(xml.CurrentPosition(), last);

  xml.ResetPosition();
  ASSERT_TRUE(xml.FindElement() && xml.EnterElement());
  ASSERT_TRUE(xml.FindElement("b") && xml.EnterElement());
  ASSERT_TRUE(xml.FindElement("c"));
  EXPECT_EQ(xml.ElementAt(xml.CurrentPosition())->parent, xml.ParentPosition());
  ASSERT_TRUE(xml.LeaveElement());
  EXPECT_EQ(xml.CurrentTagName(), "b");
  ASSERT_TRUE(xml.LeaveElement());
  EXPECT_EQ(xml.CurrentTagName(), "root");
  EXPECT_EQ(xml.ParentPosition(), 0);
  EXPECT_FALSE(xml.LeaveElement());  // the root has no parent element to step out to
  EXPECT_EQ(xml.CurrentTagName(), "root");
}

TEST(MarkupCursorTest, LookupOutsideTheTableIsAProgrammingError) {
  CMarkup xml;
  ASSERT_TRUE(xml.SetDocument("<a/>"));
  EXPECT_NE(xml.ElementAt(1), nullptr);
#ifdef TARN_DEBUG_CHECKS
  EXPECT_THROW(xml.ElementAt(2), std::invalid_argument);
  EXPECT_THROW(xml.ElementAt(-1), std::invalid_argument);
#else
  EXPECT_EQ(xml.ElementAt(2), nullptr);
  EXPECT_EQ(xml.ElementAt(-1), nullptr);
#endif
}

std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

class MarkupFileTest : public ::testing::Test {
 protected:
  // Writes `bytes` to a file and loads it; the path is kept in path_.
  bool Load(const std::string& bytes) {
    path_ = dir_ / "doc.xml";
    test::WriteFile(path_, bytes);
    return xml_.LoadDocumentFile(path_);
  }
  std::vector<std::pair<int, std::string>> Logged() const { return log_.records(); }

  test::TempDir dir_;
  test::LogCapture log_;
  CMarkup xml_;
  std::string path_;
};

TEST_F(MarkupFileTest, ReadsUtf16WithByteOrderMark) {
  const std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<p name=\"Fran\u00E7ais \U0001F600\"/>";
  ASSERT_TRUE(Load("\xFF\xFE" + Utf16Le(text)));
  ASSERT_TRUE(xml_.FindElement("p"));
  EXPECT_EQ(xml_.GetAttribute("name"), "Fran\xC3\xA7" "ais \xF0\x9F\x98\x80");
  EXPECT_TRUE(Logged().empty());
}

TEST_F(MarkupFileTest, Utf16TextEndsAtTheFirstZeroUnit) {
  ASSERT_TRUE(Load("\xFF\xFE" + Utf16Le(u"<a/>") + std::string(2, '\0') + Utf16Le(u"<b/>")));
  EXPECT_EQ(xml_.Document(), "<a/>");
}

TEST_F(MarkupFileTest, ReadsUtf8WithAndWithoutByteOrderMark) {
  for (const std::string prefix : {"\xEF\xBB\xBF", ""}) {
    ASSERT_TRUE(Load(prefix + "<a x='\xC3\xA9'/>"));
    EXPECT_EQ(xml_.Document(), "<a x='\xC3\xA9'/>");
    ASSERT_TRUE(xml_.FindElement("a"));
    EXPECT_EQ(xml_.GetAttribute("x"), "\xC3\xA9");
  }
}

TEST_F(MarkupFileTest, Utf16WithoutMarkFailsTheLengthCheck) {
  ASSERT_FALSE(Load(Utf16Le(u"<profile name=\"a long enough profile description\"/>")));
  EXPECT_EQ(Logged(), (std::vector<std::pair<int, std::string>>{
                          {1, "Error converting file to string (may contain binary data) file name:" + path_}}));
}

TEST_F(MarkupFileTest, LengthCheckBoundary) {
  // Four characters, a zero byte and padding: the file passes while
  // 4 >= (5 + padding) / 2 - 20.
  EXPECT_TRUE(Load("<a/>" + std::string(1, '\0') + std::string(44, 'x')));
  EXPECT_FALSE(Load("<a/>" + std::string(1, '\0') + std::string(45, 'x')));
  ASSERT_EQ(Logged().size(), 1u);
  EXPECT_EQ(Logged()[0].second, "Error converting file to string (may contain binary data) file name:" + path_);
}

TEST_F(MarkupFileTest, MissingFileAndFolderCannotBeOpened) {
  const std::string missing = dir_ / "none.xml";
  EXPECT_FALSE(xml_.LoadDocumentFile(missing));
  EXPECT_FALSE(xml_.LoadDocumentFile(dir_.path()));
  EXPECT_EQ(Logged(), (std::vector<std::pair<int, std::string>>{{1, "Cannot open file:" + missing + " "},
                                                                {1, "Cannot open file:" + dir_.path() + " "}}));
}

TEST_F(MarkupFileTest, UnparsableTextIsReported) {
  EXPECT_FALSE(Load("<a><b></c></a>"));
  EXPECT_EQ(xml_.Error(), "End tag does not correspond to b");
  EXPECT_FALSE(Load(""));
  EXPECT_EQ(Logged(), (std::vector<std::pair<int, std::string>>{{1, "Set Doc error, file name:" + path_},
                                                                {1, "Set Doc error, file name:" + path_}}));
}

TEST(MarkupShippedFilesTest, EveryProfileFileParses) {
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(test::SourceDir() + "data/profile")) {
    if (entry.path().extension() != ".xml") continue;
    CMarkup xml;
    EXPECT_TRUE(xml.LoadDocumentFile(entry.path().string())) << entry.path() << ": " << xml.Error();
    EXPECT_TRUE(xml.FindElement()) << entry.path();
    ++files;
  }
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace tarn
