// The script language's two error types and the conversion of either into the error object.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "lib/error.h"

namespace TextScript {

// A numbered error: the number indexes the table of error texts below.
struct ScriptError {
  int32_t m_Line = 0;
  int32_t m_Number = 0;

  ScriptError() = default;
  ScriptError(int32_t line, int32_t number) : m_Line(line), m_Number(number) {}
};

// An error with its own text (at most 1023 characters; longer text is cut).
struct ScriptError2 {
  static constexpr size_t kMessageSize = 1024;

  int32_t m_Line = 0;
  char16_t m_Message[kMessageSize] = {};

  ScriptError2() = default;
  // Stores the line and formats the message with the wide printf rules.
  ScriptError2(int32_t line, const char16_t* format, ...);
};

// Number of entries of the error text table.
constexpr int32_t kScriptErrorTexts = 16;

// The text of error number n ("0004: ラベルが定義されていません", ...); an empty text for a
// number outside the table.
const char16_t* ScriptErrorText(int32_t number);

// Writes "<file>(<line>): <kind> Error: <text>\n" to the debug output and throws the error
// object with the file name, the line, type 0 and the text as message. kind is "Compile" or
// "Runtime". reported marks the error object as shown already (a compile error: that debug
// line is its one report, and start-up adds no lines of its own for it).
[[noreturn]] void RaiseScriptError(const char16_t* kind, const char16_t* fileName, int32_t line, const char16_t* text,
                                   bool reported);

}  // namespace TextScript
