// The game's real parts as start-up installs them: scene services, save store and options, screens,
// notices, dialogs, and the commands the main menu opens.
#pragma once

#include <string>

#include "app/winapp.h"
#include "script/dialogs/slotstore.h"
#include "script/executor.h"
#include "script/save/savestore.h"
#include "script/sceneservices.h"
#include "script/screens/album.h"
#include "script/screens/screens.h"
#include "script/services.h"

struct IArchive;
class ssGroup;
namespace platform {
class DialogHost;
}
namespace DxDraw {
class DxSurface;
}

// The main menu's dialogs and screens. The manual needs the screen surface, which comes after the
// window; until SetScreen gives it (and after it is taken back) the manual item does nothing.
class GameMenuCommands : public IMenuCommands {
 public:
  void SetScreen(ssGroup* screen) { m_pScreen = screen; }

  bool RunSaveDialog() override;
  int32_t RunLoadDialog() override;
  void ShowVariables() override;
  void ShowFlags() override;
  void RunSoundSettings() override;
  void RunSystemSettings() override;
  void RunNameDialog() override;
  void ShowManual() override;

 private:
  ssGroup* m_pScreen = nullptr;
};

// The album, the replay and the backlog over the run's screen and archives.
class GameExtraScreens : public IExtraScreens {
 public:
  explicit GameExtraScreens(const ScreenSources& sources) : m_Sources(sources) {}
  void RunCGAlbum() override;
  void RunScenePlay() override;
  void ShowBacklog() override;

 private:
  ScreenSources m_Sources;
};

// The dialogs the title screen opens.
class GameTitleDialogs : public ITitleDialogs {
 public:
  int RunLoadDialog() override;
  void SystemSettingsDialog() override;
  void SoundSettingsDialog() override;
  void PlayerNameDialog() override;
};

// The prologue-seen bit of the read-flag area.
class StorePrologueRecord : public IPrologueRecord {
 public:
  bool IsPrologueSeen() override;
};

// Every part of one game's data, made after the archives and the "SYSTEM" picture and released
// before them. While it lives the dialogs work on its slot store and the given host.
class GameParts {
 public:
  GameParts(ssGroup* screen, DxDraw::DxSurface* systemImage, IArchive* scriptArchive, const std::u16string& saveFolder,
            platform::DialogHost* dialogHost);
  ~GameParts();
  GameParts(const GameParts&) = delete;
  GameParts& operator=(const GameParts&) = delete;

  // The services the script reaches through GameServices, but for its sounds and menu items.
  GameServices Services();

  SceneServices pictures;
  VoiceCommandByName voice;
  PlayerOptions options;
  SaveStore saves;
  TimedNotices notices;
  GameExtraScreens extras;
  GameTitleDialogs titleDialogs;
  StorePrologueRecord prologue;
  GameScreenSet screens;
  SaveStoreSlots slots;
};
