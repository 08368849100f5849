// Fuzzes the save records read back from a save file: any bytes as a slot's header and variables
// and as the global rows, through the store's loads; only the game's error may come out.
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lib/error.h"
#include "platform/dialog_state.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "script/executor.h"
#include "script/save/slots.h"
#include "script/scenario.h"
#include "script/scene.h"
#include "textscript/variables.h"

namespace {

sqlite3* g_Raw = nullptr;

void Prepare() {
  platform::SetLogSink([](std::u16string_view) {});
  RegisterGameScriptGlobals();
  const std::u16string folder = platform::MakeTempFolder(u"varn-fuzz-save-");
  SetSaveFolder(folder);
  SlotExists(1);  // makes the file and its tables
  sqlite3_open(platform::HostPath(folder + u"/save.dat").c_str(), &g_Raw);
  sqlite3_exec(g_Raw, "PRAGMA synchronous=OFF; INSERT INTO entry(number) VALUES(1);", nullptr, nullptr, nullptr);
}

void Store(const char* sql, const std::vector<uint8_t>& blob) {
  sqlite3_stmt* s = nullptr;
  sqlite3_prepare_v2(g_Raw, sql, -1, &s, nullptr);
  sqlite3_bind_blob(s, 1, blob.data(), int(blob.size()), SQLITE_STATIC);
  sqlite3_step(s);
  sqlite3_finalize(s);
}

platform::ControlTemplate ListBox(uint32_t id) {
  platform::ControlTemplate c;
  c.id = id;
  c.type = platform::ControlType::ListBox;
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (Prepare(), true);
  (void)ready;
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  std::vector<uint8_t> blob(data + 1, data + size);
  // Mostly as the right size, so the fields' contents are read and not only the size check.
  std::vector<uint8_t> header = blob, common = blob;
  if (mode & 1) header.resize(kSaveDataSize);
  if (mode & 2) common.resize(kCommonSize);
  Store("UPDATE entry SET header=? WHERE number=1;", header);
  Store("UPDATE entry SET value_data=? WHERE number=1;", blob);
  Store("UPDATE global SET value_bin=? WHERE name='COMMON';", common);
  Store("UPDATE global SET value_bin=? WHERE name IN ('SCENE','ALBUM');", blob);

  try {
    LoadSlot(1);
    for (const SCENESTATE& s : g_SceneState) {
      std::u16string name;
      GetSceneStateName(s, &name);
    }
  } catch (const ExceptionHandle& e) {
    if (e.m_Message[0] == 0) __builtin_trap();
  }
  try {
    std::vector<uint8_t> thumb(kThumbnailSize);
    ReadSlotThumbnail(1, thumb.data());
    platform::DialogTemplate dialog;
    dialog.controls.push_back(ListBox(1));
    platform::DialogState list(dialog);
    FillSlotList(list, 1, 1, 0);
  } catch (const ExceptionHandle& e) {
    if (e.m_Message[0] == 0) __builtin_trap();
  }
  static const AppCommandTable commands;
  ScriptStateGroup_App group(commands);
  LoadGlobalData(&group);
  if (g_SaveDB.Nesting() != 0) __builtin_trap();
  g_AlbumNames.reset();
  g_Variables.Clear();
  g_SavedVariables.Clear();
  ClearSceneStates();
  return 0;
}
