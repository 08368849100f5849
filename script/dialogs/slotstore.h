// What the save and load dialog asks of the save store: the slot operations and the slot header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/dialog.h"
#include "script/save/savedb.h"
#include "script/save/slots.h"

// A slot's thumbnail as the record holds it: the 40-byte bitmap information header, then the
// pixel area.
constexpr size_t kThumbnailHeaderSize = 40;
constexpr size_t kThumbnailRecordSize = kThumbnailSize;
static_assert(kThumbnailRecordSize == kThumbnailHeaderSize + kThumbnailPixelArea);

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

// The comment field's text up to its terminator or its end.
std::string_view CommentOf(const SAVEHEADER& header);

// The save store's own slots, as the game's dialogs use them.
class SaveStoreSlots : public ISlotStore {
 public:
  void SaveSlot(int32_t slot, std::string_view comment) override;
  void LoadSlot(int32_t slot) override;
  void ReadSlotHeader(int32_t slot, SAVEHEADER* out) override;
  bool ReadSlotThumbnail(int32_t slot, uint8_t* out) override;
  bool SlotExists(int32_t slot) override;
  void DeleteSlot(int32_t slot) override;
  void SetComment(int32_t slot, std::string_view comment) override;
  void FillSlotList(platform::DialogControls& dialog, uint32_t listId, int32_t rows, int32_t marked) override;
};
