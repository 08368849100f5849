// Tests of the script reader and lexer: tokens, text joining, line counting, header rule.
#include "script_fixture.h"
#include "textscript/sjistext.h"

namespace {

using scripttest::Sj;
using scripttest::U8;
using TextScript::ScriptLex;
using TextScript::ScriptReader;
using TextScript::TokenValue;

bool HasValue(int t) {
  return t == TextScript::TOKEN_WORD || t == TextScript::TOKEN_TEXT || t == TextScript::TOKEN_SHARP_LINE ||
         t == TextScript::TOKEN_SLASH_LINE;
}

// Every token of the bytes as "number" or "number:value", with "@line" after the token when
// withLines is set, up to the end of input.
std::string Tokens(const std::string& bytes, bool withLines = false) {
  ScriptReader r;
  r.Reset(bytes.data(), bytes.size());
  std::string out;
  for (int guard = 0; guard < 10000; ++guard) {
    TokenValue v;
    const int t = ScriptLex(r, v);
    if (!out.empty()) out += ' ';
    out += std::to_string(t);
    if (HasValue(t)) out += ":" + U8(v.text);
    if (withLines) out += "@" + std::to_string(r.m_Line);
    if (t == 0) return out;
  }
  return out + " (no end)";
}

TEST(ScriptLexer, TokenTable) {
  struct Case {
    std::u16string text;
    std::string tokens;
  } cases[] = {
      {u"", "0"},
      {u"abc_1@x", "258:ABC_1@X 0"},
      {u"12ab", "258:12 258:AB 0"},
      {u".grp 1 b2\n", "265 258:1 258:B2 260 0"},
      {u".End1\n.s2m\n.lab x\n", "285 260 299 260 289 258:X 260 0"},
      {u"// remark\n", "260 0"},
      {u"/// remark\n", "291: remark 260 0"},
      {u"//", "0"},
      {u"/x", "47 258:X 0"},
      {u"@voice\n", "292 258:VOICE 260 0"},
      {u"+-<=>", "43 45 60 61 62 0"},
      {u".5", "258:5 0"},
      {u".\n", "10 0"},
      {u".@", "64 0"},
      {u"＃ページ\n", "290:ページ 260 0"},
      {u"あ\nい\n", "259:あ\nい 260 0"},
      {u"あ\n\nい\n", "259:あ 260 260 259:い 260 0"},
      {u"あ\n い\n", "259:あ 260 259:い 260 0"},
      {u"あ\n＃x\n", "259:あ 260 290:x 260 0"},
      {u"あa//b .GRP", "259:あa//b .GRP 260 0"},
      {u".SEL 1 はい\nいいえ\nx", "262 258:1 259:はい\nいいえ 260 258:X 0"},
      {u"ｱ", "177 0"},
  };
  for (const Case& c : cases) EXPECT_EQ(Tokens(Sj(c.text)), c.tokens) << "text: " << U8(c.text);
}

TEST(ScriptLexer, LineEndsEachCountOneLine) {
  EXPECT_EQ(Tokens("a\r\nb\rc\nd", true), "258:A@1 260@2 258:B@2 260@3 258:C@3 260@4 258:D@4 0@4");
  // A joined text leaves the line at its last line until its NEWLINE is read.
  EXPECT_EQ(Tokens(Sj(u"あ\r\nい\r\n.DOF\n"), true), "259:あ\nい@2 260@3 280@3 260@4 0@4");
}

TEST(ScriptLexer, HeaderRuleOnlyForTextsLongerThanTheHeader) {
  std::string withHeader(128, '\x01');
  withHeader[0] = '\0';
  withHeader += ".DOF\n";
  EXPECT_EQ(Tokens(withHeader), "280 260 0");

  std::string noHeader = ".TOF\n" + std::string(200, ' ');
  EXPECT_EQ(Tokens(noHeader), "281 260 0");

  // A short text that starts with 0 is what it is: empty, never read at byte 128.
  std::string shortText("\0.DOF\n", 6);
  EXPECT_EQ(Tokens(shortText), "0");
}

TEST(ScriptLexer, UnknownCommandRaisesWithItsLine) {
  ScriptReader r;
  const std::string text = "\n\n.xyz 1\n";
  r.Reset(text.data(), text.size());
  TokenValue v;
  EXPECT_EQ(ScriptLex(r, v), TextScript::TOKEN_NEWLINE);
  EXPECT_EQ(ScriptLex(r, v), TextScript::TOKEN_NEWLINE);
  try {
    ScriptLex(r, v);
    FAIL() << "expected ScriptError2";
  } catch (const TextScript::ScriptError2& e) {
    EXPECT_EQ(e.m_Line, 3);
    EXPECT_EQ(std::u16string(e.m_Message), u"コマンド名が違います。");
  }
}

TEST(ScriptLexer, OverlongTokensAreCutAndStopAtTheBufferEnd) {
  const std::string word(5000, 'a');
  EXPECT_EQ(Tokens(word), "258:" + std::string(1023, 'A') + " 0");
  const std::string rest = "///" + std::string(3000, 'x');
  EXPECT_EQ(Tokens(rest), "291:" + std::string(1023, 'x') + " 0");
  // Bytes past the given length are never read, NUL or not.
  const std::string buffer = ".DOF\n.TOF\n";
  ScriptReader r;
  r.Reset(buffer.data(), 5);
  TokenValue v;
  EXPECT_EQ(ScriptLex(r, v), TextScript::TOKEN_DOF);
  EXPECT_EQ(ScriptLex(r, v), TextScript::TOKEN_NEWLINE);
  EXPECT_EQ(ScriptLex(r, v), TextScript::TOKEN_END);
  EXPECT_EQ(ScriptLex(r, v), TextScript::TOKEN_END);
}

TEST(ScriptLexer, CommentAwareReadAndPushBack) {
  ScriptReader r;
  const std::string text = "a//x\n/b\n";
  r.Reset(text.data(), text.size());
  EXPECT_EQ(r.GetcComment(), 'a');
  EXPECT_EQ(r.GetcComment(), '\n');
  EXPECT_EQ(r.m_Line, 2);
  EXPECT_EQ(r.GetcComment(), '/');
  EXPECT_EQ(r.GetcComment(), 'b');
  r.Ungetc('\n');
  EXPECT_EQ(r.m_Line, 1) << "giving back a line end takes its line back";
  EXPECT_EQ(r.Getc(), '\n');
  EXPECT_EQ(r.m_Line, 2);
}

}  // namespace

namespace {

TEST(ScriptText, ConvertsExactlyAsTheCodePage) {
  // Every pair of a lead byte with every trail byte, and every single byte.
  std::string all;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsSjisLeadByte(static_cast<uint8_t>(lead))) continue;
    for (int trail = 1; trail < 256; ++trail) {
      const std::string pair = {static_cast<char>(lead), static_cast<char>(trail)};
      ASSERT_EQ(TextScript::ScriptTextToWide(pair), SjisToWide(pair)) << lead << " " << trail;
    }
  }
  for (int b = 1; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    ASSERT_EQ(TextScript::ScriptTextToWide(one), SjisToWide(one)) << b;
  }
  const std::string mixed = scripttest::Sj(u"漢字かなｶﾅabc\n") + "\x82\n\x85\x40\xFF\x82";
  EXPECT_EQ(TextScript::ScriptTextToWide(mixed), SjisToWide(mixed));
}

}  // namespace
