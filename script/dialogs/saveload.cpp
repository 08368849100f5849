// The save and load dialog: the slot list, the comment, the thumbnail, and save, load, delete and
// the comment change, with every failure of the store shown and the dialog kept open.
#include <algorithm>
#include <memory>
#include <vector>

#include "dxdraw/image.h"
#include "lib/error.h"
#include "lib/sjis.h"
#include "lib/wstring.h"
#include "platform/msgbox.h"
#include "script/dialogs/dialogcommon.h"
#include "script/dialogs/dialogs.h"
#include "script/dialogs/templates.h"

using platform::DialogControls;
using platform::DialogEvent;
using platform::DialogEventType;

namespace {

constexpr int32_t kSlotCount = 99;
constexpr uint32_t kGrey = 0x808080;

// True for the header a save writes: 40 bytes, 140 x 105, 32 bits, uncompressed.
bool IsSavedThumbnail(const DxDraw::DibHeader& h) {
  const int32_t height = h.height < 0 ? -h.height : h.height;
  return h.size == kThumbnailHeaderSize && h.width == kThumbnailWidth && height == kThumbnailHeight &&
         h.bitCount == 32 && h.planes == 1 && h.compression == 0;
}

class SaveLoadProcedure {
 public:
  explicit SaveLoadProcedure(int32_t mode) : m_Load(mode == SAVELOAD_LOAD) {}

  bool operator()(DialogControls& d, const DialogEvent& e) {
    m_Failed = false;
    switch (e.type) {
      case DialogEventType::Init:
        Open(d);
        return true;
      case DialogEventType::SelChange:
        if (e.control == IDC_SLOTLIST) Selected(d);
        return true;
      case DialogEventType::DoubleClick:
        if (e.control == IDC_SLOTLIST && m_Load) Load(d);
        return true;
      case DialogEventType::FocusIn:
      case DialogEventType::FocusOut:
        if (e.control == IDC_COMMENT) m_CommentFocused = e.type == DialogEventType::FocusIn;
        return true;
      case DialogEventType::Command:
        return Command(d, e.control);
      default:
        return false;
    }
  }

 private:
  bool Command(DialogControls& d, uint32_t id) {
    switch (id) {
      case platform::kIdOk:
        if (!m_Load) {
          Save(d);
        } else if (m_CommentFocused) {
          // Enter in the comment stores it and does not load.
          ChangeComment(d);
          d.SetFocus(IDC_SLOTLIST);
          m_CommentFocused = false;
        } else {
          Load(d);
        }
        return true;
      case IDC_SETCOMMENT:
        ChangeComment(d);
        return true;
      case IDC_DELETE:
        Delete(d);
        return true;
      case platform::kIdCancel:
        d.End(-1);
        return true;
      default:
        return false;
    }
  }

  void Open(DialogControls& d) {
    d.SetCaption(m_Load ? u"ロード" : u"セーブ");
    d.SetLimit(IDC_COMMENT, int32_t(kCommentBytes));
    if (!m_Load) {
      d.Show(IDC_SETCOMMENT, false);
      d.SetText(platform::kIdOk, u"セーブ");
    }
    m_Thumbnail.Create(kThumbnailWidth, kThumbnailHeight);
    m_Thumbnail.Fill(kGrey);
    m_Thumbnail.Show(d, IDC_THUMBNAIL);
    Refill(d, g_LastSaveSlot);
    d.SetFocus(IDC_SLOTLIST);
  }

  // Runs one store call; a failure shows its message once per user action and gives false. The
  // quit passes on.
  template <typename Call>
  bool Store(Call&& call) {
    try {
      call(SlotStoreService());
      return true;
    } catch (const ExceptionHandle& e) {
      if (e.IsQuit()) throw;
      if (!m_Failed) ShowErrorMessage(e.m_Message);
      m_Failed = true;
      return false;
    }
  }

  // The list read again, the line selected and shown.
  void Refill(DialogControls& d, int32_t line) {
    std::vector<std::u16string> shown;
    for (int32_t i = 0, n = d.LineCount(IDC_SLOTLIST); i < n; ++i) shown.push_back(d.GetLine(IDC_SLOTLIST, i));
    d.ClearLines(IDC_SLOTLIST);
    if (!Store([&](ISlotStore& s) { s.FillSlotList(d, IDC_SLOTLIST, kSlotCount, g_LastSaveSlot); })) {
      // A list that cannot be read again stays as it was shown.
      d.ClearLines(IDC_SLOTLIST);
      for (const std::u16string& text : shown) d.AddLine(IDC_SLOTLIST, text);
    }
    d.SelectLine(IDC_SLOTLIST, line);
    Selected(d);
  }

  int32_t SelectedSlot(DialogControls& d) const {
    const int32_t line = d.GetSelection(IDC_SLOTLIST);
    return line < 0 ? -1 : line + 1;
  }

  void Selected(DialogControls& d) {
    const int32_t slot = SelectedSlot(d);
    bool exists = false;
    SAVEHEADER header;
    if (slot > 0 && Store([&](ISlotStore& s) { exists = s.SlotExists(slot); }) && exists)
      exists = Store([&](ISlotStore& s) { s.ReadSlotHeader(slot, &header); });
    if (m_Load) {
      d.Enable(platform::kIdOk, exists);
      d.Enable(IDC_SETCOMMENT, exists);
      d.Enable(IDC_DELETE, exists);
    }
    d.SetText(IDC_COMMENT, exists ? SjisToWide(CommentOf(header)) : std::u16string());
    ShowThumbnail(d, exists ? slot : -1);
  }

  void ShowThumbnail(DialogControls& d, int32_t slot) {
    m_Thumbnail.Fill(kGrey);
    if (slot > 0) {
      std::vector<uint8_t> record(kThumbnailRecordSize);
      DxDraw::DibHeader h;
      bool read = false;
      if (Store([&](ISlotStore& s) { read = s.ReadSlotThumbnail(slot, record.data()); }) && read &&
          DxDraw::ReadDibHeader(record.data(), record.size(), h) && IsSavedThumbnail(h)) {
        DxDraw::DxImage image(32);
        if (DxDraw::ConvertDibTo32(image, record.data(), kThumbnailHeaderSize, record.data() + kThumbnailHeaderSize,
                                   kThumbnailPixelArea)) {
          const int32_t w = std::min(image.GetWidth(), m_Thumbnail.Width());
          const int32_t hgt = std::min(image.GetAbsHeight(), m_Thumbnail.Height());
          for (int32_t y = 0; y < hgt; ++y) {
            const uint8_t* s = image.GetPixelAddress(0, y);
            uint8_t* o = m_Thumbnail.Row(y);
            for (int32_t x = 0; x < w; ++x, s += 4, o += 3) {
              o[0] = s[0];
              o[1] = s[1];
              o[2] = s[2];
            }
          }
        }
      }
    }
    m_Thumbnail.Show(d, IDC_THUMBNAIL);
  }

  // After a store call that failed: the list as the store now has it, the same line selected.
  void Reread(DialogControls& d, int32_t line) { Refill(d, line); }

  void Save(DialogControls& d) {
    const int32_t line = d.GetSelection(IDC_SLOTLIST);
    if (line < 0) return;
    const int32_t slot = line + 1;
    bool exists = false;
    if (!Store([&](ISlotStore& s) { exists = s.SlotExists(slot); })) return Reread(d, line);
    if (exists &&
        platform::ShowMessageBox(FormatWide(u"%d番のデータに上書きしてもよろしいですか？", slot), u"上書き",
                                 platform::MsgButtons::YesNo, platform::MsgIcon::Question) != platform::MsgResult::Yes)
      return;
    const std::string comment = CommentFromEdit(d.GetText(IDC_COMMENT));
    if (!Store([&](ISlotStore& s) { s.SaveSlot(slot, comment); })) return Reread(d, line);
    d.End(line);
  }

  void Load(DialogControls& d) {
    const int32_t line = d.GetSelection(IDC_SLOTLIST);
    if (line < 0) return;
    const int32_t slot = line + 1;
    bool exists = false;
    SAVEHEADER header;
    // A slot whose record cannot be read is not offered for loading.
    if (!Store([&](ISlotStore& s) {
          exists = s.SlotExists(slot);
          if (exists) s.ReadSlotHeader(slot, &header);
        }))
      return Reread(d, line);
    if (exists) d.End(line);
  }

  void ChangeComment(DialogControls& d) {
    const int32_t line = d.GetSelection(IDC_SLOTLIST);
    if (line < 0) return;
    const std::string comment = CommentFromEdit(d.GetText(IDC_COMMENT));
    Store([&](ISlotStore& s) { s.SetComment(line + 1, comment); });
    Reread(d, line);
  }

  void Delete(DialogControls& d) {
    const int32_t line = d.GetSelection(IDC_SLOTLIST);
    if (line < 0) return;
    const int32_t slot = line + 1;
    bool exists = false;
    if (!Store([&](ISlotStore& s) { exists = s.SlotExists(slot); })) return Reread(d, line);
    if (!exists) return;
    if (platform::ShowMessageBox(FormatWide(u"%d番のデータを削除してもよろしいですか？", slot), u"削除",
                                 platform::MsgButtons::YesNo, platform::MsgIcon::Question) != platform::MsgResult::Yes)
      return;
    Store([&](ISlotStore& s) { s.DeleteSlot(slot); });
    Reread(d, line);
  }

  bool m_Load;
  bool m_CommentFocused = false;
  bool m_Failed = false;  // a box was shown for the event being handled
  DialogPicture m_Thumbnail;
};

}  // namespace

int32_t SaveLoadDialog(int32_t mode) {
  auto procedure = std::make_shared<SaveLoadProcedure>(mode);
  const int32_t result = DialogHostService().RunModal(
      SaveLoadTemplate(), [procedure](DialogControls& d, const DialogEvent& e) { return (*procedure)(d, e); });
  if (mode == SAVELOAD_SAVE && result != -1) g_LastSaveSlot = result;
  return result;
}
