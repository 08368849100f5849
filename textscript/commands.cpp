// The language's own commands: variables, jumps, random and conditional jumps, iv dispatch.
#include "lib/utility.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

namespace TextScript {

namespace {

char16_t UpperAscii(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Sets to 0 every live integer variable whose first character, upper-cased, equals c (or,
// with `others`, differs from it).
void ResetByInitial(char16_t c, bool others) {
  for (const auto& [hash, v] : g_Variables) {
    if (v->m_Type != ScriptVariable::kInteger) continue;
    const char16_t first = v->m_Name.empty() ? u'\0' : UpperAscii(v->m_Name[0]);
    if ((first == c) != others) v->m_Value = 0;
  }
}

bool StartsWithDigit(std::u16string_view s) {
  return !s.empty() && s[0] >= u'0' && s[0] <= u'9';
}

using Node = ScriptStateNode;
using CoreTable = CommandTable<ScriptStateNode>;

// ---- variables ----

Node* SetVariable(Node& n) {  // PST
  if (g_SceneReplayMode) return n.Next();
  ScriptVariable* v = g_Variables.Find(ScriptVariable::kInteger, n.Arg(0));
  if (!v) v = g_Variables.Set(n.Arg(0), 0);
  if (!StartsWithDigit(n.Arg(1))) throw ScriptError2(n.m_Line, u"数値を指定してください。");
  const uint32_t value = static_cast<uint32_t>(DecimalValue(n.Arg(1)));
  const uint32_t old = static_cast<uint32_t>(v->m_Value);
  if (n.m_Op == '=')
    v->m_Value = static_cast<int32_t>(value);
  else if (n.m_Op == '+')
    v->m_Value = static_cast<int32_t>(old + value);
  else if (n.m_Op == '-')
    v->m_Value = static_cast<int32_t>(old - value);
  return n.Next();
}

Node* ResetVariable(Node& n) {  // RSP
  g_Variables.Set(n.Arg(0), 0);
  return n.Next();
}

Node* ResetByInitialCommand(Node& n) {  // RST, RSX
  const std::u16string_view name = n.Arg(0);
  if (!name.empty()) ResetByInitial(UpperAscii(name[0]), n.m_Type == STMT_RSX);
  return n.Next();
}

void RegisterVariableCommands(CoreTable& table) {
  table.Register(STMT_PST, SetVariable);
  table.Register(STMT_RSP, ResetVariable);
  table.Register(STMT_RST, ResetByInitialCommand);
  table.Register(STMT_RSX, ResetByInitialCommand);
}

// ---- jumps ----

Node* SkipComments(Node& n) {  // CLM: the whole run of consecutive CLM statements
  Node* next = n.Next();
  while (next && next->m_Type == STMT_CLM) next = next->Next();
  return next;
}

Node* Jump(Node& n) {  // JMP
  return n.JumpTo(n.Arg(0));
}

Node* RandomJump(Node& n) {  // RJP
  int count = 0;
  const Node* targets[3] = {};
  for (const Node* t = &n; t && t->m_Type == STMT_RJP && count < 4; t = t->Next()) {
    if (count < 3) targets[count] = t;
    ++count;
  }
  if (count != 3) throw ScriptError2(n.m_Line, u"RJP: ジャンプ先を３つ指定してください。");
  const int r = SafeRand() % 3;
  return n.JumpTo(targets[r]->Arg(0));
}

Node* ConditionalJump(Node& n) {  // PJP
  if (g_SceneReplayMode) return n.Next();
  const int32_t a = EvalOperand(n.Arg(0), 0);
  const int32_t b = EvalOperand(n.Arg(1), 0);
  const uint8_t op = n.m_Op;
  if ((op == '<' && a < b) || (op == '=' && a == b) || (op == '>' && a > b)) return n.JumpTo(n.Arg(2));
  return n.Next();
}

Node* DispatchIVCommand(Node& n) {  // IVG
  return n.m_pGroup->DispatchIV(EvalOperand(n.Arg(0), 0));
}

void RegisterJumpCommands(CoreTable& table) {
  table.Register(STMT_CLM, SkipComments);
  table.Register(STMT_JMP, Jump);
  table.Register(STMT_RJP, RandomJump);
  table.Register(STMT_PJP, ConditionalJump);
  table.Register(STMT_IVG, DispatchIVCommand);
}

}  // namespace

const CommandTable<ScriptStateNode>& CoreCommands() {
  static const CoreTable table = [] {
    CoreTable t;
    RegisterVariableCommands(t);
    RegisterJumpCommands(t);
    return t;
  }();
  return table;
}

ScriptStateNode* ScriptStateNode::JumpTo(std::u16string_view label) const {
  ScriptStateNode* page = m_pGroup->FindLabel(label);
  if (!page) throw ScriptError2(m_Line, u"ラベルが見つかりません。[%s]", WString(label).c());
  return page;
}

ScriptStateNode* ScriptStateNode::Execute() {
  return WithStatementLine([this] {
    const CoreTable::Handler handler = CoreCommands().Find(m_Type);
    return handler ? handler(*this) : Next();
  });
}

}  // namespace TextScript
