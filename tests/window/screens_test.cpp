// The screens around the story in the real window: from the title to the extras menu, the CG
// album, an entry unlocked by the stored album list and its pictures, and back to the title,
// each step's picture compared with the headless run's.
#include <gtest/gtest.h>

#include "lib/sjis.h"
#include "script/images.h"
#include "script/layout.h"
#include "script/scenario.h"
#include "tests/window/walk.h"

namespace {

using namespace walk;

// The title sheet's buttons: the title's extras button, and the extras menu's album and return.
constexpr int kTitleExtras = 4, kExtrasAlbum = 0, kExtrasReturn = 5;

platform::Point MenuButton(int slot) {
  return platform::Point{g_TitleMenuPos.x + 124, g_TitleMenuPos.y + 48 * slot + 20};
}

platform::Point Centre(int x, int y, int w, int h) {
  return platform::Point{x + w / 2, y + h / 2};
}

// The album's first page and its first entry with pictures, read from the game's own layout at
// the title; the entry is added to the album list the game keeps in its save file.
struct AlbumEntry {
  LAYOUTSCREEN layout;
  LAYOUTCG entry;
};

AlbumEntry UnlockFirstEntry(const fs::path& saveFile) {
  AlbumEntry found;
  starttest::StartRig rig;
  bool unlocked = false;
  rig.onFrame = [&](int) {
    if (unlocked || !starttest::StartRig::AtTitle()) return;
    unlocked = true;
    ReadScreenLayout(g_ScriptArchive, u"cgalbum", found.layout);
    if (!found.layout.pages.empty())
      for (const LAYOUTCG& cg : found.layout.pages[0].cgs)
        if (!cg.pictures.empty()) {
          found.entry = cg;
          g_AlbumNames->push_back(WideToSjis(cg.flag));
          break;
        }
    rig.Close(platform::MsgResult::Yes);
  };
  EXPECT_EQ(rig.Start(), 0);
  fs::copy_file(rig.SaveFolder() / "save.dat", saveFile, fs::copy_options::overwrite_existing);
  return found;
}

// The walk as the pictures come: each move taken at the next still picture.
class ScreensDriver {
 public:
  explicit ScreensDriver(const AlbumEntry& album) {
    const LAYOUTSCREEN& l = album.layout;
    Then(Hover("the title", MenuButton(kTitleExtras)));
    Then(Press("the title, its extras button lit"));
    Then(Hover("the extras menu", MenuButton(kExtrasAlbum)));
    Then(Press("the extras menu, its album button lit"));
    Then(Hover("the album's first page, the entry unlocked",
               Centre(album.entry.pos.x, album.entry.pos.y, l.width, l.height)));
    Then(Press("the album, the entry lit"));
    for (size_t i = 0; i < album.entry.pictures.size(); ++i)
      Then(ClickAt("the entry's picture " + std::to_string(i + 1), kRest));
    Then(Hover("the album again", Centre(l.exit.x, l.exit.y, l.exit.w, l.exit.h)));
    Then(Press("the album, its exit button lit"));
    Then(Hover("the extras menu again", MenuButton(kExtrasReturn)));
    Then(Press("the extras menu, its return button lit"));
    Then(Finish("the title again"));
  }

  Move operator()(const Picture& p) {
    if (AllBlack(p) || m_Next == m_Moves.size() || (m_Next == 0 && !starttest::StartRig::AtTitle())) return WaitOn();
    return m_Moves[m_Next++];
  }
  bool Done() const { return m_Next == m_Moves.size(); }

 private:
  void Then(Move m) { m_Moves.push_back(std::move(m)); }
  std::vector<Move> m_Moves;
  size_t m_Next = 0;
};

using WindowScreens = RealWalk;

TEST_F(WindowScreens, TheExtrasTheAlbumAndAnUnlockedPictureShowTheHeadlessPictures) {
  RealGame& game = Game();

  const fs::path saved = game.SaveFolder() / "save.dat";
  const AlbumEntry album = UnlockFirstEntry(saved);
  ASSERT_FALSE(album.entry.pictures.empty()) << "the album's first page has an entry with pictures";

  ScreensDriver driver(album);
  std::vector<Step> steps;
  {
    starttest::StartRig rig;
    fs::create_directories(rig.SaveFolder());
    fs::copy_file(saved, rig.SaveFolder() / "save.dat");
    steps = RecordHeadless(rig, std::ref(driver));
  }
  ASSERT_TRUE(driver.Done()) << "the headless run went through the whole walk";
  ASSERT_FALSE(HasFailure());
  // The entry's picture replaced the album, and the album came back after it.
  const size_t shown = 6, back = shown + album.entry.pictures.size();
  ASSERT_GT(steps.size(), back);
  EXPECT_FALSE(Matches(steps[shown].picture, steps[4].picture)) << "the picture is not the album page";
  EXPECT_TRUE(Matches(steps[back].picture, steps[4].picture)) << "the album page after the pictures";
  EXPECT_FALSE(Matches(steps[2].picture, steps[0].picture)) << "the extras menu is not the title";

  ASSERT_TRUE(game.Launch());
  const Difference worst = Play(game, steps, "screens");
  std::printf("screens: %zu steps, at most %d pixels differed (worst channel %d)\n", steps.size(), worst.pixels,
              worst.worst);
  EXPECT_EQ(game.Stop(), 0);
}

}  // namespace
