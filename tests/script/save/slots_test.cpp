// Slots, the quick-save ring, the slot list, thumbnails and the global data of the save store.
#include <cstring>

#include "archive/archive.h"
#include "dxdraw/image.h"
#include "dxdraw/surface.h"
#include "lib/bytes.h"
#include "lib/sjis.h"
#include "platform/dialog_state.h"
#include "savefixture.h"
#include "tests/dxdraw/image_fixtures.h"
#include "textscript/statement.h"

namespace {

using savetest::SaveTest;

// A list box control of that id.
platform::ControlTemplate ListBox(uint32_t id) {
  platform::ControlTemplate c;
  c.id = id;
  c.type = platform::ControlType::ListBox;
  return c;
}

class SaveSlots : public SaveTest {
 protected:
  // A save whose variables and comment carry one number, so that a slot tells which save it holds.
  void SaveNumbered(int32_t slot, int32_t n) {
    g_SavedVariables.Clear();
    g_SavedVariables.Set(u"N", n);
    SaveSlot(slot, std::to_string(n).c_str());
  }
  int32_t NumberIn(int32_t slot) {
    SAVEHEADER h;
    ReadSlotHeader(slot, &h);
    return std::stoi(h.m_Comment);
  }
};

TEST_F(SaveSlots, LoadRestoresVariablesResumeBuffersStartPageAndEmptiesTheBacklog) {
  g_Variables.Set(u"LIVE", 1);  // the live table is not what a save stores
  g_SavedVariables.Set(u"FLAG", 7);
  g_SavedVariables.Set(u"ルート", -3);
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_PICTURE, u"BG01A");
  SetSceneState(SCENE_CHARACTERS, SCENE_CHL_SHOWN, u"CH02");
  SetSceneState(SCENE_BGM, SCENE_BGM_PLAYING, u"曲一");
  SetSceneState(SCENE_SE1, SCENE_SE_LOOP, u"rain");
  TextScript::g_CurrentPage = 42;
  SaveSlot(3, "朝");

  ClearSceneStates();
  g_Variables.Clear();
  g_Variables.Set(u"OTHER", 5);
  g_SavedVariables.Clear();
  g_BackLog->Append(u"text", u"");
  g_StartPage = -1;

  LoadSlot(3);
  EXPECT_EQ(g_StartPage, 42);
  EXPECT_EQ(Var(u"FLAG"), 7);
  EXPECT_EQ(Var(u"ルート"), -3);
  EXPECT_EQ(Var(u"LIVE"), INT32_MIN);
  EXPECT_EQ(Var(u"OTHER"), INT32_MIN) << "the live table is cleared first";
  EXPECT_EQ(g_SavedVariables.Count(), 2u) << "the snapshot is a copy of the loaded table";
  EXPECT_TRUE(g_BackLog->Entries().empty());
  const std::pair<SceneBuffer, const char16_t*> names[] = {
      {SCENE_BACKGROUND, u"BG01A"}, {SCENE_CHARACTERS, u"CH02"}, {SCENE_BGM, u"曲一"}, {SCENE_SE1, u"rain"}};
  for (const auto& [buffer, name] : names) {
    std::u16string got;
    EXPECT_TRUE(GetSceneStateName(g_SceneState[buffer], &got));
    EXPECT_EQ(got, name);
  }
  EXPECT_EQ(g_SceneState[SCENE_SE1].m_State, SCENE_SE_LOOP);
  EXPECT_EQ(g_SceneState[SCENE_SE2].m_State, SCENE_SE_NONE);
}

TEST_F(SaveSlots, AnEmptyOrDamagedSlotRaisesAndChangesNothing) {
  g_Variables.Set(u"KEEP", 1);
  EXPECT_THROW(LoadSlot(4), ExceptionHandle);
  SaveNumbered(4, 1);
  Change("UPDATE entry SET header=x'00' WHERE number=4;");
  g_StartPage = 9;
  EXPECT_THROW(LoadSlot(4), ExceptionHandle);
  Change("UPDATE entry SET header=NULL WHERE number=4;");
  EXPECT_THROW(LoadSlot(4), ExceptionHandle);
  EXPECT_THROW(ReadSlotHeader(4, nullptr), ExceptionHandle);
  EXPECT_EQ(Var(u"KEEP"), 1);
  EXPECT_EQ(g_StartPage, 9);
}

TEST_F(SaveSlots, TheQuickSaveRingKeepsTheNineNewestFrom91) {
  SaveNumbered(5, 500);  // a slot below the ring is never touched
  struct Step {
    int saves;                 // quick saves so far
    std::vector<int> numbers;  // the rows afterwards
    int32_t newest;
  };
  const Step steps[] = {
      {1, {5, 91}, 90},
      {9, {5, 91, 92, 93, 94, 95, 96, 97, 98, 99}, 90},
      {12, {5, 91, 92, 93, 94, 95, 96, 97, 98, 99}, 90},
  };
  EXPECT_EQ(NewestQuickSaveSlot(), -1);
  int done = 0;
  for (const Step& step : steps) {
    for (; done < step.saves; ++done) {
      g_SavedVariables.Clear();
      g_SavedVariables.Set(u"N", done + 1);
      ASSERT_EQ(QuickSave(), 1);
      EXPECT_EQ(NewestQuickSaveSlot(), 90) << "after quick save " << done + 1;
    }
    EXPECT_EQ(Numbers(), step.numbers) << "after " << step.saves << " quick saves";
    EXPECT_EQ(NewestQuickSaveSlot(), step.newest);
    // The newest is 91, the oldest kept the highest number.
    for (int slot = 91; slot <= 99; ++slot) {
      if (!SlotExists(slot)) continue;
      LoadSlot(slot);
      EXPECT_EQ(Var(u"N"), step.saves - (slot - 91)) << "slot " << slot;
    }
  }
  EXPECT_EQ(NumberIn(5), 500);

  // With only 95 occupied the newest quick save is index 94.
  for (int slot = 91; slot <= 99; ++slot)
    if (slot != 95) DeleteSlot(slot);
  EXPECT_EQ(NewestQuickSaveSlot(), 94);
}

TEST_F(SaveSlots, TheSlotListShowsMarkTimeAndCommentOrDashes) {
  SaveSlot(2, "comment");
  SAVEHEADER h;
  ReadSlotHeader(2, &h);
  platform::DialogTemplate dialog;
  dialog.controls.push_back(ListBox(1021));
  platform::DialogState list(dialog);
  FillSlotList(list, 1021, 8, 1);
  ASSERT_EQ(list.LineCount(1021), 8);
  EXPECT_EQ(list.GetLine(1021, 6), u" 07 ----/--/-- --:--:-- --------------------------------");
  const SYSTEMTIME& t = h.m_Time;
  EXPECT_EQ(list.GetLine(1021, 1), FormatWide(u">02 %04d/%02d/%02d %02d:%02d:%02d comment                        ",
                                              t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond));
  EXPECT_GE(t.wYear, 2020);
}

// The thumbnail: from "thumb/" and the background's first three characters, else the background.
class SaveThumbnails : public SaveSlots {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::EnsureFolder(folder + u"/data/thumb"));
    testutil::PngSpec png;
    png.width = 4;
    png.height = 3;
    png.rows.assign(4 * 3 * 3, 0);
    for (size_t i = 0; i < png.rows.size(); i += 3) png.rows[i] = 0xFF;  // red
    const testutil::Bytes bytes = testutil::EncodePng(png);
    ASSERT_TRUE(platform::WriteWholeFileAtomic(folder + u"/data/thumb/BG0.png", bytes.data(), bytes.size()));
    archive.Attach(OpenDirArchive(folder + u"/data"));
    ASSERT_TRUE(archive);
    SetThumbnailArchive(archive.Get());
  }
  void TearDown() override {
    SetThumbnailArchive(nullptr);
    if (g_BackgroundSurface) g_BackgroundSurface->Release();
    g_BackgroundSurface = nullptr;
  }
  // The thumbnail of the slot: its header and its first pixel (B, G, R).
  std::pair<DxDraw::DibHeader, uint32_t> Thumb(int32_t slot) {
    std::vector<uint8_t> t(kThumbnailSize);
    EXPECT_TRUE(ReadSlotThumbnail(slot, t.data()));
    DxDraw::DibHeader h;
    DxDraw::ReadDibHeader(t.data(), t.size(), h);
    return {h, LoadLE32(t.data() + 40) & 0xFFFFFF};
  }
  ComRef<IArchive> archive;
};

TEST_F(SaveThumbnails, ComeFromTheThumbPictureElseTheBackgroundElseNone) {
  SaveSlot(1, "");
  EXPECT_EQ(Thumb(1).first.size, 0u) << "no scene, no thumbnail";

  g_BackgroundSurface = static_cast<DxDraw::DxSurface32*>(DxDraw::CreateSurface(32));
  g_BackgroundSurface->Create(800, 600);
  g_BackgroundSurface->Fill(nullptr, 0x0000FF, 255);  // blue
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_PICTURE, u"BG01");
  SaveSlot(2, "");
  const auto [header, pixel] = Thumb(2);
  EXPECT_EQ(header.size, 40u);
  EXPECT_EQ(header.width, kThumbnailWidth);
  EXPECT_EQ(header.height < 0 ? -header.height : header.height, kThumbnailHeight);
  EXPECT_EQ(header.bitCount, 32);
  EXPECT_EQ(pixel, 0xFF0000u) << "the red thumb/BG0.png, stretched";

  SetSceneState(SCENE_BACKGROUND, SCENE_BG_PICTURE, u"XY1");
  SaveSlot(3, "");
  EXPECT_EQ(Thumb(3).second, 0x0000FFu) << "no thumb/XY1: the background";
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_WHITE, nullptr);
  SaveSlot(4, "");
  EXPECT_EQ(Thumb(4).second, 0x0000FFu) << "a plain background is never looked up";
}

TEST_F(SaveSlots, GlobalDataSurvivesARestart) {
  ScriptStateGroup_App group(table);
  std::memcpy(g_FamilyName, u"初期", 6);
  LoadGlobalData(&group);  // a first start: the file is made with the current state
  EXPECT_EQ(Query("SELECT length(value_bin) FROM global WHERE name='COMMON';").at(0), "2308");
  EXPECT_EQ(Query("SELECT value_bin FROM global WHERE name='SCENE';").at(0), std::string(1, '\0'));

  std::memcpy(g_FamilyName, u"宮坂", 6);
  std::memcpy(g_GivenName, u"透", 4);
  g_LastSaveSlot = 12;
  MarkPageRead(0);
  MarkPageRead(16382);
  SetPrologueSeen();
  group.m_RecordedNames = {u"SC01", u"回想"};
  g_AlbumNames->push_back("BG0");
  SaveGlobalData(&group);

  // A restart: everything in memory is as at start-up.
  ResetGlobalData();
  ClearSceneList(&group);
  g_AlbumNames = std::make_unique<std::vector<std::string>>();
  LoadGlobalData(&group);
  EXPECT_EQ(std::u16string(g_FamilyName), u"宮坂");
  EXPECT_EQ(std::u16string(g_GivenName), u"透");
  EXPECT_EQ(g_LastSaveSlot, 12);
  EXPECT_TRUE(IsPageRead(0));
  EXPECT_TRUE(IsPageRead(16382));
  EXPECT_FALSE(IsPageRead(1));
  EXPECT_TRUE(IsPrologueSeen());
  EXPECT_EQ(group.m_RecordedNames, (std::vector<std::u16string>{u"SC01", u"回想"}));
  EXPECT_EQ(*g_AlbumNames, std::vector<std::string>{"BG0"});

  // A COMMON record of another size leaves the current values.
  Change("UPDATE global SET value_bin=x'0102' WHERE name='COMMON';");
  ResetGlobalData();
  g_LastSaveSlot = 3;
  LoadGlobalData(&group);
  EXPECT_EQ(g_LastSaveSlot, 3);
  EXPECT_FALSE(IsPageRead(0));
}

}  // namespace
