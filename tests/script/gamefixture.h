// A headless game for the command tests: the frame stack, a message window in a top layer, the
// "SYSTEM" picture, test services, the game's command table and a reader driven frame by frame.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "dxdraw/sprite.h"
#include "fakeservices.h"
#include "lib/act.h"
#include "lib/sjis.h"
#include "lib/utility.h"
#include "sampledata.h"
#include "script/executor.h"
#include "script/gameservices.h"
#include "script/images.h"
#include "script/messagewindow.h"
#include "script/scenario.h"
#include "script/scene.h"
#include "script/sceneservices.h"
#include "script/settings.h"
#include "tests/app/stack.h"
#include "tests/textscript/script_fixture.h"
#include "textscript/filehist.h"
#include "textscript/variables.h"

namespace scripttest {

class GameTest : public ::testing::Test {
 protected:
  GameTest() {
    RegisterGameScriptGlobals();
    ClearScriptState();
    ResetSettings();
    g_SkipMode = 0;
    g_AutoMode = 0;
    g_PageText = 0;
    g_BackLog = std::make_unique<BackLogList>();

    m_System.reset(DxDraw::CreateSurface(32));
    m_System->Create(800, 600);
    m_System->Fill(nullptr, 0x00FF00, 255);
    TextScript::MessageServices message;
    message.voice = &voiceChannels;
    message.names = &names;
    message.systemImage = m_System.get();
    TextScript::SetMessageServices(message);

    layer = new DxDraw::DxDrawGroup();
    stack.screen->AddChild(layer);
    window = new TextScript::DxMessWindow(kMessageWindowWidth, kMessageWindowHeight, kMessageMarginLeft,
                                          kMessageMarginRight, kMessageMarginTop, kMessageMarginBottom);
    window->SetPosition(0, kMessageWindowY);
    window->m_pView->SetFont(kMessageFontHeight, kMessageLineSpacing, g_Setting.m_FontName);
    window->m_pView->SetStyleFlags(window->m_pView->GetStyleFlags() | 0x10);
    window->Hide();
    window->m_GameWord0 = 10;
    layer->AddChild(window);
    scene.window = window;
    scene.layer = layer;

    SetGameServices(AllServices());

    RegisterGameCommands(table);
    AddACT(14, MakeACT(ReaderProc, reinterpret_cast<uintptr_t>(this)));
  }

  ~GameTest() override {
    group.reset();
    SetGameServices(GameServices{});
    g_BackLog.reset();
    ResetSettings();
    ClearScriptState();
  }

  // The fixture's test services, for a test that swaps one of them.
  GameServices AllServices() {
    return GameServices{&scene,   &buttons, &voice, &sounds, &options, &saves,
                        &notices, &screens, &menu,  &files,  &pictures};
  }

  // Compiles the script (UTF-16, compiled as Shift-JIS) into a fresh game group.
  ScriptStateGroup_App& Compile(std::u16string_view text) {
    m_Source = WideToSjis(text);
    group = std::make_unique<ScriptStateGroup_App>(table);
    group->Compile(m_Source.data(), m_Source.size(), u"test.txt");
    return *group;
  }
  int Run(std::u16string_view text, int32_t startPage = -1) { return Compile(text).Run(startPage); }

  // True while a page end waits for the reader: its mark is the window's topmost child.
  bool PageWaits() const {
    return window->GetLastChild() != static_cast<ssView*>(window->m_pView) &&
           dynamic_cast<DxDraw::DxSprite*>(window->GetLastChild()) != nullptr;
  }
  // True while a choice menu is up: the layer's topmost child is its text view.
  bool ChoiceShows() const { return layer->GetLastChild() != static_cast<ssView*>(window); }

  void Click() { stack.input->TapButton(0); }
  void ClickAt(platform::Point p) {
    stack.window->SetCursor(p);
    stack.input->TapButton(0);
  }
  // The centre of choice k on the screen.
  static platform::Point ChoiceAt(int k) { return platform::Point{400, 168 + 42 * k}; }

  static int32_t Var(std::u16string_view name) {
    const ScriptVariable* v = g_Variables.Find(ScriptVariable::kInteger, name);
    return v ? v->m_Value : INT32_MIN;
  }

  varntest::HeadlessStack stack;
  SampleSurface m_System;
  FakeScene scene;
  FakeSceneServices pictures;
  FakeButtons buttons;
  FakeVoice voice;
  FakeSounds sounds;
  FakeOptions options;
  FakeSaves saves;
  FakeNotices notices;
  FakeScreens screens;
  FakeMenu menu;
  FakeFiles files;
  FakeNames names;
  FakeVoiceChannels voiceChannels;
  DxDraw::DxDrawGroup* layer = nullptr;        // child of the screen
  TextScript::DxMessWindow* window = nullptr;  // child of the layer
  AppCommandTable table;
  std::unique_ptr<ScriptStateGroup_App> group;
  std::string m_Source;
  // Called at the end of every frame with the frame's number: the test's reader.
  std::function<void(uint64_t)> reader;
  uint64_t frames = 0;

 private:
  static int32_t ReaderProc(ACT* act, uint32_t message, uintptr_t, uintptr_t) {
    if (message != ACTMSG_RUN) return 0;
    auto* self = reinterpret_cast<GameTest*>(act->m_User);
    ++self->frames;
    if (self->reader) self->reader(self->frames);
    // A runaway wait ends the test instead of hanging it.
    if (self->frames > 20000) g_TransferRequest = 1;
    return 0;
  }
};

// The game's script services and its scene services (pictures, transitions, sounds by name) over
// the sample data's "SYSTEM" picture and script archive, on the headless game above; the title,
// the save store and the later parts stay test doubles.
class SampleGameTest : public GameTest {
 protected:
  // False when the sample data is missing (nothing is installed then).
  bool InstallSampleServices() {
    system = LoadSystemPicture();
    archive = OpenSampleArchive("script.pux");
    if (!system || !archive) return false;
    TextScript::MessageServices message;
    message.voice = &voiceChannels;
    message.names = &names;
    message.systemImage = system.get();
    TextScript::SetMessageServices(message);
    g_ScriptArchive = archive.Get();
    sceneServices = std::make_unique<SceneServices>(system.get());
    script = std::make_unique<GameScriptServices>(stack.screen, system.get(), archive.Get(), *sceneServices);
    InstallGameScriptServices(*script, AllServices());
    ClearSceneStates();
    g_StartPage = -1;
    g_PrologueSkip = 0;
    return true;
  }
  void RemoveSampleServices() {
    if (script) script->scene.ReleaseScene();
    SetGameServices(GameServices{});
    ClearSceneStates();
    g_ScriptArchive = nullptr;
  }

  // A pixel of the front image (0xRRGGBB), and the message boxes shown so far.
  uint32_t Front(int32_t x, int32_t y) { return stack.Front().PixelAt(x, y); }
  const std::vector<platform::MessageBoxRequest>& Boxes() const { return stack.backend->hboxes->Shown(); }

  SampleSurface system;
  ComRef<IArchive> archive;
  std::unique_ptr<SceneServices> sceneServices;
  std::unique_ptr<GameScriptServices> script;
};

// The sample game's scene built on the real scene services (black, the window hidden) and one
// frame shown.
class SampleSceneTest : public SampleGameTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InstallSampleServices()) << "the sample data in " VARN_BINARY_DIR "/data";
    GameScene().BuildScene();
    WaitFrame();
  }
  void TearDown() override { RemoveSampleServices(); }
};

// A page end of the running scene waits: its mark sprite is the window's topmost child, above
// the buttons.
inline bool ScenePageWaits() {
  if (!g_MessageWindow) return false;
  ssView* last = g_MessageWindow->GetLastChild();
  return last != static_cast<ssView*>(g_MessageWindow->m_pButtons[kMessageButtons - 1]) &&
         dynamic_cast<DxDraw::DxSprite*>(last) != nullptr;
}
// A choice menu of the running scene is up: the top layer's last child is the menu's text view
// (an ending's black sprite is not).
inline bool SceneChoiceShows() {
  return g_SceneLayers[kTopLayer] && dynamic_cast<TextScript::DxMessView2*>(g_SceneLayers[kTopLayer]->GetLastChild());
}

// The turn selection's choice pictures of the sample game: a single turn at x 594 and a pair at
// x 408, both up to x 780; choice k at y 222 + 36k, 32 high; plain and highlighted in flat colours.
constexpr uint32_t kTurnChoicePlain = 0x3A5A8C;
constexpr uint32_t kTurnChoiceLit = 0xD08A30;
constexpr int32_t TurnChoiceY(int k) {
  return 222 + 36 * k + 16;
}
// The turn selection's choices are up on the shown frame.
inline bool TurnChoicesShow(const platform::headless::HeadlessPresenter& front) {
  const uint32_t at = front.PixelAt(770, TurnChoiceY(0)) & 0xFFFFFF;
  return at == kTurnChoicePlain || at == kTurnChoiceLit;
}

}  // namespace scripttest
