// Real-window test: the sample game's first two pages played in the SDL window under a private
// Xvfb with the FreeType glyphs, read back from the screen and advanced by clicks sent with xdotool.
#include <gtest/gtest.h>
#include <png.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "fakeservices.h"
#include "lib/act.h"
#include "sampledata.h"
#include "script/executor.h"
#include "script/gameservices.h"
#include "script/messagewindow.h"
#include "script/scenario.h"
#include "script/settings.h"
#include "tests/app/stack.h"
#include "tests/desktop/xvfb.h"
#include "textscript/filehist.h"
#include "textscript/variables.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The X and D-Bus client libraries keep allocations for the life of the process; the leak check
// is left to the headless run of the same scenario.
struct XvfbPages : xvfbtest::Desktop {
  void TearDown() override { b.reset(); }
  xvfbtest::LeakCheckOff leakCheckOff;
};

// What the frames saw, published to the thread that reads the screen and clicks.
struct RunState {
  std::atomic<int> waits{0};          // page-end waits begun so far
  std::atomic<bool> waiting{false};   // a page end waits now
  std::atomic<bool> finished{false};  // the clicker is done: end the run
  std::atomic<bool> runEnded{false};
  Clock::time_point start = Clock::now();
  std::vector<std::u16string> pageTexts;  // the newest backlog text at each wait (main thread only)
};

// A page end waits: its mark sprite is the window's topmost child, above the buttons.
bool PageWaits() {
  if (!g_MessageWindow) return false;
  ssView* last = g_MessageWindow->GetLastChild();
  return last != static_cast<ssView*>(g_MessageWindow->m_pButtons[kMessageButtons - 1]) &&
         dynamic_cast<DxDraw::DxSprite*>(last) != nullptr;
}

// Level 14, every frame: notes the page-end waits, ends the run when the clicker is done, and
// ends it anyway after a minute so that the test never hangs.
int32_t ReaderProc(ACT* act, uint32_t message, uintptr_t, uintptr_t) {
  if (message != ACTMSG_RUN) return 0;
  auto* state = reinterpret_cast<RunState*>(act->m_User);
  const bool waits = PageWaits();
  if (waits && !state->waiting) {
    state->pageTexts.push_back(g_BackLog ? std::u16string(g_BackLog->LastText()) : std::u16string());
    ++state->waits;
  }
  state->waiting = waits;
  if (state->finished || Clock::now() - state->start > 60s) g_TransferRequest = 1;
  return 0;
}

// The rows of text in the message window's text area of a capture: runs of rows holding ink
// (pixels that stand out from the window's backdrop in its bottom margin), and the ink in all.
struct TextRows {
  int rows = 0;
  int ink = 0;
};
TextRows ReadTextRows(const std::vector<uint8_t>& shot) {
  TextRows r;
  if (shot.empty()) return r;
  const xvfbtest::Rgb backdrop = xvfbtest::At(shot, 800, 400, 590);
  bool inRow = false;
  for (int y = kMessageWindowY + kMessageMarginTop; y < kMessageWindowY + kMessageWindowHeight - kMessageMarginBottom;
       ++y) {
    int ink = 0;
    for (int x = kMessageMarginLeft; x < kMessageWindowWidth - kMessageMarginRight - 48; ++x)
      if (!xvfbtest::Near(xvfbtest::At(shot, 800, x, y), backdrop.r, backdrop.g, backdrop.b, 40)) ++ink;
    r.ink += ink;
    const bool row = ink > 2;
    if (row && !inRow) ++r.rows;
    inRow = row;
  }
  return r;
}

void WritePng(const std::vector<uint8_t>& rgb, const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 800;
  image.height = 600;
  image.format = PNG_FORMAT_RGB;
  EXPECT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) << image.message;
}

TEST_F(XvfbPages, TwoPagesShowInTheRealWindowAndAClickEndsTheFirst) {
  scripttest::SampleSurface system = scripttest::LoadSystemPicture();
  ComRef<IArchive> archive = scripttest::OpenSampleArchive("script.pux");
  ASSERT_TRUE(system && archive) << "the sample data in " VARN_BINARY_DIR "/data";

  platform::Backend* backend = b.get();
  varntest::TestMainWindow main;
  ASSERT_TRUE(main.Create(*backend->window, u"VARN", u"varn-xvfb-pages", platform::Rect{0, 0, 800, 600}, nullptr));
  backend->window->Show();
  varntest::FrameStack frames(*backend, main);  // the backend's own glyphs: FreeType
  ASSERT_TRUE(frames.Wired());

  // The game's state as a fresh start leaves it.
  RegisterGameScriptGlobals();
  g_Variables.Clear();
  g_SavedVariables.Clear();
  TextScript::g_ScriptHistory.Clear();
  TextScript::g_ImageHistory.Clear();
  ResetSettings();
  g_SkipMode = 0;
  g_AutoMode = 0;
  g_PageText = 0;
  ClearSceneStates();
  g_StartPage = -1;
  g_PrologueSkip = 0;

  scripttest::FakeNames names;
  scripttest::FakeVoiceChannels voiceChannels;
  TextScript::MessageServices message;
  message.voice = &voiceChannels;
  message.names = &names;
  message.systemImage = system.get();
  TextScript::SetMessageServices(message);

  scripttest::FakeScene unusedScene;
  scripttest::FakeButtons unusedButtons;
  scripttest::FakeFiles unusedFiles;
  scripttest::FakeSceneServices pictures;
  scripttest::FakeVoice voice;
  scripttest::FakeSounds sounds;
  scripttest::FakeOptions options;
  scripttest::FakeSaves saves;
  scripttest::FakeNotices notices;
  scripttest::FakeScreens screens;
  scripttest::FakeMenu menu;
  GameScriptServices script(frames.screen, system.get(), archive.Get(), pictures);
  InstallGameScriptServices(script, GameServices{&unusedScene, &unusedButtons, &voice, &sounds, &options, &saves,
                                                 &notices, &screens, &menu, &unusedFiles, &pictures});
  AppCommandTable table;
  RegisterGameCommands(table);
  RunState state;
  AddACT(14, MakeACT(ReaderProc, reinterpret_cast<uintptr_t>(&state)));

  const unsigned long id = x.FindWindow("varn-xvfb-pages");
  ASSERT_NE(id, 0u) << "the window never appeared";
  const std::string window = std::to_string(id);
  x.Tool("windowfocus --sync " + window);
  x.Tool("mousemove --window " + window + " 400 300");
  const auto until = Clock::now() + 10s;
  while (!backend->window->IsActive() && Clock::now() < until) {
    platform::Event e;
    while (backend->window->PollEvent(e)) main.DispatchEvent(e);
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_TRUE(backend->window->IsActive()) << "the window never got the focus";

  // While the run goes on on this thread, another reads the screen back and clicks; every wait
  // of it is bounded, and it gives up when the run ends by itself.
  std::vector<uint8_t> firstShot, secondShot;
  TextRows first, second;
  std::atomic<bool> stillWaitedWithoutClick{false}, firstEndedByClick{false};
  auto waitFor = [&](auto done, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    while (!done() && !state.runEnded && Clock::now() < end) std::this_thread::sleep_for(20ms);
    return done();
  };
  // Captures until the text area shows the rows expected (the reveal may still be running).
  auto capturePage = [&](std::vector<uint8_t>& shot, TextRows& rows, int expectRows) {
    for (int attempt = 0; attempt < 40 && !state.runEnded; ++attempt) {
      shot = x.Capture(id, 800, 600);
      rows = ReadTextRows(shot);
      if (rows.rows == expectRows) return;
      std::this_thread::sleep_for(100ms);
    }
  };
  std::thread clicker([&] {
    if (!waitFor([&] { return state.waits >= 1; }, 30s)) return;
    capturePage(firstShot, first, 2);
    // Nothing but a click ends the page: it still waits a while later.
    std::this_thread::sleep_for(500ms);
    stillWaitedWithoutClick = state.waiting && state.waits == 1;
    // Click until the wait has ended: a click may be lost while the server is busy.
    const auto end = Clock::now() + 15s;
    while (state.waiting && state.waits == 1 && !state.runEnded && Clock::now() < end) {
      x.Tool("mousemove --window " + window + " 400 300");
      x.Tool("mousedown 1");
      std::this_thread::sleep_for(250ms);
      x.Tool("mouseup 1");
      waitFor([&] { return !state.waiting || state.waits > 1; }, 2s);
    }
    firstEndedByClick = !state.waiting || state.waits > 1;
    if (waitFor([&] { return state.waits >= 2; }, 30s)) capturePage(secondShot, second, 3);
    state.finished = true;
  });
  int result = -1;
  try {
    result = RunScenario(u"_start.txt", 0, table);
  } catch (const ExceptionHandle& e) {
    ADD_FAILURE() << "the run failed: " << platform::WideToUtf8(e.m_Message);
  }
  state.runEnded = true;
  clicker.join();
  SetGameServices(GameServices{});
  ClearSceneStates();
  ResetSettings();

  EXPECT_EQ(result, 1) << "the run ended by the test's return to the title";
  ASSERT_GE(state.pageTexts.size(), 2u) << "two page ends were reached";
  EXPECT_NE(state.pageTexts[0].find(u"灯降町"), std::u16string::npos);
  EXPECT_NE(state.pageTexts[1].find(u"石畳の坂道"), std::u16string::npos);

  ASSERT_FALSE(firstShot.empty()) << "the first page was never read back";
  WritePng(firstShot, VARN_BINARY_DIR "/script_xvfb_page1.png");
  EXPECT_EQ(first.rows, 2) << "the first page's two lines of text in the window (ink " << first.ink << ")";
  EXPECT_GT(first.ink, 1000);
  EXPECT_TRUE(stillWaitedWithoutClick) << "the first page waited for the reader";
  EXPECT_TRUE(firstEndedByClick) << "no click ended the first page";

  ASSERT_FALSE(secondShot.empty()) << "the second page was never read back";
  WritePng(secondShot, VARN_BINARY_DIR "/script_xvfb_page2.png");
  EXPECT_EQ(second.rows, 3) << "the second page's three lines, the first page's gone (ink " << second.ink << ")";
  EXPECT_GT(second.ink, first.ink);
}

}  // namespace
