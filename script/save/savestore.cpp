// The save store and the player's options over the store's and the accessors' functions.
#include "script/save/savestore.h"

#include "lib/error.h"
#include "platform/msgbox.h"
#include "script/save/options.h"
#include "script/save/slots.h"
#include "script/scenario.h"

SaveStore::SaveStore(std::u16string_view saveFolder, IArchive* scriptArchive) {
  SetSaveFolder(saveFolder);
  SetThumbnailArchive(scriptArchive);
}

void SaveStore::LoadGlobalData() {
  ::LoadGlobalData(g_pCurrentGroup);
}

void SaveStore::SaveGlobalData() {
  ::SaveGlobalData(g_pCurrentGroup);
}

bool SaveStore::QuickSave() {
  try {
    return ::QuickSave() == 1;
  } catch (const ExceptionHandle& e) {
    if (e.IsQuit()) throw;
    ShowSaveError(e.m_Message);
    return false;
  }
}

int32_t SaveStore::NewestQuickSaveSlot() {
  return ::NewestQuickSaveSlot();
}

void SaveStore::LoadSlot(int32_t slot) {
  ::LoadSlot(slot);
}

bool PlayerOptions::AskYesNo(const char16_t* question) {
  return ::AskYesNo(question);
}
void PlayerOptions::MarkPageRead(int32_t page) {
  ::MarkPageRead(page);
}
bool PlayerOptions::IsPageRead(int32_t page) const {
  return ::IsPageRead(page);
}
uint32_t PlayerOptions::TextSpeed() const {
  return static_cast<uint32_t>(g_TextSpeed);
}
uint32_t PlayerOptions::AutoWait() const {
  return static_cast<uint32_t>(g_AutoWait);
}
void PlayerOptions::SetPrologueSeen() {
  ::SetPrologueSeen();
}

void ShowSaveError(const char16_t* message) {
  DebugPrintf(u"save: %s\n", message);
  platform::ShowMessageBox(message, u"エラー", platform::MsgButtons::Ok, platform::MsgIcon::Error);
}
