// The dialogs' services, the error box, Shift-JIS cutting, slot lines and the picture helper.
#include "script/dialogs/dialogcommon.h"

#include <algorithm>
#include <cstring>

#include "lib/sjis.h"
#include "lib/wstring.h"
#include "platform/msgbox.h"
#include "platform/service.h"
#include "script/dialogs/dialogs.h"

namespace {

platform::ServiceSlot<platform::DialogHost> g_Host{"dialog host (dialog services)", nullptr};
platform::ServiceSlot<ISlotStore> g_Slots{"save slot store (dialog services)", nullptr};
const std::vector<std::u16string>* g_Fonts = nullptr;

}  // namespace

void SetDialogServices(const DialogServices& services) {
  g_Host.Set(services.host);
  g_Slots.Set(services.slots);
  g_Fonts = services.fonts;
}

platform::DialogHost& DialogHostService() {
  return *g_Host.Get();
}

ISlotStore& SlotStoreService() {
  return *g_Slots.Get();
}

const std::vector<std::u16string>& FontList() {
  static const std::vector<std::u16string> none;
  return g_Fonts ? *g_Fonts : none;
}

void ShowErrorMessage(const std::u16string& text) {
  platform::ShowMessageBox(text, u"エラー", platform::MsgButtons::Ok, platform::MsgIcon::Error);
}

std::string CutShiftJis(std::string_view text, size_t maxBytes) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t width = IsSjisLeadByte(static_cast<uint8_t>(text[end])) ? 2 : 1;
    if (end + width > maxBytes || end + width > text.size()) break;
    end += width;
  }
  return std::string(text.substr(0, end));
}

std::string CommentFromEdit(const std::u16string& text) {
  return CutShiftJis(WideToSjis(text), kCommentBytes);
}

std::string_view CommentOf(const SAVEHEADER& header) {
  const char* c = header.m_Comment;
  const void* nul = std::memchr(c, 0, kCommentSize);
  return std::string_view(c, nul ? size_t(static_cast<const char*>(nul) - c) : kCommentSize);
}

bool DialogPicture::Create(int32_t width, int32_t height) {
  // Negative height: rows top-down, as the picture control takes them.
  if (!m_Dib.Create(width, -height, 24)) {
    m_Width = m_Height = 0;
    return false;
  }
  m_Width = width;
  m_Height = height;
  return true;
}

void DialogPicture::Fill(uint32_t rgb) {
  for (int32_t y = 0; y < m_Height; ++y) {
    uint8_t* p = Row(y);
    for (int32_t x = 0; x < m_Width; ++x, p += 3) {
      p[0] = uint8_t(rgb);
      p[1] = uint8_t(rgb >> 8);
      p[2] = uint8_t(rgb >> 16);
    }
  }
}

uint8_t* DialogPicture::Row(int32_t y) {
  return m_Dib.GetBits() + size_t(m_Dib.GetPitch()) * size_t(y);
}

void DialogPicture::Show(platform::DialogControls& dialog, uint32_t id) {
  if (m_Width <= 0) return;
  dialog.SetPicture(id, m_Dib.GetBits(), m_Width, m_Height, int32_t(m_Dib.GetPitch()));
}

void SaveStoreSlots::SaveSlot(int32_t slot, std::string_view comment) {
  ::SaveSlot(slot, std::string(comment).c_str());
}
void SaveStoreSlots::LoadSlot(int32_t slot) {
  ::LoadSlot(slot);
}
void SaveStoreSlots::ReadSlotHeader(int32_t slot, SAVEHEADER* out) {
  ::ReadSlotHeader(slot, out);
}
bool SaveStoreSlots::ReadSlotThumbnail(int32_t slot, uint8_t* out) {
  return ::ReadSlotThumbnail(slot, out);
}
bool SaveStoreSlots::SlotExists(int32_t slot) {
  return ::SlotExists(slot);
}
void SaveStoreSlots::DeleteSlot(int32_t slot) {
  ::DeleteSlot(slot);
}
void SaveStoreSlots::SetComment(int32_t slot, std::string_view comment) {
  ::SetComment(slot, std::string(comment).c_str());
}
void SaveStoreSlots::FillSlotList(platform::DialogControls& dialog, uint32_t listId, int32_t rows, int32_t marked) {
  ::FillSlotList(dialog, listId, rows, marked);
}
