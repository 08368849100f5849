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

void DebugPrintfV(const char16_t* format, va_list args) {
  char16_t buffer[128];
  CopyWideTruncated(buffer, 128, FormatWideV(format, args));
  platform::DebugOutput(buffer);
}

void DebugPrintf(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  DebugPrintfV(format, args);
  va_end(args);
}
