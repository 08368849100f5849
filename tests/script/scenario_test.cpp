// One scenario run: the title's answers, a slot load, the prologue skip, the seen bit, and the
// clean-up with the global data written back only when it was read.
#include "script/scenario.h"

#include <gtest/gtest.h>

#include <vector>

#include "gamefixture.h"
#include "platform/log.h"

namespace {

using scripttest::GameTest;

constexpr char16_t kScenario[] = u".PST START = 1\n\n.LAB PRSK\n.PST AFTER = 1\nあ\n\n.PST REPR = 1\n";

class ScenarioTest : public GameTest {
 protected:
  ScenarioTest() {
    files.files[u"iv.txt"] = "";
    files.files[u"_start.txt"] = WideToSjis(kScenario);
    g_StartPage = -1;
    g_PrologueSkip = 0;
    reader = [this](uint64_t) {
      if (PageWaits() && !m_Waiting) Click();
      m_Waiting = PageWaits();
    };
  }
  int Scenario(int mode) { return RunScenario(u"_start.txt", mode, table); }

  // Clean-up ran: nothing of the run is left.
  void ExpectCleanedUp() {
    EXPECT_EQ(g_pCurrentGroup, nullptr);
    EXPECT_EQ(g_BackLog, nullptr);
    EXPECT_EQ(g_AlbumNames, nullptr);
  }

 private:
  bool m_Waiting = false;
};

TEST_F(ScenarioTest, ANewGameFromTheTitle) {
  g_BackLog.reset();
  EXPECT_EQ(Scenario(0), 0);
  EXPECT_EQ(screens.titles, 1);
  EXPECT_EQ(Var(u"START"), 1);
  EXPECT_EQ(Var(u"AFTER"), 1);
  EXPECT_TRUE(options.prologueSeen) << "REPR was set";
  EXPECT_EQ(saves.globalLoads, 1);
  EXPECT_EQ(saves.globalSaves, 1);
  EXPECT_TRUE(menu.IsEnabled(MENU_TITLE));
  EXPECT_TRUE(menu.IsEnabled(MENU_LOAD));
  EXPECT_GE(scene.resumeClears, 3);
  ExpectCleanedUp();
}

TEST_F(ScenarioTest, TheTitlesAnswers) {
  struct Case {
    int title;
    int result;
    bool ran;
  };
  for (const Case& c : {Case{-1, 1, false}, Case{0, 0, false}, Case{1, 0, true}}) {
    SCOPED_TRACE(c.title);
    g_Variables.Clear();
    screens.titleResult = c.title;
    EXPECT_EQ(Scenario(1), c.result);
    EXPECT_EQ(Var(u"START") == 1, c.ran);
    ExpectCleanedUp();
  }
  EXPECT_EQ(saves.globalSaves, 3) << "every run writes the global data back";
}

TEST_F(ScenarioTest, ALoadSkipsTheTitleAndStartsAtTheSavedPage) {
  struct LoadingSaves : scripttest::FakeSaves {
    void LoadSlot(int32_t slot) override {
      loaded.push_back(slot);
      g_StartPage = 1;
    }
  } loading;
  GameServices s = AllServices();
  s.saves = &loading;
  SetGameServices(s);
  EXPECT_EQ(Scenario(5), 0);
  EXPECT_EQ(screens.titles, 0);
  EXPECT_EQ(loading.loaded, (std::vector<int32_t>{4}));
  EXPECT_NE(Var(u"START"), 1) << "the run began after page 1";
  EXPECT_EQ(Var(u"AFTER"), 1);

  // The title's answer n >= 2 loads slot n - 1 the same way.
  screens.titleResult = 3;
  Scenario(0);
  EXPECT_EQ(loading.loaded, (std::vector<int32_t>{4, 2}));
}

TEST_F(ScenarioTest, ALoadRequestedInTheRunReturnsItsSlot) {
  reader = [this](uint64_t) {
    if (PageWaits()) {
      g_PendingLoadSlot = 12;
      g_TransferRequest = 2;
    }
  };
  EXPECT_EQ(Scenario(0), 14);
  EXPECT_FALSE(options.prologueSeen) << "the REPR statement was not reached";
}

TEST_F(ScenarioTest, TheSkippedPrologueStartsAtItsLabel) {
  struct SkippingTitle : scripttest::FakeScreens {
    int RunTitle() override {
      g_PrologueSkip = 1;
      return 1;
    }
  } title;
  GameServices s = AllServices();
  s.screens = &title;
  SetGameServices(s);
  Scenario(0);
  EXPECT_NE(Var(u"START"), 1);
  EXPECT_EQ(Var(u"AFTER"), 1);
  EXPECT_EQ(g_PrologueSkip, 0);

  files.files[u"_start.txt"] = WideToSjis(u".PST START = 1\nあ\n\n");
  try {
    Scenario(0);
    ADD_FAILURE() << "ran without the label";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Message), u"ラベルが見つかりません。[PRSK]");
  }
  EXPECT_EQ(saves.globalSaves, 2);
  ExpectCleanedUp();

  files.files[u"_start.txt"] = WideToSjis(u".PST START = 1\n.LAB PRSK\nあ\n\n");
  try {
    Scenario(0);
    ADD_FAILURE() << "ran from a label without its page break";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Message), u"ラベルの直前にページ区切りがありません");
  }
  EXPECT_EQ(saves.globalSaves, 3);
  ExpectCleanedUp();
}

TEST_F(ScenarioTest, ErrorsLeaveAfterTheCleanUp) {
  // Twenty jump entries, then a judge entry that does not open with '#'.
  std::string iv;
  for (int i = 0; i < 20; ++i) iv += "j" + std::to_string(i) + " rest\n";
  files.files[u"iv.txt"] = iv + "oops\n";
  try {
    Scenario(0);
    ADD_FAILURE() << "a bad iv.txt was taken";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Message), u"書式が違います");
    EXPECT_EQ(std::u16string(e.m_Source), u"iv.txt");
  }
  ExpectCleanedUp();
  EXPECT_EQ(saves.globalSaves, 0) << "the global data was never read, so it is not written";

  // A failed read of the global data leaves the file alone too.
  files.files[u"iv.txt"] = "";
  struct FailingSaves : scripttest::FakeSaves {
    void LoadGlobalData() override { ThrowException(u"save", 1, 0, 0, u"読めません"); }
  } failing;
  GameServices s = AllServices();
  s.saves = &failing;
  SetGameServices(s);
  EXPECT_THROW(Scenario(0), ExceptionHandle);
  EXPECT_EQ(failing.globalSaves, 0);
  ExpectCleanedUp();

  // A compile error and a missing scenario pass through the clean-up as well.
  SetGameServices(AllServices());
  files.files[u"_start.txt"] = WideToSjis(u".NOPE\n");
  EXPECT_THROW(Scenario(0), ExceptionHandle);
  files.files.erase(u"_start.txt");
  EXPECT_THROW(Scenario(0), ExceptionHandle);
  ExpectCleanedUp();
}

// The compiler's line is a compile error's one report: the run adds none, and the error leaves
// marked as reported, with the scenario's name and the error's line.
TEST_F(ScenarioTest, ACompileErrorIsReportedOnceByTheCompiler) {
  files.files[u"_start.txt"] = WideToSjis(u"あ\n\n.NOPE\n");
  platform::LogCapture log;
  try {
    Scenario(0);
    ADD_FAILURE() << "a bad scenario was compiled";
  } catch (const ExceptionHandle& e) {
    EXPECT_TRUE(e.IsReported());
    EXPECT_EQ(std::u16string(e.m_Source), u"_start.txt");
    EXPECT_EQ(e.m_Line, 3);
    EXPECT_EQ(std::u16string(e.m_Message), u"コマンド名が違います。");
  }
  EXPECT_EQ(log.Lines(), std::vector<std::u16string>{u"_start.txt(3): Compile Error: コマンド名が違います。\n"});
  ExpectCleanedUp();
}

TEST_F(ScenarioTest, AQuitDuringTheTitleEndsTheGameAfterSaving) {
  struct QuittingTitle : scripttest::FakeScreens {
    int RunTitle() override { ThrowException(u"frame", 0, 1, 0, u"Quit"); }
  } title;
  GameServices s = AllServices();
  s.screens = &title;
  SetGameServices(s);
  EXPECT_EQ(Scenario(0), 0);
  EXPECT_EQ(saves.globalSaves, 1);
  ExpectCleanedUp();
}

}  // namespace
