// Shared helpers of the script language tests: Shift-JIS scripts, compiling, dumping, frames.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lib/act.h"
#include "lib/sjis.h"
#include "lib/utility.h"
#include "textscript/filehist.h"
#include "textscript/scriptframe.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

namespace scripttest {

// Shift-JIS bytes of a UTF-8 literal's text.
inline std::string Sj(std::u16string_view text) {
  return WideToSjis(text);
}

inline std::string U8(std::u16string_view text) {
  return WString(text).ToUtf8();
}

// One statement as "type:op:line:page:arg0|arg1|...", op 0 for none.
inline std::string DumpNode(const TextScript::ScriptStateNode& n) {
  std::string s = std::to_string(n.m_Type) + ":" + (n.m_Op ? std::string(1, static_cast<char>(n.m_Op)) : "0") + ":" +
                  std::to_string(n.m_Line) + ":" + std::to_string(n.m_Page) + ":";
  for (int i = 0; i < n.ArgCount(); ++i) s += (i ? "|" : "") + U8(n.Arg(i));
  return s;
}

inline std::vector<std::string> Dump(const TextScript::ScriptStateGroup& g) {
  std::vector<std::string> out;
  for (const TextScript::ScriptStateNode* n = g.First(); n; n = n->Next()) out.push_back(DumpNode(*n));
  return out;
}

// A frame step driven by the test: counts frames, holds a scripted input word and can raise
// a ScriptException on a chosen frame.
class TestFrameStep final : public TextScript::IFrameStep {
 public:
  TestFrameStep() : m_pPrevious(TextScript::SetFrameStep(this)) {}
  ~TestFrameStep() override { TextScript::SetFrameStep(m_pPrevious); }

  void WaitFrame() override {
    ++m_Frames;
    if (m_OnFrame) m_OnFrame(m_Frames);
    if (m_ThrowOnFrame == m_Frames) throw ScriptException{m_ThrowCode};
  }
  uint32_t HeldInput() const override { return m_Held; }

  int m_Frames = 0;
  uint32_t m_Held = 0;
  int m_ThrowOnFrame = -1;
  int32_t m_ThrowCode = 0;
  std::function<void(int)> m_OnFrame;

 private:
  TextScript::IFrameStep* m_pPrevious;
};

// Empty variable tables and histories, the first page, and no scene replay.
inline void ClearScriptState() {
  g_Variables.Clear();
  g_SavedVariables.Clear();
  TextScript::g_ScriptHistory.Clear();
  TextScript::g_ImageHistory.Clear();
  TextScript::g_CurrentPage = 0;
  g_SceneReplayMode = false;
}

// Every test starts from empty tables and histories, a fresh generator and free tasks.
class ScriptTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    TextScript::RegisterScriptGlobals();
    ClearScriptState();
    ResetSafeRand();
    ResetACTRecords();
    InitACT();
  }

  // Compiles the UTF-16 text as Shift-JIS; the group stays alive for the test.
  TextScript::ScriptStateGroup& Compile(std::u16string_view text, std::u16string_view name = u"test.txt") {
    m_Source = Sj(text);
    m_pGroup = std::make_unique<TextScript::ScriptStateGroup>();
    m_pGroup->Compile(m_Source.data(), m_Source.size(), name);
    return *m_pGroup;
  }
  TextScript::ScriptStateGroup& CompileWithIV(std::u16string_view text, std::u16string_view iv) {
    m_Source = Sj(text);
    m_IV = Sj(iv);
    m_pGroup = std::make_unique<TextScript::ScriptStateGroup>();
    m_pGroup->ReadIVTables(m_IV.data(), m_IV.size());
    m_pGroup->Compile(m_Source.data(), m_Source.size(), u"test.txt");
    return *m_pGroup;
  }

  static int32_t Var(std::u16string_view name) {
    const ScriptVariable* v = g_Variables.Find(ScriptVariable::kInteger, name);
    return v ? v->m_Value : INT32_MIN;
  }

  std::string m_Source;
  std::string m_IV;
  std::unique_ptr<TextScript::ScriptStateGroup> m_pGroup;
};

}  // namespace scripttest
