// One scenario run and its clean-up on every way out.
#include "script/scenario.h"

#include <optional>

#include "lib/error.h"
#include "script/services.h"
#include "textscript/variables.h"

ScriptStateGroup_App* g_pCurrentGroup = nullptr;
int32_t g_StartPage = -1;
int32_t g_PrologueSkip = 0;
std::unique_ptr<std::vector<std::string>> g_AlbumNames;

namespace {

// The label a skipped prologue starts at.
constexpr char16_t kPrologueEnd[] = u"PRSK";

// A script error met outside the statements, as the game's error: the source, its line, its text.
[[noreturn]] void RaiseAsGameError(const char16_t* source, const TextScript::ScriptError2& e) {
  ThrowException(source, e.m_Line, 0, 0, u"%s", e.m_Message);
}

// What a run holds, let go on every way out; the global data is written back by Finish alone,
// and only when it was read, so a failed read never overwrites what the file holds.
class ScenarioRun {
 public:
  explicit ScenarioRun(ScriptStateGroup_App& group) : m_Group(group) { g_pCurrentGroup = &group; }
  ~ScenarioRun() { Release(); }

  void Finish() {
    if (m_GlobalLoaded) {
      m_GlobalLoaded = false;
      GameSaves().SaveGlobalData();
    }
    Release();
  }

  bool m_GlobalLoaded = false;
  std::string m_IVText;
  std::string m_Scenario;

 private:
  void Release() {
    m_Group.m_RecordedNames.clear();
    if (m_SceneCleared) return;
    m_SceneCleared = true;
    try {
      GameScene().ClearResumeState();
    } catch (...) {
      // Without a scene there is no resume state to clear.
    }
    g_BackLog.reset();
    g_AlbumNames.reset();
    m_Scenario.clear();
    m_IVText.clear();
    g_pCurrentGroup = nullptr;
  }

  ScriptStateGroup_App& m_Group;
  bool m_SceneCleared = false;
};

int RunSteps(ScenarioRun& run, ScriptStateGroup_App& group, std::u16string_view fileName, int mode) {
  run.m_IVText = GameFiles().LoadScriptFile(u"iv.txt");
  try {
    group.ReadIVTables(run.m_IVText.data(), run.m_IVText.size());
  } catch (const TextScript::ScriptError2& e) {
    RaiseAsGameError(u"iv.txt", e);
  }
  run.m_IVText.clear();

  run.m_Scenario = GameFiles().LoadScriptFile(fileName);
  group.Compile(run.m_Scenario.data(), run.m_Scenario.size(), fileName);

  group.m_RecordedNames.clear();
  group.m_RecordedNames.reserve(256);
  g_Variables.Clear();
  IScene& scene = GameScene();
  scene.ClearResumeState();
  g_BackLog = std::make_unique<BackLogList>();
  g_AlbumNames = std::make_unique<std::vector<std::string>>();

  GameSaves().LoadGlobalData();
  run.m_GlobalLoaded = true;

  IMenuItems& menu = GameMenu();
  menu.EnableMenuItem(MENU_TITLE, true);
  g_PrologueSkip = 0;

  if (mode < 2) {
    const int r = GameScreens().RunTitle();
    if (r == -1) return 1;
    if (r == 0) return 0;
    if (r == 1) mode = 0;
    if (r >= 2) mode = r;
  }

  scene.ClearResumeState();
  menu.EnableMenuItem(MENU_TITLE, true);
  menu.EnableMenuItem(MENU_LOAD, true);

  if (mode >= 2) {
    GameSaves().LoadSlot(mode - 1);
  } else {
    g_StartPage = -1;
    if (g_PrologueSkip) {
      TextScript::ScriptStateNode* page = nullptr;
      try {
        page = group.FindLabel(kPrologueEnd);
      } catch (const TextScript::ScriptError2& e) {
        RaiseAsGameError(group.m_FileName.c(), e);
      }
      if (!page) ThrowException(group.m_FileName.c(), 0, 0, 0, u"ラベルが見つかりません。[%s]", kPrologueEnd);
      g_StartPage = page->m_Page;
      g_PrologueSkip = 0;
    }
  }

  g_SceneReplayMode = false;
  // A run left while its page waited (a return to the title, a load) leaves no text behind for
  // this run's first page end to wait over.
  g_PageText = 0;
  const int result = group.Run(g_StartPage);

  const ScriptVariable* seen = g_Variables.Find(ScriptVariable::kInteger, u"REPR");
  if (seen && seen->m_Value != 0) GameOptions().SetPrologueSeen();
  return result;
}

}  // namespace

int RunScenario(std::u16string_view fileName, int mode, const AppCommandTable& commands) {
  auto group = std::make_unique<ScriptStateGroup_App>(commands);
  ScenarioRun run(*group);
  int result = 0;
  std::optional<ExceptionHandle> held;
  try {
    result = RunSteps(run, *group, fileName, mode);
  } catch (const ExceptionHandle& e) {
    // A quit ends the game quietly; any other error goes on up after the clean-up.
    if (!e.IsQuit()) held = e;
    result = 0;
  }
  run.Finish();
  if (held) throw *held;
  return result;
}
