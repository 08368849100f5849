// The sample story played through headless with clicks where the game takes clicks: new games,
// the prologue and its question, every route's choices to its ending and roll, saves from the
// dialog and the quick-save button, a load from the title, the album and the scene replay, and
// the dialogs that have routes of their own. Each step looks at the screen and at the save file.
#include <gtest/gtest.h>

#include "player.h"
#include "script/dialogs/dialogs.h"
#include "script/dialogs/templates.h"
#include "script/executor.h"
#include "script/messagewindow.h"
#include "script/save/slots.h"
#include "script/scenario.h"
#include "script/scene.h"
#include "script/services.h"
#include "story.h"

namespace {

using platform::Point;
using platform::Rect;
using platform::headless::DialogAction;
using playtest::Player;
using story::Route;

// A sum over the rectangle's pixels that changes when any of them does.
uint64_t Sum(const Player& p, const Rect& r) {
  uint64_t sum = 0;
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) sum = sum * 1000003u + p.Pixel(x, y);
  return sum;
}

// The screen above the message window, where no wait mark blinks.
constexpr Rect kAbovePage{0, 0, 800, 380};

Rect Around(Point p, int32_t halfWidth, int32_t halfHeight) {
  return Rect{p.x - halfWidth, p.y - halfHeight, p.x + halfWidth, p.y + halfHeight};
}

// The statement of the current run the label opens, or null.
const TextScript::ScriptStateNode* Label(const char16_t* name) {
  return g_pCurrentGroup ? g_pCurrentGroup->FindLabel(name) : nullptr;
}
int Line() {
  return g_pCurrentGroup && g_pCurrentGroup->Current() ? g_pCurrentGroup->Current()->m_Line : -1;
}
int NodePage() {
  return g_pCurrentGroup && g_pCurrentGroup->Current() ? g_pCurrentGroup->Current()->m_Page : -1;
}

// A page whose text is out, waiting for the reader.
bool Waiting() {
  return g_SceneRoot && g_PageText == 1 && Player::NodeType() == TextScript::STMT_PAGE;
}

// Waits for the title's menu and presses its new-game button; answer is the click on the
// prologue question (0 yes, 1 no), or -1 when the question must not come.
void NewGame(Player& p, int answer) {
  p.Named("the title");
  ASSERT_TRUE(p.Until([&] { return p.AtTitleMenu(); }));
  const Point start = Player::TitleButton(1);
  const Rect button = Around(start, 124, 20);
  p.Hover(Point{10, 10});
  const uint64_t normal = Sum(p, button);
  p.Hover(start);
  EXPECT_NE(Sum(p, button), normal) << "the start button lights under the cursor";
  const Rect prompt{108, 148, 692, 230};
  const uint64_t title = Sum(p, prompt);
  const uint32_t corner = p.Pixel(4, 4);
  p.Click(start);
  p.Named("the prologue question");
  if (answer < 0) {
    p.Frames(6);
    EXPECT_TRUE(Sum(p, prompt) == title || p.Pixel(4, 4) != corner) << "no question: the title fades at once";
  } else {
    ASSERT_TRUE(p.Until([&] { return Sum(p, prompt) != title; }, 60));
    p.Frames(4);
    EXPECT_TRUE(Player::AtTitle()) << "the question waits over the title";
    const Point a = answer == 0 ? Player::Yes() : Player::No();
    const Rect row{a.x - 8, 190, a.x + 56, 230};
    EXPECT_FALSE(p.AnyRed(row));
    p.Hover(a);
    EXPECT_TRUE(p.AnyRed(row)) << "the answer lights under the cursor";
    p.Click(a);
  }
  p.Named("the first page");
  ASSERT_TRUE(p.Until([] { return g_SceneRoot != nullptr; }));
}

// Reads on to the choice and clicks option k, checking it lights first.
void Choose(Player& p, int k) {
  p.Named("a choice");
  ASSERT_TRUE(p.ReadUntil(Player::AtChoice));
  p.Frames(6);
  const Rect row{192, 148 + 42 * k, 608, 188 + 42 * k};
  p.Hover(Point{10, 10});
  EXPECT_FALSE(p.AnyRed(row)) << "the option is white";
  p.Hover(Player::ChoiceOption(k));
  EXPECT_TRUE(p.AnyRed(row)) << "and red under the cursor";
  p.Click(Player::ChoiceOption(k));
  ASSERT_TRUE(p.Until([] { return !Player::AtChoice(); }, 60));
}

// Reads on to the turn selection and clicks place k once its picture lights under the cursor.
void PickTurn(Player& p, int k) {
  p.Named("the turn selection");
  ASSERT_TRUE(p.ReadUntil(Player::AtTurnSelection));
  const Point at = Player::TurnOption(k);
  bool lit = false;
  ASSERT_TRUE(p.Until(
      [&] {
        if (!Player::AtTurnSelection()) return true;
        p.Hover(Point{10, 10});
        const uint64_t plain = Sum(p, Around(at, 6, 6));
        p.Hover(at);
        if (Sum(p, Around(at, 6, 6)) != plain) {
          lit = true;
          p.Click(at);
        }
        return false;
      },
      400));
  EXPECT_TRUE(lit) << "the place lit under the cursor before the click";
}

// Plays the route from its first choice to its ending and back to the title.
void PlayToTheEnd(Player& p, const Route& r, bool choice1Done) {
  if (!choice1Done) Choose(p, r.choice1);
  p.Named(std::string(r.name) + ": the scene");
  ASSERT_TRUE(p.ReadUntil([&] { return Waiting() && Player::Background() == r.background; }));
  EXPECT_NE(p.Pixel(20, 20), 0u) << "the scene's background is on the screen";
  if (r.choice2 >= 0) Choose(p, r.choice2);
  if (r.turnPick >= 0) PickTurn(p, r.turnPick);
  p.Named(std::string(r.name) + ": the ending");
  ASSERT_TRUE(p.ReadUntil(Player::AtEnding));
  // Once the roll's first picture is seen, clicks cut its holds short.
  p.window->MoveCursor(Point{400, 300});
  ASSERT_TRUE(p.Until(
      [&] {
        if (Player::AtEnding() && p.rollShown && p.frames % 20 == 0) p.input->TapButton(0);
        return p.AtTitleMenu();
      },
      6000));
  EXPECT_EQ(p.endings, std::vector<uint32_t>{r.ending});
  EXPECT_EQ(p.rollShown, story::RollsAfter(r.ending)) << "the ending roll";
  p.endings.clear();
  p.rollShown = false;
}

// The album and replay entry's middle.
Point Middle(const story::Entry& e) {
  return Point{e.at.x + story::kThumbWidth / 2, e.at.y + story::kThumbHeight / 2};
}

class PlayThrough : public ::testing::Test {
 protected:
  static void TearDownTestSuite() {
    delete first;
    first = nullptr;
  }
  // The first run, played once in the process: a new game to the first route's scene, saved in
  // slot 1 from the dialog and quick-saved three times, then quit.
  static void PlayFirstRun();
  static Player* first;
  static uint32_t savedCorner;
  static int savedPage, prologuePage, afterProloguePage, exitCode;
};
Player* PlayThrough::first = nullptr;
uint32_t PlayThrough::savedCorner = 0;
int PlayThrough::savedPage = -1, PlayThrough::prologuePage = -1, PlayThrough::afterProloguePage = -1,
    PlayThrough::exitCode = -1;

void PlayThrough::PlayFirstRun() {
  if (first) return;
  first = new Player;
  const Route& r = story::Routes()[0];
  Player& p = *first;
  exitCode = p.Play([&] {
    NewGame(p, -1);
    p.Named("the prologue");
    ASSERT_TRUE(p.ReadUntil([] { return Waiting(); }));
    EXPECT_EQ(Player::Background(), story::kPrologueBackground);
    EXPECT_NE(p.Pixel(20, 20), 0u) << "its background";
    prologuePage = NodePage();
    ASSERT_NE(Label(story::kAfterPrologueLabel), nullptr);
    afterProloguePage = Label(story::kAfterPrologueLabel)->m_Page;
    EXPECT_GT(afterProloguePage, prologuePage) << "the prologue comes before its end label";
    Choose(p, r.choice1);
    p.Named("the scene to save in");
    ASSERT_TRUE(p.ReadUntil([&] { return Waiting() && Player::Background() == r.background; }));
    p.Frames(10);
    savedCorner = p.Pixel(20, 20);
    savedPage = Player::Page();
    EXPECT_NE(savedCorner, 0u);

    p.Named("the save dialog");
    p.Script({{DialogAction::Choose, IDC_SLOTLIST, u"", 0},
              {DialogAction::Type, IDC_COMMENT, u"川辺にて"},
              {DialogAction::Click, platform::kIdOk}});
    const uint64_t page = Sum(p, kAbovePage);
    p.MenuCommand(40010);
    // The menu's notice of the save, until its time is up.
    EXPECT_TRUE(p.Until([&] { return Sum(p, kAbovePage) != page; }, 30)) << "the notice";
    ASSERT_FALSE(p.host.backend->hdialogs->Finished().empty());
    EXPECT_EQ(p.host.backend->hdialogs->Finished().back().Caption(), u"セーブ");
    EXPECT_TRUE(p.Until([&] { return Sum(p, kAbovePage) == page; }, 300)) << "the page again";
    EXPECT_TRUE(Waiting()) << "the page stays after the save";

    p.Named("three quick saves");
    const Rect q = GameButtons().HitRects()[MBUTTON_QUICKSAVE];
    const Point button{(q.left + q.right) / 2, (q.top + q.bottom) / 2};
    p.Hover(button);
    for (int i = 0; i < 3; ++i) {
      p.Click(button);
      // Each save shows its notice until its time is up, and the page comes back.
      EXPECT_TRUE(p.Until([&] { return Sum(p, kAbovePage) != page; }, 30)) << "the notice";
      EXPECT_TRUE(p.Until([&] { return Sum(p, kAbovePage) == page; }, 300)) << "the page again";
      EXPECT_TRUE(Waiting());
    }
    p.Named("quit");
    p.Quit();
  });
}

TEST_F(PlayThrough, ANewGameThePrologueAChoiceTheSaveDialogAndQuickSaves) {
  PlayFirstRun();
  const Route& r = story::Routes()[0];
  Player& p = *first;
  EXPECT_EQ(exitCode, 0);
  EXPECT_TRUE(p.Finished()) << p.Step();

  SAVEDATA2 slot;
  ASSERT_TRUE(p.ReadSlot(1, &slot)) << "slot 1 from the dialog";
  EXPECT_STREQ(slot.m_Header.m_Comment, "\x90\xec\x95\xd3\x82\xc9\x82\xc4") << "its comment in Shift-JIS";
  std::u16string bg;
  ASSERT_TRUE(GetSceneStateName(slot.m_Scene[SCENE_BACKGROUND], &bg));
  EXPECT_EQ(bg, r.background);
  EXPECT_EQ(int(slot.m_ResumePage), savedPage);
  EXPECT_EQ(slot.m_Thumbnail[0], 40) << "a thumbnail of the scene";
  for (int s : {91, 92, 93}) EXPECT_TRUE(p.ReadSlot(s, &slot)) << s;
  EXPECT_FALSE(p.ReadSlot(94, &slot)) << "three quick saves fill three slots of the ring";
  EXPECT_FALSE(p.ReadSlot(2, &slot));
  const playtest::Stored stored = p.ReadStore();
  EXPECT_TRUE(stored.PageRead(prologuePage)) << "the prologue's pages are marked read";
  EXPECT_TRUE(stored.PageRead(afterProloguePage));
  EXPECT_TRUE(stored.Has(stored.scenes, platform::WideToUtf8(r.scene))) << "the scene is recorded for the replay";
  // The pictures seen before the quit: the prologue's and the scene's (the three-character bases).
  for (const char16_t* seen : {story::kPrologueBackground, r.background})
    EXPECT_TRUE(stored.Has(stored.album, platform::WideToUtf8(seen).substr(0, 3))) << platform::WideToUtf8(seen);
}

// Slot 1 loaded from the title; the first route to its ending; the second new game asks the
// prologue question, its Yes starts after the prologue, and every further route follows to its
// ending; then the album and the replay show what the routes unlocked.
TEST_F(PlayThrough, ALoadFromTheTitleEveryRouteToItsEndingTheAlbumAndTheReplay) {
  PlayFirstRun();
  ASSERT_NE(savedPage, -1) << "the first run made the saves";
  const std::vector<Route>& routes = story::Routes();
  Player p;
  p.TakeSavesFrom(*first);
  EXPECT_EQ(p.Play([&] {
    p.Named("the title's load");
    ASSERT_TRUE(p.Until([&] { return p.AtTitleMenu(); }));
    p.Script({{DialogAction::DoubleClick, IDC_SLOTLIST, u"", 0}});
    p.Click(Player::TitleButton(2));
    ASSERT_TRUE(p.Until([] { return Waiting(); }));
    EXPECT_EQ(p.host.backend->hdialogs->Finished().back().Caption(), u"ロード");
    EXPECT_EQ(Player::Page(), savedPage) << "the saved page";
    EXPECT_EQ(Player::Background(), routes[0].background) << "and its scene";
    EXPECT_EQ(p.Pixel(20, 20), savedCorner) << "as it was shown";
    PlayToTheEnd(p, routes[0], true);

    for (size_t i = 1; i < routes.size(); ++i) {
      // The second game skips the prologue; later ones play it again.
      const bool skip = i == 1;
      NewGame(p, skip ? 0 : 1);
      p.Named("after the question");
      ASSERT_TRUE(p.ReadUntil([] { return Waiting(); }));
      const TextScript::ScriptStateNode* after = Label(story::kAfterPrologueLabel);
      ASSERT_NE(after, nullptr);
      if (skip)
        EXPECT_GE(Line(), after->m_Line) << "Yes starts after the prologue";
      else
        EXPECT_LT(Line(), after->m_Line) << "No plays the prologue";
      PlayToTheEnd(p, routes[i], false);
    }

    p.Named("the extras");
    ASSERT_TRUE(p.Until([&] { return p.AtTitleMenu(); }));
    p.Click(Player::TitleButton(4));
    p.Frames(10);
    p.Named("the album");
    p.Click(Player::TitleButton(0));
    p.Frames(20);
    const playtest::Stored stored = p.ReadStore();
    std::vector<uint64_t> locked, unlocked;
    const story::Entry* open = nullptr;
    for (const story::Entry& e : story::AlbumPage1()) {
      const uint64_t s = Sum(p, Around(Middle(e), 20, 20));
      (stored.Has(stored.album, e.flag) ? unlocked : locked).push_back(s);
      if (!open && stored.Has(stored.album, e.flag)) open = &e;
    }
    ASSERT_NE(open, nullptr) << "an unlocked picture";
    for (uint64_t l : locked) EXPECT_EQ(l, locked[0]) << "locked entries show the locked picture";
    for (size_t i = 1; i < unlocked.size(); ++i)
      EXPECT_NE(unlocked[i], unlocked[i - 1]) << "each unlocked entry shows its own thumbnail";
    for (uint64_t u : unlocked) {
      if (!locked.empty()) EXPECT_NE(u, locked[0]) << "unlocked ones their thumbnails";
    }
    const uint64_t page = Sum(p, Rect{0, 0, 800, 600});
    p.Click(Middle(*open));
    p.Frames(30);
    EXPECT_NE(Sum(p, Rect{0, 0, 800, 600}), page) << "the picture replaces the page";
    EXPECT_NE(p.Pixel(20, 20), 0u);
    p.Named("back to the album");
    ASSERT_TRUE(p.Until(
        [&] {
          if (Sum(p, Rect{0, 0, 800, 600}) == page) return true;
          p.Click(Point{400, 300}, 1);
          p.Frames(20);
          return false;
        },
        400));
    p.Click(story::kAlbumExit);
    p.Frames(20);

    p.Named("the replay");
    p.Click(Player::TitleButton(1));
    p.Frames(20);
    const story::Entry* scene = nullptr;
    for (const story::Entry& e : story::ReplayPage1())
      if (stored.Has(stored.scenes, e.flag)) scene = &e;
    ASSERT_NE(scene, nullptr) << "a scene to replay";
    const uint64_t replayPage = Sum(p, Rect{0, 0, 800, 600});
    const std::u16string oldText = p.window->GetMenu()->Find(40003)->label;
    p.Click(Middle(*scene));
    ASSERT_TRUE(p.Until([] { return g_SceneReplayMode && g_SceneRoot; }, 300));
    EXPECT_EQ(p.window->GetMenu()->Find(40003)->label, u"再生メニューに戻る(&X)");
    p.Named("the replayed scene");
    ASSERT_TRUE(p.ReadUntil([] { return !g_SceneReplayMode; }));
    ASSERT_TRUE(p.Until(
        [&] {
          return Sum(p, Rect{0, 0, 800, 600}) == replayPage;
        },
        300))
        << "back on the replay screen";
    EXPECT_EQ(p.window->GetMenu()->Find(40003)->label, oldText);
    p.Click(story::kAlbumExit);
    p.Frames(20);
    p.Click(Player::TitleButton(5));
    p.Frames(20);
    EXPECT_TRUE(p.AtTitleMenu()) << "back at the title";
  }),
            0);
  EXPECT_TRUE(p.Finished()) << p.Step();
  const playtest::Stored stored = p.ReadStore();
  for (const Route& r : routes) {
    EXPECT_TRUE(stored.Has(stored.scenes, platform::WideToUtf8(r.scene))) << r.name;
    for (const std::string& cg : r.cg) EXPECT_TRUE(stored.Has(stored.album, cg)) << r.name << " " << cg;
  }
}

// Back to the title while a page waits, and a new game: its first wait is on the prologue's first
// page, not on an empty page left over from the run before.
TEST(PlayReturns, ANewGameAfterGoingBackToTheTitleFromAPage) {
  Player p;
  EXPECT_EQ(p.Play([&] {
    NewGame(p, -1);
    ASSERT_TRUE(p.ReadUntil([] { return Waiting(); }));
    p.Named("back to the title");
    p.MenuCommand(40003);
    NewGame(p, -1);
    p.Named("the first page again");
    ASSERT_TRUE(p.ReadUntil([] { return Waiting(); }));
    EXPECT_EQ(Player::Background(), story::kPrologueBackground);
    EXPECT_NE(p.Pixel(20, 20), 0u) << "the prologue's picture, not the black of the start";
  }),
            0);
  EXPECT_TRUE(p.Finished()) << p.Step();
}

// With -D the debug window over a running page; the flag dialog by its command id; the manual
// from the menu over the page and back to it.
TEST(PlayDialogs, TheDebugWindowTheFlagDialogAndTheManualOverAPage) {
  Player p;
  p.WriteIni("[varn]\nOptions=-D\n");
  std::u16string line, grp;
  EXPECT_EQ(p.Play([&] {
    NewGame(p, -1);
    ASSERT_TRUE(p.ReadUntil([] { return Waiting(); }));
    p.Frames(10);
    const uint64_t pageSum = Sum(p, kAbovePage);
    p.Named("the debug window");
    ASSERT_NE(p.window->GetMenu()->Find(40013), nullptr);
    p.Script({DialogAction::Inspect([&](const platform::DialogState& d) {
                line = d.GetText(IDC_LINE);
                grp = d.GetText(IDC_STATE_GRP);
              }),
              {DialogAction::Click, platform::kIdCancel}});
    p.MenuCommand(40013);
    p.Frames(5);
    EXPECT_EQ(line, platform::Utf8ToWide(std::to_string(Line() - 1))) << "the line it stopped at";
    EXPECT_EQ(grp, Player::Background()) << "the scene's background";
    EXPECT_EQ(grp, story::kPrologueBackground);

    p.Named("the flag dialog");
    EXPECT_EQ(p.window->GetMenu()->Find(40014), nullptr) << "no menu item holds it";
    p.Script({{DialogAction::Type, IDC_FLAG_NUMBER, u"17"}, {DialogAction::Click, platform::kIdOk}});
    p.MenuCommand(40014);
    p.Frames(5);
    EXPECT_EQ(g_FlagNumber, 17);
    EXPECT_TRUE(Waiting());

    p.Named("the manual");
    p.MenuCommand(40030);
    p.Frames(40);
    EXPECT_NE(Sum(p, kAbovePage), pageSum) << "the manual over the page";
    p.Click(Point{733, 557});
    ASSERT_TRUE(p.Until([&] { return Sum(p, kAbovePage) == pageSum; }, 200)) << "the page again";
    EXPECT_TRUE(Waiting());
  }),
            0);
  EXPECT_TRUE(p.Finished()) << p.Step();
  const auto& finished = p.host.backend->hdialogs->Finished();
  ASSERT_EQ(finished.size(), 2u);
}

// --SELDRIVER asks for the display driver before the window's first frame.
TEST(PlayDialogs, TheDriverChoiceComesBeforeTheTitle) {
  Player p;
  p.host.backend->hdisplay->SetDevices({{u"Primary", u"display"}, {u"Second", u"display2"}});
  int listed = 0;
  p.Script({DialogAction::Inspect([&](const platform::DialogState& d) { listed = d.LineCount(1000); }),
            {DialogAction::Choose, 1000, u"", 1},
            {DialogAction::Click, platform::kIdOk}});
  EXPECT_EQ(p.Play([&] { ASSERT_TRUE(p.Until([&] { return p.AtTitleMenu(); })); }, "--SELDRIVER"), 0);
  EXPECT_TRUE(p.Finished()) << p.Step();
  EXPECT_EQ(listed, 2);
  EXPECT_EQ(p.host.backend->hdisplay->Selected(), 1u);
}

}  // namespace
