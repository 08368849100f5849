// The save dialog in the real window: opened from the menu bar with the mouse during the first
// page, a comment typed into slot 3 and saved, then opened again showing that comment and the
// slot's thumbnail; the pictures without a dialog compared with the headless run's.
#include <gtest/gtest.h>

#include "dxdraw/image.h"
#include "lib/sjis.h"
#include "platform/utf.h"
#include "script/dialogs/slotstore.h"
#include "script/dialogs/templates.h"
#include "script/save/slots.h"
#include "tests/window/walk.h"

namespace {

using namespace walk;

constexpr int32_t kSlot = 3;
// Typed with xdotool into the comment edit.
const char kComment[] = "灯籠を流した夜";

// The slot's thumbnail as R, G, B rows, 140 x 105; empty when it has none.
std::vector<uint8_t> StoredThumbnail(int32_t slot) {
  std::vector<uint8_t> record(kThumbnailSize);
  DxDraw::DibHeader h;
  if (!ReadSlotThumbnail(slot, record.data()) || !DxDraw::ReadDibHeader(record.data(), record.size(), h)) return {};
  DxDraw::DxImage image(32);
  if (!DxDraw::ConvertDibTo32(image, record.data(), kThumbnailHeaderSize, record.data() + kThumbnailHeaderSize,
                              kThumbnailPixelArea) ||
      image.GetWidth() != kThumbnailWidth || image.GetAbsHeight() != kThumbnailHeight)
    return {};
  std::vector<uint8_t> rgb;
  for (int32_t y = 0; y < kThumbnailHeight; ++y) {
    const uint8_t* s = image.GetPixelAddress(0, y);
    for (int32_t x = 0; x < kThumbnailWidth; ++x, s += 4) rgb.insert(rgb.end(), {s[2], s[1], s[0]});
  }
  return rgb;
}

// What the real window's dialog showed, read while it was open.
struct DialogShots {
  std::vector<uint8_t> empty;     // the first opening, the comment edit still empty
  std::vector<uint8_t> reopened;  // the second, slot 3 offered with its comment and thumbnail
};

const platform::Rect kPicture = ControlRect(SaveLoadTemplate(), IDC_THUMBNAIL);
const platform::Rect kEdit = ControlRect(SaveLoadTemplate(), IDC_COMMENT);

// Pixels of the thumbnail control in a window capture that differ from the picture.
int ThumbnailDifference(RealGame& g, const std::vector<uint8_t>& shot, const std::vector<uint8_t>& want) {
  if (shot.empty() || want.empty()) return kThumbnailWidth * kThumbnailHeight;
  const platform::Point at = g.DialogPoint(SaveLoadTemplate(), kPicture.left, kPicture.top);
  int differ = 0;
  for (int y = 0; y < kThumbnailHeight; ++y)
    for (int x = 0; x < kThumbnailWidth; ++x) {
      const xvfbtest::Rgb c = xvfbtest::At(shot, kWidth, at.x + x, at.y + y);
      const uint8_t* w = want.data() + (size_t(y) * kThumbnailWidth + size_t(x)) * 3;
      if (!xvfbtest::Near(c, w[0], w[1], w[2], kChannelTolerance)) ++differ;
    }
  return differ;
}

// Dark pixels in the comment edit's left part.
int CommentInk(RealGame& g, const std::vector<uint8_t>& shot) {
  int ink = 0;
  for (int y = kEdit.top + 4; y < kEdit.bottom - 4; ++y)
    for (int x = kEdit.left + 2; x < kEdit.left + 140; ++x) {
      const platform::Point p = g.DialogPoint(SaveLoadTemplate(), x, y);
      const xvfbtest::Rgb c = xvfbtest::At(shot, kWidth, p.x, p.y);
      ink += (c.r < 110 && c.g < 110 && c.b < 110) ? 1 : 0;
    }
  return ink;
}

class DialogDriver {
 public:
  DialogDriver(DialogShots& shots, std::vector<uint8_t>& thumbnail) : m_Shots(shots), m_Thumbnail(thumbnail) {}

  Move operator()(const Picture& p) {
    if (AllBlack(p) || (m_Next == 0 && !starttest::StartRig::AtTitle())) return WaitOn();
    switch (m_Next++) {
      case 0:
        return Hover("the title", starttest::StartRig::NewGameButton());
      case 1:
        return Press("the title, its new-game button lit");
      case 2:
        if (!PageWaits()) {
          --m_Next;
          return WaitOn();
        }
        // The dialog's first opening is kept for its comment edit, still empty.
        return MenuSave("the first page, saved from the menu into slot 3", kSlot, kComment,
                        [this](RealGame& g) { m_Shots.empty = g.CaptureWindow(); });
      case 3:
        return Watch("the notice of the save");
      case 4: {
        // The slot as the headless save wrote it; the dialog opened again shows it.
        m_Thumbnail = StoredThumbnail(kSlot);
        return FinishWith(
            MenuSaveDialog("the first page again, the dialog opened again", [this](RealGame& g) { Look(g); }));
      }
      default:
        return WaitOn();
    }
  }

 private:
  void Look(RealGame& g) {
    m_Shots.reopened = g.WaitForWindow(
        [&](const std::vector<uint8_t>& s) {
          return ThumbnailDifference(g, s, m_Thumbnail) < kThumbnailWidth * kThumbnailHeight / 100 &&
                 CommentInk(g, s) > CommentInk(g, m_Shots.empty) + 20;
        },
        20);
    if (m_Shots.reopened.empty()) m_Shots.reopened = g.CaptureWindow();
  }

  DialogShots& m_Shots;
  std::vector<uint8_t>& m_Thumbnail;
  int m_Next = 0;
};

using WindowSaveDialog = RealWalk;

TEST_F(WindowSaveDialog, ACommentTypedIntoSlot3ComesBackWithItsThumbnail) {
  RealGame& game = Game();

  DialogShots shots;
  std::vector<uint8_t> thumbnail;
  DialogDriver driver(shots, thumbnail);
  std::vector<Step> steps;
  {
    starttest::StartRig rig;
    steps = RecordHeadless(rig, std::ref(driver));
    SetSaveFolder(platform::Utf8ToWide(rig.SaveFolder().string()));
    SAVEHEADER header;
    ReadSlotHeader(kSlot, &header);
    EXPECT_EQ(CommentOf(header), WideToSjis(platform::Utf8ToWide(kComment))) << "the headless save's comment";
  }
  ASSERT_FALSE(HasFailure());
  ASSERT_EQ(thumbnail.size(), size_t(kThumbnailWidth) * kThumbnailHeight * 3) << "the headless save's thumbnail";

  ASSERT_TRUE(game.Launch());
  Play(game, steps, "savedialog");
  // The dialog closed again over the page.
  Picture after;
  if (!game.WaitFor(steps.back().picture, 20, nullptr, &after)) {
    ADD_FAILURE() << "the page did not come back after the dialog";
    WritePng(after, fs::path(VARN_BINARY_DIR) / "window-walks" / "savedialog-after.png");
  }
  EXPECT_EQ(game.Stop(), 0);

  SetSaveFolder(platform::Utf8ToWide(game.SaveFolder().string()));
  ASSERT_TRUE(SlotExists(kSlot)) << "the real dialog saved into slot 3";
  SAVEHEADER header;
  ReadSlotHeader(kSlot, &header);
  EXPECT_EQ(SjisToWide(CommentOf(header)), platform::Utf8ToWide(kComment)) << "the typed comment was stored";
  for (int32_t other : {1, 2}) EXPECT_FALSE(SlotExists(other));

  xvfbtest::Dump("savedialog-reopened", shots.reopened, kWidth, kHeight + game.StripHeight());
  ASSERT_FALSE(shots.reopened.empty());
  EXPECT_LT(ThumbnailDifference(game, shots.reopened, thumbnail), kThumbnailWidth * kThumbnailHeight / 100)
      << "the reopened dialog shows the slot's thumbnail";
  EXPECT_GT(CommentInk(game, shots.reopened), CommentInk(game, shots.empty) + 20)
      << "the reopened dialog shows the comment in its edit";
}

}  // namespace
