// The save store's operations: slots 1 to 99 with thumbnails and comments, the quick-save ring,
// the slot list of the save dialog, and the global data every scenario run loads and writes back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "script/save/savedb.h"

struct IArchive;
class ScriptStateGroup_App;

namespace platform {
class DialogControls;
}

// Slot numbers: 1 to 99 for the dialog, 91 to 99 also the quick-save ring (91 the newest), 100
// a quick save while the ring turns.
constexpr int32_t kSlotCount = 99;
constexpr int32_t kQuickSaveFirst = 91;
constexpr int32_t kQuickSaveLast = 99;
constexpr int32_t kQuickSaveTurning = 100;

// The slot (list index) the save dialog offers first; -1 none. Part of the global data.
extern int32_t g_LastSaveSlot;

// Where the store works: the save folder and the script archive the thumbnails come from.
void SetSaveFolder(std::u16string_view folder);
void SetThumbnailArchive(IArchive* scriptArchive);

// Writes the slot's header (comment: Shift-JIS, at most 35 bytes kept; the time; the page of the
// running scenario; the thumbnail; the resume buffers), clears its backlog column and writes the
// snapshot variables, as one transaction.
void SaveSlot(int32_t slot, const char* comment);
// Restores the slot: the next run's start page, the resume buffers, an empty backlog, the live
// variables from the slot and the snapshot as their copy. Nothing changes when it raises (an
// empty slot, a damaged record).
void LoadSlot(int32_t slot);
// The first 56 bytes of the slot's record; raises for an empty slot.
void ReadSlotHeader(int32_t slot, SAVEHEADER* out);
// The thumbnail's header and pixel area (kThumbnailSize bytes); a header size of 0 means none.
// Returns true; raises for an empty slot.
bool ReadSlotThumbnail(int32_t slot, uint8_t* out);
bool SlotExists(int32_t slot);
void DeleteSlot(int32_t slot);
// Replaces the comment of an occupied slot; nothing for an empty one.
void SetComment(int32_t slot, const char* comment);
// One line per slot 1 to rows on the list control: '>' on the marked line (a 0-based index),
// then the number, the time and the comment, or dashes for an empty slot.
void FillSlotList(platform::DialogControls& controls, uint32_t list, int32_t rows, int32_t marked);
// The slot list's line for slot n: the mark, the number, the save time and the comment padded to
// 30 columns, or the empty slot's dashes when header is null. Columns are Shift-JIS bytes, so the
// lines line up in the list's fixed-pitch font.
std::u16string FormatSlotLine(int32_t n, bool marked, const SAVEHEADER* header);

// Saves into 100 and turns the ring: 99 dropped, 98..91 one down, 100 to 91. Returns 1.
int32_t QuickSave();
// Where tests stop a quick save: called with 0 as it begins and with 1 once the new save is in
// slot 100 and the ring is still to turn, both inside its transaction. The game leaves it null.
extern void (*g_QuickSavePause)(int point);
// The 0-based index of the newest quick save, or -1.
int32_t NewestQuickSaveSlot();

// The last slot, the player's names, the read flags, the running group's scene list and the
// album list into the global rows, as one transaction. A list with no owner (no group, no album)
// keeps what the file holds.
void SaveGlobalData();
void SaveGlobalData(ScriptStateGroup_App* group);
// Makes the file and its tables when they are missing and stores the current state in them;
// otherwise takes the stored values, appending the scene names to the group's list and the
// album names to g_AlbumNames. A missing or wrong-sized COMMON record leaves the current values.
void LoadGlobalData(ScriptStateGroup_App* group);
// Empties the group's scene list and reserves room for 256 names.
void ClearSceneList(ScriptStateGroup_App* group);
