// The error object's thrower helper and the debugger output.
#include "lib/error.h"

#include "platform/log.h"

void ThrowException(const char16_t* source, int line, int type, uintptr_t ptr, const char16_t* format, ...) {
  ExceptionHandle e;
  ExceptionHandle out;
  va_list args;
  va_start(args, format);
  e.SetLocation(source, line).FormatV(out, type, ptr, format, args);
  va_end(args);
  throw out;
}

namespace {

constexpr size_t kLogLineSize = 128;  // units of one piece of log text, the terminator included

bool IsHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

void DebugPrintfV(const char16_t* format, va_list args) {
  const std::u16string text = FormatWideV(format, args);
  constexpr size_t kKept = kLogLineSize - 1;
  std::u16string_view rest(text);
  char16_t buffer[kLogLineSize];
  while (!rest.empty()) {
    size_t n = rest.size();
    bool breakAdded = false;
    if (n > kKept) {
      // A line break within the piece ends it there; otherwise the piece is cut one short of
      // the buffer and given a break of its own, never between the halves of a surrogate pair.
      const size_t lineEnd = rest.substr(0, kKept).find(u'\n');
      if (lineEnd != std::u16string_view::npos) {
        n = lineEnd + 1;
      } else {
        n = kKept - 1;
        if (IsHighSurrogate(rest[n - 1])) --n;
        breakAdded = true;
      }
    }
    rest.substr(0, n).copy(buffer, n);
    if (breakAdded) buffer[n++] = u'\n';
    platform::DebugOutput(std::u16string_view(buffer, n));
    rest.remove_prefix(breakAdded ? n - 1 : n);
  }
}

void DebugPrintf(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  DebugPrintfV(format, args);
  va_end(args);
}
