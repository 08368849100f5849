// The sample story's route in the real window: a new game from the title, its pages advanced by
// clicks, its choices clicked, a save from the menu's save command, a quick save by the message
// window's button and the ending, each step's picture compared with the headless run's.
#include <gtest/gtest.h>

#include "platform/utf.h"
#include "script/messagewindow.h"
#include "script/save/slots.h"
#include "script/services.h"
#include "tests/window/walk.h"

namespace {

using namespace walk;

// The route through the sample story: the option taken at each choice in turn (from 0), the
// pick at the turn selection, and the page waits (counted from 1) where the menu's save and the
// quick-save button are used.
struct Route {
  std::vector<int> choices;
  int turnPick;
  int savePage;
  int quickSavePage;
};
const Route kRoute{{0, 0}, 0, 2, 3};

// Inside every choice of the turn selection, whether it stands alone or joins two turns.
constexpr int kTurnX = 640;

// Option k of a choice menu, in the middle of its row.
platform::Point ChoiceRow(int k) {
  return platform::Point{400, 168 + 42 * k};
}

class RouteDriver {
 public:
  explicit RouteDriver(const Route& route) : m_Route(route) {}

  Move operator()(const Picture& p) {
    if (AllBlack(p)) return WaitOn();
    if (starttest::StartRig::AtTitle()) {
      if (m_Started) return Finish("the title after the ending");
      if (!m_Lit) return Lit(Hover("the title", starttest::StartRig::NewGameButton()));
      m_Started = true;
      return Unlit(Press("the title, its new-game button lit"));
    }
    if (!m_Started) return Watch("the brand logo");
    if (m_Notice) {
      m_Notice = false;
      return Watch("the notice of the save");
    }
    if (ChoiceWaits()) {
      const int option = m_Choice < m_Route.choices.size() ? m_Route.choices[m_Choice] : 0;
      const std::string name = "choice " + std::to_string(m_Choice + 1);
      if (!m_Lit) return Lit(Hover(name, ChoiceRow(option)));
      ++m_Choice;
      m_OnPage = false;
      return Unlit(Press(name + ", option " + std::to_string(option + 1) + " lit"));
    }
    if (TurnSelectionWaits()) {
      if (!TurnChoicesShown()) return Watch("the turn selection's caption");
      const platform::Point at{kTurnX, kTurnFirstY + kTurnStep * m_Route.turnPick + 16};
      if (!m_Lit) return Lit(Hover("the turn selection", at));
      m_OnPage = false;
      return Unlit(Press("the turn selection, choice " + std::to_string(m_Route.turnPick + 1) + " lit"));
    }
    if (PageWaits()) {
      if (!m_OnPage) ++m_Page;
      m_OnPage = true;
      const std::string name = "page " + std::to_string(m_Page);
      if (m_Page == m_Route.savePage && !m_Saved) {
        m_Saved = m_Notice = true;
        return MenuSave(name + ", saved from the menu into slot 1", 1);
      }
      if (m_Page == m_Route.quickSavePage && !m_QuickSaved) {
        const platform::Rect r = GameButtons().HitRects()[MBUTTON_QUICKSAVE];
        if (!m_Lit) return Lit(Hover(name, platform::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
        m_QuickSaved = m_Notice = true;
        return Unlit(Press(name + ", the quick-save button lit"));
      }
      m_OnPage = false;
      return ClickAt(name, kRest);
    }
    // Anything else that holds still (the ending roll's pictures) is watched.
    return Watch("a picture after page " + std::to_string(m_Page));
  }

  int Pages() const { return m_Page; }
  size_t Choices() const { return m_Choice; }

 private:
  Move Lit(Move m) {
    m_Lit = true;
    return m;
  }
  Move Unlit(Move m) {
    m_Lit = false;
    return m;
  }

  const Route& m_Route;
  bool m_Started = false, m_Lit = false, m_Notice = false, m_OnPage = false;
  bool m_Saved = false, m_QuickSaved = false;
  int m_Page = 0;
  size_t m_Choice = 0;
};

bool StoredSlot(const fs::path& folder, int32_t slot) {
  SetSaveFolder(platform::Utf8ToWide(folder.string()));
  return SlotExists(slot);
}

using WindowRoute = RealWalk;

TEST_F(WindowRoute, TheStorysRouteShowsTheHeadlessPicturesInTheRealWindow) {
  RealGame& game = Game();

  std::vector<Step> steps;
  RouteDriver driver(kRoute);
  {
    starttest::StartRig rig;
    steps = RecordHeadless(rig, std::ref(driver));
    EXPECT_TRUE(StoredSlot(rig.SaveFolder(), 1)) << "the menu's save wrote the offered slot";
    EXPECT_TRUE(StoredSlot(rig.SaveFolder(), kQuickSaveFirst)) << "the quick save";
  }
  ASSERT_FALSE(HasFailure()) << "the headless run went wrong";
  EXPECT_EQ(driver.Choices(), kRoute.choices.size()) << "every choice of the route was met";
  EXPECT_GT(driver.Pages(), kRoute.quickSavePage);

  ASSERT_TRUE(game.Launch());
  const Difference worst = Play(game, steps, "route");
  RecordProperty("worst_pixels", worst.pixels);
  std::printf("route: %zu steps, at most %d pixels differed (worst channel %d)\n", steps.size(), worst.pixels,
              worst.worst);
  EXPECT_EQ(game.Stop(), 0) << "the termination signal ends the game with 0";
  EXPECT_TRUE(StoredSlot(game.SaveFolder(), 1)) << "the real menu's save wrote slot 1";
  EXPECT_TRUE(StoredSlot(game.SaveFolder(), kQuickSaveFirst)) << "the real quick save";
}

}  // namespace
