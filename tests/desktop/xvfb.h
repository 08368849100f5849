// A private X server for real-window tests: Xvfb on a random display, the X tools run against
// it, screen read-back through ImageMagick's import, and the fixture that starts the server and
// the SDL backend on it.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/sdl/sdl_backend.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARN_TEST_LSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define VARN_TEST_LSAN 1
#endif
#ifdef VARN_TEST_LSAN
#include <sanitizer/lsan_interface.h>
#endif

namespace xvfbtest {

// The X and D-Bus client libraries keep allocations for the life of the process; a real-window
// test holds one of these from before its backend starts until after it has gone, and the leak
// check is left to the headless tests, which run the same engine code.
struct LeakCheckOff {
#ifdef VARN_TEST_LSAN
  LeakCheckOff() {
    __lsan_disable();
  }
  ~LeakCheckOff() {
    __lsan_enable();
  }
#else
  LeakCheckOff() {}
  ~LeakCheckOff() {}
#endif
};

inline bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; its standard output, and whether it exited with 0.
inline bool Run(const std::string& command, std::string* out = nullptr) {
  FILE* p = popen(command.c_str(), "r");
  if (!p) return false;
  std::string text;
  std::array<char, 512> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) text.append(buf.data(), n);
  const int status = pclose(p);
  if (out) *out = text;
  return status == 0;
}

class Server {
 public:
  // Starts Xvfb; on failure Error() says why and the test skips.
  Server() {
    for (const char* tool : {"Xvfb", "xdotool", "import", "xdpyinfo"}) {
      if (!HaveTool(tool)) {
        m_Error = std::string(tool) + " is not installed";
        return;
      }
    }
    std::mt19937 rng(std::random_device{}());
    for (int attempt = 0; attempt < 5 && m_Pid <= 0; ++attempt) {
      const int number = 200 + int(rng() % 3000);
      if (std::ifstream("/tmp/.X" + std::to_string(number) + "-lock")) continue;
      m_Display = ":" + std::to_string(number);
      const pid_t pid = fork();
      if (pid == 0) {
        const int devnull = ::open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
          dup2(devnull, 1);
          dup2(devnull, 2);
        }
        execlp("Xvfb", "Xvfb", m_Display.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-ac",
               static_cast<char*>(nullptr));
        _exit(127);
      }
      if (pid < 0) break;
      // Ready when xdpyinfo answers; a bounded poll.
      bool ready = false;
      for (int i = 0; i < 100 && !ready; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) break;  // died: try another number
        ready = Run("xdpyinfo -display " + m_Display + " >/dev/null 2>&1");
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      if (ready) {
        m_Pid = pid;
      } else {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
      }
    }
    if (m_Pid <= 0) {
      m_Error = "Xvfb did not start";
      return;
    }
    setenv("DISPLAY", m_Display.c_str(), 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    // SDL's own software renderer: the same pixels on every machine, and no GL driver that
    // is loaded and unloaded behind the test's back.
    setenv("SDL_RENDER_DRIVER", "software", 1);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
  }

  ~Server() {
    if (m_Pid > 0) {
      kill(m_Pid, SIGTERM);
      waitpid(m_Pid, nullptr, 0);
    }
  }

  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  const std::string& Error() const { return m_Error; }
  bool Ok() const { return m_Pid > 0; }
  const std::string& Display() const { return m_Display; }

  // xdotool against this display.
  bool Tool(const std::string& args, std::string* out = nullptr) const {
    return Run("timeout 10 xdotool " + args + " 2>/dev/null", out);
  }

  // The window with this name, waited for with --sync (bounded by timeout); 0 when none.
  unsigned long FindWindow(const std::string& name) const {
    std::string out;
    if (!Tool("search --sync --name '" + name + "'", &out)) return 0;
    return std::strtoul(out.c_str(), nullptr, 10);
  }

  // The window with exactly this name as xwininfo sees it right now (SDL's own message box
  // windows are not found by xdotool's search); 0 when there is none.
  unsigned long FindWindowNow(const std::string& name) const {
    std::string out;
    if (!Run("xwininfo -display " + m_Display + " -name '" + name + "' 2>/dev/null", &out)) return 0;
    const size_t at = out.find("Window id: ");
    return at == std::string::npos ? 0 : std::strtoul(out.c_str() + at + 11, nullptr, 16);
  }

  // The window's width and height as xdotool reads them (a menu strip included); false when they
  // cannot be read. The tool's own text goes to *text, for a failure message.
  bool WindowSize(unsigned long window, int& width, int& height, std::string* text = nullptr) const {
    std::string out;
    const bool ran = Tool("getwindowgeometry " + std::to_string(window), &out);
    if (text) *text = out;
    const size_t at = out.find("Geometry: ");
    return ran && at != std::string::npos && std::sscanf(out.c_str() + at, "Geometry: %dx%d", &width, &height) == 2;
  }

  // The window's pixels as rows of R, G, B; empty on failure.
  std::vector<uint8_t> Capture(unsigned long window, int width, int height) const {
    char path[] = "/tmp/varn-xvfb-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    std::vector<uint8_t> pixels;
    if (Run("timeout 10 import -display " + m_Display + " -window " + std::to_string(window) + " -depth 8 rgb:" + path +
            " 2>/dev/null")) {
      std::ifstream in(path, std::ios::binary);
      pixels.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::remove(path);
    if (pixels.size() != size_t(width) * size_t(height) * 3) pixels.clear();
    return pixels;
  }

 private:
  std::string m_Display;
  std::string m_Error;
  pid_t m_Pid = -1;
};

// With VARN_XVFB_DUMP set to a folder, captures are kept there as PPM files for a look.
inline void Dump(const std::string& name, const std::vector<uint8_t>& pixels, int width, int height) {
  const char* dir = std::getenv("VARN_XVFB_DUMP");
  if (!dir || pixels.empty()) return;
  std::ofstream out(std::string(dir) + "/" + name + ".ppm", std::ios::binary);
  out << "P6\n" << width << " " << height << "\n255\n";
  out.write(reinterpret_cast<const char*>(pixels.data()), std::streamsize(pixels.size()));
}

struct Rgb {
  int r, g, b;
};

inline Rgb At(const std::vector<uint8_t>& pixels, int width, int x, int y) {
  const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
  return Rgb{pixels[i], pixels[i + 1], pixels[i + 2]};
}

inline bool Near(Rgb c, int r, int g, int b, int tol = 24) {
  return std::abs(c.r - r) < tol && std::abs(c.g - g) < tol && std::abs(c.b - b) < tol;
}

// Pumps the window until `done` holds or the time is up; collects every event.
template <typename Pred>
bool PumpUntil(platform::Window& w, std::vector<platform::Event>& events, Pred done, int ms = 15000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    platform::Event e;
    while (w.PollEvent(e)) events.push_back(e);
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// A real-window test: a private Xvfb (x) and the SDL backend on it, installed (b), without
// audio. The test is skipped with the reason where either cannot start.
class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x.Ok()) GTEST_SKIP() << "real-window test skipped: " << x.Error();
    platform::sdl::Options options;
    options.audioSampleRate = 0;
    b = platform::sdl::CreateBackend(options);
    if (!b) GTEST_SKIP() << "real-window test skipped: SDL could not open the X display";
    b->Install();
  }

  Server x;
  std::unique_ptr<platform::Backend> b;  // goes before the server
};

}  // namespace xvfbtest
