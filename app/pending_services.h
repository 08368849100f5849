// The parts of the game start-up installs that are still to come, each as the least a player
// accepts: sounds by name without pictures, no logo, a title that waits for a click and starts a
// new game, saves and dialogs that say they are not available. Each piece is replaced whole by
// the real one.
#pragma once

#include <cstdint>
#include <vector>

#include "app/winapp.h"
#include "script/executor.h"
#include "script/scene.h"
#include "script/services.h"

// ---- Settings accessors ------------------------------------------------------------------------
extern int32_t g_TextSpeed;  // percent of the window's per-character delay
extern int32_t g_AutoWait;   // the auto mode's wait in milliseconds
void SetTextSpeed(int32_t index);
int32_t GetTextSpeedIndex();
void SetAutoWait(int32_t index);
int32_t GetAutoWaitIndex();
void ApplyBgmVolume(bool on);
void ApplyVoiceVolume(bool on);
void ApplySeVolume(bool on);
// Clears the read flags and sets the global data's last saved slot to -1.
void ResetReadFlagsAndLastSlot();

// ---- Screens -----------------------------------------------------------------------------------
void ShowBrandLogo();

// ---- Commands ----------------------------------------------------------------------------------
void RegisterGameCommands(AppCommandTable& table);

// ---- Services ----------------------------------------------------------------------------------
class PendingSceneServices : public ISceneServices {
 public:
  void ApplyWindowColour(const WindowColour& colour) override;
  void PlayBgmOrVoice(int32_t channel, const char16_t* name, bool forced) override;
  void PlaySe(int32_t channel, const char16_t* name, bool loop) override;
  void DrawBackground(const char16_t* name) override;
  void DrawCharacters(const char16_t* name, int32_t kind) override;
  void ShowPendingBackground() override;
  void FadeToBlack() override;
  void FadeToWhite() override;
  void StopChannel(int32_t channel) override;
  void StopChannels() override;
};

class PendingVoice : public IVoiceCommand {
 public:
  void RunVoice(ScriptStateNode_App& voice) override;
};

class PendingOptions : public IPlayerOptions {
 public:
  bool AskYesNo(const char16_t* question) override;
  void MarkPageRead(int32_t page) override;
  bool IsPageRead(int32_t page) const override;
  uint32_t TextSpeed() const override;
  uint32_t AutoWait() const override;
  void SetPrologueSeen() override {}
};

class PendingSaves : public ISaveStore {
 public:
  void LoadGlobalData() override {}
  void SaveGlobalData() override { ++globalSaves; }
  bool QuickSave() override;
  int32_t NewestQuickSaveSlot() override { return -1; }
  void LoadSlot(int32_t) override {}
  int globalSaves = 0;  // how often the global data would have been written
};

class PendingNotices : public INotices {
 public:
  void ShowNotice(const char16_t*, uint32_t) override {}
};

class PendingScreens : public IScreens {
 public:
  void ShowBacklog() override {}
  // Black until a click or confirm; then a new game.
  int RunTitle() override;
  void RunEndingRoll() override {}
};

class PendingMenuCommands : public IMenuCommands {
 public:
  bool RunSaveDialog() override;
  int32_t RunLoadDialog() override;
  void ShowVariables() override;
  void ShowFlags() override;
  void RunSoundSettings() override;
  void RunSystemSettings() override;
  void RunNameDialog() override;
  void ShowManual() override;
};

// Every stand-in, as start-up holds them.
struct PendingServices {
  PendingSceneServices pictures;
  PendingVoice voice;
  PendingOptions options;
  PendingSaves saves;
  PendingNotices notices;
  PendingScreens screens;
  PendingMenuCommands menuCommands;
};
