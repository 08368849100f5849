// The save store and the player's options as the game's commands reach them.
#pragma once

#include <cstdint>
#include <string_view>

#include "script/services.h"

struct IArchive;

// The save database in the folder start-up chose, with thumbnails from the script archive. A
// quick save that fails shows the error in a box captioned "エラー" and play goes on.
class SaveStore : public ISaveStore {
 public:
  SaveStore(std::u16string_view saveFolder, IArchive* scriptArchive);

  void LoadGlobalData() override;
  void SaveGlobalData() override;
  bool QuickSave() override;
  int32_t NewestQuickSaveSlot() override;
  void LoadSlot(int32_t slot) override;
};

// The read flags, the yes/no prompt and the text timing of the settings accessors.
class PlayerOptions : public IPlayerOptions {
 public:
  bool AskYesNo(const char16_t* question) override;
  void MarkPageRead(int32_t page) override;
  bool IsPageRead(int32_t page) const override;
  uint32_t TextSpeed() const override;
  uint32_t AutoWait() const override;
  void SetPrologueSeen() override;
};

// A save error as the player sees it: its message in a box captioned "エラー".
void ShowSaveError(const char16_t* message);
