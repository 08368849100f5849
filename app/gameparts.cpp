// The game's real parts joined for start-up and the main menu.
#include "app/gameparts.h"

#include "app/startup.h"
#include "script/dialogs/dialogs.h"
#include "script/images.h"
#include "script/save/options.h"
#include "script/screens/backlog.h"
#include "script/screens/sceneplay.h"

bool GameMenuCommands::RunSaveDialog() {
  return SaveLoadDialog(SAVELOAD_SAVE) >= 0;
}
int32_t GameMenuCommands::RunLoadDialog() {
  return SaveLoadDialog(SAVELOAD_LOAD);
}
void GameMenuCommands::ShowVariables() {
  DebugWindow();
}
void GameMenuCommands::ShowFlags() {
  FlagDialog();
}
void GameMenuCommands::RunSoundSettings() {
  SoundSettingsDialog();
}
void GameMenuCommands::RunSystemSettings() {
  SystemSettingsDialog();
}
void GameMenuCommands::RunNameDialog() {
  PlayerNameDialog();
}
void GameMenuCommands::ShowManual() {
  if (m_pScreen && g_ScriptArchive) RunManual(m_pScreen, g_ScriptArchive);
}

void GameExtraScreens::RunCGAlbum() {
  ::RunCGAlbum(m_Sources);
}
void GameExtraScreens::RunScenePlay() {
  ::RunScenePlay(m_Sources);
}
void GameExtraScreens::ShowBacklog() {
  RunBackLog(m_Sources);
}

int GameTitleDialogs::RunLoadDialog() {
  return SaveLoadDialog(SAVELOAD_LOAD);
}
void GameTitleDialogs::SystemSettingsDialog() {
  ::SystemSettingsDialog();
}
void GameTitleDialogs::SoundSettingsDialog() {
  ::SoundSettingsDialog();
}
void GameTitleDialogs::PlayerNameDialog() {
  ::PlayerNameDialog();
}

bool StorePrologueRecord::IsPrologueSeen() {
  return ::IsPrologueSeen();
}

GameParts::GameParts(ssGroup* screen, DxDraw::DxSurface* systemImage, IArchive* scriptArchive,
                     const std::u16string& saveFolder, platform::DialogHost* dialogHost)
    : pictures(systemImage),
      saves(saveFolder, scriptArchive),
      notices(screen, systemImage),
      extras(ScreenSources{screen, scriptArchive, systemImage}),
      screens(ScreenParts{screen, scriptArchive, &extras, &titleDialogs, &prologue}) {
  SetDialogServices(DialogServices{dialogHost, &slots, &g_FontList});
}

GameParts::~GameParts() {
  SetDialogServices(DialogServices{});
}

GameServices GameParts::Services() {
  GameServices services;
  services.voice = &voice;
  services.options = &options;
  services.saves = &saves;
  services.notices = &notices;
  services.screens = &screens;
  return services;
}
