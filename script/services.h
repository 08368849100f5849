// What the game's commands call in the parts of the game built beside them: the scene, the button
// bar, the voice command, save store, read flags, notices, backlog and title screens, menu items.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/geometry.h"
#include "script/messagewindow.h"

class ISceneServices;
class ScriptStateNode_App;

namespace TextScript {
class DxMessWindow;
}
namespace DxDraw {
class DxDrawGroup;
}

// The scene of one run: built and torn down around the statements, and the pieces the message,
// choice and page-end commands draw into.
class IScene {
 public:
  virtual ~IScene() = default;
  // Builds the layers, the background and the message window, and restores the resume state.
  virtual void BuildScene() = 0;
  // The normal end of a run: releases what BuildScene made and lets one frame pass (which may
  // raise a pending transfer or the quit).
  virtual void TearDownScene() = 0;
  // Releases what BuildScene made without letting a frame pass and without raising: the way out
  // of a run that an exception ends. After TearDownScene there is nothing left to release.
  virtual void ReleaseScene() noexcept = 0;
  virtual TextScript::DxMessWindow& MessageWindow() = 0;
  // The top layer (the message window's), where a choice menu is put.
  virtual DxDraw::DxDrawGroup& TopLayer() = 0;
  // The background filled black at once, as a picture command "BLACK" without a transition.
  virtual void FillBackgroundBlack() = 0;
  // Empties the five resume buffers (background, characters, music, two looping effects); they
  // outlive the scene.
  virtual void ClearResumeState() = 0;
};

// The five buttons of the message window's bar (MessageButton indices).
class IMessageButtons {
 public:
  virtual ~IMessageButtons() = default;
  virtual void SetButtonLevel(int button, uint32_t level) = 0;
  virtual void ShowButton(int button, bool shown) = 0;
  virtual bool IsButtonShown(int button) const = 0;
  // The five hit rectangles in screen coordinates.
  virtual const platform::Rect* HitRects() const = 0;
};

// The voice command, run by a message for the VOI statement next to it.
class IVoiceCommand {
 public:
  virtual ~IVoiceCommand() = default;
  virtual void RunVoice(ScriptStateNode_App& voice) = 0;
};

// The sound channels by name: stops all four and forgets what each played.
class ISoundChannels {
 public:
  virtual ~ISoundChannels() = default;
  virtual void StopAllAndForget() = 0;
};

// The read flags, the yes/no prompt and the text timing options.
class IPlayerOptions {
 public:
  virtual ~IPlayerOptions() = default;
  virtual bool AskYesNo(const char16_t* question) = 0;
  virtual void MarkPageRead(int32_t page) = 0;
  virtual bool IsPageRead(int32_t page) const = 0;
  // The text speed as a percentage of the window's delay (0, 50, 200 or 400).
  virtual uint32_t TextSpeed() const = 0;
  // The auto mode's wait in milliseconds (0: advance as soon as the page is done).
  virtual uint32_t AutoWait() const = 0;
  // Records in the global data that the prologue was seen (the title then offers to skip it).
  virtual void SetPrologueSeen() = 0;
};

// The save database: global data, the quick-save ring and the slots.
class ISaveStore {
 public:
  virtual ~ISaveStore() = default;
  virtual void LoadGlobalData() = 0;
  virtual void SaveGlobalData() = 0;
  // True when the quick save was written.
  virtual bool QuickSave() = 0;
  // The newest quick-save slot, or -1 when there is none.
  virtual int32_t NewestQuickSaveSlot() = 0;
  // Restores a slot: variables, resume state, backlog and start page.
  virtual void LoadSlot(int32_t slot) = 0;
};

// The timed notices ("セーブしました").
class INotices {
 public:
  virtual ~INotices() = default;
  virtual void ShowNotice(const char16_t* text, uint32_t ms) = 0;
};

// The screens the commands open: the backlog, the title that a scenario run starts from, and the
// ending roll.
class IScreens {
 public:
  virtual ~IScreens() = default;
  virtual void ShowBacklog() = 0;
  // -1 show the title again, 0 end the game, 1 a new game, n >= 2 load slot n - 1.
  virtual int RunTitle() = 0;
  // The ending roll that the endings END and END2 show before the return to the title.
  virtual void RunEndingRoll() = 0;
};

// The main menu's items the commands enable and grey.
enum : uint32_t { MENU_TITLE = 40003, MENU_SAVE = 40010, MENU_LOAD = 40011, MENU_VARIABLES = 40013 };
class IMenuItems {
 public:
  virtual ~IMenuItems() = default;
  virtual void EnableMenuItem(uint32_t id, bool enabled) = 0;
  // The item's text and a new one for it (the scene replay's wording of 40003). A menu that
  // keeps no texts answers empty and ignores the change.
  virtual std::u16string MenuItemText(uint32_t id) {
    (void)id;
    return {};
  }
  virtual void SetMenuItemText(uint32_t id, std::u16string_view text) {
    (void)id;
    (void)text;
  }
};

// The script files by name: the whole file from the script archive (the loader's error when it
// is missing).
class IScriptFiles {
 public:
  virtual ~IScriptFiles() = default;
  virtual std::string LoadScriptFile(std::u16string_view name) = 0;
};

// The game's services, installed by start-up (test doubles in tests). None has a default: each
// getter raises platform::MissingServiceError naming the service while its slot is empty.
struct GameServices {
  IScene* scene = nullptr;
  IMessageButtons* buttons = nullptr;
  IVoiceCommand* voice = nullptr;
  ISoundChannels* sounds = nullptr;
  IPlayerOptions* options = nullptr;
  ISaveStore* saves = nullptr;
  INotices* notices = nullptr;
  IScreens* screens = nullptr;
  IMenuItems* menu = nullptr;
  IScriptFiles* files = nullptr;
  // The pictures, transitions, sounds and window colour the scene and the commands call.
  ISceneServices* pictures = nullptr;
};
void SetGameServices(const GameServices& services);
IScene& GameScene();
IMessageButtons& GameButtons();
IVoiceCommand& GameVoice();
ISoundChannels& GameSounds();
IPlayerOptions& GameOptions();
ISaveStore& GameSaves();
INotices& GameNotices();
IScreens& GameScreens();
IMenuItems& GameMenu();
IScriptFiles& GameFiles();
ISceneServices& GameSceneServices();
