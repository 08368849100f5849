// Fuzz target: compiles any bytes as a script; it must give statements or the error object.
#include <cstddef>
#include <cstdint>

#include "lib/error.h"
#include "platform/log.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready =
      (TextScript::RegisterScriptGlobals(), platform::SetLogSink([](std::u16string_view) {}), true);
  (void)ready;
  {
    TextScript::ScriptStateGroup group;
    try {
      group.Compile(data, size, u"fuzz.txt");
      // Every statement is reachable and its arguments readable.
      for (const TextScript::ScriptStateNode* n = group.First(); n; n = n->Next())
        for (int i = 0; i < n->ArgCount(); ++i) (void)n->Arg(i).size();
      if (!group.Last() || group.Last()->m_Type != TextScript::STMT_RETURN) __builtin_trap();
    } catch (const ExceptionHandle& e) {
      if (e.m_Message[0] == 0) __builtin_trap();
    }
  }
  g_Variables.Clear();
  return 0;
}
