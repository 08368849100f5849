// The debug window over the running script group: a variable shown and changed, a jump to a
// label at the next page end or choice, the current line and the scene's resume state, and the
// lists of every variable and of the recorded scene-replay names.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "lib/wstring.h"
#include "platform/msgbox.h"
#include "script/dialogs/dialogcommon.h"
#include "script/dialogs/dialogs.h"
#include "script/dialogs/templates.h"
#include "script/executor.h"
#include "script/scenario.h"
#include "script/scene.h"
#include "textscript/variables.h"

using platform::DialogControls;
using platform::DialogEvent;
using platform::DialogEventType;
using platform::MsgButtons;
using platform::MsgResult;

namespace {

constexpr size_t kNameChars = 30;  // of a variable or label name, as the edits are read
constexpr char16_t kNothing[] = u"-----";

std::u16string ReadName(DialogControls& d, uint32_t id) {
  std::u16string text = d.GetText(id);
  if (text.size() > kNameChars) text.resize(kNameChars);
  return text;
}

void Error(const char16_t* text) {
  ShowErrorMessage(text);
}

// The decimal value at the start of the text: an optional sign and the digits that follow;
// no digits give 0 and a value past the 32-bit range stops at its end.
int32_t LeadingNumber(const std::u16string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

std::u16string BufferName(SceneBuffer buffer) {
  std::u16string name;
  if (!GetSceneStateName(g_SceneState[buffer], &name) || name.empty()) return kNothing;
  return name;
}

void ShowSceneState(DialogControls& d) {
  const SCENESTATE& bg = g_SceneState[SCENE_BACKGROUND];
  std::u16string grp = kNothing, chr = kNothing;
  switch (bg.m_State) {
    case SCENE_BG_BLACK:
      grp = u"Black";
      break;
    case SCENE_BG_WHITE:
      grp = u"White";
      break;
    case SCENE_BG_PICTURE:
      grp = BufferName(SCENE_BACKGROUND);
      break;
    case SCENE_BG_CHR:
      chr = BufferName(SCENE_BACKGROUND);
      break;
    default:
      break;
  }
  d.SetText(IDC_STATE_GRP, grp);
  d.SetText(IDC_STATE_CHR, chr);
  d.SetText(IDC_STATE_CHL,
            g_SceneState[SCENE_CHARACTERS].m_State != SCENE_CHL_NONE ? BufferName(SCENE_CHARACTERS) : kNothing);
  d.SetText(IDC_STATE_WAV, g_SceneState[SCENE_BGM].m_State != SCENE_BGM_NONE ? BufferName(SCENE_BGM) : kNothing);
  // Only a looping effect stays in the scene; a one-shot one is shown as nothing.
  for (const auto& [id, buffer] : {std::pair{IDC_STATE_S1, SCENE_SE1}, std::pair{IDC_STATE_S2, SCENE_SE2}}) {
    const bool loops = g_SceneState[buffer].m_State == SCENE_SE_LOOP;
    d.SetText(id, loops ? BufferName(buffer) + u" (Loop)" : std::u16string(kNothing));
  }
}

class DebugProcedure {
 public:
  explicit DebugProcedure(ScriptStateGroup_App& group) : m_Group(group) {}

  bool operator()(DialogControls& d, const DialogEvent& e) {
    if (e.type == DialogEventType::Init) {
      const TextScript::ScriptStateNode* current = m_Group.Current();
      d.SetText(IDC_LINE, current ? FormatWide(u"%d", current->m_Line - 1) : std::u16string(kNothing));
      ShowSceneState(d);
      return true;
    }
    if (e.type != DialogEventType::Command) return false;
    switch (e.control) {
      case IDC_VAR_SHOW:
        Show(d);
        return true;
      case IDC_VAR_CHANGE:
        Change(d);
        return true;
      case IDC_VAR_LIST:
        VariableListDialog();
        return true;
      case IDC_SCENE_FLAGS:
        SceneFlagListDialog();
        return true;
      case IDC_JUMP:
        Jump(d);
        return true;
      case platform::kIdCancel:
        d.End(-1);
        return true;
      default:
        return false;
    }
  }

 private:
  void Show(DialogControls& d) {
    const std::u16string name = ReadName(d, IDC_VAR_NAME);
    if (name.empty()) return Error(u"変数名を入力してください");
    const ScriptVariable* v = g_Variables.Find(ScriptVariable::kInteger, name);
    if (!v) return Error(u"変数がありません");
    d.SetText(IDC_VAR_VALUE, FormatWide(u"%d", v->m_Value));
  }

  void Change(DialogControls& d) {
    const std::u16string name = ReadName(d, IDC_VAR_NAME);
    if (name.empty()) return Error(u"変数名を入力してください");
    const std::u16string value = d.GetText(IDC_VAR_VALUE);
    if (value.empty()) return Error(u"数値を入力してください");
    if (!g_Variables.Find(ScriptVariable::kInteger, name) &&
        platform::ShowMessageBox(u"変数がありません。新たに現在の数値で追加しますか？", u"エラー", MsgButtons::YesNo,
                                 platform::MsgIcon::Question) != MsgResult::Yes)
      return;
    g_Variables.Set(name, LeadingNumber(value));
    platform::ShowMessageBox(u"変更しました", u"変数", MsgButtons::Ok, platform::MsgIcon::Information);
  }

  void Jump(DialogControls& d) {
    const std::u16string label = ReadName(d, IDC_LABEL_NAME);
    if (label.empty()) return Error(u"ラベル名を入力してください");
    if (!m_Group.FindLabel(label)) return Error(u"指定したラベルがありません");
    // The executor jumps at its next page end, choice or turn selection.
    m_Group.m_DebugJump = label;
    d.End(0);
  }

  ScriptStateGroup_App& m_Group;
};

// A list dialog with its lines; OK and cancel close it.
void ListDialog(const char16_t* caption, std::vector<std::u16string> lines) {
  auto shown = std::make_shared<std::vector<std::u16string>>(std::move(lines));
  DialogHostService().RunModal(ListTemplate(), [shown, caption](DialogControls& d, const DialogEvent& e) {
    if (e.type == DialogEventType::Init) {
      if (caption) d.SetCaption(caption);
      for (const std::u16string& line : *shown) d.AddLine(IDC_LIST, line);
      return true;
    }
    if (e.type == DialogEventType::Command && (e.control == platform::kIdOk || e.control == platform::kIdCancel)) {
      d.End(e.control == platform::kIdOk ? 1 : -1);
      return true;
    }
    return false;
  });
}

}  // namespace

void DebugWindow() {
  ScriptStateGroup_App* group = g_pCurrentGroup;
  if (!group) return;
  auto procedure = std::make_shared<DebugProcedure>(*group);
  DialogHostService().RunModal(DebugWindowTemplate(),
                               [procedure](DialogControls& d, const DialogEvent& e) { return (*procedure)(d, e); });
}

void VariableListDialog() {
  std::vector<std::u16string> lines;
  for (const auto& [hash, v] : g_Variables) lines.push_back(FormatWide(u"%8s : %d", v->m_Name.c_str(), v->m_Value));
  ListDialog(nullptr, std::move(lines));
}

void SceneFlagListDialog() {
  std::vector<std::u16string> lines;
  if (g_pCurrentGroup)
    for (const std::u16string& name : g_pCurrentGroup->m_RecordedNames)
      lines.push_back(FormatWide(u"%s", name.c_str()));
  ListDialog(u"シーン再生フラグ一覧", std::move(lines));
}
