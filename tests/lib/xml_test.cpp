// The XML reader: tree shape, text lines, entities, markup, result codes and bad input.
#include "lib/xml.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/error.h"
#include "lib/sjis.h"
#include "platform/utf.h"

namespace {

std::string U8(const std::u16string& s) {
  return platform::WideToUtf8(s);
}

// A compact picture of a tree: a[k=v](child,child) for elements, "text" for texts.
std::string Dump(const XML::Element* e) {
  if (!e) return "null";
  if (e->m_Kind == XML::Element::kText) return "\"" + U8(e->m_Text) + "\"";
  std::string out = U8(e->m_Name);
  for (const XML::Attribute& a : e->m_Attributes) out += "[" + U8(a.name) + "=" + U8(a.value) + "]";
  if (!e->m_Children.empty()) {
    out += "(";
    for (size_t i = 0; i < e->m_Children.size(); ++i) {
      if (i) out += ",";
      EXPECT_EQ(e->m_Children[i]->m_pParent, e) << "parent link of child " << i << " of " << U8(e->m_Name);
      out += Dump(e->m_Children[i].get());
    }
    out += ")";
  }
  return out;
}

std::unique_ptr<XML::Element> Parse(const std::string& text, uint32_t flags = XML::kTrimLines) {
  return XML::ParseMemory(text.data(), static_cast<uint32_t>(text.size()), flags);
}

std::string ParseDump(const std::string& text, uint32_t flags = XML::kTrimLines) {
  return Dump(Parse(text, flags).get());
}

int ParseResult(const std::string& text) {
  XML::CMemoryReaderSJIS reader(text.data(), static_cast<uint32_t>(text.size()));
  XML::Parser parser;
  XML::DomBuilder builder;
  return parser.Parse(&reader, &XML::DomBuilder::kHandlers, &builder, XML::kTrimLines);
}

TEST(XmlTree, ElementsAttributesAndLookups) {
  auto root = Parse(
      "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\n<!-- layout -->\n"
      "<layout>\n  <a x='1' y=\"2\" x='3'>t</a>\n  <b/>\n  <a>u<?pi skipped?>v<!-- no --></a>\n"
      "</layout>\n");
  ASSERT_TRUE(root);
  EXPECT_EQ(Dump(root.get()), "layout(a[x=1][y=2][x=3](\"t\"),b,a(\"u\",\"v\"))");
  EXPECT_EQ(root->m_pParent, nullptr);

  XML::Element* a = root->FindChild(u"a");
  ASSERT_TRUE(a);
  ASSERT_TRUE(a->GetAttribute(u"x"));
  EXPECT_EQ(a->GetAttribute(u"x")->value, u"1") << "the first of duplicate attributes";
  EXPECT_EQ(a->GetAttribute(u"X"), nullptr) << "names compare exactly";
  EXPECT_EQ(a->GetText(), u"t");
  const std::vector<XML::Element*> as = root->FindChildren(u"a");
  ASSERT_EQ(as.size(), 2u);
  EXPECT_EQ(as[1]->GetText(), u"uv");
  EXPECT_TRUE(root->FindChildren(u"none").empty());
  EXPECT_EQ(root->FindChild(u"none"), nullptr);

  root->Destroy();  // still callable before the owner deletes the node
  EXPECT_TRUE(root->m_Children.empty());
  EXPECT_TRUE(root->m_Name.empty());
}

TEST(XmlTree, NullNameRaisesWhenThereIsSomethingToCompare) {
  auto root = Parse("<r k='v'><c/></r>");
  ASSERT_TRUE(root);
  EXPECT_THROW(root->GetAttribute(nullptr), ExceptionHandle);
  EXPECT_THROW(root->FindChild(nullptr), ExceptionHandle);
  EXPECT_THROW(root->FindChildren(nullptr), ExceptionHandle);
  XML::Element* c = root->FindChild(u"c");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->GetAttribute(nullptr), nullptr);
  EXPECT_EQ(c->FindChild(nullptr), nullptr);
  EXPECT_TRUE(c->FindChildren(nullptr).empty());
}

TEST(XmlText, LinesTrimmedOrKept) {
  const std::string doc = "<r>\n   one  \n\n\t two\t\n</r>";
  EXPECT_EQ(ParseDump(doc, XML::kTrimLines), "r(\"one\ntwo\")");
  EXPECT_EQ(ParseDump(doc, 0), "r(\"   one  \n\t two\t\n\")");
  EXPECT_EQ(ParseDump("<r> a <b/> c </r>", 0), "r(\" a \",b,\" c \")");
  // CR LF and LF give the same tree; a lone CR stays in the text.
  EXPECT_EQ(ParseDump("<r a='1'>\r\n x\r\n y\r\n</r>\r\n"), ParseDump("<r a='1'>\n x\n y\n</r>\n"));
  EXPECT_EQ(ParseDump("<r>a\rb</r>"), "r(\"a\rb\")");
  // Text before the first element and after the last is dropped.
  EXPECT_EQ(ParseDump("lead<r/>tail"), "r");
}

TEST(XmlText, EntitiesAndCdata) {
  EXPECT_EQ(ParseDump("<r a='&quot;&apos;&gt;'>&lt;&amp;&nope;&#65;</r>"), "r[a=\"'>](\"<&??\")");
  EXPECT_EQ(ParseDump("<!DOCTYPE r [\n  <!ENTITY amp \"X\">\n  <!ENTITY me 'mine'>\n  <!ENTITY me 'second'>\n"
                      "  <!-- a comment -->\n]>\n<r a=\"&me;\">&amp;&me;</r>"),
            "r[a=mine](\"&mine\")");
  EXPECT_EQ(ParseDump("<!DOCTYPE r>\n<r/>"), "r");
  // CDATA is one text, untrimmed, with references expanded.
  EXPECT_EQ(ParseDump("<r>\n  <![CDATA[ a &lt; <b>\n ]]>\n</r>"), "r(\" a < <b>\n \")");
  EXPECT_EQ(ParseDump("<r><![CDATA[x]]]></r>"), "r(\"x]\")");
  EXPECT_EQ(ParseDump("<r><!-- a - b -- c ---></r>"), "r");
}

TEST(XmlText, AttributeValueEndsAtLineEnd) {
  EXPECT_EQ(ParseDump("<r a='abc\n b=\"2\"/>"), "r[a=abc][b=2]");
  // A tab ends a value too; the stray quote after it is skipped like any other character.
  EXPECT_EQ(ParseDump("<r c='x\t' d='1'/>"), "r[c=x][d=1]");
}

TEST(XmlText, ShiftJisCharacters) {
  const std::string kanji = WideToSjis(u"日本語");
  EXPECT_EQ(ParseDump("<r " + WideToSjis(u"名") + "='" + WideToSjis(u"値") + "'>" + kanji + "</r>"),
            "r[名=値](\"日本語\")");
  // Half-width katakana are single bytes.
  EXPECT_EQ(ParseDump("<r k='\xb1\xb2'>\xb3\xdf</r>"), "r[k=ｱｲ](\"ｳﾟ\")");
  // A lead byte without a valid second byte reads as one unknown character and keeps
  // the markup that follows it.
  EXPECT_EQ(ParseDump("<r>\x82<b/></r>"), "r(\"・\",b)");
}

TEST(XmlParse, ResultCodes) {
  struct Case {
    std::string text;
    int want;
  };
  const Case cases[] = {
      {"<a></a>", 0},
      {"", 0},
      {"no markup at all", 0},
      {"<a><b></a></b>", 0},  // end tags close the innermost element whatever their name
      {"<a>", 2},             // root not closed
      {"<a", 2},              // start tag runs to the end
      {"<a b='x", 2},
      {"<a>&lt", 2},  // reference runs to the end
      {"<a/>&amp", 2},
      {"<a b='&amp'/>", 2},
      {std::string("<a/>\x82"), 2},  // lead byte in the last position
      {std::string("<a/>\x82\0", 6), 2},
      {std::string("<a/>\0<b>", 8), 0},  // a zero byte ends the input
      {"<!-- x", 2},
      {"<!- x -->", 2},
      {"<?xml ", 2},
      {"<![CDATA[x", 2},
      {"<![CDATX[x]]>", 2},
      {"<a></>", 2},
      {"<a></a", 2},
      {"<a b>", 2},
      {"<a b=x>", 2},
      {"<a/ >", 2},
      {"< >", 2},
      {"</a>", 2},
      {"<!FOO bar>", 2},
      {"<!DOCTYPE>", 2},
      {"<!DOCTYPE r [ <!FOO> ]><r/>", 2},
      {"<!DOCTYPE r [ <!ENTITY e 'v' ]><r/>", 2},
      {"<!DOCTYPE r [ <!ENTITY x", 2},
      {"<!DOCTYPE r [ <!-- c", 2},
      {"<!DOCTYPE r [ ] x", 2},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseResult(c.text), c.want) << c.text;
  EXPECT_EQ(Parse("<a>"), nullptr);
  EXPECT_EQ(Parse(""), nullptr) << "no element";
  EXPECT_EQ(XML::ParseMemory(nullptr, 10, 1), nullptr);
}

// Records the events a parse produces; stops when told to.
struct Recorder {
  std::vector<std::string> events;
  size_t stopAt = SIZE_MAX;
  bool Add(std::string e) {
    events.push_back(std::move(e));
    return events.size() != stopAt;
  }
  static Recorder* Of(void* user) { return static_cast<Recorder*>(user); }
};

const XML::SAXHANDLERS kRecording = {
    [](XML::Parser*, void* u) { return Recorder::Of(u)->Add("doc"); },
    [](XML::Parser*, void* u, const std::u16string& t) { return Recorder::Of(u)->Add("text:" + U8(t)); },
    [](XML::Parser*, void* u, const std::u16string& n, const XML::AttributeList& a) {
      return Recorder::Of(u)->Add("start:" + U8(n) + "/" + std::to_string(a.size()));
    },
    [](XML::Parser*, void* u, const std::u16string& n) { return Recorder::Of(u)->Add("end:" + U8(n)); },
    [](XML::Parser*, void* u, const std::u16string& m) { return Recorder::Of(u)->Add("other:" + U8(m)); },
};

TEST(XmlParse, HandlerEventsAndStop) {
  const std::string doc = "<?xml v?><r a='1'><!-- c --><e/>x</r>";
  {
    Recorder rec;
    XML::CMemoryReaderSJIS reader(doc.data(), static_cast<uint32_t>(doc.size()));
    XML::Parser parser;
    EXPECT_EQ(parser.Parse(&reader, &kRecording, &rec, 0), XML::Parser::kOk);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"doc", "other:<?xml v?>", "start:r/1", "other:<!-- c -->",
                                                    "start:e/0", "end:e", "text:x", "end:r"}));
  }
  for (size_t stopAt = 1; stopAt <= 8; ++stopAt) {
    Recorder rec;
    rec.stopAt = stopAt;
    XML::CMemoryReaderSJIS reader(doc.data(), static_cast<uint32_t>(doc.size()));
    XML::Parser parser;
    EXPECT_EQ(parser.Parse(&reader, &kRecording, &rec, 0), XML::Parser::kStopped) << "stop at event " << stopAt;
    EXPECT_EQ(rec.events.size(), stopAt);
  }
  // Null entries are skipped.
  const XML::SAXHANDLERS none{};
  XML::CMemoryReaderSJIS reader(doc.data(), static_cast<uint32_t>(doc.size()));
  XML::Parser parser;
  EXPECT_EQ(parser.Parse(&reader, &none, nullptr, 0), XML::Parser::kOk);
}

TEST(XmlParse, LaterTopLevelElementReplacesTheRoot) {
  // The first tree is freed (the sanitizer build checks that nothing leaks).
  EXPECT_EQ(ParseDump("<a><x/><y>t</y></a>\n<b k='v'/>"), "b[k=v]");
}

TEST(XmlParse, DeepNestingNeedsNoDeepStack) {
  const int depth = 100000;
  std::string open, close;
  for (int i = 0; i < depth; ++i) open += "<a>";
  for (int i = 0; i < depth; ++i) close += "</a>";
  auto root = Parse(open + "x" + close);
  ASSERT_TRUE(root);
  const XML::Element* e = root.get();
  int levels = 1;
  while (!e->m_Children.empty() && e->m_Children[0]->m_Kind == XML::Element::kElement) {
    e = e->m_Children[0].get();
    ++levels;
  }
  EXPECT_EQ(levels, depth);
  EXPECT_EQ(e->GetText(), u"x");
  root.reset();
  EXPECT_EQ(Parse(open), nullptr) << "an unclosed deep tree is destroyed";
}

}  // namespace
