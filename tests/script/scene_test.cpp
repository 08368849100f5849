// Tests of the scene: the layer tree a run builds, what the resume buffers bring back, the writer
// of the buffers, and the tear-down on every way out.
#include "script/scene.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "dxdraw/surface.h"
#include "lib/error.h"
#include "platform/utf.h"
#include "sampledata.h"
#include "tests/app/stack.h"
#include "textscript/scripterror.h"
#include "textscript/statement.h"

namespace {

using varntest::HeadlessStack;

std::string U8(std::u16string_view s) {
  return platform::WideToUtf8(s);
}

// Records every call in order; a call can be made to fail.
class TestSceneServices : public ISceneServices {
 public:
  void ApplyWindowColour(const WindowColour& c) override {
    Record("colour " + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + "," +
           std::to_string(c.a));
    if (failColour) throw std::runtime_error("colour");
    // What the real one does first: the window exists when it is called.
    windowAtColour = g_MessageWindow != nullptr;
  }
  void ShowPendingBackground() override { Record("pending"); }
  void FadeToBlack() override { Record("fade black"); }
  void FadeToWhite() override { Record("fade white"); }
  void StopChannel(int32_t channel) override { Record("stop " + std::to_string(channel)); }
  void PlayBgmOrVoice(int32_t channel, const char16_t* name, bool forced) override {
    Record("bgm " + std::to_string(channel) + " " + U8(name) + (forced ? " forced" : ""));
  }
  void PlaySe(int32_t channel, const char16_t* name, bool loop) override {
    Record("se " + std::to_string(channel) + " " + U8(name) + (loop ? " loop" : " once"));
  }
  void DrawBackground(const char16_t* name) override {
    Record("background " + U8(name));
    if (failDraw) {
      ExceptionHandle e;
      e.SetLocation(u"script/scr_gui", 1).Format(e, 0, 0, u"Script Error: JPEG decode error '%s'.", name);
      throw e;
    }
  }
  void DrawCharacters(const char16_t* name, int32_t kind) override {
    Record(std::string(kind == TextScript::STMT_CHR   ? "CHR "
                       : kind == TextScript::STMT_CHL ? "CHL "
                                                      : "? ") +
           U8(name));
  }
  void StopChannels() override {
    Record("stop");
    sceneAtStop = g_SceneRoot || g_MessageWindow || g_BackgroundSprite || g_BackgroundSurface;
  }

  void Record(std::string call) { calls.push_back(std::move(call)); }

  std::vector<std::string> calls;
  bool failColour = false;
  bool failDraw = false;
  bool windowAtColour = false;
  bool sceneAtStop = false;
};

using scripttest::LoadSystemPicture;
using scripttest::WriteFrontPng;
using SurfaceHolder = scripttest::SampleSurface;

std::vector<ssView*> Children(const ssGroup* group) {
  std::vector<ssView*> out;
  for (ssView* c = group->GetFirstChild(); c; c = group->GetNextSibling(c)) out.push_back(c);
  return out;
}

uint32_t PixelOf(DxDraw::DxSurface* s, int x, int y) {
  const uint8_t* p = s->GetPixelAddress(x, y);
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

class Scene : public ::testing::Test {
 protected:
  void SetUp() override {
    system = LoadSystemPicture();
    ASSERT_TRUE(system) << "the SYSTEM picture of " VARN_BINARY_DIR "/data/system.pux";
    TextScript::MessageServices message;
    message.systemImage = system.get();
    TextScript::SetMessageServices(message);
    ClearSceneStates();
  }
  void TearDown() override {
    ReleaseScene(services);
    ClearSceneStates();
  }

  void Build() { BuildScene(stack.screen, system.get(), u"ＭＳ 明朝", colour, services); }

  static bool NothingBuilt() {
    for (DxDraw::DxDrawGroup* layer : g_SceneLayers)
      if (layer) return false;
    return !g_SceneRoot && !g_BackgroundSprite && !g_BackgroundSurface && !g_MessageWindow && g_BackgroundState == 0;
  }

  HeadlessStack stack;
  SurfaceHolder system;
  TestSceneServices services;
  WindowColour colour{10, 20, 30, 40};
};

TEST_F(Scene, BuildsTheLayerTreeWithABlackBackgroundAndTheHiddenWindow) {
  Build();
  ASSERT_EQ(Children(stack.screen), std::vector<ssView*>{g_SceneRoot});
  const std::vector<ssView*> layers = Children(g_SceneRoot);
  ASSERT_EQ(layers.size(), size_t(kSceneLayers));
  for (int i = 0; i < kSceneLayers; ++i) {
    EXPECT_EQ(layers[i], static_cast<ssView*>(g_SceneLayers[i])) << "layer " << i << " in index order";
    if (i != kBackgroundLayer && i != kTopLayer) {
      EXPECT_TRUE(Children(g_SceneLayers[i]).empty()) << "layer " << i;
    }
  }

  EXPECT_EQ(Children(g_SceneLayers[0]), std::vector<ssView*>{g_BackgroundSprite});
  DxDraw::DxSurface* shown = g_BackgroundSprite->GetImage();
  ASSERT_NE(shown, nullptr);
  EXPECT_NE(shown, static_cast<DxDraw::DxSurface*>(g_BackgroundSurface)) << "two separate images";
  for (DxDraw::DxSurface* s : {shown, static_cast<DxDraw::DxSurface*>(g_BackgroundSurface)}) {
    EXPECT_EQ(s->GetWidth(), 800);
    EXPECT_EQ(s->GetAbsHeight(), 600);
    EXPECT_EQ(s->GetBitCount(), 32u);
    EXPECT_EQ(PixelOf(s, 400, 300), 0u) << "opaque black";
  }
  EXPECT_EQ(g_BackgroundSprite->m_Params.mode, 0u);
  EXPECT_EQ(g_BackgroundSprite->m_Frame.source, (platform::Rect{0, 0, 800, 600}));
  EXPECT_EQ(g_BackgroundState, uint32_t(BACKGROUND_PLAIN));

  EXPECT_EQ(Children(g_SceneLayers[23]), std::vector<ssView*>{g_MessageWindow});
  EXPECT_EQ(g_MessageWindow->m_Position[0], 0.0f);
  EXPECT_EQ(g_MessageWindow->m_Position[1], 400.0f);
  EXPECT_FALSE(g_MessageWindow->IsShown());
  EXPECT_EQ(g_MessageWindow->GetCharDelay(), 10u);
  TextScript::DxMessView2* view = g_MessageWindow->GetView();
  EXPECT_EQ(view->GetWidth(), 800 - 8 - 24);
  EXPECT_EQ(view->GetHeight(), 200 - 44 - 16);
  EXPECT_TRUE(view->GetStyleFlags() & 0x10);
  ASSERT_NE(view->GetFont(), nullptr);
  EXPECT_EQ(view->GetFont()->GetLogFont().height, 32);
  EXPECT_EQ(std::u16string(view->GetFont()->GetLogFont().faceName), u"ＭＳ 明朝");
  EXPECT_EQ(view->GetTextContext().m_SpacingY, 3);
  EXPECT_EQ(services.calls, std::vector<std::string>{"colour 10,20,30,40"});
  EXPECT_TRUE(services.windowAtColour);

  stack.Front().ClearLog();
  WaitFrame();
  EXPECT_EQ(stack.Front().PixelAt(400, 300), 0u);
  EXPECT_EQ(stack.Front().PixelAt(770, 450), 0u) << "the hidden window's buttons are not drawn";
}

// One row per resume state: the calls of the restore in order, the background bits after it, and
// the colour both background images have at once (a picture is only composed: the images keep
// what they held until the first message fades it in).
constexpr uint32_t kUntouched = 0x123456;
struct RestoreCase {
  const char* label;
  std::vector<std::pair<SceneBuffer, std::pair<uint8_t, const char16_t*>>> states;
  std::vector<std::string> calls;
  uint32_t bits;
  uint32_t shown;  // 0x00RRGGBB
};

class SceneRestore : public Scene, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(SceneRestore, CallsWithNamesAndFlagsPerStateCode) {
  const RestoreCase& c = GetParam();
  for (const auto& [buffer, state] : c.states) SetSceneState(buffer, state.first, state.second);
  Build();
  g_BackgroundSurface->Fill(nullptr, kUntouched, 255);
  g_BackgroundSprite->GetImage()->Fill(nullptr, kUntouched, 255);
  services.calls.clear();
  RestoreScene(services);
  EXPECT_EQ(services.calls, c.calls);
  EXPECT_EQ(g_BackgroundState, c.bits);
  EXPECT_EQ(PixelOf(g_BackgroundSprite->GetImage(), 10, 10) & 0xFFFFFF, c.shown);
  EXPECT_EQ(PixelOf(g_BackgroundSurface, 10, 10) & 0xFFFFFF, c.shown);
  // A plain colour reaches the screen in the next frame, without a fade.
  WaitFrame();
  EXPECT_EQ(stack.Front().PixelAt(400, 300), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    States, SceneRestore,
    ::testing::Values(
        RestoreCase{"Black", {}, {}, BACKGROUND_PLAIN, 0},
        RestoreCase{"White", {{SCENE_BACKGROUND, {SCENE_BG_WHITE, nullptr}}}, {}, BACKGROUND_PLAIN, 0xFFFFFF},
        RestoreCase{"Picture",
                    {{SCENE_BACKGROUND, {SCENE_BG_PICTURE, u"ABC1020"}}},
                    {"background ABC1020"},
                    BACKGROUND_PLAIN | BACKGROUND_PENDING,
                    kUntouched},
        RestoreCase{"CharacterScene",
                    {{SCENE_BACKGROUND, {SCENE_BG_CHR, u"A010203"}}},
                    {"CHR A010203"},
                    BACKGROUND_PLAIN | BACKGROUND_PENDING,
                    kUntouched},
        RestoreCase{
            "LayerOverPictureBackgroundFirst",
            {{SCENE_CHARACTERS, {SCENE_CHL_SHOWN, u"B000100"}}, {SCENE_BACKGROUND, {SCENE_BG_PICTURE, u"夜景0000"}}},
            {"background 夜景0000", "CHL B000100"},
            BACKGROUND_PLAIN | BACKGROUND_PENDING,
            kUntouched},
        RestoreCase{"SoundsFirstOnlyLoopingEffects",
                    {{SCENE_BACKGROUND, {SCENE_BG_WHITE, nullptr}},
                     {SCENE_BGM, {SCENE_BGM_PLAYING, u"bgm01"}},
                     {SCENE_SE1, {SCENE_SE_ONCE, u"door"}},
                     {SCENE_SE2, {SCENE_SE_LOOP, u"rain"}}},
                    {"bgm 0 bgm01 forced", "se 2 rain loop"},
                    BACKGROUND_PLAIN,
                    0xFFFFFF},
        RestoreCase{"BothLoops",
                    {{SCENE_SE1, {SCENE_SE_LOOP, u"wind"}}, {SCENE_SE2, {SCENE_SE_LOOP, u"rain"}}},
                    {"se 1 wind loop", "se 2 rain loop"},
                    BACKGROUND_PLAIN,
                    0},
        RestoreCase{"UnknownCodesDoNothing",
                    {{SCENE_BACKGROUND, {7, u"ABC0000"}}, {SCENE_SE1, {9, u"x"}}, {SCENE_SE2, {255, u"y"}}},
                    {},
                    BACKGROUND_PLAIN,
                    kUntouched}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Scene, ANameWithoutTerminatorIsPassedOver) {
  // Damaged buffers, as a damaged save could hand them over: every byte of the name set.
  for (SceneBuffer b : {SCENE_BACKGROUND, SCENE_CHARACTERS, SCENE_BGM, SCENE_SE1}) {
    g_SceneState[b].m_State = b == SCENE_BACKGROUND ? SCENE_BG_PICTURE : b == SCENE_SE1 ? SCENE_SE_LOOP : 1;
    std::memset(g_SceneState[b].m_Name, 'A', sizeof g_SceneState[b].m_Name);
  }
  SetSceneState(SCENE_SE2, SCENE_SE_LOOP, u"rain");
  Build();
  services.calls.clear();
  RestoreScene(services);
  EXPECT_EQ(services.calls, std::vector<std::string>{"se 2 rain loop"});
  EXPECT_EQ(g_BackgroundState, uint32_t(BACKGROUND_PLAIN));

  std::u16string name = u"kept";
  EXPECT_FALSE(GetSceneStateName(g_SceneState[SCENE_BGM], &name));
  EXPECT_EQ(name, u"kept");
}

TEST_F(Scene, TearDownReleasesInOrderThenStopsAndShowsTheEmptyTree) {
  // Watches which scene objects still exist while the window and a layer are destroyed.
  struct Probe : ssView {
    explicit Probe(std::vector<std::string>* log, const char* name) : log(log), name(name) {}
    ~Probe() override {
      log->push_back(std::string(name) + (g_BackgroundSurface ? " surface" : "") +
                     (g_BackgroundSprite ? " sprite" : "") + (g_SceneRoot ? " root" : ""));
    }
    std::vector<std::string>* log;
    const char* name;
  };
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_WHITE, nullptr);
  Build();
  RestoreScene(services);
  g_MessageWindow->AddChild(new Probe(&services.calls, "window"));
  g_SceneLayers[5]->AddChild(new Probe(&services.calls, "layer"));
  DxDraw::DxSurface* shown = g_BackgroundSprite->GetImage();
  shown->AddRef();
  g_BackgroundSurface->AddRef();
  SurfaceHolder shownHeld(shown), workHeld(g_BackgroundSurface);
  WaitFrame();
  ASSERT_EQ(stack.Front().PixelAt(400, 300), 0xFFFFFFu);
  services.calls.clear();
  const uint64_t frames = GetFrameCount();

  TearDownScene(services);
  EXPECT_EQ(services.calls, (std::vector<std::string>{"window surface sprite root", "layer root", "stop"}))
      << "window, then the work image and the background sprite, then the root with its layers";
  EXPECT_FALSE(services.sceneAtStop);
  EXPECT_TRUE(NothingBuilt());
  EXPECT_TRUE(Children(stack.screen).empty());
  EXPECT_EQ(shownHeld->GetRefCount(), 1u) << "the shown image was released";
  EXPECT_EQ(workHeld->GetRefCount(), 1u) << "the work image was released";
  EXPECT_EQ(GetFrameCount(), frames + 1);
  EXPECT_EQ(stack.Front().PixelAt(400, 300), 0u) << "the screen shows the emptied tree";

  services.calls.clear();
  TearDownScene(services);
  ReleaseScene(services);
  EXPECT_EQ(services.calls, (std::vector<std::string>{"stop", "stop"})) << "again: nothing left to release";
  EXPECT_TRUE(NothingBuilt());
}

TEST_F(Scene, AFailedBuildLeavesNothingBuilt) {
  services.failColour = true;
  EXPECT_THROW(Build(), std::runtime_error);
  EXPECT_TRUE(NothingBuilt());
  EXPECT_TRUE(Children(stack.screen).empty());
  EXPECT_EQ(services.calls.back(), "stop");

  // Nothing left behind stands in the way of the next build.
  services.failColour = false;
  Build();
  EXPECT_FALSE(NothingBuilt());
}

TEST_F(Scene, AFailedRestoreLeavesNothingBuiltAndStopsTheMusic) {
  SetSceneState(SCENE_BGM, SCENE_BGM_PLAYING, u"bgm02");
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_PICTURE, u"BAD0000");
  services.failDraw = true;
  Build();
  services.calls.clear();
  try {
    RestoreScene(services);
    ADD_FAILURE() << "the decode error goes on";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Message), u"Script Error: JPEG decode error 'BAD0000'.");
  }
  EXPECT_EQ(services.calls, (std::vector<std::string>{"bgm 0 bgm02 forced", "background BAD0000", "stop"}));
  EXPECT_FALSE(services.sceneAtStop);
  EXPECT_TRUE(NothingBuilt());
  EXPECT_TRUE(Children(stack.screen).empty());
}

TEST_F(Scene, ScopeReleasesOnEveryWayOutAndLetsAFramePassOnlyAtTheNormalEnd) {
  const uint64_t frames = GetFrameCount();
  try {
    SceneScope scope(stack.screen, system.get(), nullptr, colour, services);
    EXPECT_FALSE(NothingBuilt());
    throw std::runtime_error("the run ended by an error");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(NothingBuilt());
  EXPECT_EQ(GetFrameCount(), frames);

  {
    SceneScope scope(stack.screen, system.get(), nullptr, colour, services);
    scope.TearDown();
    EXPECT_TRUE(NothingBuilt());
  }
  EXPECT_EQ(GetFrameCount(), frames + 1);

  services.failDraw = true;
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_PICTURE, u"BAD0000");
  EXPECT_THROW(SceneScope(stack.screen, system.get(), nullptr, colour, services), ExceptionHandle);
  EXPECT_TRUE(NothingBuilt());
}

// The built scene with the window shown over a white background, written out for a look.
TEST_F(Scene, ScreenshotOfTheBuiltSceneWithTheWindowShown) {
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_WHITE, nullptr);
  Build();
  RestoreScene(services);
  ACT* open = TextScript::StartMessageWindowOpen(g_MessageWindow);
  FreeACT(open);
  g_MessageWindow->GetView()->PrintText(0xFFFFFF, 0, u"【名前】メッセージウィンドウ", nullptr, nullptr);
  g_MessageWindow->m_pButtons[MBUTTON_AUTO]->m_Params.level = kButtonLit;
  g_MessageWindow->m_pButtons[MBUTTON_AUTO]->MarkDirty(DxDraw::DIRTY_VISIBILITY);
  WaitFrame();
  WriteFrontPng(stack.Front(), VARN_BINARY_DIR "/script_scene.png");

  EXPECT_EQ(stack.Front().PixelAt(400, 200), 0xFFFFFFu) << "the white background above the window";
  const uint32_t backdrop = stack.Front().PixelAt(400, 590);
  EXPECT_NEAR(int(backdrop & 0xFF), 0x80, 2) << std::hex << "black at half strength over white: " << backdrop;
  // A dimmed button and the lit one differ where the picture has ink.
  EXPECT_NE(stack.Front().PixelAt(770, 452), stack.Front().PixelAt(770, 500));
}

// The writer keeps names the load would bring back unchanged, and refuses the rest.
TEST(SceneState, NamesThatDoNotFitAreRefusedNamingBufferAndName) {
  ClearSceneStates();
  struct Case {
    std::u16string name;
    bool fits;
  };
  const Case cases[] = {
      {std::u16string(30, u'a'), true},
      {std::u16string(31, u'a'), false},
      {u"背景背景背景背景背景背景背景背景", false},  // 16 double-byte characters: 32 bytes
      {u"背景背景背景背景背景背景背景背", true},     // 15: 30 bytes
      {u"ｱｲｳｴｵｱｲｳｴｵｱｲｳｴｵｱｲｳｴｵｱｲｳｴｵｱｲｳｴｵ", true},     // half-width kana: one byte each
      {u"한국", false},                              // no Shift-JIS form
      {u"", true},
  };
  for (const Case& c : cases) {
    SetSceneState(SCENE_BGM, SCENE_BGM_PLAYING, u"before");
    try {
      SetSceneState(SCENE_BGM, SCENE_BGM_PLAYING, c.name.c_str());
      EXPECT_TRUE(c.fits) << U8(c.name);
      std::u16string back;
      ASSERT_TRUE(GetSceneStateName(g_SceneState[SCENE_BGM], &back));
      EXPECT_EQ(back, c.name) << "what a load brings back";
    } catch (const TextScript::ScriptError2& e) {
      EXPECT_FALSE(c.fits) << U8(c.name);
      const std::u16string message = e.m_Message;
      EXPECT_NE(message.find(u"BGM"), std::u16string::npos) << U8(message);
      EXPECT_NE(message.find(u"'" + c.name + u"'"), std::u16string::npos) << U8(message);
      std::u16string kept;
      ASSERT_TRUE(GetSceneStateName(g_SceneState[SCENE_BGM], &kept));
      EXPECT_EQ(kept, u"before") << "a refused name leaves the buffer as it was";
    }
  }
  // State 0 carries no name: nothing of an earlier name stays behind the terminator.
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_PICTURE, u"ABC0000");
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_BLACK, nullptr);
  EXPECT_EQ(g_SceneState[SCENE_BACKGROUND].m_State, 0);
  for (char ch : g_SceneState[SCENE_BACKGROUND].m_Name) EXPECT_EQ(ch, 0);
  ClearSceneStates();
}

}  // namespace
