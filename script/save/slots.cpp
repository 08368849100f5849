// Save slots, the quick-save ring, the slot list lines, thumbnails and the global data.
#include "script/save/slots.h"

#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "archive/archive.h"
#include "dxdraw/image.h"
#include "dxdraw/surface.h"
#include "lib/error.h"
#include "lib/sjis.h"
#include "platform/dialog.h"
#include "script/executor.h"
#include "script/images.h"
#include "script/layout.h"
#include "script/save/options.h"
#include "script/scenario.h"
#include "script/scene.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

int32_t g_LastSaveSlot = -1;

namespace {

IArchive* g_pThumbnailArchive = nullptr;

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};
using SurfacePtr = std::unique_ptr<DxDraw::DxSurface, SurfaceRelease>;

SYSTEMTIME LocalTimeNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  if (const std::tm* local = std::localtime(&seconds)) tm = *local;
  SYSTEMTIME t;
  t.wYear = uint16_t(tm.tm_year + 1900);
  t.wMonth = uint16_t(tm.tm_mon + 1);
  t.wDayOfWeek = uint16_t(tm.tm_wday);
  t.wDay = uint16_t(tm.tm_mday);
  t.wHour = uint16_t(tm.tm_hour);
  t.wMinute = uint16_t(tm.tm_min);
  t.wSecond = uint16_t(tm.tm_sec);
  t.wMilliseconds = uint16_t(ms < 0 ? 0 : ms);
  return t;
}

// The picture a thumbnail is made from: "thumb/" and the background's first three characters
// when a picture is the background and such an image exists, else the scene's background.
SurfacePtr ThumbnailSource(DxDraw::DxSurface** source) {
  *source = g_BackgroundSurface;
  const SCENESTATE& bg = g_SceneState[SCENE_BACKGROUND];
  std::u16string name;
  if (bg.m_State != SCENE_BG_PICTURE || !g_pThumbnailArchive || !GetSceneStateName(bg, &name)) return nullptr;
  const std::u16string base = u"thumb/" + name.substr(0, 3);
  if (!g_pThumbnailArchive->Exists(base + u".tif") && !g_pThumbnailArchive->Exists(base + u".png")) return nullptr;
  SurfacePtr image;
  try {
    image.reset(LoadScriptImage(g_pThumbnailArchive, base.c_str(), true, false));
  } catch (const ExceptionHandle& e) {
    // A thumbnail that does not decode falls back to the background; the save goes on.
    DebugPrintf(u"save: thumbnail %s: %s\n", base.c_str(), e.m_Message);
  }
  if (image) *source = image.get();
  return image;
}

void MakeThumbnail(SAVEDATA2& record) {
  DxDraw::DxSurface* source = nullptr;
  SurfacePtr loaded = ThumbnailSource(&source);
  // Without a background there is no thumbnail: the header stays zero.
  if (!source || source->GetDepth() != 32 || !source->GetBits()) return;
  SurfacePtr thumb(DxDraw::CreateSurface(32));
  if (!thumb || !thumb->Create(kThumbnailWidth, kThumbnailHeight)) return;
  const platform::Rect whole{0, 0, kThumbnailWidth, kThumbnailHeight};
  thumb->StretchBlt(&whole, source, nullptr);
  const size_t bytes = size_t(thumb->GetStride()) * size_t(thumb->GetAbsHeight());
  if (bytes > kThumbnailPixelArea) return;
  DxDraw::WriteDibHeader(record.m_Thumbnail, thumb->GetHeader());
  std::memcpy(record.m_Thumbnail + DxDraw::kDibHeaderSize, thumb->GetBits(), bytes);
}

// The running group's scene names, narrow.
std::vector<std::string> SceneNames(const ScriptStateGroup_App& group) {
  std::vector<std::string> names;
  names.reserve(group.m_RecordedNames.size());
  for (const std::u16string& n : group.m_RecordedNames) names.push_back(WideToSjis(n));
  return names;
}

}  // namespace

void SetSaveFolder(std::u16string_view folder) {
  g_SaveDB.SetFolder(folder);
}

void SetThumbnailArchive(IArchive* scriptArchive) {
  g_pThumbnailArchive = scriptArchive;
}

void SaveSlot(int32_t slot, const char* comment) {
  auto record = std::make_unique<SAVEDATA2>();
  if (comment) std::strncpy(record->m_Header.m_Comment, comment, kCommentSize - 1);
  record->m_Header.m_Time = LocalTimeNow();
  record->m_ResumePage = static_cast<uint32_t>(TextScript::g_CurrentPage);
  MakeThumbnail(*record);
  for (int i = 0; i < kSceneBuffers; ++i) record->m_Scene[i] = g_SceneState[i];

  SaveDBScope db;
  g_SaveDB.WriteHeader(slot, *record);
  g_SaveDB.ClearBacklog(slot);
  g_SaveDB.WriteValueData(slot, g_SavedVariables);
  db.Commit();
}

void LoadSlot(int32_t slot) {
  auto record = std::make_unique<SAVEDATA2>();
  std::vector<SavedVariable> variables;
  {
    SaveDBScope db;
    g_SaveDB.ReadHeader(slot, record.get());
    variables = g_SaveDB.ReadValueData(slot);
    db.Commit();
  }
  // Everything was read: only now does the running state change.
  g_StartPage = static_cast<int32_t>(record->m_ResumePage);
  for (int i = 0; i < kSceneBuffers; ++i) g_SceneState[i] = record->m_Scene[i];
  if (g_BackLog) g_BackLog = std::make_unique<BackLogList>();
  g_Variables.Clear();
  for (const SavedVariable& v : variables) g_Variables.Set(SjisToWide(v.first), v.second);
  SnapshotVariables();
}

void ReadSlotHeader(int32_t slot, SAVEHEADER* out) {
  SaveDBScope db;
  g_SaveDB.ReadHeaderStart(slot, out);
  db.Commit();
}

bool ReadSlotThumbnail(int32_t slot, uint8_t* out) {
  SaveDBScope db;
  g_SaveDB.ReadThumbnail(slot, out);
  db.Commit();
  return true;
}

bool SlotExists(int32_t slot) {
  SaveDBScope db;
  const bool exists = g_SaveDB.EntryExists(slot);
  db.Commit();
  return exists;
}

void DeleteSlot(int32_t slot) {
  SaveDBScope db;
  g_SaveDB.DeleteEntry(slot);
  db.Commit();
}

void SetComment(int32_t slot, const char* comment) {
  SaveDBScope db;
  g_SaveDB.SetComment(slot, comment);
  db.Commit();
}

std::u16string FormatSlotLine(int32_t n, bool marked, const SAVEHEADER* header) {
  const char16_t mark = marked ? u'>' : u' ';
  if (!header) return FormatWide(u"%c%02d ----/--/-- --:--:-- --------------------------------", mark, n);
  const SYSTEMTIME& t = header->m_Time;
  // The comment is padded in Shift-JIS bytes, the columns of the fixed-pitch list font.
  const char* c = header->m_Comment;
  const void* nul = std::memchr(c, 0, kCommentSize);
  std::string comment(c, nul ? size_t(static_cast<const char*>(nul) - c) : kCommentSize);
  if (comment.size() < 30) comment.append(30 - comment.size(), ' ');
  return FormatWide(u"%c%02d %04d/%02d/%02d %02d:%02d:%02d ", mark, n, t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                    t.wSecond) +
         SjisToWide(comment) + u" ";
}

void FillSlotList(platform::DialogControls& controls, uint32_t list, int32_t rows, int32_t marked) {
  SaveDBScope db;
  for (int32_t i = 1; i <= rows; ++i) {
    SAVEHEADER h;
    bool shown = false;
    if (g_SaveDB.EntryExists(i)) {
      try {
        g_SaveDB.ReadHeaderStart(i, &h);
        shown = true;
      } catch (const ExceptionHandle& e) {
        // A damaged record shows as an empty line; loading it gives the error.
        DebugPrintf(u"save: slot %d: %s\n", i, e.m_Message);
      }
    }
    const std::u16string line = FormatSlotLine(i, i - 1 == marked, shown ? &h : nullptr);
    controls.AddLine(list, line);
  }
  db.Commit();
}

void (*g_QuickSavePause)(int point) = nullptr;

int32_t QuickSave() {
  SaveDBScope db;
  if (g_QuickSavePause) g_QuickSavePause(0);
  SaveSlot(kQuickSaveTurning, "");
  if (g_QuickSavePause) g_QuickSavePause(1);
  g_SaveDB.DeleteEntry(kQuickSaveLast);
  for (int32_t n = kQuickSaveLast - 1; n >= kQuickSaveFirst; --n) g_SaveDB.MoveEntry(n, n + 1);
  g_SaveDB.MoveEntry(kQuickSaveTurning, kQuickSaveFirst);
  db.Commit();
  return 1;
}

int32_t NewestQuickSaveSlot() {
  SaveDBScope db;
  const int32_t index = g_SaveDB.FindNewestQuickSave();
  db.Commit();
  return index;
}

void SaveGlobalData() {
  SaveGlobalData(g_pCurrentGroup);
}

void SaveGlobalData(ScriptStateGroup_App* group) {
  COMMONDATA common;
  common.m_LastSlot = static_cast<uint32_t>(g_LastSaveSlot);
  std::memcpy(common.m_FamilyName, g_FamilyName, sizeof common.m_FamilyName);
  std::memcpy(common.m_GivenName, g_GivenName, sizeof common.m_GivenName);
  std::memcpy(common.m_ReadFlags, g_ReadFlags, kReadFlagBytes);

  SaveDBScope db;
  g_SaveDB.WriteCommon(EncodeCommon(common));
  if (group) g_SaveDB.WriteSceneList(EncodeNameList(SceneNames(*group)));
  if (g_AlbumNames) g_SaveDB.WriteAlbumList(EncodeNameList(*g_AlbumNames));
  db.Commit();
}

void LoadGlobalData(ScriptStateGroup_App* group) {
  std::vector<uint8_t> common, scenes, album;
  bool haveCommon = false;
  {
    SaveDBScope db;
    if (g_SaveDB.CreatedTables()) {
      // A new file: the current, initial state becomes the stored one.
      SaveGlobalData(group);
      db.Commit();
      return;
    }
    haveCommon = g_SaveDB.ReadCommon(&common);
    g_SaveDB.ReadSceneList(&scenes);
    g_SaveDB.ReadAlbumList(&album);
    db.Commit();
  }
  COMMONDATA record;
  if (haveCommon && DecodeCommon(common.data(), common.size(), &record)) {
    g_LastSaveSlot = static_cast<int32_t>(record.m_LastSlot);
    std::memcpy(g_ReadFlags, record.m_ReadFlags, kReadFlagBytes);
    std::memcpy(g_FamilyName, record.m_FamilyName, sizeof record.m_FamilyName);
    std::memcpy(g_GivenName, record.m_GivenName, sizeof record.m_GivenName);
  } else if (haveCommon) {
    DebugPrintf(u"save: the COMMON record has %u bytes instead of %u; the current values stay\n",
                unsigned(common.size()), unsigned(kCommonSize));
  }
  if (group)
    for (const std::string& n : DecodeNameList(scenes.data(), scenes.size()))
      group->m_RecordedNames.push_back(SjisToWide(n));
  if (!g_AlbumNames) g_AlbumNames = std::make_unique<std::vector<std::string>>();
  for (std::string& n : DecodeNameList(album.data(), album.size())) g_AlbumNames->push_back(std::move(n));
}

void ClearSceneList(ScriptStateGroup_App* group) {
  if (!group) return;
  group->m_RecordedNames.clear();
  group->m_RecordedNames.reserve(256);
}
