// The runtime assertion report (report and continue).
#include "platform/assert.h"

#include <mutex>
#include <string>

#include "platform/log.h"
#include "platform/utf.h"

namespace platform {
namespace {
std::mutex& HookMutex() {
  static std::mutex m;
  return m;
}
AssertHook& CurrentHook() {
  static AssertHook hook;
  return hook;
}
}  // namespace

void ReportAssertion(const char* expression, const char* source, int line) {
  AssertHook hook;
  {
    std::lock_guard<std::mutex> lock(HookMutex());
    hook = CurrentHook();
  }
  const AssertionReport report{expression ? expression : "", source ? source : "", line};
  if (hook) {
    hook(report);
    return;
  }
  std::string text = "Assertion failed: ";
  text += report.expression;
  text += ", file ";
  text += report.source;
  text += ", line ";
  text += std::to_string(line);
  text += "\n";
  DebugOutput(Utf8ToWide(text));
}

AssertHook SetAssertHook(AssertHook hook) {
  std::lock_guard<std::mutex> lock(HookMutex());
  AssertHook previous = std::move(CurrentHook());
  CurrentHook() = std::move(hook);
  return previous;
}

}  // namespace platform
