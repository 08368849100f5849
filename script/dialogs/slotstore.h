// What the save and load dialog asks of the save store: the slot operations and the slot header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dialog.h"

// The local time of a save: year, month, day of week, day, hour, minute, second, milliseconds.
struct SAVETIME {
  uint16_t m_Year = 0;
  uint16_t m_Month = 0;
  uint16_t m_DayOfWeek = 0;
  uint16_t m_Day = 0;
  uint16_t m_Hour = 0;
  uint16_t m_Minute = 0;
  uint16_t m_Second = 0;
  uint16_t m_Milliseconds = 0;
};

// The first 56 bytes of a slot's record: a word written 0, the Shift-JIS comment (36 bytes, not
// always terminated in a damaged file) and the save time.
struct SAVEHEADER {
  static constexpr size_t kCommentSize = 36;
  uint32_t m_Reserved = 0;
  char m_Comment[kCommentSize] = {};
  SAVETIME m_Time;
};

// A slot's thumbnail as the record holds it: the 40-byte bitmap information header, then the
// pixel area.
constexpr size_t kThumbnailHeaderSize = 40;
constexpr size_t kThumbnailPixelArea = 65536;
constexpr size_t kThumbnailRecordSize = kThumbnailHeaderSize + kThumbnailPixelArea;
constexpr int32_t kThumbnailWidth = 140;
constexpr int32_t kThumbnailHeight = 105;

// The bytes of Shift-JIS text the comment field gives a comment; the dialog cuts to this.
constexpr size_t kCommentBytes = 32;

// The save store's slots, numbered 1 to 99. Every operation is one transaction of its own
// and raises the game's error object (ExceptionHandle) when it fails, leaving the file as
// it was before the operation.
class ISlotStore {
 public:
  virtual ~ISlotStore() = default;
  // Writes the slot with the Shift-JIS comment.
  virtual void SaveSlot(int32_t slot, std::string_view comment) = 0;
  virtual void LoadSlot(int32_t slot) = 0;
  virtual void ReadSlotHeader(int32_t slot, SAVEHEADER* out) = 0;
  // out receives kThumbnailRecordSize bytes; a header size of 0 means no thumbnail.
  virtual bool ReadSlotThumbnail(int32_t slot, uint8_t* out) = 0;
  virtual bool SlotExists(int32_t slot) = 0;
  virtual void DeleteSlot(int32_t slot) = 0;
  // Replaces the comment of a saved slot (nothing for an empty one).
  virtual void SetComment(int32_t slot, std::string_view comment) = 0;
  // Adds the lines of slots 1 to rows to the list box listId, the line of slot marked + 1
  // with the '>' mark.
  virtual void FillSlotList(platform::DialogControls& dialog, uint32_t listId, int32_t rows, int32_t marked) = 0;
};

// The list index (slot number - 1) the save dialog offers first; -1 for none.
extern int32_t g_LastSaveSlot;

// The slot list's line for slot n: the mark, the number, the save time and the comment padded
// to 30 columns, or the empty slot's dashes when header is null. Columns are Shift-JIS bytes,
// so the lines line up in the list's fixed-pitch font.
std::u16string FormatSlotLine(int32_t n, bool marked, const SAVEHEADER* header);
// The comment field's text up to its terminator or its end.
std::string_view CommentOf(const SAVEHEADER& header);
