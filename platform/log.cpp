// The log sink: debugger text goes to stderr as UTF-8 unless a sink is installed.
#include "platform/log.h"

#include <cstdio>

#include "platform/utf.h"

namespace platform {
namespace {

std::mutex& SinkMutex() {
  static std::mutex m;
  return m;
}

LogSink& CurrentSink() {
  static LogSink sink;
  return sink;
}

thread_local QuietScope* t_Quiet = nullptr;

}  // namespace

QuietScope::QuietScope() : m_Outer(t_Quiet) {
  t_Quiet = this;
}

QuietScope::~QuietScope() {
  t_Quiet = m_Outer;
  if (m_Noted && m_Outer) m_Outer->m_Noted = true;  // the outer work reported through this one
}

bool QuietScope::Hold() {
  if (!t_Quiet) return false;
  t_Quiet->m_Noted = true;
  return true;
}

void DebugOutput(std::u16string_view text) {
  if (QuietScope::Hold()) return;
  std::lock_guard<std::mutex> lock(SinkMutex());
  if (CurrentSink()) {
    CurrentSink()(text);
    return;
  }
  const std::string utf8 = WideToUtf8(text);
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

LogSink SetLogSink(LogSink sink) {
  std::lock_guard<std::mutex> lock(SinkMutex());
  LogSink previous = std::move(CurrentSink());
  CurrentSink() = std::move(sink);
  return previous;
}

LogCapture::LogCapture() {
  m_Previous = SetLogSink([this](std::u16string_view text) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Lines.emplace_back(text);
  });
}

LogCapture::~LogCapture() {
  SetLogSink(std::move(m_Previous));
}

std::vector<std::u16string> LogCapture::Lines() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Lines;
}

std::u16string LogCapture::Text() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  std::u16string all;
  for (const auto& line : m_Lines) all += line;
  return all;
}

bool LogCapture::Contains(std::u16string_view needle) const {
  return Text().find(needle) != std::u16string::npos;
}

void LogCapture::Clear() {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Lines.clear();
}

}  // namespace platform
