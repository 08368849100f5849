// The game's script services over the scene globals, the message window and the script archive.
#include "script/gameservices.h"

#include <cstdlib>
#include <memory>

#include "lib/error.h"
#include "script/images.h"
#include "script/scriptfile.h"
#include "script/settings.h"

namespace {

constexpr const char16_t* kSource = u"script/scr_gui";

MessageWindow& SceneWindow() {
  if (!g_MessageWindow) ThrowException(kSource, __LINE__, 0, 0, u"Scene: no message window outside a run");
  return *g_MessageWindow;
}

DxDraw::DxSprite& Button(int button) {
  if (button < 0 || button >= kMessageButtons)
    ThrowException(kSource, __LINE__, 0, 0, u"Scene: no message button %d", button);
  return *SceneWindow().m_pButtons[button];
}

}  // namespace

void SceneOfRun::BuildScene() {
  // The saved scene's pictures decode while the scene is built and its music starts.
  auto pictures = std::make_unique<ImagePrefetch>(g_ScriptArchive, ScenePictures());
  ::BuildScene(m_pScreen, m_pSystemImage, g_Setting.m_FontName, WindowColourOf(g_Setting), m_Services);
  ::RestoreScene(m_Services);
  // The resumed page composes the same pictures again before it shows them.
  HoldImagePrefetch(std::move(pictures));
}

void SceneOfRun::TearDownScene() {
  DropHeldImagePrefetch();
  ::TearDownScene(m_Services);
}

void SceneOfRun::ReleaseScene() noexcept {
  DropHeldImagePrefetch();
  ::ReleaseScene(m_Services);
}

TextScript::DxMessWindow& SceneOfRun::MessageWindow() {
  return SceneWindow();
}

DxDraw::DxDrawGroup& SceneOfRun::TopLayer() {
  if (!g_SceneLayers[kTopLayer]) ThrowException(kSource, __LINE__, 0, 0, u"Scene: no layers outside a run");
  return *g_SceneLayers[kTopLayer];
}

void SceneOfRun::FillBackgroundBlack() {
  ShowBlackBackground();
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_BLACK, nullptr);
  SetSceneState(SCENE_CHARACTERS, SCENE_CHL_NONE, nullptr);
}

void SceneOfRun::ClearResumeState() {
  ClearSceneStates();
}

void MessageButtonBar::SetButtonLevel(int button, uint32_t level) {
  DxDraw::DxSprite& sprite = Button(button);
  sprite.m_Params.level = level;
  sprite.MarkDirty(DxDraw::DIRTY_VISIBILITY);
}

void MessageButtonBar::ShowButton(int button, bool shown) {
  DxDraw::DxSprite& sprite = Button(button);
  if (shown)
    sprite.Show();
  else
    sprite.Hide();
}

bool MessageButtonBar::IsButtonShown(int button) const {
  return Button(button).IsShown();
}

const platform::Rect* MessageButtonBar::HitRects() const {
  return SceneWindow().m_ButtonRects;
}

std::string ScriptArchiveFiles::LoadScriptFile(std::u16string_view name) {
  const std::u16string terminated(name);
  uint32_t size = 0;
  std::unique_ptr<char, decltype(&std::free)> text(::LoadScriptFile(m_pArchive, terminated.c_str(), &size), &std::free);
  return std::string(text.get(), size);
}

void InstallGameScriptServices(GameScriptServices& script, const GameServices& others) {
  GameServices services = others;
  services.scene = &script.scene;
  services.buttons = &script.buttons;
  services.files = &script.files;
  services.pictures = &script.sceneServices;
  SetGameServices(services);
}
