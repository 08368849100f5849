// The program from its start to its end on the headless backend: the title reached and left
// through the close question, every failure row with its box, log lines and exit code, a second
// instance, the termination signal during a page and during a dialog, and full screen with its menu.
#include "app/startup.h"

#include <csignal>

#include "app/config.h"
#include "lib/sjis.h"
#include "platform/instance.h"
#include "script/dialogs/templates.h"
#include "script/messagewindow.h"
#include "script/save/savedb.h"
#include "script/save/slots.h"
#include "script/services.h"
#include "startfixture.h"
#include "textscript/statement.h"

namespace {

using platform::MsgResult;
using starttest::StartTest;
using starttest::fs::path;

// A 1 x 1 black 24-bit picture: the brand logo of the development folders.
std::string OnePixelBmp() {
  std::string b(58, '\0');
  auto put = [&b](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
  };
  b[0] = 'B', b[1] = 'M';
  put(2, 58), put(10, 54), put(14, 40), put(18, 1), put(22, 1), put(34, 4);
  b[26] = 1, b[28] = 24;
  return b;
}

TEST_F(StartTest, TheGameReachesTheTitleAndQuitsThroughTheCloseQuestion) {
  onFrame = [this](int) {
    if (AtTitle() && boxes->shown.empty()) Close(MsgResult::Yes);
  };
  EXPECT_EQ(Start(), 0);
  ASSERT_EQ(boxes->shown.size(), 1u);
  const starttest::ShownBox& box = boxes->shown[0];
  EXPECT_EQ(box.request.text, u"終了してもよろしいですか？");
  EXPECT_EQ(box.request.caption, u"終了");
  EXPECT_EQ(box.request.buttons, platform::MsgButtons::YesNo);
  EXPECT_EQ(box.request.icon, platform::MsgIcon::Question);
  EXPECT_EQ(box.request.defaultButton, 1) << "No is the default";
  EXPECT_TRUE(box.inRun);
  EXPECT_TRUE(box.enabled.at(40003)) << "the run enables back-to-title";
  EXPECT_FALSE(box.enabled.at(40010)) << "no save at the title";
  EXPECT_FALSE(box.enabled.at(40011)) << "the load item waits for the run";
  EXPECT_TRUE(box.enabled.at(40027)) << "the settings are enabled again after the logo";

  EXPECT_EQ(window->Caption(), u"Lanternfall　体験版");
  EXPECT_TRUE(window->IsShown());
  EXPECT_FALSE(window->IsAlive()) << "the window goes at the end";
  EXPECT_EQ(window->GetMenu(), nullptr) << "the window lets go of the menu at the end";
  EXPECT_EQ(box.menus, (std::vector<std::u16string>{u"システム", u"シナリオ"})) << "no debug menu without -D";
  const std::string ini = Ini();
  for (const char* line : {"[varn]", "FullScreen=0", "MessageWait=2", "MessageSkip=3", "StreamSize=4"})
    EXPECT_NE(ini.find(line), std::string::npos) << line << " in\n" << ini;
  EXPECT_EQ(ini.find("Options"), std::string::npos);
  EXPECT_TRUE(log.Contains(u"DirectX=800"));
  EXPECT_FALSE(log.Contains(u"Exception Error")) << platform::WideToUtf8(log.Text());
}

// A scene with its first page's picture on the screen.
bool OnFirstPage(const starttest::StartRig& t) {
  return g_SceneRoot && TextScript::g_CurrentPage > 0 && t.window->Front().PixelAt(400, 250) != 0;
}

// The real parts in turn: the brand logo, the title's picture, and its new-game button leading to
// the story's first page; the close then writes the settings and the global data.
TEST_F(StartTest, TheLogoTheTitleAndANewGameReachTheFirstPage) {
  bool logo = false, title = false, page = false;
  onFrame = [&](int) {
    const uint32_t centre = window->Front().PixelAt(400, 250);
    // The logo's lantern (orange), before any run.
    if (!g_pCurrentGroup && (centre >> 16) > 0xC0 && (centre & 0xFF) < 0x80) logo = true;
    if (AtTitle() && logo && window->Front().PixelAt(NewGameButton().x, NewGameButton().y) != 0) title = true;
    ClickNewGame();
    if (OnFirstPage(*this) && title && !page) {
      page = true;
      Close(MsgResult::Yes);
    }
  };
  EXPECT_EQ(Start(), 0);
  EXPECT_TRUE(logo) << "the brand logo was shown";
  EXPECT_TRUE(title) << "then the title's picture";
  EXPECT_TRUE(page) << "the new game printed the first page";
  ASSERT_EQ(boxes->shown.size(), 1u);
  EXPECT_EQ(boxes->shown[0].request.text, u"終了してもよろしいですか？");
  EXPECT_TRUE(starttest::fs::exists(SaveFolder() / "varn.ini"));
  EXPECT_TRUE(starttest::fs::exists(SaveFolder() / "save.dat"));
  EXPECT_FALSE(log.Contains(u"Exception Error")) << platform::WideToUtf8(log.Text());
}

TEST_F(StartTest, TheButtonBarsQuickSaveWritesASlot) {
  int onPage = 0;
  bool closed = false;
  onFrame = [&](int) {
    ClickNewGame();
    onPage = OnFirstPage(*this) ? onPage + 1 : 0;
    // Once the page's text is out and it waits: the quick-save button, then the close a while later.
    if (onPage >= 400 && onPage < 406) {
      const platform::Rect r = GameButtons().HitRects()[MBUTTON_QUICKSAVE];
      ClickAt(platform::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, onPage - 400);
    }
    if (onPage == 600 && !closed) {
      closed = true;
      Close(MsgResult::Yes);
    }
  };
  EXPECT_EQ(Start(), 0);
  EXPECT_TRUE(closed) << "the page stayed while it saved";
  EXPECT_TRUE(SlotExists(kQuickSaveFirst)) << "the newest quick save";
  EXPECT_FALSE(SlotExists(kQuickSaveFirst + 1));
}

// The menu's manual item opens the manual over the title: its first page replaces the picture.
TEST_F(StartTest, TheMenusManualShowsOverTheTitle) {
  int atTitle = 0;
  uint32_t titlePixel = 0, manualPixel = 0;
  onFrame = [&](int) {
    atTitle = g_pCurrentGroup ? atTitle + 1 : 0;
    if (atTitle == 30) {
      titlePixel = window->Front().PixelAt(200, 200);
      Command(40030);
    }
    if (atTitle == 90) {
      manualPixel = window->Front().PixelAt(200, 200);
      Close(MsgResult::Yes);
    }
  };
  EXPECT_EQ(Start(), 0);
  EXPECT_NE(titlePixel, 0u);
  EXPECT_NE(manualPixel, titlePixel);
  EXPECT_EQ(boxes->shown.size(), 1u) << "the close question came during the manual";
}

TEST_F(StartTest, NoToTheCloseQuestionKeepsTheGameRunning) {
  int askedAt = 0;
  onFrame = [&](int frame) {
    if (!AtTitle()) return;
    if (boxes->shown.empty()) {
      Close(MsgResult::No);
      askedAt = frame;
    } else if (boxes->shown.size() == 1 && frame == askedAt + 30) {
      Close(MsgResult::Yes);
    }
  };
  EXPECT_EQ(Start(), 0);
  ASSERT_EQ(boxes->shown.size(), 2u);
  EXPECT_TRUE(boxes->shown[1].inRun) << "the title still waited after the No";
  EXPECT_GE(frames, askedAt + 30);
}

TEST_F(StartTest, TheDebugOptionKeepsTheDebugMenu) {
  WriteIni("[varn]\nOptions=-D\n");
  onFrame = [this](int) {
    if (AtTitle() && boxes->shown.empty()) Close(MsgResult::Yes);
  };
  EXPECT_EQ(Start(), 0);
  ASSERT_EQ(boxes->shown.size(), 1u);
  EXPECT_EQ(boxes->shown[0].menus, (std::vector<std::u16string>{u"システム", u"シナリオ", u"デバッグ"}));
}

// Each way the start can fail: what the player sees, what the log says, the exit code, and
// whether "varn.ini" was written back.
TEST(StartFailures, TheFailureRows) {
  struct Row {
    const char* name;
    std::function<void(starttest::StartRig&)> arrange;
    int exitCode;
    std::u16string box;  // the beginning of the last box's text (empty: no box at all)
    std::u16string logLine;
    bool iniWritten;
  };
  const Row rows[] = {
      {"no archives", [](starttest::StartRig& t) { starttest::fs::remove_all(t.root / "data"); }, 1, u"",
       u"The game data is missing: ../data/system.pux", true},
      {"no sound archive", [](starttest::StartRig& t) { starttest::fs::remove(t.root / "data" / "sound.pux"); }, 1, u"",
       u"The game data is missing: ../data/sound.pux", true},
      {"a damaged script archive",
       [](starttest::StartRig& t) {
         std::ofstream(t.root / "data" / "script.pux", std::ios::binary) << "not an archive";
       },
       1, u"", u"../data/script.pux", true},
      {"the archives beside the program",
       [](starttest::StartRig& t) {
         starttest::fs::rename(t.root / "data", t.root / "bin2"), starttest::fs::remove_all(t.root / "bin"),
             starttest::fs::rename(t.root / "bin2", t.root / "bin");
       },
       0, u"終了してもよろしいですか？", u"DirectX=800", true},
      {"a save folder that cannot be made",
       [](starttest::StartRig& t) { std::ofstream(t.root / "Documents") << "a file"; }, 1,
       u"Error: 無効なディレクトリ名です。", u"", false},
      {"no display device", [](starttest::StartRig& t) { t.host.backend->hdisplay->SetDevices({}); }, 1,
       u"ディスプレイの初期化に失敗しました。", u"DirectX=800", true},
      // The input layer's own box; the display, sound and window are torn down, "varn.ini" written.
      {"no input device", [](starttest::StartRig& t) { t.host.backend->input.reset(); }, 1, u"エラーコード：80004005",
       u"DirectX=800", true},
      {"no sound device: the game runs silent", [](starttest::StartRig& t) { t.host.backend->audio.reset(); }, 0,
       u"終了してもよろしいですか？", u"DirectX=800", true},
      {"no display service", [](starttest::StartRig& t) { t.host.backend->display.reset(); }, 1,
       u"このゲームをプレイするには DirectX7か、それ以上のバーションをインストールする必要があります。", u"DirectX=0",
       true},
      // With no backend the last-resort box can only go to the log.
      {"no backend at all", [](starttest::StartRig& t) { t.host.noBackend = true; }, 1, u"",
       u"Message: ウィンドウを開けません（ディスプレイがありません）。", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    // Each row on a fresh tree and backend.
    starttest::StartRig t;
    row.arrange(t);
    t.onFrame = [&t](int) {
      if (t.AtTitle() && t.boxes->shown.empty()) t.Close(MsgResult::Yes);
    };
    EXPECT_EQ(t.Start(), row.exitCode);
    if (row.box.empty()) {
      EXPECT_TRUE(t.boxes->shown.empty()) << platform::WideToUtf8(t.boxes->shown[0].request.text);
    } else {
      // The display layer may show its own box first; the start-up's comes last.
      ASSERT_FALSE(t.boxes->shown.empty());
      const std::u16string& last = t.boxes->shown.back().request.text;
      EXPECT_EQ(last.rfind(row.box, 0), 0u) << platform::WideToUtf8(last);
    }
    if (!row.logLine.empty()) EXPECT_TRUE(t.log.Contains(row.logLine)) << platform::WideToUtf8(t.log.Text());
    EXPECT_FALSE(t.log.Contains(u"Exception Error:\n")) << "no error lines from the devices";
    EXPECT_EQ(starttest::fs::exists(t.SaveFolder() / "varn.ini"), row.iniWritten);
  }
}

TEST_F(StartTest, AFullScreenThatFailsIsWrittenBackAsWindowed) {
  WriteIni("[varn]\nFullScreen=1\n");
  host.backend->hdisplay->SetDevices({});
  EXPECT_EQ(Start(), 1);
  EXPECT_NE(Ini().find("FullScreen=0"), std::string::npos) << Ini();
}

TEST(StartErrors, ScenarioErrorsAreReportedOnce) {
  using starttest::StartRig;
  // The development folders: a scenario that does not compile.
  {
    StartRig t;
    const path data = t.root / "data" / "script" / "data";
    starttest::fs::create_directories(data);
    starttest::fs::create_directories(t.root / "data" / "script" / "sound");
    std::ifstream xml(path(VARN_SOURCE_DIR) / "sample" / "script" / "config.xml", std::ios::binary);
    const std::string utf8((std::istreambuf_iterator<char>(xml)), {});
    std::ofstream(data / "config.xml", std::ios::binary) << WideToSjis(platform::Utf8ToWide(utf8));
    std::ofstream(data / "iv.txt", std::ios::binary) << "";
    std::ofstream(data / "brand.bmp", std::ios::binary) << OnePixelBmp();
    std::ofstream(data / "_start.txt", std::ios::binary) << ".NOPE\n";
    EXPECT_EQ(t.Start(), 0) << "a scenario error ends the game, but it is not a missing piece";
    EXPECT_TRUE(t.log.Contains(u"_start.txt(1): Compile Error:")) << platform::WideToUtf8(t.log.Text());
    EXPECT_FALSE(t.log.Contains(u"Exception Error:")) << "the compiler's line was its report";
  }
  // With -A the archives win over the folders, and the sample runs.
  {
    StartRig t;
    starttest::fs::create_directories(t.root / "data" / "script" / "data");
    std::ofstream(t.root / "data" / "script" / "data" / "_start.txt") << ".NOPE\n";
    t.onFrame = [&t](int) {
      if (t.AtTitle() && t.boxes->shown.empty()) t.Close(MsgResult::Yes);
    };
    EXPECT_EQ(t.Start("-A"), 0);
    EXPECT_EQ(t.boxes->shown.size(), 1u) << "the title was reached";
  }
  // Without "config.xml" the error is not the compiler's: its lines are printed.
  {
    StartRig t;
    starttest::fs::create_directories(t.root / "data" / "script" / "data");
    starttest::fs::create_directories(t.root / "data" / "script" / "sound");
    std::ofstream(t.root / "data" / "script" / "data" / "_start.txt") << "あ\n";
    EXPECT_EQ(t.Start(), 0);
    EXPECT_TRUE(t.log.Contains(u"Exception Error:\n")) << platform::WideToUtf8(t.log.Text());
    EXPECT_TRUE(t.log.Contains(u"  Source: "));
  }
}

TEST_F(StartTest, ASecondInstanceExitsAtOnce) {
  const auto held = platform::AcquireInstanceLock(host.InstanceName());
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(Start(), 0);
  EXPECT_FALSE(window->IsShown()) << "no window was made";
  EXPECT_TRUE(boxes->shown.empty());
  EXPECT_FALSE(starttest::fs::exists(SaveFolder() / "varn.ini"));
}

TEST_F(StartTest, TheTerminationSignalDuringAPageEndsTheGameAsAConfirmedClose) {
  InstallTerminateHandler();
  bool raised = false;
  onFrame = [&](int frame) {
    ClickNewGame();
    if (g_SceneRoot && !raised && frame % 50 == 0) {
      raised = true;
      std::raise(SIGTERM);
    }
  };
  EXPECT_EQ(Start(), 0);
  EXPECT_TRUE(raised) << "a page was shown";
  EXPECT_TRUE(boxes->shown.empty()) << "no question";
  EXPECT_LT(frames, kMaxFrames);
  EXPECT_NE(Ini().find("[varn]"), std::string::npos);
  std::signal(SIGTERM, SIG_DFL);
}

// Whether the read flag of the page is set in the global data the save file holds.
bool StoredPageRead(int32_t page) {
  std::vector<uint8_t> bytes;
  {
    SaveDBScope db;
    g_SaveDB.ReadCommon(&bytes);
    db.Commit();
  }
  COMMONDATA common;
  if (page < 0 || !DecodeCommon(bytes.data(), bytes.size(), &common)) return false;
  return (common.m_ReadFlags[page / 8] & (0x80 >> (page % 8))) != 0;
}

// The signal while a dialog of the menu is open: the dialog is closed as Cancel before the OK the
// player was about to give, and the game ends as after a confirmed close, with the settings and the
// global data written and nothing of the dialog's stored. change: what the player did in the
// dialog before the signal. (One run per test: a process plays one game.)
void TerminateDuringDialog(starttest::StartRig& t, uint32_t command, platform::headless::DialogAction change) {
  using platform::headless::DialogAction;
  InstallTerminateHandler();
  int32_t page = -1;
  t.host.backend->hdialogs->Script({change,
                                    DialogAction::Inspect([&](const platform::DialogState&) {
                                      page = TextScript::g_CurrentPage;
                                      std::raise(SIGTERM);
                                    }),
                                    {DialogAction::Click, platform::kIdOk}});
  int onPage = 0;
  t.onFrame = [&](int) {
    t.ClickNewGame();
    onPage = OnFirstPage(t) ? onPage + 1 : 0;
    if (onPage == 300) t.Command(command);
  };
  EXPECT_EQ(t.Start(), 0);
  std::signal(SIGTERM, SIG_DFL);
  const auto& finished = t.host.backend->hdialogs->Finished();
  ASSERT_EQ(finished.size(), 1u) << "the dialog opened";
  EXPECT_EQ(finished[0].Result(), -1) << "closed as Cancel";
  EXPECT_TRUE(t.boxes->shown.empty()) << "no question";
  EXPECT_LT(t.frames, starttest::StartRig::kMaxFrames) << "the game ended by itself";
  const std::string ini = t.Ini();
  EXPECT_NE(ini.find("[varn]"), std::string::npos);
  EXPECT_NE(ini.find("DisplaySpeed=0"), std::string::npos) << "the settings' OK never came\n" << ini;
  EXPECT_FALSE(SlotExists(1)) << "the save's OK never came";
  EXPECT_TRUE(StoredPageRead(page)) << "the global data of the run was written, page " << page;
}

TEST_F(StartTest, TheTerminationSignalClosesAnOpenSaveDialogAsCancel) {
  TerminateDuringDialog(*this, 40010, {platform::headless::DialogAction::Choose, IDC_SLOTLIST, {}, 0});
}

TEST_F(StartTest, TheTerminationSignalClosesAnOpenSettingsDialogAsCancel) {
  TerminateDuringDialog(*this, 40028, {platform::headless::DialogAction::Click, IDC_SPEED_FAST});
}

TEST_F(StartTest, FullScreenKeepsTheMenuStatesAndWritesItselfBack) {
  WriteIni("[varn]\nFullScreen=1\n");
  std::vector<std::string> seen;
  onFrame = [&](int frame) {
    if (frame == 5) {
      seen.push_back(std::string(window->IsFullScreen() ? "full" : "window") + (window->IsMenuShown() ? "+menu" : ""));
      EXPECT_FALSE(window->GetMenu()->IsEnabled(40010)) << "greyed in full screen as well";
      platform::Event alt;
      alt.type = platform::EventType::KeyDown;
      alt.key = platform::DIK_RETURN;
      alt.modifiers = platform::kModAlt;
      window->PostEvent(alt);
    } else if (frame == 10) {
      seen.push_back(std::string(window->IsFullScreen() ? "full" : "window") + (window->IsMenuShown() ? "+menu" : ""));
      Command(40001);
    } else if (frame == 15) {
      seen.push_back(std::string(window->IsFullScreen() ? "full" : "window") + (window->IsMenuShown() ? "+menu" : ""));
      Close(MsgResult::Yes);
    }
  };
  EXPECT_EQ(Start(), 0);
  EXPECT_EQ(seen, (std::vector<std::string>{"full", "window+menu", "full"}));
  EXPECT_NE(Ini().find("FullScreen=1"), std::string::npos) << Ini();
}

TEST_F(StartTest, GoingBackALittleAsksOnlyDuringARun) {
  int atTitle = 0;
  onFrame = [&](int) {
    atTitle = AtTitle() ? atTitle + 1 : 0;
    if (atTitle == 20 && boxes->shown.empty()) {
      platform::Event z;
      z.type = platform::EventType::KeyDown;
      z.key = platform::DIK_Z;
      z.modifiers = platform::kModCtrl;
      window->PostEvent(z);
      boxes->answers.push_back(MsgResult::Yes);
    }
    if (atTitle == 60 && boxes->shown.size() == 1) Close(MsgResult::Yes);
  };
  EXPECT_EQ(Start(), 0);
  ASSERT_EQ(boxes->shown.size(), 2u);
  EXPECT_EQ(boxes->shown[0].request.text, u"シナリオを少し戻ります。よろしいですか？");
  EXPECT_EQ(boxes->shown[0].request.caption, u"確認");
  EXPECT_TRUE(boxes->shown[1].inRun) << "the title caught the request and waits again";
}

}  // namespace
