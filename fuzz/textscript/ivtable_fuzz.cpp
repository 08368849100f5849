// Fuzz target: reads any bytes as "iv.txt", then dispatches a few numbers through the tables.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "lib/error.h"
#include "platform/log.h"
#include "textscript/filehist.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready =
      (TextScript::RegisterScriptGlobals(), platform::SetLogSink([](std::u16string_view) {}), true);
  (void)ready;
  {
    TextScript::ScriptStateGroup group;
    static const char kScript[] = "\n.LAB A\n.DOF\n\n.LAB B\n";
    group.Compile(kScript, std::strlen(kScript), u"fuzz.txt");
    try {
      group.ReadIVTables(data, size);
    } catch (const TextScript::ScriptError2&) {
    }
    if (group.m_JumpTable.Count() != TextScript::kIVJumpLines) __builtin_trap();
    group.OnBegin();
    for (int32_t n : {-21, -1, 0, 1, 3, 19, 20}) {
      try {
        group.DispatchIV(n);
      } catch (const TextScript::ScriptError2&) {
      }
    }
  }
  g_Variables.Clear();
  TextScript::g_ScriptHistory.Clear();
  return 0;
}
