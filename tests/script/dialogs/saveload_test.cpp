// The save and load dialog on the scripted host: the list, the comment, the thumbnail, save,
// load, delete and the comment change, and what a failing store does to each.
#include <gtest/gtest.h>

#include <string>

#include "dialogfixture.h"
#include "lib/sjis.h"
#include "platform/utf.h"

namespace {

using namespace dialogtest;
using platform::DialogState;
using platform::MsgResult;

std::string U8(const std::u16string& s) {
  return platform::WideToUtf8(s);
}

class SaveLoadDialogTest : public DialogTest {
 protected:
  // The thumbnail's pixel at (x, y) as 0x00RRGGBB.
  static uint32_t ThumbnailAt(const DialogState& d, int32_t x, int32_t y) {
    const platform::ControlState* c = d.Find(IDC_THUMBNAIL);
    if (!c || c->pictureWidth != 140 || c->pictureHeight != 105) return 0xFFFFFFFF;
    const uint8_t* p = c->picture.data() + (size_t(y) * 140 + size_t(x)) * 3;
    return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }
  static bool Has(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
  }
};

TEST_F(SaveLoadDialogTest, SaveModeOpensOnTheLastSlotWithItsLinesCommentAndThumbnail) {
  store.Put(3, WideToSjis(u"森の入口"), 0x336699);
  g_LastSaveSlot = 2;
  Script({});
  EXPECT_EQ(SaveLoadDialog(SAVELOAD_SAVE), -1) << "the script's end presses Cancel";
  const DialogState& d = Closed();
  EXPECT_EQ(d.Caption(), u"セーブ");
  EXPECT_FALSE(d.IsShown(IDC_SETCOMMENT)) << "no comment change in save mode";
  EXPECT_EQ(d.GetText(platform::kIdOk), u"セーブ");
  ASSERT_EQ(d.LineCount(IDC_SLOTLIST), 99);
  EXPECT_EQ(U8(d.GetLine(IDC_SLOTLIST, 2)), ">03 2026/12/10 23:59:58 森の入口                       ");
  EXPECT_EQ(U8(d.GetLine(IDC_SLOTLIST, 6)), " 07 ----/--/-- --:--:-- --------------------------------");
  EXPECT_EQ(d.GetSelection(IDC_SLOTLIST), 2);
  EXPECT_EQ(d.GetFocus(), uint32_t(IDC_SLOTLIST));
  EXPECT_EQ(d.GetText(IDC_COMMENT), u"森の入口");
  EXPECT_EQ(ThumbnailAt(d, 0, 0), 0x336699u);
  EXPECT_EQ(ThumbnailAt(d, 139, 104), 0x336699u);
  EXPECT_TRUE(d.IsEnabled(platform::kIdOk)) << "an empty slot can be saved into";
}

TEST_F(SaveLoadDialogTest, SavingIntoAnEmptySlotAsksNothingAndTheNextOpeningOffersIt) {
  Script({Choose(IDC_SLOTLIST, 4), Inspect([](const DialogState& d) {
            EXPECT_EQ(d.GetText(IDC_COMMENT), u"") << "an empty slot has no comment";
            EXPECT_EQ(ThumbnailAt(d, 70, 50), 0x808080u) << "and the grey picture";
          }),
          Type(IDC_COMMENT, u"湖畔にて"), Click(platform::kIdOk)});
  EXPECT_EQ(SaveLoadDialog(SAVELOAD_SAVE), 4);
  EXPECT_TRUE(Boxes().empty());
  ASSERT_EQ(store.savedComments.size(), 1u);
  EXPECT_EQ(store.savedComments[0], WideToSjis(u"湖畔にて"));
  EXPECT_TRUE(Has(store.calls, "SaveSlot 5"));
  EXPECT_EQ(g_LastSaveSlot, 4);

  Script({});
  SaveLoadDialog(SAVELOAD_LOAD);
  EXPECT_EQ(Closed().GetSelection(IDC_SLOTLIST), 4);
  EXPECT_EQ(U8(Closed().GetLine(IDC_SLOTLIST, 4)).substr(0, 3), ">05");
  EXPECT_EQ(ThumbnailAt(Closed(), 1, 1), store.saveColour) << "the new save's own thumbnail";
}

TEST_F(SaveLoadDialogTest, SavingOverAUsedSlotAsksAndNoKeepsTheDialogOpen) {
  store.Put(3, "old");
  g_LastSaveSlot = 2;
  Answer(MsgResult::No);
  Answer(MsgResult::Yes);
  Script({Type(IDC_COMMENT, u"new"), Click(platform::kIdOk), Inspect([&](const DialogState& d) {
            EXPECT_FALSE(d.Ended()) << "No keeps the dialog open";
            EXPECT_TRUE(store.savedComments.empty()) << "and writes nothing";
          }),
          Click(platform::kIdOk)});
  EXPECT_EQ(SaveLoadDialog(SAVELOAD_SAVE), 2);
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].text, u"3番のデータに上書きしてもよろしいですか？");
  EXPECT_EQ(Boxes()[0].caption, u"上書き");
  EXPECT_EQ(Boxes()[0].buttons, platform::MsgButtons::YesNo);
  EXPECT_EQ(Boxes()[0].icon, platform::MsgIcon::Question);
  ASSERT_EQ(store.savedComments.size(), 1u);
  EXPECT_EQ(store.savedComments[0], "new");
}

// A comment of 32 characters can be 64 bytes; the store gets at most 32, cut between characters.
TEST_F(SaveLoadDialogTest, LongJapaneseCommentsAreCutTo32BytesOnBothPaths) {
  const std::u16string kanji = u"春夏秋冬東西南北上下左右前後内外朝昼夕夜月火水木金土日年山川海空";
  ASSERT_EQ(kanji.size(), 32u);
  struct Case {
    std::u16string typed;
    std::u16string stored;
  };
  const Case cases[] = {
      {kanji, kanji.substr(0, 16)},
      {u"a" + kanji.substr(0, 31), u"a" + kanji.substr(0, 15)},
      {u"ｱｲｳｴｵ" + kanji.substr(0, 27), u"ｱｲｳｴｵ" + kanji.substr(0, 13)},
      {u"short", u"short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.typed));
    store.savedComments.clear();
    store.setComments.clear();
    store.slots.clear();
    Script({Choose(IDC_SLOTLIST, 0), Type(IDC_COMMENT, c.typed), Click(platform::kIdOk)});
    ASSERT_EQ(SaveLoadDialog(SAVELOAD_SAVE), 0);
    ASSERT_EQ(store.savedComments.size(), 1u);
    EXPECT_LE(store.savedComments[0].size(), kCommentBytes);
    EXPECT_EQ(SjisToWide(store.savedComments[0]), c.stored) << "the save path";

    Script({Choose(IDC_SLOTLIST, 0), Type(IDC_COMMENT, c.typed), Click(IDC_SETCOMMENT)});
    SaveLoadDialog(SAVELOAD_LOAD);
    ASSERT_EQ(store.setComments.size(), 1u);
    EXPECT_LE(store.setComments[0].size(), kCommentBytes);
    EXPECT_EQ(SjisToWide(store.setComments[0]), c.stored) << "the comment change";
    EXPECT_EQ(Closed().GetText(IDC_COMMENT), c.stored) << "the list is read again";
  }
}

TEST_F(SaveLoadDialogTest, LoadModeOffersOnlyUsedSlots) {
  store.Put(2, "two");
  Script({Choose(IDC_SLOTLIST, 0), Inspect([](const DialogState& d) {
            EXPECT_EQ(d.Caption(), u"ロード");
            EXPECT_TRUE(d.IsShown(IDC_SETCOMMENT));
            for (uint32_t id : {uint32_t(platform::kIdOk), uint32_t(IDC_SETCOMMENT), uint32_t(IDC_DELETE)})
              EXPECT_FALSE(d.IsEnabled(id)) << id << " is greyed on an empty slot";
          }),
          Enter(), DoubleClick(IDC_SLOTLIST, 5),
          Inspect([](const DialogState& d) { EXPECT_FALSE(d.Ended()) << "an empty slot cannot be loaded"; }),
          Choose(IDC_SLOTLIST, 1), Inspect([](const DialogState& d) {
            for (uint32_t id : {uint32_t(platform::kIdOk), uint32_t(IDC_SETCOMMENT), uint32_t(IDC_DELETE)})
              EXPECT_TRUE(d.IsEnabled(id)) << id;
            EXPECT_EQ(d.GetText(IDC_COMMENT), u"two");
          }),
          Click(platform::kIdOk)});
  EXPECT_EQ(SaveLoadDialog(SAVELOAD_LOAD), 1);
  EXPECT_TRUE(store.savedComments.empty());

  Script({DoubleClick(IDC_SLOTLIST, 1)});
  EXPECT_EQ(SaveLoadDialog(SAVELOAD_LOAD), 1) << "a double-click loads";
  EXPECT_EQ(g_LastSaveSlot, -1) << "loading does not move the offered slot";
}

TEST_F(SaveLoadDialogTest, EnterInTheCommentStoresItAndDoesNotLoad) {
  store.Put(2, "two");
  g_LastSaveSlot = 1;
  Script({Type(IDC_COMMENT, u"書き直し"), Enter(), Inspect([](const DialogState& d) {
            EXPECT_FALSE(d.Ended());
            EXPECT_EQ(d.GetFocus(), uint32_t(IDC_SLOTLIST)) << "the focus goes back to the list";
            EXPECT_EQ(U8(d.GetLine(IDC_SLOTLIST, 1)).substr(24, 12), "書き直し");
          }),
          Enter()});
  EXPECT_EQ(SaveLoadDialog(SAVELOAD_LOAD), 1) << "Enter from the list loads";
  ASSERT_EQ(store.setComments.size(), 1u);
  EXPECT_EQ(SjisToWide(CommentOf(store.slots[2].header)), u"書き直し");
}

TEST_F(SaveLoadDialogTest, DeleteAsksAndEmptiesTheSlot) {
  store.Put(4, "four");
  store.Put(5, "five");
  g_LastSaveSlot = 3;
  Answer(MsgResult::No);
  Answer(MsgResult::Yes);
  Script({Click(IDC_DELETE), Inspect([&](const DialogState&) { EXPECT_EQ(store.slots.count(4), 1u); }),
          Click(IDC_DELETE), Inspect([](const DialogState& d) {
            EXPECT_EQ(U8(d.GetLine(IDC_SLOTLIST, 3)).substr(4, 10), "----/--/--");
            EXPECT_EQ(d.GetSelection(IDC_SLOTLIST), 3) << "the same line stays selected";
            EXPECT_FALSE(d.IsEnabled(platform::kIdOk));
            EXPECT_EQ(d.GetText(IDC_COMMENT), u"");
          }),
          Click(IDC_DELETE)});
  SaveLoadDialog(SAVELOAD_LOAD);
  ASSERT_EQ(Boxes().size(), 2u) << "the greyed button asks nothing more";
  EXPECT_EQ(Boxes()[0].text, u"4番のデータを削除してもよろしいですか？");
  EXPECT_EQ(Boxes()[0].caption, u"削除");
  EXPECT_EQ(store.slots.count(4), 0u);
  EXPECT_EQ(store.slots.count(5), 1u);
}

TEST_F(SaveLoadDialogTest, OnlyTheHeaderASaveWritesGivesAThumbnail) {
  struct Case {
    const char* what;
    std::vector<uint8_t> record;
    bool shown;
  };
  std::vector<uint8_t> zeroSize = MemorySlotStore::Thumbnail(0x112233);
  zeroSize[0] = 0;
  std::vector<uint8_t> bottomUp = MemorySlotStore::Thumbnail(0x112233);
  const Case cases[] = {
      {"a save's header", bottomUp, true},
      {"top-down rows", MemorySlotStore::Thumbnail(0x112233, 140, -105), true},
      {"no thumbnail (size 0)", zeroSize, false},
      {"narrower", MemorySlotStore::Thumbnail(0x112233, 139, 105), false},
      {"taller", MemorySlotStore::Thumbnail(0x112233, 140, 106), false},
      {"24 bits", MemorySlotStore::Thumbnail(0x112233, 140, 105, 24), false},
      {"a huge size", MemorySlotStore::Thumbnail(0x112233, 100000, 100000), false},
      {"all zero", std::vector<uint8_t>(kThumbnailRecordSize), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    store.Put(1, "x").thumbnail = c.record;
    g_LastSaveSlot = 0;
    Script({});
    SaveLoadDialog(SAVELOAD_LOAD);
    EXPECT_EQ(ThumbnailAt(Closed(), 10, 10), c.shown ? 0x112233u : 0x808080u);
  }
}

TEST_F(SaveLoadDialogTest, ACommentWithoutTerminatorIsReadWithinItsField) {
  SAVEHEADER& h = store.Put(1, "").header;
  std::fill(std::begin(h.m_Comment), std::end(h.m_Comment), 'Z');
  g_LastSaveSlot = 0;
  Script({});
  SaveLoadDialog(SAVELOAD_LOAD);
  EXPECT_EQ(Closed().GetText(IDC_COMMENT), std::u16string(36, u'Z'));
  EXPECT_EQ(Closed().GetLine(IDC_SLOTLIST, 0).substr(24), std::u16string(36, u'Z') + u" ");
}

TEST_F(SaveLoadDialogTest, WithoutASelectionTheButtonsDoNothing) {
  store.Put(1, "one");
  for (int32_t offered : {-1, 99, 5000}) {
    SCOPED_TRACE(offered);
    g_LastSaveSlot = offered;
    store.calls.clear();
    Script({Inspect([](const DialogState& d) { EXPECT_EQ(d.GetSelection(IDC_SLOTLIST), -1); }), Click(platform::kIdOk),
            Click(IDC_DELETE), Inspect([](const DialogState& d) { EXPECT_FALSE(d.Ended()); })});
    EXPECT_EQ(SaveLoadDialog(SAVELOAD_SAVE), -1);
    EXPECT_TRUE(Boxes().empty());
    for (const std::string& call : store.calls) EXPECT_EQ(call.rfind("SaveSlot", 0), std::string::npos);
  }
}

// Each failing store call shows its message once in an "エラー" box; the dialog stays open with
// the list read again, and nothing else is lost.
TEST_F(SaveLoadDialogTest, AFailingStoreCallIsShownAndTheDialogStaysOpen) {
  struct Case {
    const char* op;
    int32_t mode;
    int32_t line;                 // chosen while the store still works
    std::vector<Action> actions;  // done while op fails
  };
  const Case cases[] = {
      {"SaveSlot", SAVELOAD_SAVE, 6, {Type(IDC_COMMENT, u"x"), Click(platform::kIdOk)}},
      {"SaveSlot", SAVELOAD_SAVE, 1, {Click(platform::kIdOk)}},
      {"SetComment", SAVELOAD_LOAD, 1, {Type(IDC_COMMENT, u"x"), Click(IDC_SETCOMMENT)}},
      {"DeleteSlot", SAVELOAD_LOAD, 1, {Click(IDC_DELETE)}},
      {"ReadSlotHeader", SAVELOAD_LOAD, 1, {Click(platform::kIdOk)}},
      {"SlotExists", SAVELOAD_LOAD, 1, {DoubleClick(IDC_SLOTLIST, 1)}},
      {"FillSlotList", SAVELOAD_LOAD, 1, {Click(IDC_SETCOMMENT)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.op);
    store.slots.clear();
    store.Put(2, "two");
    store.Put(9, "nine");
    store.savedComments.clear();
    store.failing.clear();
    backend->hboxes->Clear();
    Answer(MsgResult::Yes);  // the question before an overwrite or a delete
    g_LastSaveSlot = 8;
    std::vector<Action> actions{Choose(IDC_SLOTLIST, c.line),
                                Inspect([&](const DialogState&) { store.failing = {c.op}; })};
    actions.insert(actions.end(), c.actions.begin(), c.actions.end());
    actions.push_back(Inspect([&](const DialogState& d) {
      EXPECT_FALSE(d.Ended()) << "the dialog stays open";
      store.failing.clear();
    }));
    // Choosing the line again shows the store as it is now.
    actions.push_back(Choose(IDC_SLOTLIST, 3));
    actions.push_back(Choose(IDC_SLOTLIST, 1));
    actions.push_back(Inspect([&](const DialogState& d) { EXPECT_EQ(d.GetText(IDC_COMMENT), u"two"); }));
    Script(std::move(actions));
    const int32_t result = SaveLoadDialog(c.mode);
    EXPECT_EQ(result, -1) << "no slot was chosen, so the menu shows no notice";
    EXPECT_EQ(g_LastSaveSlot, 8);
    const platform::MessageBoxRequest* error = nullptr;
    int errors = 0;
    for (const auto& box : Boxes())
      if (box.caption == u"エラー") error = &box, ++errors;
    ASSERT_EQ(errors, 1) << "one box for one failure";
    EXPECT_EQ(error->text, u"disk I/O error");
    EXPECT_EQ(store.slots.count(2), 1u);
    EXPECT_EQ(store.slots.count(9), 1u) << "no other slot is lost";
    EXPECT_EQ(SjisToWide(CommentOf(store.slots[2].header)), u"two");
  }
}

TEST_F(SaveLoadDialogTest, AListThatCannotBeFilledIsShownOnceAtOpening) {
  store.failing = {"FillSlotList"};
  Script({Inspect([](const DialogState& d) { EXPECT_FALSE(d.Ended()); })});
  EXPECT_EQ(SaveLoadDialog(SAVELOAD_SAVE), -1);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, u"エラー");
}

TEST_F(SaveLoadDialogTest, AFailedSaveReadsTheListAgain) {
  g_LastSaveSlot = 0;
  Script({Inspect([&](const DialogState&) {
            store.failing = {"SaveSlot"};
            store.calls.clear();
          }),
          Click(platform::kIdOk)});
  SaveLoadDialog(SAVELOAD_SAVE);
  ASSERT_GE(store.calls.size(), 2u);
  EXPECT_EQ(store.calls[0], "SlotExists 1");
  EXPECT_EQ(store.calls[1], "SaveSlot 1");
  EXPECT_TRUE(Has(store.calls, "FillSlotList 99")) << "after the failure the list is filled again";
}

}  // namespace
