// Reading "iv.txt" into the jump and judge tables, and the dispatch of an iv number.
#include <memory>
#include <string>

#include "lib/sjis.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

namespace TextScript {

namespace {

constexpr bool kComments = true;

WString ReadName(ScriptReader& r) {
  std::string narrow;
  r.ReadIdent(narrow, kComments);
  return WidenAscii(narrow, true);
}

// The two characters of a condition's operator. An '=' takes a second operator character
// with it ("==") but leaves anything else, an operand included, to be read next.
uint8_t ReadOperator(ScriptReader& r) {
  const int c1 = r.GetcComment();
  if (c1 == '=') {
    const int c2 = r.GetcComment();
    if (c2 != '=' && c2 != '<' && c2 != '>' && c2 != '!') r.Ungetc(c2);
    return IVOP_EQUAL;
  }
  if (c1 != '>' && c1 != '<') {
    r.Ungetc(c1);
    return IVOP_NONE;
  }
  const int c2 = r.GetcComment();
  if (c1 == '>') {
    if (c2 == '>') return IVOP_GREATER;
    if (c2 == '=') return IVOP_GREATER_EQUAL;
  } else {
    if (c2 == '<') return IVOP_LESS;
    if (c2 == '=') return IVOP_LESS_EQUAL;
    if (c2 == '>') return IVOP_NOT_EQUAL;
  }
  if (c2 == '\n' || c2 == 0) r.Ungetc(c2);  // the line end stays for the rest-of-line skip
  return IVOP_NONE;
}

}  // namespace

bool IVConditionHolds(uint8_t op, int32_t left, int32_t right) {
  switch (op) {
    case IVOP_EQUAL:
      return left == right;
    case IVOP_GREATER:
      return left > right;
    case IVOP_GREATER_EQUAL:
      return left >= right;
    case IVOP_LESS:
      return left < right;
    case IVOP_LESS_EQUAL:
      return left <= right;
    case IVOP_NOT_EQUAL:
      return left != right;
    default:
      return false;
  }
}

void ScriptStateGroup::ReadIVTables(const void* text, size_t size) {
  ScriptReader& r = m_Reader;
  r.Reset(text, size);

  // The 20 jump lines; a file that ends early leaves the missing entries empty.
  for (int k = 0; k < kIVJumpLines; ++k) {
    auto node = std::make_unique<IVJUMPTABLENODE>();
    r.SkipBlanks(kComments);
    node->m_Label = ReadName(r);
    r.SkipBlanks(kComments);
    std::string rest;
    int c;
    while ((c = r.GetcComment()) != 0 && c != '\n') rest += static_cast<char>(c);
    node->m_Rest = WString(SjisToWide(rest));
    m_JumpTable.Append(node.release());
  }

  // The judge entries, up to the end of the text.
  for (;;) {
    r.SkipSpace(kComments);
    int c = r.GetcComment();
    if (c == 0) break;
    if (c != '#') throw ScriptError2(r.m_Line, u"書式が違います");
    auto entry = std::make_unique<IVJUDGETABLENODE>();
    std::string digits;
    r.ReadDigits(digits, kComments);
    entry->m_Id = DecimalValue(WidenAscii(digits, false));
    r.SkipLine(kComments);

    // The label line.
    r.SkipSpace(kComments);
    entry->m_Label = ReadName(r);
    c = r.GetcComment();
    r.Ungetc(c);
    if (c != '#') r.SkipLine(kComments);

    // Conditions up to the next entry or the end; those beyond the eighth are read and dropped.
    for (;;) {
      r.SkipSpace(kComments);
      c = r.GetcComment();
      r.Ungetc(c);
      if (c == 0 || c == '#') break;
      const int32_t line = r.m_Line;
      IVCONDITION cond;
      cond.m_Left = ReadName(r);
      r.SkipSpace(kComments);
      cond.m_Op = ReadOperator(r);
      r.SkipSpace(kComments);
      cond.m_Right = ReadName(r);
      // Every begin of a run declares both operands as variables: an empty one would make a
      // variable without a name.
      if (cond.m_Left.empty() || cond.m_Right.empty()) throw ScriptError2(line, u"書式が違います");
      c = r.GetcComment();
      r.Ungetc(c);
      if (c != '#') r.SkipLine(kComments);
      if (entry->m_Count < IVJUDGETABLENODE::kMaxConditions) entry->m_Conditions[entry->m_Count++] = std::move(cond);
    }
    m_JudgeTable.Append(entry.release());
  }
}

ScriptStateNode* ScriptStateGroup::DispatchIV(int32_t n) {
  const WString* label = nullptr;
  for (IVJUDGETABLENODE* e = m_JudgeTable.First(); e && !label; e = e->Next()) {
    if (e->m_Id != n) continue;
    bool holds = true;
    for (int i = 0; i < e->m_Count && holds; ++i) {
      const IVCONDITION& cond = e->m_Conditions[i];
      holds = IVConditionHolds(cond.m_Op, EvalOperand(cond.m_Left, 0), EvalOperand(cond.m_Right, 0));
    }
    if (holds) label = &e->m_Label;
  }
  if (!label) {
    IVJUMPTABLENODE* jump = (n >= -kIVJumpLines && n < kIVJumpLines) ? m_JumpTable.At(n) : nullptr;
    if (!jump) throw ScriptError2(0, u"IVG: ジャンプ番号が範囲を超えています。[%d]", n);
    label = &jump->m_Label;
  }
  ScriptStateNode* page = FindLabel(*label);
  if (!page) throw ScriptError2(0, u"ラベルが見つかりません。[%s]", label->c());
  return page;
}

}  // namespace TextScript
