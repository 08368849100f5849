// The runtime assertion report: expression, source and line are reported, then the caller goes on.
#pragma once

#include <functional>

namespace platform {

struct AssertionReport {
  const char* expression;
  const char* source;
  int line;
};

using AssertHook = std::function<void(const AssertionReport&)>;

// Reports a failed check. The default hook writes
// "Assertion failed: <expression>, file <source>, line <line>" to the log; the call
// always returns, so the code that asserted continues (report-and-continue).
void ReportAssertion(const char* expression, const char* source, int line);

// Installs a hook (tests count reports); an empty hook restores the default. Returns the previous.
AssertHook SetAssertHook(AssertHook hook);

}  // namespace platform
