// The sample's development folders as the build writes them: start-up reads the script and the
// sounds from them while "script/data/_start.txt" is there, and from the archives with -A.
#include <gtest/gtest.h>

#include <fstream>

#include "archive/archive.h"
#include "script/images.h"
#include "script/sounds.h"
#include "startfixture.h"

namespace {

namespace fs = starttest::fs;

TEST(StartDevFolders, TheBuiltFoldersWinOverTheArchivesUnlessArchivesAreForced) {
  // -A from the command line, or from "varn.ini"'s options, which start-up reads after it began
  // reading the game data ahead.
  enum class Force { None, CommandLine, Options };
  for (const Force force : {Force::None, Force::CommandLine, Force::Options}) {
    const bool forced = force != Force::None;
    SCOPED_TRACE(force == Force::None ? "no arguments" : force == Force::CommandLine ? "-A" : "Options=-A");
    starttest::StartRig t;
    if (force == Force::Options) t.WriteIni("[varn]\nOptions=-A\n");
    fs::copy(fs::path(VARN_BINARY_DIR) / "data" / "script", t.root / "data" / "script", fs::copy_options::recursive);
    ASSERT_TRUE(fs::exists(t.root / "data" / "script" / "data" / "_start.txt")) << "the build writes the folders";
    ASSERT_TRUE(fs::exists(t.root / "data" / "script" / "sound" / "bgm"));
    // A member that only the folders hold tells them from the archives.
    for (const char* folder : {"data", "sound"})
      std::ofstream(t.root / "data" / "script" / folder / "folders.txt") << "x\n";
    bool atTitle = false, scriptFromFolder = false, soundFromFolder = false;
    t.onFrame = [&](int) {
      if (!t.AtTitle()) return;
      if (!atTitle) {
        atTitle = true;
        scriptFromFolder = g_ScriptArchive && g_ScriptArchive->Exists(u"folders.txt");
        soundFromFolder = g_SoundArchive && g_SoundArchive->Exists(u"folders.txt");
      }
      if (t.boxes->shown.empty()) t.Close(platform::MsgResult::Yes);
    };
    EXPECT_EQ(t.Start(force == Force::CommandLine ? "-A" : ""), 0);
    EXPECT_TRUE(atTitle) << "the title was reached";
    EXPECT_EQ(scriptFromFolder, !forced);
    EXPECT_EQ(soundFromFolder, !forced);
  }
}

}  // namespace
