// Tests of the variable tables: hashing, case-blind names, order, operands and the snapshot.
#include <algorithm>

#include "lib/globals.h"
#include "script_fixture.h"

namespace {

using scripttest::ScriptTest;
using scripttest::U8;

class Variables : public ScriptTest {};

std::vector<std::string> Names(const VariableTable& t) {
  std::vector<std::string> out;
  for (const auto& [hash, v] : t) out.push_back(U8(v->m_Name));
  return out;
}

TEST_F(Variables, HashFollowsTheUpperCasedLittleEndianBytes) {
  EXPECT_EQ(HashVariableName(u"ABC"), static_cast<uint32_t>('A') * 0x12345678u);
  EXPECT_EQ(HashVariableName(u"abc"), HashVariableName(u"A1"));
  EXPECT_EQ(HashVariableName(u""), 0u);
  // "あ" is U+3042: bytes 0x42, 0x30, then the zero byte of the next unit's high half.
  const uint32_t h1 = 0x42u * 0x12345678u;
  const uint32_t h2 = ((h1 << 1) | (h1 >> 31)) + 0x30u * 0x12345678u;
  const uint32_t h3 = ((h2 << 1) | (h2 >> 31)) + 0x41u * 0x12345678u;  // 'A' of "あA", then its 0 byte
  EXPECT_EQ(HashVariableName(u"あ"), h2);
  EXPECT_EQ(HashVariableName(u"あa"), h3);
}

TEST_F(Variables, CaseBlindNamesAndSharedHashes) {
  g_Variables.Set(u"ABC", 1);
  g_Variables.Set(u"abc", 2);
  EXPECT_EQ(g_Variables.Count(), 1u);
  EXPECT_EQ(U8(g_Variables.Find(ScriptVariable::kInteger, u"Abc")->m_Name), "ABC") << "the name as first given";
  g_Variables.Set(u"A1", 3);
  g_Variables.Set(u"A2", 4);
  EXPECT_EQ(Var(u"A1"), 3);
  EXPECT_EQ(Var(u"A2"), 4);
  EXPECT_EQ(Var(u"ABC"), 2);
  EXPECT_EQ(g_Variables.Find(ScriptVariable::kString, u"A1"), nullptr) << "the type is part of the lookup";
}

TEST_F(Variables, OrderIsByHashThenInsertion) {
  for (const char16_t* n : {u"B2", u"A9", u"C", u"B1", u"A1"}) g_Variables.Set(n, 0);
  EXPECT_EQ(Names(g_Variables), (std::vector<std::string>{"A9", "A1", "B2", "B1", "C"}));
  SnapshotVariables();
  EXPECT_EQ(Names(g_SavedVariables), Names(g_Variables));
}

TEST_F(Variables, DeclareAndOperands) {
  DeclareVariable(u"1X", 0);
  EXPECT_TRUE(g_Variables.IsEmpty()) << "a name that begins with a digit is never declared";
  g_Variables.Set(u"N", 5);
  DeclareVariable(u"n", 0);
  EXPECT_EQ(Var(u"N"), 5);
  DeclareVariable(u"M", 0);
  EXPECT_EQ(Var(u"M"), 0);

  EXPECT_EQ(EvalOperand(u"42", -1), 42);
  EXPECT_EQ(EvalOperand(u"n", -1), 5);
  EXPECT_EQ(EvalOperand(u"NONE", -7), -7);
  g_Variables.Set(u"12", 99);
  EXPECT_EQ(EvalOperand(u"12", -1), 12) << "digits never look at the table";
  EXPECT_EQ(DecimalValue(u"12x"), 192) << "characters after the first are not checked";
  EXPECT_EQ(DecimalValue(u"4294967296"), 0) << "wraps as unsigned 32-bit arithmetic";
}

TEST_F(Variables, SnapshotOwnsItsStringsAndClears) {
  SnapshotVariables();
  EXPECT_TRUE(g_SavedVariables.IsEmpty());

  VariablePtr s = NewVariable();
  s->m_Type = ScriptVariable::kString;
  s->m_Name = WString(u"NAME");
  s->m_Hash = HashVariableName(u"NAME");
  s->m_pString = std::make_unique<WString>(u"太郎");
  g_Variables.Insert(std::move(s));
  g_Variables.Set(u"I", 3);
  SnapshotVariables();
  g_Variables.Clear();
  const ScriptVariable* saved = g_SavedVariables.Find(ScriptVariable::kString, u"name");
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(U8(*saved->m_pString), "太郎");
  EXPECT_EQ(g_SavedVariables.Find(ScriptVariable::kInteger, u"I")->m_Value, 3);
  ClearSavedVariables();
  EXPECT_TRUE(g_SavedVariables.IsEmpty());
}

}  // namespace

namespace {

TEST(ScriptGlobals, StartInOrderAndStopEmptiesTables) {
  TextScript::RegisterScriptGlobals();
  StopGlobals();
  StartGlobals();
  const std::vector<std::string> started = StartedGlobals();
  auto pos = [&](const char* name) { return std::find(started.begin(), started.end(), name) - started.begin(); };
  EXPECT_LT(pos("image history"), pos("script history"));
  EXPECT_LT(pos("script history"), pos("expression-node pool"));
  EXPECT_LT(pos("variable pool"), pos("live variables"));
  EXPECT_LT(pos("live variables"), pos("snapshot variables"));
  EXPECT_LT(pos("snapshot variables"), static_cast<std::ptrdiff_t>(started.size()));
  g_Variables.Set(u"A", 1);
  SnapshotVariables();
  TextScript::g_ScriptHistory.Add(u"X");
  StopGlobals();
  EXPECT_TRUE(g_Variables.IsEmpty());
  EXPECT_TRUE(g_SavedVariables.IsEmpty());
  EXPECT_EQ(TextScript::g_ScriptHistory.Count(), 0);
}

}  // namespace
