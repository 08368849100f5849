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

}  // namespace

ScriptStateNode* ScriptStateNode::JumpTo(std::u16string_view label) const {
  ScriptStateNode* page = m_pGroup->FindLabel(label);
  if (!page) throw ScriptError2(m_Line, u"ラベルが見つかりません。[%s]", WString(label).c());
  return page;
}

ScriptStateNode* ScriptStateNode::Execute() {
  try {
    return ExecuteCore();
  } catch (ScriptError& e) {
    e.m_Line = m_Line;
    throw;
  } catch (ScriptError2& e) {
    e.m_Line = m_Line;
    throw;
  }
}

ScriptStateNode* ScriptStateNode::ExecuteCore() {
  switch (m_Type) {
    case STMT_PST: {
      if (g_SceneReplayMode) break;
      ScriptVariable* v = g_Variables.Find(ScriptVariable::kInteger, Arg(0));
      if (!v) v = g_Variables.Set(Arg(0), 0);
      if (!StartsWithDigit(Arg(1))) throw ScriptError2(m_Line, u"数値を指定してください。");
      const uint32_t value = static_cast<uint32_t>(DecimalValue(Arg(1)));
      const uint32_t old = static_cast<uint32_t>(v->m_Value);
      if (m_Op == '=')
        v->m_Value = static_cast<int32_t>(value);
      else if (m_Op == '+')
        v->m_Value = static_cast<int32_t>(old + value);
      else if (m_Op == '-')
        v->m_Value = static_cast<int32_t>(old - value);
      break;
    }
    case STMT_CLM: {
      ScriptStateNode* n = Next();
      while (n && n->m_Type == STMT_CLM) n = n->Next();
      return n;
    }
    case STMT_JMP:
      return JumpTo(Arg(0));
    case STMT_RJP: {
      int count = 0;
      const ScriptStateNode* targets[3] = {};
      for (const ScriptStateNode* n = this; n && n->m_Type == STMT_RJP && count < 4; n = n->Next()) {
        if (count < 3) targets[count] = n;
        ++count;
      }
      if (count != 3) throw ScriptError2(m_Line, u"RJP: ジャンプ先を３つ指定してください。");
      const int r = SafeRand() % 3;
      return JumpTo(targets[r]->Arg(0));
    }
    case STMT_PJP: {
      if (g_SceneReplayMode) break;
      const int32_t a = EvalOperand(Arg(0), 0);
      const int32_t b = EvalOperand(Arg(1), 0);
      if ((m_Op == '<' && a < b) || (m_Op == '=' && a == b) || (m_Op == '>' && a > b)) return JumpTo(Arg(2));
      break;
    }
    case STMT_RSP:
      g_Variables.Set(Arg(0), 0);
      break;
    case STMT_RST:
    case STMT_RSX: {
      const std::u16string_view name = Arg(0);
      if (name.empty()) break;
      ResetByInitial(UpperAscii(name[0]), m_Type == STMT_RSX);
      break;
    }
    case STMT_IVG:
      return m_pGroup->DispatchIV(EvalOperand(Arg(0), 0));
    default:
      break;
  }
  return Next();
}

}  // namespace TextScript
