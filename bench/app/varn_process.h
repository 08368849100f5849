// The game's executable as the real-window benchmarks start it: forked with a private home and
// runtime folder, its processor time and peak resident size read from /proc, and one xdotool
// that takes its commands from a pipe, so that a click costs no process start.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

namespace xvfbbench {

// A size from a process's status ("self" for this one) in kB: "VmHWM" its peak resident set,
// "RssAnon" and "RssFile" what it holds now of its own and of mapped files; 0 when unknown.
inline long StatusKb(const std::string& pid, const std::string& field) {
  std::ifstream in("/proc/" + pid + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return 0;
}
inline long PeakRssKb(const std::string& pid = "self") {
  return StatusKb(pid, "VmHWM");
}

#ifdef VARN_BINARY_DIR
// build/bin/varn, forked with HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR in a folder of its own
// and its error output dropped; ended with SIGTERM, then SIGKILL, and its folder removed. For the
// programs that know the build folder (VARN_BINARY_DIR).
struct VarnProcess {
  pid_t pid = -1;
  std::filesystem::path home;

  explicit VarnProcess(const std::string& tag) {
    namespace fs = std::filesystem;
    home = fs::temp_directory_path() / ("varn-bench-" + std::to_string(getpid()) + tag);
    fs::remove_all(home);
    fs::create_directories(home / "run");
    fs::permissions(home / "run", fs::perms::owner_all);
    const std::string program = std::string(VARN_BINARY_DIR) + "/bin/varn";
    pid = fork();
    if (pid == 0) {
      setenv("HOME", home.c_str(), 1);
      setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
      setenv("XDG_RUNTIME_DIR", (home / "run").c_str(), 1);
      unsetenv("VARN_BACKEND");
      const int devnull = ::open("/dev/null", O_WRONLY);
      if (devnull >= 0) dup2(devnull, 2);
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  VarnProcess(const VarnProcess&) = delete;
  VarnProcess& operator=(const VarnProcess&) = delete;
  ~VarnProcess() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      int status = 0;
      for (int i = 0; i < 100 && waitpid(pid, &status, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    std::filesystem::remove_all(home);
  }
  bool Running() const { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }
  // utime + stime in clock ticks.
  long CpuTicks() const {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), {});
    const size_t close = all.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream rest(all.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
      if (i == 14) utime = std::stol(field);
      if (i == 15) stime = std::stol(field);
    }
    return utime + stime;
  }
  long PeakRssKb() const { return xvfbbench::PeakRssKb(std::to_string(pid)); }
  long StatusKb(const std::string& field) const { return xvfbbench::StatusKb(std::to_string(pid), field); }
};
#endif

// One xdotool that reads its commands from a pipe.
class ClickPipe {
 public:
  ClickPipe() : m_Pipe(popen("xdotool - >/dev/null 2>&1", "w")) {}
  ~ClickPipe() {
    if (m_Pipe) pclose(m_Pipe);
  }
  ClickPipe(const ClickPipe&) = delete;
  ClickPipe& operator=(const ClickPipe&) = delete;
  bool Ok() const { return m_Pipe != nullptr; }
  void Send(const std::string& command) {
    std::fputs(command.c_str(), m_Pipe);
    std::fputc('\n', m_Pipe);
    std::fflush(m_Pipe);
  }

 private:
  FILE* m_Pipe;
};

}  // namespace xvfbbench
