// The game's script services over the scene, the message window's buttons and the script archive,
// and the one call that installs them beside the services of the parts built later.
#pragma once

#include <string>
#include <string_view>

#include "script/scene.h"
#include "script/services.h"

struct IArchive;

// The scene of a run on the scene globals: built under the screen with the settings' font and
// window colour, restored from the resume buffers, torn down at the end.
class SceneOfRun : public IScene {
 public:
  // screen and systemImage ("SYSTEM", for the window's buttons) outlive every run.
  SceneOfRun(ssGroup* screen, DxDraw::DxSurface* systemImage, ISceneServices& services)
      : m_pScreen(screen), m_pSystemImage(systemImage), m_Services(services) {}

  void BuildScene() override;
  void TearDownScene() override;
  void ReleaseScene() noexcept override;
  // The scene's g_MessageWindow; raises an error object while no scene exists.
  TextScript::DxMessWindow& MessageWindow() override;
  // Layer 23; raises an error object while no scene exists.
  DxDraw::DxDrawGroup& TopLayer() override;
  // The black shown at once, and the resume buffers set as a black background without characters.
  void FillBackgroundBlack() override;
  void ClearResumeState() override;

 private:
  ssGroup* m_pScreen;
  DxDraw::DxSurface* m_pSystemImage;
  ISceneServices& m_Services;
};

// The button bar of the scene's g_MessageWindow: its sprites and hit rectangles. Raises an error
// object while no scene exists.
class MessageButtonBar : public IMessageButtons {
 public:
  void SetButtonLevel(int button, uint32_t level) override;
  void ShowButton(int button, bool shown) override;
  bool IsButtonShown(int button) const override;
  const platform::Rect* HitRects() const override;
};

// The script files of the script archive, read whole.
class ScriptArchiveFiles : public IScriptFiles {
 public:
  explicit ScriptArchiveFiles(IArchive* scriptArchive) : m_pArchive(scriptArchive) {}
  std::string LoadScriptFile(std::u16string_view name) override;

 private:
  IArchive* m_pArchive;
};

// The scene, the button bar and the script files of one game, over what start-up made.
struct GameScriptServices {
  GameScriptServices(ssGroup* screen, DxDraw::DxSurface* systemImage, IArchive* scriptArchive,
                     ISceneServices& sceneServices)
      : scene(screen, systemImage, sceneServices), files(scriptArchive), sceneServices(sceneServices) {}

  SceneOfRun scene;
  MessageButtonBar buttons;
  ScriptArchiveFiles files;
  ISceneServices& sceneServices;
};

// Installs the game's script services: the scene, the button bar, the script files and the scene
// services of script, and every other service from others (its scene, buttons, files and
// pictures are not used). script must outlive the installation; SetGameServices(GameServices{})
// takes it back.
void InstallGameScriptServices(GameScriptServices& script, const GameServices& others);
