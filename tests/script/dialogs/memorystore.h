// An in-memory slot store for the dialog tests: slots with headers and thumbnails, a record of
// every call, and failures on demand that, like the real store's rollback, change nothing.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dxdraw/image.h"
#include "lib/error.h"
#include "script/dialogs/slotstore.h"

namespace dialogtest {

class MemorySlotStore : public ISlotStore {
 public:
  struct Slot {
    SAVEHEADER header;
    std::vector<uint8_t> thumbnail = std::vector<uint8_t>(kThumbnailRecordSize);
  };

  // A thumbnail record as a save writes it: 140 x 105, 32 bits, one colour (0x00RRGGBB).
  static std::vector<uint8_t> Thumbnail(uint32_t rgb, int32_t width = kThumbnailWidth,
                                        int32_t height = kThumbnailHeight, uint16_t bits = 32) {
    std::vector<uint8_t> record(kThumbnailRecordSize);
    DxDraw::DibHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = bits;
    DxDraw::WriteDibHeader(record.data(), h);
    for (size_t i = kThumbnailHeaderSize; i + 4 <= kThumbnailHeaderSize + 140 * 105 * 4; i += 4) {
      record[i] = uint8_t(rgb);
      record[i + 1] = uint8_t(rgb >> 8);
      record[i + 2] = uint8_t(rgb >> 16);
    }
    return record;
  }

  // A saved slot with the comment (Shift-JIS bytes, copied into the 36-byte field as they are).
  Slot& Put(int32_t slot, std::string_view comment, uint32_t thumbnailRgb = 0x204080) {
    Slot& s = slots[slot];
    s.header = SAVEHEADER{};
    std::memcpy(s.header.m_Comment, comment.data(), std::min(comment.size(), kCommentSize));
    s.header.m_Time = SYSTEMTIME{2026, 12, 4, 10, 23, 59, 58, 0};
    s.thumbnail = Thumbnail(thumbnailRgb);
    return s;
  }

  void SaveSlot(int32_t slot, std::string_view comment) override {
    Call("SaveSlot", slot);
    savedComments.push_back(std::string(comment));
    Put(slot, comment.substr(0, kCommentSize - 1), saveColour);
  }
  void LoadSlot(int32_t slot) override {
    Call("LoadSlot", slot);
    if (!slots.count(slot)) Fail("no row");
  }
  void ReadSlotHeader(int32_t slot, SAVEHEADER* out) override {
    Call("ReadSlotHeader", slot);
    const auto it = slots.find(slot);
    if (it == slots.end()) Fail("no row");
    *out = it->second.header;
  }
  bool ReadSlotThumbnail(int32_t slot, uint8_t* out) override {
    Call("ReadSlotThumbnail", slot);
    const auto it = slots.find(slot);
    if (it == slots.end()) Fail("no row");
    std::copy(it->second.thumbnail.begin(), it->second.thumbnail.end(), out);
    return true;
  }
  bool SlotExists(int32_t slot) override {
    Call("SlotExists", slot);
    return slots.count(slot) != 0;
  }
  void DeleteSlot(int32_t slot) override {
    Call("DeleteSlot", slot);
    slots.erase(slot);
  }
  void SetComment(int32_t slot, std::string_view comment) override {
    Call("SetComment", slot);
    setComments.push_back(std::string(comment));
    const auto it = slots.find(slot);
    if (it == slots.end()) return;
    std::memset(it->second.header.m_Comment, 0, kCommentSize);
    std::memcpy(it->second.header.m_Comment, comment.data(), std::min(comment.size(), kCommentSize));
  }
  void FillSlotList(platform::DialogControls& dialog, uint32_t listId, int32_t rows, int32_t marked) override {
    Call("FillSlotList", rows);
    for (int32_t n = 1; n <= rows; ++n) {
      const auto it = slots.find(n);
      dialog.AddLine(listId, FormatSlotLine(n, n - 1 == marked, it == slots.end() ? nullptr : &it->second.header));
    }
  }

  std::map<int32_t, Slot> slots;
  // Operations that raise the store's error before they change anything.
  std::set<std::string> failing;
  std::vector<std::string> calls;  // "SaveSlot 3"
  std::vector<std::string> savedComments, setComments;
  uint32_t saveColour = 0x10C020;

 private:
  void Call(const char* op, int32_t arg) {
    calls.push_back(std::string(op) + " " + std::to_string(arg));
    if (failing.count(op)) Fail("disk I/O error");
  }
  [[noreturn]] static void Fail(const char* what) { ThrowException(u"script/scr_gui", 1, 0, 0, u"%hs", what); }
};

}  // namespace dialogtest
