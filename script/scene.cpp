// The scene of a scenario run: building the layer tree, restoring it from the resume buffers and
// tearing it down.
#include "script/scene.h"

#include <cstring>
#include <memory>

#include "app/frame/framestep.h"
#include "dxdraw/view.h"
#include "lib/error.h"
#include "lib/sjis.h"
#include "script/settings.h"
#include "textscript/scripterror.h"
#include "textscript/statement.h"

DxDraw::DxDrawGroup* g_SceneRoot = nullptr;
DxDraw::DxDrawGroup* g_SceneLayers[kSceneLayers] = {};
DxDraw::DxSprite* g_BackgroundSprite = nullptr;
DxDraw::DxSurface32* g_BackgroundSurface = nullptr;
MessageWindow* g_MessageWindow = nullptr;
uint32_t g_BackgroundState = 0;

SCENESTATE g_SceneState[kSceneBuffers];

namespace {

constexpr const char16_t* kSource = u"script/scr_gui";
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;

// The message window's text style and character delay.
constexpr uint32_t kWindowTextStyle = 0x10;
constexpr uint32_t kWindowCharDelay = 10;

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};
using SurfaceHolder = std::unique_ptr<DxDraw::DxSurface32, SurfaceRelease>;

// A new 800 x 600 32-bit image filled with opaque black.
SurfaceHolder NewSceneImage() {
  SurfaceHolder image(new DxDraw::DxSurface32());
  if (!image->Create(kSceneWidth, kSceneHeight))
    ThrowException(kSource, __LINE__, 0, 0, u"Scene: cannot create a %dx%d image", kSceneWidth, kSceneHeight);
  image->Fill(nullptr, kBlack, 255);
  return image;
}

void BuildSceneObjects(ssGroup* screen, DxDraw::DxSurface* systemImage, const char16_t* fontName,
                       const WindowColour& baseColour, ISceneServices& services) {
  if (!screen) ThrowException(kSource, __LINE__, 0, 0, u"Scene: no screen to build on");
  // Each object goes into its global as soon as it is in the tree, so that a failure further
  // on finds everything built so far.
  g_SceneRoot = new DxDraw::DxDrawGroup();
  screen->AddChild(g_SceneRoot);
  for (DxDraw::DxDrawGroup*& layer : g_SceneLayers) {
    layer = new DxDraw::DxDrawGroup();
    g_SceneRoot->AddChild(layer);
  }

  SurfaceHolder shown = NewSceneImage();
  g_BackgroundSprite = new DxDraw::DxSprite(shown.get(), nullptr, 0);
  g_SceneLayers[kBackgroundLayer]->AddChild(g_BackgroundSprite);
  shown.release();  // the sprite's now; the tear-down releases it

  g_BackgroundSurface = NewSceneImage().release();
  g_BackgroundState = BACKGROUND_PLAIN;

  std::unique_ptr<MessageWindow, void (*)(MessageWindow*)> window(
      new MessageWindow(systemImage, kMessageWindowWidth, kMessageWindowHeight, kMessageMarginLeft, kMessageMarginRight,
                        kMessageMarginTop, kMessageMarginBottom),
      [](MessageWindow* w) { w->Release(); });
  window->SetPosition(0, kMessageWindowY);
  TextScript::DxMessView2* view = window->GetView();
  view->SetFont(kMessageFontHeight, kMessageLineSpacing, fontName);
  view->SetStyleFlags(view->GetStyleFlags() | kWindowTextStyle);
  window->Hide();
  window->SetCharDelay(kWindowCharDelay);
  g_SceneLayers[kTopLayer]->AddChild(window.get());
  g_MessageWindow = window.release();

  services.ApplyWindowColour(baseColour);
}

// Shows a plain colour at once: on the work image and in the shown image.
void ShowPlainBackground(uint32_t colour) {
  g_BackgroundSurface->Fill(nullptr, colour, 255);
  g_BackgroundState |= BACKGROUND_PLAIN;
  DxDraw::DxSurface* shown = g_BackgroundSprite->GetImage();
  if (shown) {
    const platform::Rect whole = g_BackgroundSurface->Bounds();
    shown->Blt(0, 0, g_BackgroundSurface, &whole, nullptr, nullptr);
  }
  g_BackgroundSprite->MarkDirty(DxDraw::DIRTY_VISIBILITY);
}

// The buffer's name, or false (with a line in the log) when it cannot be read.
bool RestoredName(SceneBuffer buffer, std::u16string* name) {
  if (GetSceneStateName(g_SceneState[buffer], name)) return true;
  DebugPrintf(u"Scene: the %s state holds no terminated name; not restored\n", SceneBufferName(buffer));
  return false;
}

void RestoreSceneObjects(ISceneServices& services) {
  std::u16string name;
  if (g_SceneState[SCENE_BGM].m_State != SCENE_BGM_NONE && RestoredName(SCENE_BGM, &name))
    services.PlayBgmOrVoice(0, name.c_str(), true);
  // An effect played once is not heard again; a looping one starts from its beginning.
  if (g_SceneState[SCENE_SE1].m_State == SCENE_SE_LOOP && RestoredName(SCENE_SE1, &name))
    services.PlaySe(1, name.c_str(), true);
  if (g_SceneState[SCENE_SE2].m_State == SCENE_SE_LOOP && RestoredName(SCENE_SE2, &name))
    services.PlaySe(2, name.c_str(), true);

  // Pictures are only composed here; the first message or choice fades them in.
  switch (g_SceneState[SCENE_BACKGROUND].m_State) {
    case SCENE_BG_BLACK:
      ShowPlainBackground(kBlack);
      break;
    case SCENE_BG_WHITE:
      ShowPlainBackground(kWhite);
      break;
    case SCENE_BG_PICTURE:
      if (RestoredName(SCENE_BACKGROUND, &name)) {
        g_BackgroundState |= BACKGROUND_PENDING;
        services.DrawBackground(name.c_str());
      }
      break;
    case SCENE_BG_CHR:
      if (RestoredName(SCENE_BACKGROUND, &name)) {
        g_BackgroundState |= BACKGROUND_PENDING;
        services.DrawCharacters(name.c_str(), TextScript::STMT_CHR);
      }
      break;
    default:
      break;
  }
  if (g_SceneState[SCENE_CHARACTERS].m_State != SCENE_CHL_NONE && RestoredName(SCENE_CHARACTERS, &name)) {
    g_BackgroundState |= BACKGROUND_PENDING;
    services.DrawCharacters(name.c_str(), TextScript::STMT_CHL);
  }
}

void ReleaseSceneObjects() {
  if (g_MessageWindow) {
    g_MessageWindow->Release();
    g_MessageWindow = nullptr;
  }
  if (g_BackgroundSurface) {
    g_BackgroundSurface->Release();
    g_BackgroundSurface = nullptr;
  }
  if (g_BackgroundSprite) {
    DxDraw::DxSurface* shown = g_BackgroundSprite->GetImage();
    g_BackgroundSprite->SetImage(nullptr);
    if (shown) shown->Release();
    g_BackgroundSprite->Release();
    g_BackgroundSprite = nullptr;
  }
  if (g_SceneRoot) {
    g_SceneRoot->Release();  // takes the layers with it
    g_SceneRoot = nullptr;
  }
  for (DxDraw::DxDrawGroup*& layer : g_SceneLayers) layer = nullptr;
  g_BackgroundState = 0;
}

}  // namespace

WindowColour WindowColourOf(const SETTINGDATA& settings) {
  return WindowColour{settings.m_BaseColor[0], settings.m_BaseColor[1], settings.m_BaseColor[2],
                      settings.m_BaseColor[3]};
}

void ShowBlackBackground() {
  if (!g_BackgroundSurface || !g_BackgroundSprite) return;
  ShowPlainBackground(kBlack);
  g_BackgroundState = BACKGROUND_PLAIN;
}

const char16_t* SceneBufferName(SceneBuffer buffer) {
  switch (buffer) {
    case SCENE_BACKGROUND:
      return u"background";
    case SCENE_CHARACTERS:
      return u"characters";
    case SCENE_BGM:
      return u"BGM";
    case SCENE_SE1:
      return u"SE1";
    case SCENE_SE2:
      return u"SE2";
  }
  return u"?";
}

void SetSceneState(SceneBuffer buffer, uint8_t state, const char16_t* name) {
  const std::u16string_view wide = name ? std::u16string_view(name) : std::u16string_view();
  const std::string sjis = WideToSjis(wide);
  if (sjis.size() > SCENESTATE::kMaxNameBytes || !IsSjisRepresentable(wide))
    throw TextScript::ScriptError2(0, u"Script Error: the %s state cannot hold the name '%s' (at most %d bytes).",
                                   SceneBufferName(buffer), std::u16string(wide).c_str(),
                                   static_cast<int>(SCENESTATE::kMaxNameBytes));
  SCENESTATE& s = g_SceneState[buffer];
  s = SCENESTATE();
  s.m_State = state;
  std::memcpy(s.m_Name, sjis.data(), sjis.size());
}

void ClearSceneStates() {
  for (SCENESTATE& s : g_SceneState) s = SCENESTATE();
}

bool GetSceneStateName(const SCENESTATE& state, std::u16string* out) {
  const void* end = std::memchr(state.m_Name, 0, SCENESTATE::kNameSize);
  if (!end) return false;
  *out = SjisToWide(std::string_view(state.m_Name, static_cast<const char*>(end) - state.m_Name));
  return true;
}

void BuildScene(ssGroup* screen, DxDraw::DxSurface* systemImage, const char16_t* fontName,
                const WindowColour& baseColour, ISceneServices& services) {
  ReleaseSceneObjects();
  try {
    BuildSceneObjects(screen, systemImage, fontName, baseColour, services);
  } catch (...) {
    ReleaseScene(services);
    throw;
  }
}

void RestoreScene(ISceneServices& services) {
  if (!g_SceneRoot) return;
  try {
    RestoreSceneObjects(services);
  } catch (...) {
    ReleaseScene(services);
    throw;
  }
}

void ReleaseScene(ISceneServices& services) {
  ReleaseSceneObjects();
  services.StopChannels();
}

void TearDownScene(ISceneServices& services) {
  ReleaseScene(services);
  WaitFrame();
}

SceneScope::SceneScope(ssGroup* screen, DxDraw::DxSurface* systemImage, const char16_t* fontName,
                       const WindowColour& baseColour, ISceneServices& services)
    : m_Services(services) {
  BuildScene(screen, systemImage, fontName, baseColour, services);
  RestoreScene(services);
}

SceneScope::~SceneScope() {
  if (!m_Done) ReleaseScene(m_Services);
}

void SceneScope::TearDown() {
  m_Done = true;
  TearDownScene(m_Services);
}
