// Wide formatting, Shift-JIS conversion and the error object.
#include "lib/wstring.h"

#include <gtest/gtest.h>

#include <vector>

#include "lib/error.h"
#include "lib/sjis.h"
#include "platform/log.h"
#include "platform/utf.h"

namespace {

std::string U8(const std::u16string& s) {
  return platform::WideToUtf8(s);
}

TEST(Format, WideRules) {
  struct Case {
    std::u16string got;
    const char* want;
  };
  const char16_t wide[] = u"終了";
  const Case cases[] = {
      {FormatWide(u"%s|%hs", wide, "abc"), "終了|abc"},
      {FormatWide(u"[%5d][%-5d][%05d]", 42, 42, -42), "[   42][42   ][-0042]"},
      {FormatWide(u"%x %X %08x %#x", 255, 255, 0xBEEF, 16), "ff FF 0000beef 0x10"},
      {FormatWide(u"%c%c", u'日', 'A'), "日A"},
      {FormatWide(u"%u %ld %lld", 4000000000u, -5L, 1234567890123LL), "4000000000 -5 1234567890123"},
      {FormatWide(u"%%|%.2s|%3s", u"abcdef", u"x"), "%|ab|  x"},
      {FormatWide(u"%s", static_cast<const char16_t*>(nullptr)), "(null)"},
      {FormatWide(u"%.3f", 1.5), "1.500"},
      {FormatWide(u"%*d", 4, 7), "   7"},
  };
  for (const Case& c : cases) EXPECT_EQ(U8(c.got), c.want);
  // %hs takes Shift-JIS bytes: "終了" in code page 932.
  EXPECT_EQ(U8(FormatWide(u"%hs", "\x8f\x49\x97\xb9")), "終了");
  EXPECT_EQ(FormatWide(u"%p", reinterpret_cast<void*>(0x1234)).size(), sizeof(void*) * 2);
}

TEST(Sjis, RoundTripAndDamage) {
  const std::u16string text = u"あいう　ABC｢ｱｲ｣漢字～";
  const std::string sjis = WideToSjis(text);
  EXPECT_EQ(SjisToWide(sjis), text);
  // Half-width katakana single bytes convert to U+FF61..U+FF9F.
  EXPECT_EQ(SjisToWide("\xa1\xb1\xdf"), u"｡ｱﾟ");
  // A lead byte at the very end, and an invalid pair, still convert whole.
  EXPECT_EQ(SjisToWide("A\x82").size(), 2u);
  EXPECT_EQ(SjisToWide("\x82\x20").size(), 2u);
  EXPECT_EQ(WideToSjis(u"\U0001F600"), "?");
  EXPECT_TRUE(IsSjisLeadByte(0x81));
  EXPECT_FALSE(IsSjisLeadByte(0xA1));
  char16_t out[4];
  EXPECT_EQ(MultiByteToWide(out, 4,
                            "\x82\xa0"
                            "b",
                            -1),
            2);
  EXPECT_EQ(out[0], u'あ');
}

TEST(Error, FormatCopiesLocationAndCuts) {
  ExceptionHandle e, out;
  e.SetLocation(u"act.cpp", 224).Format(out, 0, 0, u"MakeACT: %s", u"Empty Memory!!");
  EXPECT_EQ(std::u16string(out.m_Source), u"act.cpp");
  EXPECT_EQ(out.m_Line, 224);
  EXPECT_EQ(std::u16string(out.m_Message), u"MakeACT: Empty Memory!!");
  const std::u16string longText(400, u'x');
  e.SetLocation(longText.c_str(), 1).Format(out, 1, 7, u"%s", longText.c_str());
  EXPECT_EQ(WideLength(out.m_Source), 255u);
  EXPECT_EQ(WideLength(out.m_Message), 255u);
  EXPECT_TRUE(out.IsQuit());
  try {
    ThrowException(u"x.cpp", 3, 0, 0, u"n=%d", 5);
    FAIL() << "no throw";
  } catch (const ExceptionHandle& caught) {
    EXPECT_EQ(std::u16string(caught.m_Message), u"n=5");
    EXPECT_EQ(caught.m_Line, 3);
  }
}

TEST(Error, TheReportedMarkTravelsWithTheObjectAndANewFormatClearsIt) {
  ExceptionHandle e, out;
  e.SetLocation(u"a.txt", 2).Format(out, 0, 0, u"x");
  EXPECT_FALSE(out.IsReported());
  out.MarkReported();
  const ExceptionHandle copy = out;
  EXPECT_TRUE(copy.IsReported());
  EXPECT_EQ(copy.m_Type, 0) << "the mark leaves the type alone";
  EXPECT_FALSE(copy.IsQuit());
  ExceptionHandle again;
  out.Format(again, 0, 0, u"y");
  EXPECT_FALSE(again.IsReported()) << "a newly formatted error has not been shown";
}

// A line of up to 127 characters goes out whole; a longer one in pieces of at most 127, each
// but the last ending in a break of its own (or at a break of the text), nothing lost.
TEST(DebugPrintf, SplitsLinesLongerThan127Characters) {
  const std::u16string a127(127, u'a');
  const std::u16string pair = u"\xD842\xDFB7";  // one character outside the basic plane
  struct Case {
    std::u16string text;
    std::vector<std::u16string> lines;
  } cases[] = {
      {a127, {a127}},
      {std::u16string(126, u'c') + u"\n", {std::u16string(126, u'c') + u"\n"}},
      {std::u16string(300, u'b'),
       {std::u16string(126, u'b') + u"\n", std::u16string(126, u'b') + u"\n", std::u16string(48, u'b')}},
      {std::u16string(127, u'd') + u"\n", {std::u16string(126, u'd') + u"\n", u"d\n"}},
      {u"x\n" + std::u16string(130, u'e'), {u"x\n", std::u16string(126, u'e') + u"\n", u"eeee"}},
      {std::u16string(125, u'f') + pair + u"gg",
       {std::u16string(125, u'f') + u"\n", pair + u"gg"}},  // the pair is not parted
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.size());
    platform::LogCapture log;
    DebugPrintf(u"%s", c.text.c_str());
    EXPECT_EQ(log.Lines(), c.lines);
  }
}

}  // namespace
