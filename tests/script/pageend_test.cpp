// The page end on real frames: the wait and its mark, the buttons, skip and auto mode, the menu
// items, the read flags and the variable snapshot, the debug jump and SED.
#include <gtest/gtest.h>

#include "gamefixture.h"

namespace {

using scripttest::GameTest;

// Four pages of text; the page numbers at their ends are 0 to 3.
constexpr char16_t kFourPages[] = u"いち\n\nに\n\nさん\n\nよん\n\n.PST END = 1\n";

class PageEndTest : public GameTest {
 protected:
  // A reader that answers every wait with action (a click by default) and records the page each
  // wait came at.
  void Read(std::function<void(int wait)> action = nullptr) {
    m_Action = std::move(action);
    reader = [this](uint64_t) {
      const bool waits = PageWaits();
      if (waits) ++waitFrames;
      if (waits && !m_Waiting) {
        waitPages.push_back(TextScript::g_CurrentPage);
        if (m_Action)
          m_Action(int(waitPages.size()) - 1);
        else
          Click();
      }
      m_Waiting = waits;
    };
  }

  std::vector<int32_t> waitPages;
  int waitFrames = 0;

 private:
  bool m_Waiting = false;
  std::function<void(int)> m_Action;
};

TEST_F(PageEndTest, WaitsForAClickWithTheMenuItemsOnThenClearsAndSnapshots) {
  bool enabledDuringWait = false;
  Read([&](int) {
    enabledDuringWait = menu.IsEnabled(MENU_SAVE) && menu.IsEnabled(MENU_VARIABLES);
    EXPECT_EQ(g_SavedVariables.Find(ScriptVariable::kInteger, u"A"), nullptr) << "no snapshot before the page ends";
    Click();
  });
  EXPECT_EQ(Run(u".PST A = 3\nあ\n\n.PST C = 1\n\n.PST D = 1\n\n.PST B = 1\n"), 0);
  EXPECT_EQ(waitPages, (std::vector<int32_t>{0})) << "pages with nothing printed do not wait";
  EXPECT_TRUE(enabledDuringWait);
  EXPECT_FALSE(menu.IsEnabled(MENU_SAVE));
  EXPECT_FALSE(menu.IsEnabled(MENU_VARIABLES));
  EXPECT_EQ(options.marked, (std::vector<int32_t>{0, 1, 2}));
  const ScriptVariable* saved = g_SavedVariables.Find(ScriptVariable::kInteger, u"A");
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->m_Value, 3);
  EXPECT_EQ(Var(u"B"), 1);
  EXPECT_EQ(TextScript::g_CurrentPage, 3);
  EXPECT_EQ(Var(u"D"), 1);
  EXPECT_NE(std::find(voiceChannels.stopped.begin(), voiceChannels.stopped.end(), 3), voiceChannels.stopped.end())
      << "the voice stops when the reader goes on";
  EXPECT_EQ(g_PageText, 0);
  EXPECT_EQ(window->GetLastChild(), static_cast<ssView*>(window->m_pView)) << "the mark is gone";
}

TEST_F(PageEndTest, TheMarkBlinksEveryTwoHundredMilliseconds) {
  std::vector<uint32_t> toggles;
  bool shown = true;
  int frame = 0;
  reader = [&](uint64_t f) {
    if (!PageWaits()) return;
    const bool now = window->GetLastChild()->IsShown();
    if (now != shown) toggles.push_back(platform::TimeMs());
    (void)f;
    shown = now;
    if (++frame == 80) Click();
  };
  Run(u"あ\n\n");
  ASSERT_GE(toggles.size(), 5u);
  for (size_t i = 1; i < toggles.size(); ++i)
    EXPECT_TRUE(toggles[i] - toggles[i - 1] >= 200 && toggles[i] - toggles[i - 1] < 220)
        << "toggled after " << toggles[i] - toggles[i - 1] << " ms";
}

TEST_F(PageEndTest, RightClickHidesTheWindowUntilAClick) {
  std::vector<bool> hiddenAt;
  int frame = 0;
  reader = [&](uint64_t) {
    if (!PageWaits()) return;
    ++frame;
    if (frame == 2) stack.input->TapButton(1);
    if (frame == 6) hiddenAt.push_back(!window->IsShown());
    if (frame == 8) Click();  // shows the window again; the page still waits
    if (frame == 14) {
      hiddenAt.push_back(!window->IsShown());
      Click();
    }
  };
  Run(u"あ\n\n");
  EXPECT_EQ(hiddenAt, (std::vector<bool>{true, false}));
  EXPECT_GE(frame, 14);
}

TEST_F(PageEndTest, ShiftSkipsWhileHeld) {
  Read([&](int wait) {
    if (wait == 0) stack.input->SetKey(platform::DIK_LSHIFT, true);
    if (wait >= 1) Click();
  });
  reader = [this, inner = reader](uint64_t f) {
    inner(f);
    // Let go of Shift once the third page printed.
    if (g_BackLog->Entries().size() == 2 && g_SkipMode == 2) stack.input->SetKey(platform::DIK_LSHIFT, false);
  };
  options.read = {0, 1, 2, 3};
  Run(kFourPages);
  EXPECT_EQ(waitPages, (std::vector<int32_t>{0, 2, 3})) << "skip mode 2 ends when Shift is let go";
  EXPECT_EQ(g_SkipMode, 0);
}

struct SkipCase {
  uint8_t textSkip1;
  std::vector<int32_t> waits;
  bool skipButtonShownAtLastWait;
};

TEST_F(PageEndTest, SkipStopsAtAnUnreadPageOnlyWithItsOption) {
  for (const SkipCase& c : {SkipCase{1, {0, 3}, false}, SkipCase{0, {0}, true}}) {
    SCOPED_TRACE(int(c.textSkip1));
    g_Setting.m_TextSkip1 = c.textSkip1;
    options.read = {0, 1, 2};
    waitPages.clear();
    bool shownAtLast = false;
    Read([&](int wait) {
      shownAtLast = buttons.shown[MBUTTON_SKIP];
      if (wait == 0) {
        ClickAt(buttons.Centre(MBUTTON_SKIP));
      } else {
        stack.window->SetCursor(platform::Point{400, 300});
        Click();
      }
    });
    Run(kFourPages);
    EXPECT_EQ(waitPages, c.waits);
    EXPECT_EQ(shownAtLast, c.skipButtonShownAtLastWait);
    EXPECT_EQ(Var(u"END"), 1);
    if (c.textSkip1) {
      EXPECT_EQ(buttons.levels[MBUTTON_SKIP], kButtonDimmed) << "skip mode ended";
    }
    g_SkipMode = 0;
  }
}

TEST_F(PageEndTest, InputDuringTheSkipPauseEndsSkip) {
  options.read = {0, 1, 2, 3};
  Read([&](int wait) {
    if (wait == 0)
      ClickAt(buttons.Centre(MBUTTON_SKIP));
    else
      Click();
  });
  bool tapped = false;
  reader = [&, inner = reader](uint64_t f) {
    inner(f);
    if (!tapped && g_SkipMode == 1 && g_BackLog->Entries().size() == 2 && g_PageText) {
      stack.input->TapKey(platform::DIK_RETURN);
      tapped = true;
    }
  };
  Run(kFourPages);
  EXPECT_EQ(waitPages, (std::vector<int32_t>{0, 1}));
}

TEST_F(PageEndTest, AutoModeAdvancesAfterItsWaitUntilAClick) {
  options.autoWait = 100;
  voiceChannels.voiceFrames = 5;
  std::vector<uint64_t> pageFrames;
  Read([&](int wait) {
    if (wait == 0) ClickAt(buttons.Centre(MBUTTON_AUTO));
  });
  reader = [&, inner = reader](uint64_t f) {
    inner(f);
    if (g_BackLog->Entries().size() != pageFrames.size()) pageFrames.push_back(f);
  };
  Run(kFourPages);
  EXPECT_EQ(waitPages, (std::vector<int32_t>{0})) << "the later pages go on by themselves";
  EXPECT_EQ(g_AutoMode, 1);
  EXPECT_EQ(buttons.levels[MBUTTON_AUTO], kButtonLit);
  ASSERT_EQ(pageFrames.size(), 4u);
  // Page 2 waits for the voice (5 frames) and then 2 x 100 ms; page 3 for the 200 ms alone.
  EXPECT_GE(pageFrames[3] - pageFrames[2], 13u);
  EXPECT_GT(pageFrames[2] - pageFrames[1], pageFrames[3] - pageFrames[2]);

  // A left click during the auto wait ends auto mode, and that page waits.
  g_BackLog = std::make_unique<BackLogList>();
  waitPages.clear();
  g_AutoMode = 1;
  stack.window->SetCursor(platform::Point{400, 300});
  int frame = 0;
  Read();
  reader = [&, inner = reader](uint64_t f) {
    if (++frame == 8) Click();
    inner(f);
  };
  Run(u"あ\n\nい\n\n");
  EXPECT_EQ(g_AutoMode, 0);
  EXPECT_EQ(waitPages, (std::vector<int32_t>{0, 1})) << "the click ended auto mode: both pages wait";
}

TEST_F(PageEndTest, QuickButtonsCallTheSaveStore) {
  saves.newestQuick = 4;
  int frame = 0;
  reader = [&](uint64_t) {
    if (!PageWaits()) return;
    ++frame;
    if (frame == 1) ClickAt(buttons.Centre(MBUTTON_QUICKSAVE));
    if (frame == 3) {
      saves.quickSaveWorks = false;
      ClickAt(buttons.Centre(MBUTTON_QUICKSAVE));
    }
    if (frame == 5) {
      options.answer = false;
      ClickAt(buttons.Centre(MBUTTON_QUICKLOAD));
    }
    if (frame == 7) ClickAt(buttons.Centre(MBUTTON_BACKLOG));
    if (frame == 9) {
      EXPECT_TRUE(window->IsShown()) << "the window is back after the backlog";
      options.answer = true;
      ClickAt(buttons.Centre(MBUTTON_QUICKLOAD));
    }
  };
  EXPECT_EQ(Run(u"あ\n\nい\n\n"), 6) << "the newest quick-save slot + 2";
  EXPECT_EQ(saves.quickSaves, 2);
  ASSERT_EQ(notices.shown.size(), 1u) << "a failed quick save shows nothing";
  EXPECT_EQ(notices.shown[0].first, u"セーブしました");
  EXPECT_EQ(notices.shown[0].second, 2000u);
  EXPECT_EQ(options.questions,
            (std::vector<std::u16string>{u"ロードしてもよろしいですか？", u"ロードしてもよろしいですか？"}));
  EXPECT_EQ(screens.backlogs, 1);
  EXPECT_EQ(g_BackLog->Entries().size(), 1u) << "the load left the first page";
  EXPECT_FALSE(menu.IsEnabled(MENU_SAVE)) << "greyed on the way out";
}

TEST_F(PageEndTest, QuickLoadWithoutASlotAndQuickSaveInAReplayDoNothing) {
  g_SceneReplayMode = true;
  int frame = 0;
  bool saveEnabled = true;
  reader = [&](uint64_t) {
    if (!PageWaits()) return;
    ++frame;
    if (frame == 1) {
      saveEnabled = menu.IsEnabled(MENU_SAVE);
      EXPECT_FALSE(buttons.shown[MBUTTON_QUICKSAVE]);
      ClickAt(buttons.Centre(MBUTTON_QUICKSAVE));
    }
    if (frame == 3) ClickAt(buttons.Centre(MBUTTON_QUICKLOAD));
    if (frame == 5) {
      stack.window->SetCursor(platform::Point{400, 300});
      Click();
    }
  };
  EXPECT_EQ(Run(u"あ\n.SED\nい\n\n"), 0);
  EXPECT_FALSE(saveEnabled) << "no save during a replay";
  EXPECT_EQ(saves.quickSaves, 0);
  EXPECT_EQ(g_TransferRequest, 0);
  EXPECT_EQ(g_BackLog->Entries().size(), 1u) << "SED ended the replayed scene";
  EXPECT_GE(frame, 5);

  g_SceneReplayMode = false;
  frame = 0;
  EXPECT_EQ(Run(u"あ\n.SED\n.PST AFTER = 1\n"), 0);
  EXPECT_EQ(frame, 0) << "outside a replay SED is nothing, and the text waits at no page";
  EXPECT_EQ(Var(u"AFTER"), 1);
}

TEST_F(PageEndTest, DebugJumpAtThePageEnd) {
  Read([&](int wait) {
    if (wait == 0) group->m_DebugJump = u"THERE";
    Click();
  });
  g_DebugLevel = 0;
  Run(u"あ\n\n.PST A = 1\n\n.LAB THERE\n.PST B = 1\n");
  EXPECT_EQ(Var(u"A"), 1) << "without the debug level the request is not served";
  EXPECT_EQ(scene.blackFills, 0);

  g_DebugLevel = 1;
  waitPages.clear();
  Run(u"あ\n\n.PST A = 1\n\n.LAB THERE\n.PST B = 1\n");
  EXPECT_EQ(Var(u"B"), 1);
  EXPECT_EQ(scene.blackFills, 1);
  EXPECT_TRUE(group->m_DebugJump.empty());
}

TEST_F(PageEndTest, ATransferDuringTheWaitReleasesTheMark) {
  int frame = 0;
  reader = [&](uint64_t) {
    if (PageWaits() && ++frame == 3) g_TransferRequest = 1;
  };
  EXPECT_EQ(Run(u"あ\n\n"), 1);
  EXPECT_EQ(window->GetLastChild(), static_cast<ssView*>(window->m_pView));
  EXPECT_FALSE(menu.IsEnabled(MENU_SAVE));
  EXPECT_EQ(voiceChannels.stopped.back(), 3);
}

}  // namespace
