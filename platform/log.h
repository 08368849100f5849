// The log sink behind the debugger output: stderr by default, replaceable (tests capture it).
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using LogSink = std::function<void(std::u16string_view)>;

// Writes one piece of debugger text (the text carries its own line end, if any).
void DebugOutput(std::u16string_view text);

// Installs a sink and returns the previous one; an empty sink restores stderr.
LogSink SetLogSink(LogSink sink);

// While one lives on a thread, that thread's log lines and message boxes are held back and only
// noted (a box takes its default answer). Work done on a worker ahead of its turn runs in one:
// when it noted anything, the work is done again in its turn, where each box and line is seen
// once and in its place.
class QuietScope {
 public:
  QuietScope();
  ~QuietScope();
  QuietScope(const QuietScope&) = delete;
  QuietScope& operator=(const QuietScope&) = delete;

  bool Noted() const { return m_Noted; }
  // Notes a report in the calling thread's scope: true when one lives there and held it back.
  static bool Hold();

 private:
  QuietScope* m_Outer;
  bool m_Noted = false;
};

// Collects every line written while it lives; restores the previous sink after.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::u16string> Lines() const;
  std::u16string Text() const;  // everything, joined
  bool Contains(std::u16string_view needle) const;
  void Clear();

 private:
  mutable std::mutex m_Mutex;
  std::vector<std::u16string> m_Lines;
  LogSink m_Previous;
};

}  // namespace platform
