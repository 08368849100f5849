// The game's script group and node: node creation, dispatch, the group's messages, the run.
#include "script/executor.h"

#include "app/frame/framestep.h"
#include "lib/globals.h"
#include "script/services.h"
#include "textscript/messwindow.h"

int32_t g_SkipMode = 0;
int32_t g_AutoMode = 0;
int32_t g_PageText = 0;
std::unique_ptr<BackLogList> g_BackLog;

ScriptStateGroup_App::~ScriptStateGroup_App() = default;

std::unique_ptr<TextScript::ScriptStateNode> ScriptStateGroup_App::CreateNode() {
  return std::make_unique<ScriptStateNode_App>(this, m_Reader.m_Line);
}

int ScriptStateGroup_App::Run(int32_t startPage) {
  g_SkipMode = 0;
  g_AutoMode = 0;
  m_DebugJump.clear();
  IScene& scene = GameScene();
  scene.BuildScene();
  // An error leaves without a frame passing (a frame may raise again); the normal end lets one
  // pass so that the screen shows the emptied tree.
  int result = 0;
  try {
    result = TextScript::ScriptStateGroup::Run(startPage);
  } catch (...) {
    scene.ReleaseScene();
    throw;
  }
  scene.TearDownScene();
  return result == 2 ? g_PendingLoadSlot + 2 : result;
}

int32_t ScriptStateGroup_App::OnMessage(int32_t code, uintptr_t a, uintptr_t b) {
  switch (code) {
    case 0x5000: {
      TextScript::DxMessWindow& window = GameScene().MessageWindow();
      // The close effect may change the window's effect style; the window keeps its own.
      const uint32_t style = window.m_EffectStyle;
      struct Restore {
        TextScript::DxMessWindow& window;
        uint32_t style;
        ~Restore() { window.m_EffectStyle = style; }
      } restore{window, style};
      TextScript::CloseMessageWindowAndWait(&window);
      GameSounds().StopAllAndForget();
      return 1;
    }
    case 0x5001: {
      const auto* name = reinterpret_cast<const char16_t*>(a);
      auto* out = reinterpret_cast<std::string*>(b);
      if (!name || !out) return 0;
      *out = GameFiles().LoadScriptFile(name);
      return 1;
    }
    default:
      return 0;
  }
}

TextScript::ScriptStateNode* ScriptStateNode_App::Execute() {
  return Dispatch(AppGroup().Commands());
}

void RegisterGameScriptGlobals() {
  TextScript::RegisterScriptGlobals();
  RegisterPoolRecordOf<ScriptStateNode_App>(GlobalPool::State);
}

void BackLogList::Append(std::u16string text, std::u16string voice) {
  m_Entries.push_back(BACKLOGENTRY{std::move(text), std::move(voice)});
  while (m_Entries.size() > kMaxEntries) m_Entries.pop_front();
}

std::u16string_view BackLogList::LastText() const {
  return m_Entries.empty() ? std::u16string_view() : std::u16string_view(m_Entries.back().text);
}
