// A player for the in-process game: a test script on its own thread that takes turns with the
// game, one frame at a time, so a step reads as a line of play (click here, read on until that
// page, look at this pixel) while the game runs on the test's thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../app/startfixture.h"
#include "platform/input.h"
#include "script/save/savedb.h"
#include "textscript/statement.h"

namespace playtest {

using platform::Point;

// The game went away while the script waited for a frame.
struct GameOver {};

// What one page of the save database holds: the slots' headers and the global lists.
struct Stored {
  std::vector<std::string> album, scenes;
  COMMONDATA common;
  bool Has(const std::vector<std::string>& list, const std::string& name) const {
    for (const std::string& n : list)
      if (n == name) return true;
    return false;
  }
  bool PageRead(int page) const { return page >= 0 && (common.m_ReadFlags[page / 8] & (0x80 >> (page % 8))) != 0; }
};

class Player : public starttest::StartRig {
 public:
  Player();
  ~Player();

  // Starts the program and plays `script` against it; the exit code. A script that ends with the
  // game still running closes it (answering the close question with Yes).
  int Play(const std::function<void()>& script, const std::string& args = "");
  bool Finished() const { return m_ScriptFinished; }
  // Where the script was when it stopped: the last step it named.
  const std::string& Step() const { return m_Step; }
  void Named(std::string step) { m_Step = std::move(step); }

  // ---- inside a script ----
  void Frames(int n = 1);
  // Frames until done holds; a failure naming what (and false) after limit frames.
  bool Until(const std::function<bool()>& done, int limit = 3000);
  // The cursor to p, a few frames for the screen to see it over its target, the button tapped.
  void Click(Point p, int button = 0);
  void Hover(Point p);
  // Reads on with Ctrl held and Enter tapped on waiting pages until done holds; a choice, a turn
  // selection or the game's end stops it with a failure unless done holds there.
  bool ReadUntil(const std::function<bool()>& done, int limit = 20000);
  // A menu command; with a dialog script queued first when the command opens a dialog.
  void MenuCommand(uint32_t id) { Command(id); }
  void Script(std::vector<platform::headless::DialogAction> actions) {
    host.backend->hdialogs->Script(std::move(actions));
  }
  // The close question answered Yes; waits for the game to end.
  void Quit();

  // ---- what is shown ----
  uint32_t Pixel(int32_t x, int32_t y) const { return window->Front().PixelAt(x, y); }
  // Whether a pixel of the rectangle is strongly red (a lit choice or answer).
  bool AnyRed(const platform::Rect& r) const;
  // The statement running now, or -1.
  static int NodeType();
  static std::u16string Background();
  static int Page() { return TextScript::g_CurrentPage; }
  static bool AtChoice() { return NodeType() == TextScript::STMT_SEL; }
  static bool AtTurnSelection() { return NodeType() == TextScript::STMT_SSL; }
  static bool AtEnding();
  // The title after its fade in: a run, no scene, and frames enough since it came up.
  bool AtTitleMenu() const { return AtTitle() && m_TitleFrames >= 24; }
  // The title's button in column slot (0 manual, 1 start, 2 load, 3 settings, 4 extras, 5 end).
  static Point TitleButton(int slot);
  // Option k of the choice showing; place k of the turn selection.
  static Point ChoiceOption(int k) { return Point{400, 168 + 42 * k}; }
  static Point TurnOption(int k) { return Point{600, 230 + 36 * k}; }
  static Point Yes() { return Point{312, 210}; }
  static Point No() { return Point{408, 210}; }

  // ---- what is stored ----
  Stored ReadStore() const;
  bool ReadSlot(int32_t slot, SAVEDATA2* out) const;
  // The save folder of another rig copied into this one's, before Play.
  void TakeSavesFrom(const Player& other);

  // The ending statements this run reached, and whether a picture showed after an ending's fade.
  std::vector<uint32_t> endings;
  bool rollShown = false;

 private:
  void OnFrame();
  void Watch();

  std::mutex m_Mutex;
  std::condition_variable m_Turn;
  bool m_ScriptsTurn = false, m_GameOver = false, m_ScriptDone = false, m_ScriptFinished = false;
  bool m_Closing = false, m_Quitting = false;
  int m_TitleFrames = 0;
  bool m_EndingBlack = false;
  std::string m_Step;
};

}  // namespace playtest
