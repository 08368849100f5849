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
