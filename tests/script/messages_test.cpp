// The message command on real frames: the window opening, the names, the backlog, the voice next
// to it, the line feed rule, long texts, and printing again after a font change.
#include <gtest/gtest.h>

#include "gamefixture.h"

namespace {

using scripttest::GameTest;

class MessageTest : public GameTest {
 protected:
  // Clicks on every page end; remembers the text origin of each wait's first frame.
  void ClickEveryPage() {
    reader = [this](uint64_t) {
      const bool waits = PageWaits();
      if (waits && !m_Waiting) {
        platform::Point origin;
        window->m_pView->GetTextOrigin(&origin);
        origins.push_back(origin);
        Click();
      }
      m_Waiting = waits;
    };
  }
  std::vector<platform::Point> origins;

 private:
  bool m_Waiting = false;
};

TEST_F(MessageTest, OpensTheWindowSubstitutesNamesAndKeepsTheBacklog) {
  ClickEveryPage();
  EXPECT_EQ(Run(u"【#1】「#2、#3だ」\n\nふたつめ\n\n"), 0);
  EXPECT_TRUE(window->IsShown());
  EXPECT_GE(pictures.pendingShown, 2) << "each message shows the pending background";
  ASSERT_EQ(g_BackLog->Entries().size(), 2u);
  EXPECT_EQ(g_BackLog->Entries()[0].text, u"【宮坂】「透、#3だ」") << "only #1 and #2 are names";
  EXPECT_EQ(g_BackLog->Entries()[1].text, u"ふたつめ");
  EXPECT_EQ(origins.size(), 2u);
}

TEST_F(MessageTest, NamesAreShownAsTypedAndExpandedOnce) {
  names.family = u"A#1";
  names.given = u"#2B";
  ClickEveryPage();
  Run(u"「#1#2」\n\n「AAAAAA」\n\n");
  ASSERT_EQ(g_BackLog->Entries().size(), 2u);
  EXPECT_EQ(g_BackLog->Entries()[0].text, u"「A#1#2B」");
  ASSERT_EQ(origins.size(), 2u);
  EXPECT_EQ(origins[0].x, origins[1].x) << "six characters printed, the '#' in the names as they stand";
  EXPECT_EQ(origins[0].y, origins[1].y);

  // Under skip the same text is printed at once, still as typed.
  const platform::Point revealed = origins[1];
  g_BackLog = std::make_unique<BackLogList>();
  origins.clear();
  reader = [this](uint64_t) {
    if (ChoiceShows()) {
      platform::Point origin;
      window->m_pView->GetTextOrigin(&origin);
      origins.push_back(origin);
      ClickAt(ChoiceAt(0));
      reader = nullptr;
    }
  };
  g_Setting.m_TextSkip2 = 0;
  g_SkipMode = 1;
  Run(u"「#1#2」\n.SEL L あ\n\n.LAB L\n");
  ASSERT_EQ(origins.size(), 1u);
  EXPECT_EQ(origins[0].x, revealed.x);
  EXPECT_EQ(origins[0].y, revealed.y);
}

TEST_F(MessageTest, SpeakerLinesHaveNoLeadingLineFeed) {
  ClickEveryPage();
  Run(u"【灯子】「うん」\n\nうん\n\n");
  ASSERT_EQ(origins.size(), 2u);
  EXPECT_EQ(origins[0].y, 0) << "a speaker's line starts at the top";
  EXPECT_GT(origins[1].y, 0) << "any other text after a line feed";
}

TEST_F(MessageTest, LongTextGrowsAndTheDisplayKeepsItsCut) {
  ClickEveryPage();
  const std::u16string longText(3000, u'字');
  names.given = std::u16string(63, u'名');
  std::u16string withNames = u"「";
  for (int i = 0; i < 40; ++i) withNames += u"#2";
  Run(longText + u"\n\n" + withNames + u"\n\n");
  ASSERT_EQ(g_BackLog->Entries().size(), 2u);
  EXPECT_EQ(g_BackLog->Entries()[0].text.size(), 3000u) << "the whole text, past 1024 units";
  EXPECT_EQ(g_BackLog->Entries()[1].text.size(), 1u + 40u * 63u);
  EXPECT_EQ(origins.size(), 2u);
}

TEST_F(MessageTest, TheNeighbouringVoicePlaysWithTheMessage) {
  ClickEveryPage();
  Run(u".VOI tk01\nあ\n\nい\n.VOI 00\n\nう\n\n");
  EXPECT_EQ(voice.played, (std::vector<std::u16string>{u"TK01", u"00"}));
  EXPECT_EQ(voice.messageCodes, (std::vector<int>{0xFF, 0xFF})) << "the message reads 0xFF while its voice starts";
  ASSERT_EQ(g_BackLog->Entries().size(), 3u);
  EXPECT_EQ(g_BackLog->Entries()[0].voice, u"TK01");
  EXPECT_EQ(g_BackLog->Entries()[1].voice, u"") << "voice \"00\" names none";
  EXPECT_EQ(g_BackLog->Entries()[2].voice, u"");
  for (auto* n = group->First(); n; n = n->Next()) EXPECT_NE(n->m_Type, 0xFF);
}

TEST(BackLogList, KeepsTheNewestSixty) {
  BackLogList log;
  for (int i = 0; i < 61; ++i) log.Append(std::u16string(1, char16_t(u'A' + i % 26)) + char16_t(u'0' + i / 26), u"");
  ASSERT_EQ(log.Entries().size(), 60u);
  EXPECT_EQ(log.Entries().front().text, u"B0") << "the first entry went";
  EXPECT_EQ(log.LastText(), u"I2");
}

TEST_F(MessageTest, AFontChangeDuringTheRevealPrintsTheMessageAgain) {
  // Ten characters at 10 ms each: the change comes in the middle of the reveal.
  int waits = 0;
  reader = [&](uint64_t f) {
    if (f == 4) {
      std::u16string(u"ＭＳ ゴシック").copy(g_Setting.m_FontName, 31);
      g_AppFlags |= APPFLAG_FONT_CHANGED;
    }
    if (PageWaits() && waits++ == 0) {
      platform::Point origin;
      window->m_pView->GetTextOrigin(&origin);
      origins.push_back(origin);
      Click();
    }
  };
  Run(u"「ABCDEFGHIJ」\n\n");
  EXPECT_EQ(g_AppFlags & APPFLAG_FONT_CHANGED, 0u);
  EXPECT_EQ(std::u16string(window->m_pView->GetFont()->GetLogFont().faceName), u"ＭＳ ゴシック")
      << "the font was set again";
  ASSERT_EQ(origins.size(), 1u);

  // The same text without a change ends at the same place: printed once, whole.
  waits = 0;
  reader = [&](uint64_t) {
    if (PageWaits() && waits++ == 0) {
      platform::Point origin;
      window->m_pView->GetTextOrigin(&origin);
      origins.push_back(origin);
      Click();
    }
  };
  Run(u"「ABCDEFGHIJ」\n\n");
  ASSERT_EQ(origins.size(), 2u);
  EXPECT_EQ(origins[0].x, origins[1].x);
  EXPECT_EQ(origins[0].y, origins[1].y);
}

TEST_F(MessageTest, AFontChangeDuringThePageWaitPrintsTheLastTextAgain) {
  int frame = 0;
  reader = [&](uint64_t) {
    if (!PageWaits()) return;
    if (++frame == 1) {
      std::u16string(u"ＭＳ ゴシック").copy(g_Setting.m_FontName, 31);
      g_AppFlags |= APPFLAG_FONT_CHANGED;
    }
    if (frame == 5) {
      platform::Point origin;
      window->m_pView->GetTextOrigin(&origin);
      origins.push_back(origin);
      Click();
    }
  };
  Run(u"うん\n\n");
  EXPECT_EQ(g_AppFlags & APPFLAG_FONT_CHANGED, 0u);
  EXPECT_EQ(std::u16string(window->m_pView->GetFont()->GetLogFont().faceName), u"ＭＳ ゴシック")
      << "the font was set again";
  ASSERT_EQ(origins.size(), 1u);
  EXPECT_GT(origins[0].x, 0) << "the text is back in the cleared view";
  EXPECT_GT(origins[0].y, 0) << "after its line feed";
}

}  // namespace
