// Tests of the script error types and the file histories.
#include "script_fixture.h"

namespace {

using scripttest::ScriptTest;
using TextScript::FILEHISTGROUP;

class ScriptErrors : public ScriptTest {};

TEST_F(ScriptErrors, TableTextsAndLongMessages) {
  EXPECT_EQ(std::u16string(TextScript::ScriptErrorText(4)), u"0004: ラベルが定義されていません");
  EXPECT_EQ(std::u16string(TextScript::ScriptErrorText(15)), u"0015: 文字列以外で全角文字が使われています");
  EXPECT_EQ(std::u16string(TextScript::ScriptErrorText(16)), u"");
  EXPECT_EQ(std::u16string(TextScript::ScriptErrorText(-1)), u"");
  const std::u16string longText(5000, u'x');
  TextScript::ScriptError2 e(3, u"%s!", longText.c_str());
  EXPECT_EQ(e.m_Line, 3);
  EXPECT_EQ(std::u16string(e.m_Message), std::u16string(1023, u'x'));
}

TEST_F(ScriptErrors, HistoriesKeepBareNamesOnce) {
  FILEHISTGROUP h;
  EXPECT_EQ(h.Add(u"Scene01"), 0);
  EXPECT_EQ(h.Add(u"SCENE01"), 1);
  EXPECT_EQ(h.Count(), 1);
  EXPECT_EQ(h.Find(u"scene01"), 1);
  EXPECT_EQ(h.Find(u"scene02"), 0);

  TextScript::RecordImageHistory(u"cg\\ev\\EV01a.png");
  TextScript::RecordImageHistory(u"bg/room.jpg");
  EXPECT_EQ(TextScript::g_ImageHistory.Count(), 2);
  EXPECT_EQ(TextScript::g_ImageHistory.Find(u"ev01a"), 1);
  EXPECT_EQ(TextScript::g_ImageHistory.Find(u"ROOM"), 1);
}

}  // namespace
