// The error object thrown by value through the whole program, and the debugger output.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "lib/wstring.h"

// A fixed-size value with no heap members: source file (or script file), line, a
// pointer-sized free word shown as "Ptr", the formatted message and a type code.
// Type 1 means quit (the user closed the game) and is reported by nobody. After those five fields
// a mark says that the thrower has already written the error to the debugger output with its
// place, so that a later reporter leaves out its own lines for it; the five keep their meaning.
template <typename CharT>
struct ExceptionHandleT {
  static constexpr size_t kTextSize = 256;

  CharT m_Source[kTextSize] = {};
  int32_t m_Line = 0;
  uintptr_t m_Ptr = 0;
  CharT m_Message[kTextSize] = {};
  int32_t m_Type = 0;
  bool m_Reported = false;

  // Copies the source name (cut to 255 units) and stores the line; chains.
  ExceptionHandleT& SetLocation(const CharT* file, int line) {
    CopyWideTruncated(m_Source, kTextSize,
                      file ? std::basic_string_view<CharT>(file) : std::basic_string_view<CharT>());
    m_Line = line;
    return *this;
  }

  // Stores type and pointer word, formats the message (cut to 255 units), then copies
  // the whole object into out, the value the caller throws. A newly formatted error has not
  // been reported yet.
  void Format(ExceptionHandleT& out, int type, uintptr_t ptr, const CharT* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(out, type, ptr, format, args);
    va_end(args);
  }
  void FormatV(ExceptionHandleT& out, int type, uintptr_t ptr, const CharT* format, va_list args) {
    m_Type = type;
    m_Ptr = ptr;
    m_Reported = false;
    CopyWideTruncated(m_Message, kTextSize, FormatWideV(format, args));
    out = *this;
  }

  bool IsQuit() const { return m_Type == 1; }
  // Set by a thrower whose own debug line already named the error's file, line and text.
  void MarkReported() { m_Reported = true; }
  bool IsReported() const { return m_Reported; }
};

using ExceptionHandle = ExceptionHandleT<char16_t>;

// SetLocation + Format + throw, the last three steps of every thrower.
[[noreturn]] void ThrowException(const char16_t* source, int line, int type, uintptr_t ptr, const char16_t* format,
                                 ...);

// Formats a wide printf-style line and writes it to the debugger output in pieces of at most
// 127 characters (the 128-unit buffer of the log): a longer line goes out over several lines,
// each piece but the last ending in a line break, with no character lost. The system's only log.
void DebugPrintf(const char16_t* format, ...);
void DebugPrintfV(const char16_t* format, va_list args);
