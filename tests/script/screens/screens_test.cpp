// The screens through the game's services, and over pictures that are missing or smaller than the
// parts they cut: the loader's error naming the picture, nothing left shown, no read past a picture.
#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

#include "archive/archive.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "screenfixture.h"
#include "tests/script/errorof.h"

namespace {

using screentest::ScreenTest;
using scripttest::ErrorOf;

// A folder archive of small flat PNG pictures, the screens' script archive in place of the sample's.
class SmallPictures : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    m_Folder = platform::MakeTempFolder(u"screens");
    ASSERT_FALSE(m_Folder.empty());
    m_Archive = ComRef<IArchive>(OpenDirArchive(m_Folder));
    ASSERT_TRUE(m_Archive);
  }
  void TearDown() override { platform::RemoveTree(m_Folder); }

  void AddPicture(const std::u16string& name, int w, int h) {
    const std::u16string path = m_Folder + u"/" + name + u".png";
    ASSERT_TRUE(platform::EnsureFolder(path.substr(0, path.rfind(u'/'))));
    std::vector<uint8_t> rgb(size_t(w) * h * 3, 0x80);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = uint32_t(w);
    image.height = uint32_t(h);
    image.format = PNG_FORMAT_RGB;
    ASSERT_TRUE(png_image_write_to_file(&image, platform::WideToUtf8(path).c_str(), 0, rgb.data(), 0, nullptr));
  }
  ScreenParts SmallParts() {
    ScreenParts parts = Parts();
    parts.scriptArchive = m_Archive.Get();
    return parts;
  }

  std::u16string m_Folder;
  ComRef<IArchive> m_Archive;
};

TEST_F(SmallPictures, AMissingPictureIsTheLoadersErrorAndLeavesNothingShown) {
  AddPicture(u"title/rm_parts", 8, 8);
  g_CreditCount = 2;
  struct Case {
    const char* what;
    std::function<void()> run;
    std::u16string error;
  } const cases[] = {
      {"logo", [&] { ShowBrandLogo(stack.screen, m_Archive.Get()); }, u"Script Error: file not found 'brand'."},
      {"title", [&] { RunTitle(SmallParts()); }, u"Script Error: file not found 'title/title'."},
      {"manual page", [&] { RunManual(stack.screen, m_Archive.Get()); },
       u"Script Error: file not found 'title/rm_base1'."},
      {"credit picture", [&] { RunEndingRoll(stack.screen, m_Archive.Get()); },
       u"Script Error: file not found 'ed01'."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ErrorOf(c.run), c.error);
    EXPECT_EQ(Children(), screenChildren);
  }
}

TEST_F(SmallPictures, PicturesSmallerThanTheirFramesAreDrawnAsFarAsTheyReach) {
  AddPicture(u"title/title", 300, 620);  // the background and only the first row of normal frames
  AddPicture(u"title/rm_parts", 20, 20);
  for (int page = 1; page <= 4; ++page) AddPicture(u"title/rm_base" + std::u16string(1, char16_t(u'0' + page)), 40, 30);
  MoveAt(20, Slot(1));  // lit: a frame beyond the sheet
  ClickAt(24, Slot(1));
  EXPECT_EQ(RunTitle(SmallParts()), 1);
  EXPECT_EQ(Children(), screenChildren);
  actions.clear();
  frames = 0;
  ClickAt(5, platform::Point{659, 557});
  ClickAt(9, platform::Point{733, 557});
  EXPECT_EQ(RunManual(stack.screen, m_Archive.Get()), -1);
  EXPECT_EQ(Children(), screenChildren);
}

// The screens and notices as the commands reach them through the game's services.
TEST_F(ScreenTest, TheGameServicesReachTheRealScreensAndNotices) {
  GameScreenSet screens(Parts());
  scripttest::SampleSurface system = scripttest::LoadSystemPicture();
  ASSERT_TRUE(system);
  TimedNotices notices(stack.screen, system.get());
  GameServices services = AllServices();
  services.screens = &screens;
  services.notices = &notices;
  SetGameServices(services);

  GameScreens().ShowBacklog();
  EXPECT_EQ(extras.backlogs, 1);

  ClickAt(20, Slot(5));
  EXPECT_EQ(GameScreens().RunTitle(), 0);

  frames = 0;
  GameNotices().ShowNotice(u"セーブしました", 100);
  EXPECT_EQ(frames, 1u + 6u) << "one frame with nothing held, then 100 ms";
  EXPECT_EQ(Children(), screenChildren);
}

}  // namespace
