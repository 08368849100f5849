// The game data read ahead: the place it is read from, what is handed over, and failures left for
// start-up to meet in their turn.
#include "app/preload.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "dxdraw/surface.h"
#include "platform/log.h"
#include "platform/utf.h"
#include "script/images.h"
#include "startfixture.h"

namespace {

namespace fs = starttest::fs;

// A program folder "bin/" beside a copy of the built game data "data/".
struct DataTree {
  fs::path root = fs::temp_directory_path() / ("varn-preload-" + std::to_string(getpid()));
  DataTree() {
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    fs::copy(fs::path(VARN_BINARY_DIR) / "data", root / "data", fs::copy_options::recursive);
  }
  ~DataTree() { fs::remove_all(root); }
  std::u16string Folder(const char* sub) const { return platform::Utf8ToWide((root / sub).string() + "/"); }
};

bool SamePixels(DxDraw::DxSurface* a, DxDraw::DxSurface* b) {
  if (!a || !b || a->GetWidth() != b->GetWidth() || a->GetAbsHeight() != b->GetAbsHeight()) return false;
  for (int32_t y = 0; y < a->GetAbsHeight(); ++y)
    if (std::memcmp(a->GetPixelAddress(0, y), b->GetPixelAddress(0, y), size_t(a->GetWidth()) * 4) != 0) return false;
  return true;
}

TEST(Preload, ThePlaceFollowsTheFilesAndTheArchiveFlag) {
  DataTree tree;
  const std::u16string bin = tree.Folder("bin");
  EXPECT_EQ(FindGameDataPlace(bin, false), (GameDataPlace{u"../data/", true}));
  EXPECT_EQ(FindGameDataPlace(bin, true), (GameDataPlace{u"../data/", false}));
  fs::remove(tree.root / "data" / "script" / "data" / "_start.txt");
  EXPECT_EQ(FindGameDataPlace(bin, false), (GameDataPlace{u"../data/", false}));
  std::ofstream(tree.root / "bin" / "system.pux") << "x";
  EXPECT_EQ(FindGameDataPlace(bin, false), (GameDataPlace{u"./", false}));
}

TEST(Preload, WhatWasReadIsHandedOverOnceAndOnlyForThePlaceChosen) {
  DataTree tree;
  const std::u16string bin = tree.Folder("bin");
  for (const bool forced : {false, true}) {
    SCOPED_TRACE(forced ? "archives forced" : "development folders");
    GameDataPreload preload(bin, forced);
    PreloadedGameData read = preload.Take(FindGameDataPlace(bin, forced));
    ASSERT_TRUE(read.system && read.script && read.sound);
    EXPECT_EQ(read.script->Exists(u"_start.txt"), true);
    const screens::Image system(LoadScriptImage(read.system.Get(), u"SYSTEM", false, false));
    const screens::Image brand(LoadScriptImage(read.script.Get(), u"brand", false, false));
    EXPECT_TRUE(SamePixels(read.systemImage.get(), system.get()));
    EXPECT_TRUE(SamePixels(read.brand.get(), brand.get()));
    EXPECT_FALSE(preload.Take(FindGameDataPlace(bin, forced)).system) << "handed over once";
  }
  GameDataPreload wrongGuess(bin, false);
  EXPECT_FALSE(wrongGuess.Take(FindGameDataPlace(bin, true)).system) << "read for another place";
}

TEST(Preload, AFailureIsNeitherShownNorLoggedAheadOfItsTurn) {
  DataTree tree;
  std::ofstream(tree.root / "data" / "script" / "data" / "brand.png", std::ios::binary) << "\x89PNG\r\n\x1a\n broken";
  platform::LogCapture log;
  GameDataPreload preload(tree.Folder("bin"), false);
  PreloadedGameData read = preload.Take(FindGameDataPlace(tree.Folder("bin"), false));
  EXPECT_TRUE(read.system && read.systemImage) << "what came before the failure is kept";
  EXPECT_FALSE(read.brand);
  EXPECT_EQ(log.Text(), u"");
  // Start-up meets the damaged picture itself: its box is shown once.
  starttest::StartRig t;
  fs::copy(tree.root / "data" / "script", t.root / "data" / "script", fs::copy_options::recursive);
  t.onFrame = [&t](int) {
    if (t.boxes->shown.empty()) t.Close(platform::MsgResult::Yes);
  };
  t.Start();
  int libpngBoxes = 0;
  for (const auto& box : t.boxes->shown) libpngBoxes += box.request.caption == u"libpng error";
  EXPECT_EQ(libpngBoxes, 1);
}

}  // namespace
