// The story's route knowledge and a player that drives the in-process game frame by frame: the
// title, the prologue question, choices, the turn selection and page waits, by clicks.
#pragma once

#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "platform/input.h"
#include "script/executor.h"
#include "script/services.h"
#include "tests/app/startfixture.h"
#include "tests/sanitizer.h"
#include "textscript/messview.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

namespace endurance {

// Whether this is the sanitizer's build, where everything runs many times slower.
using varntest::kSanitized;

using starttest::StartRig;

// ---- The story ----------------------------------------------------------------------------------

// One way through the story: the option taken at each choice in turn (0 the first), the turn
// selection's line (0 the top), whether the prologue question is answered "はい", and whether
// the pass reads in skip mode or in auto mode with the skip key held.
struct Route {
  std::vector<int> choices;
  int turn = 0;
  bool skipPrologue = false;
  bool autoMode = false;
};

// Four routes that between them take every option of both choices, every line of the turn
// selection, both answers to the prologue question and both reading modes.
inline const std::vector<Route> kRoutes = {
    {{0, 0}, 0, false, false},
    {{0, 1}, 1, true, true},
    {{1, 0}, 2, false, true},
    {{1, 1}, 3, true, false},
};

// The ending statements the story reaches over the routes above.
inline const std::set<int> kEndings = {TextScript::STMT_END, TextScript::STMT_END1, TextScript::STMT_END2};

// Where the pieces the player clicks stand on the 800x600 screen.
constexpr platform::Point kAdvance{400, 300};  // a click on a waiting page, away from the bar
inline platform::Point ChoicePoint(int k) {
  return platform::Point{400, 168 + 42 * k};
}
// The turn selection's lines top to bottom: A and B, or the two joined (wider, further left) when
// "A010" or "B010" is set; C and D likewise with "C010" and "D010". The line taken is the route's
// modulo the lines shown.
inline platform::Point TurnPoint(int line) {
  auto set = [](const char16_t* name) {
    const ScriptVariable* v = g_Variables.Find(ScriptVariable::kInteger, name);
    return v && v->m_Value != 0;
  };
  std::vector<int> xs;
  for (bool joined : {set(u"A010") || set(u"B010"), set(u"C010") || set(u"D010")}) {
    if (joined)
      xs.push_back(408);
    else
      xs.insert(xs.end(), {594, 594});
  }
  const int k = line % int(xs.size());
  return platform::Point{xs[size_t(k)] + 12, 222 + 36 * k + 12};
}
inline platform::Point AnswerPoint(bool yes) {
  return yes ? platform::Point{336, 210} : platform::Point{448, 210};
}
inline platform::Point ButtonPoint(int button) {
  const platform::Rect r = GameButtons().HitRects()[button];
  return platform::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The statement the running scenario is at; -1 between runs.
inline int CurrentStatement() {
  const TextScript::ScriptStateNode* node = g_pCurrentGroup ? g_pCurrentGroup->Current() : nullptr;
  return node ? node->m_Type : -1;
}
inline bool IsEnding(int statement) {
  return statement == TextScript::STMT_END || statement == TextScript::STMT_END1 || statement == TextScript::STMT_END2;
}

// The null audio device plays only what is taken from it: takes, each frame, the sound the
// frame's stretch of the virtual clock would have played, so voices end as on a real device.
constexpr int32_t kVoicePlayChannel = 3;  // the voices' sound channel
class AudioPump {
 public:
  explicit AudioPump(StartRig& rig) : m_Rig(rig) {}
  void Frame() {
    platform::headless::HeadlessBackend& b = *m_Rig.host.backend;
    if (!b.vclock || !b.haudio) return;
    const uint32_t now = b.vclock->Milliseconds();
    // A rate above any the game asks for: the sound runs out no later than it would.
    const size_t frames = size_t(now - m_Last) * 48;
    m_Last = now;
    if (frames == 0 || frames > 48000) return;
    m_Buffer.resize(frames * 2);
    b.haudio->Render(m_Buffer.data(), frames);
    // The sound's service thread refills the streams on real time: while a voice plays (auto
    // mode waits for it), frames go no faster than it can follow.
    if (g_pCurrentGroup && TextScript::MessageVoice().IsPlaying(kVoicePlayChannel))
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

 private:
  StartRig& m_Rig;
  uint32_t m_Last = 0;
  std::vector<int16_t> m_Buffer;
};

// ---- The player -----------------------------------------------------------------------------------

// Plays whole passes, one route after another: a pass begins at the title's new-game button and
// ends when the title comes back. Call Frame once a frame from the rig's hook.
class StoryPlayer {
 public:
  explicit StoryPlayer(StartRig& rig) : m_Rig(rig) {}

  // Called as the title comes back after each pass, with the pass's number from 1.
  std::function<void(int)> onPassEnd;
  std::vector<int> endings;  // the ending statement of each pass, -1 for none
  int passes = 0;

  const Route& CurrentRoute() const { return kRoutes[size_t(passes) % kRoutes.size()]; }

  void Frame() {
    m_Audio.Frame();
    if (!g_pCurrentGroup) return;
    if (StartRig::AtTitle()) return Title();
    m_TitleFrames = 0;
    if (!g_SceneRoot) return;
    if (!m_InPass) {
      m_InPass = true;
      m_Choices = 0;
      m_Ending = -1;
      m_LastChoice = nullptr;
      m_Rig.input->SetKey(platform::DIK_LCONTROL, CurrentRoute().autoMode);
    }
    const Route& route = CurrentRoute();
    const int statement = CurrentStatement();
    m_Step = statement == m_LastStatement ? m_Step + 1 : 0;
    m_LastStatement = statement;
    const int step = m_Step % 30;
    if (statement == TextScript::STMT_SEL) {
      if (g_pCurrentGroup->Current() != m_LastChoice) {
        m_LastChoice = g_pCurrentGroup->Current();
        ++m_Choices;
      }
      const size_t k = size_t(m_Choices - 1);
      m_Rig.ClickAt(ChoicePoint(k < route.choices.size() ? route.choices[k] : 0), step);
    } else if (statement == TextScript::STMT_SSL) {
      m_Rig.ClickAt(TurnPoint(route.turn), step);
    } else if (IsEnding(statement)) {
      m_Ending = statement;
      m_Rig.ClickAt(kAdvance, step);  // the ending roll's waits end on a click
    } else if (statement == TextScript::STMT_PAGE && !g_SkipMode && !g_AutoMode && m_Step >= 10) {
      // A page waiting for the reader: the mode's button on the bar.
      m_Rig.ClickAt(ButtonPoint(route.autoMode ? MBUTTON_AUTO : MBUTTON_SKIP), step);
    }
  }

 private:
  void Title() {
    if (m_InPass) {
      m_InPass = false;
      m_Rig.input->SetKey(platform::DIK_LCONTROL, false);
      endings.push_back(m_Ending);
      ++passes;
      m_Rig.frames = 0;  // the rig's guard against a game that never ends counts one pass
      if (onPassEnd) onPassEnd(passes);
    }
    ++m_TitleFrames;
    if (m_TitleFrames < 20) return;
    const int step = (m_TitleFrames - 20) % 60;
    if (step < 10) m_Rig.ClickAt(StartRig::NewGameButton(), step);
    // From the second pass on the prologue was seen, so the new game asks whether to skip it.
    if (passes > 0 && step >= 20 && step < 30) m_Rig.ClickAt(AnswerPoint(CurrentRoute().skipPrologue), step - 20);
  }

  StartRig& m_Rig;
  AudioPump m_Audio{m_Rig};
  bool m_InPass = false;
  int m_TitleFrames = 0;
  int m_Choices = 0;
  int m_Ending = -1;
  int m_LastStatement = -1;
  int m_Step = 0;
  const TextScript::ScriptStateNode* m_LastChoice = nullptr;
};

}  // namespace endurance
