// What the dialogs share: their installed services, the error box, Shift-JIS cutting and the
// 24-bit picture a picture control shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dxdraw/surface.h"
#include "platform/dialog.h"
#include "script/dialogs/slotstore.h"

platform::DialogHost& DialogHostService();
ISlotStore& SlotStoreService();
const std::vector<std::u16string>& FontList();

// A box captioned "エラー" with an OK button.
void ShowErrorMessage(const std::u16string& text);

// The longest start of the Shift-JIS text within maxBytes that ends on a character boundary.
std::string CutShiftJis(std::string_view text, size_t maxBytes);

// The text of an edit as the store keeps a comment: Shift-JIS, at most kCommentBytes.
std::string CommentFromEdit(const std::u16string& text);

// A 24-bit top-down picture of a picture control's size, owned by the open dialog.
class DialogPicture {
 public:
  // False when the size is not acceptable.
  bool Create(int32_t width, int32_t height);
  void Fill(uint32_t rgb);
  // B, G, R bytes of row y.
  uint8_t* Row(int32_t y);
  int32_t Width() const { return m_Width; }
  int32_t Height() const { return m_Height; }
  void Show(platform::DialogControls& dialog, uint32_t id);

 private:
  DxDraw::DibSection m_Dib;
  int32_t m_Width = 0, m_Height = 0;
};
