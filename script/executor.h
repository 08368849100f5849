// The game's command executor: its script group and statement node, the command table they
// dispatch through, the modes the message commands share, and the backlog.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "script/services.h"
#include "textscript/commandtable.h"
#include "textscript/statement.h"

class ScriptStateNode_App;
using AppCommandTable = TextScript::CommandTable<ScriptStateNode_App>;

// The game's script group: nodes of the game's class, dispatched through the table it was given.
class ScriptStateGroup_App : public TextScript::ScriptStateGroup {
 public:
  explicit ScriptStateGroup_App(const AppCommandTable& commands) : m_pCommands(&commands) {}
  ~ScriptStateGroup_App() override;

  std::unique_ptr<TextScript::ScriptStateNode> CreateNode() override;
  // Builds the scene, runs from the page, tears the scene down. 0 the scenario ended (or quit, or
  // an error ended it), 1 back to the title, the pending load slot + 2 when a load was requested.
  int Run(int32_t startPage) override;
  // 0x5000 reset: the message window closed, every sound channel stopped and forgotten (1).
  // 0x5001 load a file: a is the name (const char16_t*, NUL-terminated), b a std::string that
  // receives the file (1). Any other code: 0.
  int32_t OnMessage(int32_t code, uintptr_t a, uintptr_t b) override;

  const AppCommandTable& Commands() const { return *m_pCommands; }

  // Names the scenario recorded (upper case), freed with the group.
  std::vector<std::u16string> m_RecordedNames;
  // The label the debug window asked to jump to at the next page end or choice; empty for none.
  std::u16string m_DebugJump;

 private:
  const AppCommandTable* m_pCommands;
};

class ScriptStateNode_App : public TextScript::ScriptStateNode {
 public:
  using ScriptStateNode::ScriptStateNode;
  // The game's command for this statement's code, else the language's; a script error raised in
  // either leaves with this statement's line.
  TextScript::ScriptStateNode* Execute() override;

  ScriptStateGroup_App& AppGroup() const { return *static_cast<ScriptStateGroup_App*>(m_pGroup); }
  ScriptStateNode_App* NextApp() const { return static_cast<ScriptStateNode_App*>(Next()); }
  ScriptStateNode_App* PrevApp() const { return static_cast<ScriptStateNode_App*>(Prev()); }
};

// The script language's records and processes plus the game's node size in the statement pool.
// Start-up calls it before the globals are started, and so does every test fixture.
void RegisterGameScriptGlobals();

// The command areas, one registration each: the message, choice and page-end commands
// (MESSAGE, SEL, the page statement, SED); pictures (GRP, CHR, CHL) and the white flash (FLS);
// music, voices and effects (WAV, VOI, S1A to S2M); the scene flags, the window off and the
// endings (SFS, TOF, END, END1, END2); the turn selection (SSL).
void RegisterMessageCommands(AppCommandTable& table);
void RegisterPictureCommands(AppCommandTable& table);
void RegisterSoundCommands(AppCommandTable& table);
void RegisterEndingCommands(AppCommandTable& table);
void RegisterTurnSelectCommands(AppCommandTable& table);
// Every area of the game's commands: what start-up and the test fixtures fill their table with.
void RegisterGameCommands(AppCommandTable& table);

// The voice command by name: what a message runs for the VOI statement next to it (the message
// reads 0xFF meanwhile, so the voice is not taken for one a message plays).
class VoiceCommandByName : public IVoiceCommand {
 public:
  void RunVoice(ScriptStateNode_App& voice) override;
};

// Skip mode: 0 off, 1 skip by the button, 2 skip while Shift is held.
extern int32_t g_SkipMode;
// Auto mode: 0 off, 1 on.
extern int32_t g_AutoMode;
// 1 once a message was printed on the current page, 0 after the page-end wait.
extern int32_t g_PageText;

// Raises ScriptException 3 when the message font or colour changed: the message view's
// per-character check, so that a change made in a dialog during the reveal prints it again.
void CheckReprint(void* argument);

// One backlog entry: the text and the upper-case voice name (empty for none).
struct BACKLOGENTRY {
  std::u16string text;
  std::u16string voice;
};

// The backlog: the newest entries of the run, at most kMaxEntries.
class BackLogList {
 public:
  static constexpr size_t kMaxEntries = 60;
  void Append(std::u16string text, std::u16string voice);
  const std::deque<BACKLOGENTRY>& Entries() const { return m_Entries; }
  // The newest entry's text, empty when there is none.
  std::u16string_view LastText() const;

 private:
  std::deque<BACKLOGENTRY> m_Entries;
};

// The backlog of the running scenario, created empty by each scenario run; null outside one.
extern std::unique_ptr<BackLogList> g_BackLog;
