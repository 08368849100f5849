// The game killed inside its third quick save, at the pause point inside the save and at random
// moments in it, then started again: every earlier save loads and the file is sound.
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <sstream>
#include <thread>

#include "pilot.h"
#include "script/dialogs/templates.h"
#include "script/save/slots.h"

namespace {

namespace fs = std::filesystem;
using endurance::ButtonPoint;
using endurance::CurrentStatement;
using endurance::StartRig;
using platform::headless::DialogAction;

// Counts the page waits from the start and calls the handler on each, a few frames into it, for
// the frames that follow; a choice takes its first option.
class PageWalker {
 public:
  explicit PageWalker(StartRig& rig) : m_Rig(rig) {}
  // The nth page wait from 1; the handler may act over the frames that follow (frame from 0) and
  // answers for how many frames the page is held before the click that goes on.
  std::function<int(int page, int frame)> onPage;
  void Frame() {
    m_Audio.Frame();
    if (StartRig::AtTitle()) return m_Rig.ClickNewGame();
    if (!g_SceneRoot) return;
    const int statement = CurrentStatement();
    m_Step = statement == m_LastStatement ? m_Step + 1 : 0;
    m_LastStatement = statement;
    if (statement == TextScript::STMT_SEL) m_Rig.ClickAt(endurance::ChoicePoint(0), m_Step % 30);
    if (statement != TextScript::STMT_PAGE) return;
    if (m_Step == 0) ++m_Pages;
    if (m_Step < 10) return;
    if (m_Step == 10) m_Hold = 10;
    if (m_Step - 10 < m_Hold && onPage) m_Hold = std::max(m_Hold, onPage(m_Pages, m_Step - 10));
    if (m_Step - 10 >= m_Hold) m_Rig.ClickAt(endurance::kAdvance, (m_Step - 10 - m_Hold) % 30);
  }

 private:
  StartRig& m_Rig;
  endurance::AudioPump m_Audio{m_Rig};
  int m_Pages = 0, m_LastStatement = -1, m_Step = 0, m_Hold = 0;
};

void Tap(StartRig& rig, platform::Point p, int frame) {
  if (frame < 10) rig.ClickAt(p, frame);
}

// ---- The game that is killed ----------------------------------------------------------------

enum class KillAt { PausePoint, RandomMoment };

int g_Pipe = -1;
int g_Record = -1;
KillAt g_KillAt = KillAt::PausePoint;
int g_QuickSaves = 0;

// The third quick save tells the test where it is; at the pause point it waits to be killed.
void AtQuickSavePoint(int point) {
  if (point == 0) ++g_QuickSaves;
  if (g_QuickSaves < 3) return;
  if (g_KillAt == KillAt::RandomMoment && point == 0) (void)!write(g_Pipe, "R", 1);
  if (g_KillAt == KillAt::PausePoint && point == 1) {
    (void)!write(g_Pipe, "P", 1);
    for (;;) pause();
  }
}

// Each save's name and page, written before it is made: "1" and "2" the dialog's slots, "q1" to
// "q3" the quick saves in their order.
void Record(const char* name) {
  const std::string line = std::string(name) + " " + std::to_string(TextScript::g_CurrentPage) + "\n";
  (void)!write(g_Record, line.data(), line.size());
}

// Plays from a new game: slot 1 from the save dialog on page 2, a quick save on page 3, slot 2
// on page 4, quick saves on pages 5 and 6.
[[noreturn]] void PlayAndSave(StartRig& rig, KillAt killAt, int pipe) {
  g_Pipe = pipe;
  g_KillAt = killAt;
  g_Record = open((rig.root / "saves.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  g_QuickSavePause = AtQuickSavePoint;
  PageWalker walker(rig);
  walker.onPage = [&](int page, int frame) {
    auto saveInDialog = [&](int slot, const char* name) {
      if (frame != 0) return 0;
      Record(name);
      rig.host.backend->hdialogs->Script({DialogAction(DialogAction::Choose, IDC_SLOTLIST, {}, slot - 1),
                                          DialogAction(DialogAction::Type, IDC_COMMENT, u"endurance"),
                                          DialogAction(DialogAction::Click, platform::kIdOk)});
      rig.Command(MENU_SAVE);
      return 0;
    };
    auto quickSave = [&](const char* name) {
      if (frame == 0) Record(name);
      Tap(rig, ButtonPoint(MBUTTON_QUICKSAVE), frame);
      return 150;  // until the notice "セーブしました" has gone
    };
    switch (page) {
      case 2:
        return saveInDialog(1, "1");
      case 3:
        return quickSave("q1");
      case 4:
        return saveInDialog(2, "2");
      case 5:
        return quickSave("q2");
      case 6:
        return quickSave("q3");
    }
    return 0;
  };
  rig.onFrame = [&](int) { walker.Frame(); };
  rig.Start();
  _exit(2);  // the game ended without being killed
}

// ---- Started again ------------------------------------------------------------------------------

std::map<std::string, int> ReadRecord(const fs::path& path) {
  std::map<std::string, int> pages;
  std::ifstream in(path);
  std::string name;
  int page = 0;
  while (in >> name >> page) pages[name] = page;
  return pages;
}

// The first column of each row of a query, as text.
std::vector<std::string> Query(const fs::path& file, const char* sql) {
  std::vector<std::string> rows;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  sqlite3_stmt* s = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), SQLITE_OK) << sql;
  while (s && sqlite3_step(s) == SQLITE_ROW) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    rows.emplace_back(text ? text : "");
  }
  sqlite3_finalize(s);
  sqlite3_close(db);
  return rows;
}

struct Load {
  int slot;
  int page;  // where the game must stand after loading it
};

// Starts the game again and loads each slot in turn from the menu's load command, noting the
// page each load shows.
std::vector<int> LoadEach(StartRig& rig, const std::vector<Load>& loads) {
  std::vector<int> shown;
  size_t next = 0;
  bool closed = false;
  PageWalker walker(rig);
  walker.onPage = [&](int, int frame) {
    if (frame != 0 || closed) return 0;
    if (next > 0 && shown.size() < next) shown.push_back(TextScript::g_CurrentPage);
    if (next == loads.size()) {
      closed = true;
      rig.Close(platform::MsgResult::Yes);
      return 0;
    }
    rig.host.backend->hdialogs->Script({DialogAction(DialogAction::Choose, IDC_SLOTLIST, {}, loads[next].slot - 1),
                                        DialogAction(DialogAction::Click, platform::kIdOk)});
    rig.Command(MENU_LOAD);
    ++next;
    return 0;
  };
  rig.frames = 0;
  rig.onFrame = [&](int) { walker.Frame(); };
  EXPECT_EQ(rig.Start(), 0);
  return shown;
}

class KilledQuickSave : public ::testing::Test {
 protected:
  // Runs the game in a child until it is killed inside its third quick save. The child is killed
  // on the pause point's word, or a random time after the save began. False when it ended
  // otherwise.
  bool KillInsideThirdQuickSave(StartRig& rig, KillAt killAt, int delayMicros) {
    int pipe[2];
    if (::pipe(pipe) != 0) return false;
    const pid_t child = fork();
    if (child == 0) {
      close(pipe[0]);
      PlayAndSave(rig, killAt, pipe[1]);
    }
    close(pipe[1]);
    char word = 0;
    const bool told = read(pipe[0], &word, 1) == 1;
    if (told && delayMicros > 0) std::this_thread::sleep_for(std::chrono::microseconds(delayMicros));
    kill(child, SIGKILL);
    close(pipe[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return told && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

  // Checks the file and loads every save the killed game made before its third quick save (and
  // that one too when it was whole before the kill). Returns whether the third one was whole.
  bool CheckAfterKill(StartRig& rig, bool thirdMayBeWhole) {
    const std::map<std::string, int> pages = ReadRecord(rig.root / "saves.txt");
    EXPECT_EQ(pages.size(), 5u) << "the game made every save up to the third quick save";
    std::vector<Load> loads = {{1, pages.at("1")}, {2, pages.at("2")}};
    const fs::path file = rig.SaveFolder() / "save.dat";
    // Loading in the game opens the file as the next start does: a half-written save is undone.
    const std::vector<std::string> before = Query(file, "SELECT number FROM entry ORDER BY number;");
    const bool third = before.size() == 5;
    if (third) {
      EXPECT_TRUE(thirdMayBeWhole) << "the pause point is before the ring turns";
      EXPECT_EQ(before, (std::vector<std::string>{"1", "2", "91", "92", "93"}));
      loads.insert(loads.end(), {{91, pages.at("q3")}, {92, pages.at("q2")}, {93, pages.at("q1")}});
    } else {
      EXPECT_EQ(before, (std::vector<std::string>{"1", "2", "91", "92"})) << "the third quick save left nothing";
      loads.insert(loads.end(), {{91, pages.at("q2")}, {92, pages.at("q1")}});
    }
    EXPECT_EQ(Query(file, "PRAGMA integrity_check;"), std::vector<std::string>{"ok"});

    const std::vector<int> shown = LoadEach(rig, loads);
    std::vector<int> expected;
    for (const Load& l : loads) expected.push_back(l.page);
    EXPECT_EQ(shown, expected) << "each load shows its save's page";
    EXPECT_FALSE(rig.log.Contains(u"Exception Error")) << platform::WideToUtf8(rig.log.Text());
    EXPECT_EQ(Query(file, "PRAGMA integrity_check;"), std::vector<std::string>{"ok"});
    return third;
  }
};

TEST_F(KilledQuickSave, AtThePausePointEveryEarlierSaveLoads) {
  StartRig rig;
  ASSERT_TRUE(KillInsideThirdQuickSave(rig, KillAt::PausePoint, 0));
  EXPECT_FALSE(CheckAfterKill(rig, false));
}

TEST_F(KilledQuickSave, AtRandomMomentsEveryEarlierSaveLoads) {
  std::mt19937 random(20261211);
  int whole = 0;
  const int rounds = endurance::kSanitized ? 2 : 6;  // a round takes about a minute there
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE(round);
    StartRig rig;
    const int delay = std::uniform_int_distribution<int>(0, 30000)(random);
    ASSERT_TRUE(KillInsideThirdQuickSave(rig, KillAt::RandomMoment, delay));
    if (CheckAfterKill(rig, true)) ++whole;
  }
  std::printf("the third quick save was whole in %d of %d rounds\n", whole, rounds);
}

}  // namespace
