// The game's service slots.
#include "script/services.h"

#include "platform/service.h"
#include "script/scene.h"

namespace {

struct Slots {
  platform::ServiceSlot<IScene> scene{"scene (game services)", nullptr};
  platform::ServiceSlot<IMessageButtons> buttons{"message buttons (game services)", nullptr};
  platform::ServiceSlot<IVoiceCommand> voice{"voice command (game services)", nullptr};
  platform::ServiceSlot<ISoundChannels> sounds{"sound channels (game services)", nullptr};
  platform::ServiceSlot<IPlayerOptions> options{"player options (game services)", nullptr};
  platform::ServiceSlot<ISaveStore> saves{"save store (game services)", nullptr};
  platform::ServiceSlot<INotices> notices{"notices (game services)", nullptr};
  platform::ServiceSlot<IScreens> screens{"screens (game services)", nullptr};
  platform::ServiceSlot<IMenuItems> menu{"menu items (game services)", nullptr};
  platform::ServiceSlot<IScriptFiles> files{"script files (game services)", nullptr};
  platform::ServiceSlot<ISceneServices> pictures{"scene services (game services)", nullptr};
};

Slots& Get() {
  static Slots slots;
  return slots;
}

}  // namespace

void SetGameServices(const GameServices& s) {
  Slots& slots = Get();
  slots.scene.Set(s.scene);
  slots.buttons.Set(s.buttons);
  slots.voice.Set(s.voice);
  slots.sounds.Set(s.sounds);
  slots.options.Set(s.options);
  slots.saves.Set(s.saves);
  slots.notices.Set(s.notices);
  slots.screens.Set(s.screens);
  slots.menu.Set(s.menu);
  slots.files.Set(s.files);
  slots.pictures.Set(s.pictures);
}

IScene& GameScene() {
  return *Get().scene.Get();
}
IMessageButtons& GameButtons() {
  return *Get().buttons.Get();
}
IVoiceCommand& GameVoice() {
  return *Get().voice.Get();
}
ISoundChannels& GameSounds() {
  return *Get().sounds.Get();
}
IPlayerOptions& GameOptions() {
  return *Get().options.Get();
}
ISaveStore& GameSaves() {
  return *Get().saves.Get();
}
INotices& GameNotices() {
  return *Get().notices.Get();
}
IScreens& GameScreens() {
  return *Get().screens.Get();
}
IMenuItems& GameMenu() {
  return *Get().menu.Get();
}
IScriptFiles& GameFiles() {
  return *Get().files.Get();
}
ISceneServices& GameSceneServices() {
  return *Get().pictures.Get();
}
