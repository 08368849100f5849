// The whole program started in-process on the headless backend: a private folder tree with the
// sample game's archives under "data/", a host that hands out the backend and wires it, message
// boxes answered by the test, and a per-frame hook that drives the game.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/frame/framestep.h"
#include "app/startup.h"
#include "backends/wiring.h"
#include "platform/headless/headless.h"
#include "platform/log.h"
#include "platform/menu.h"
#include "platform/msgbox.h"
#include "platform/utf.h"
#include "script/layout.h"
#include "script/scenario.h"
#include "script/scene.h"

namespace starttest {

namespace fs = std::filesystem;

// What a box asked, and what the game looked like when it came up.
struct ShownBox {
  platform::MessageBoxRequest request;
  bool inRun = false;  // a scenario ran (its title or its statements)
  std::map<uint32_t, bool> enabled;
  std::vector<std::u16string> menus;  // the top-level labels
};

class AnsweringBoxes : public platform::MessageBoxService {
 public:
  platform::MsgResult Show(const platform::MessageBoxRequest& request) override {
    ShownBox box{request, g_pCurrentGroup != nullptr, {}, {}};
    if (menu && *menu) {
      for (uint32_t id : {40003u, 40010u, 40011u, 40027u, 40028u, 40029u}) box.enabled[id] = (*menu)->IsEnabled(id);
      for (const platform::MenuItem& item : (*menu)->Top()) box.menus.push_back(item.label);
    }
    shown.push_back(box);
    if (!answers.empty()) {
      const platform::MsgResult r = answers.front();
      answers.erase(answers.begin());
      return r;
    }
    return platform::DefaultAnswer(request);
  }
  std::vector<ShownBox> shown;
  std::vector<platform::MsgResult> answers;
  platform::Menu** menu = nullptr;
};

class TestHost : public StartupHost {
 public:
  TestHost() : backend(platform::headless::CreateBackend()) {
    name = u"VARN-test-" + platform::Utf8ToWide(std::to_string(getpid()));
  }
  std::u16string InstanceName() override { return name; }
  platform::Backend* OpenBackend() override { return noBackend ? nullptr : backend.get(); }
  std::unique_ptr<Wiring> Wire(platform::Backend& b, const SoundConfig* sound, float repeat) override {
    backends::WiringOptions options;
    options.sound = sound;
    options.repeatInterval = repeat;
    auto wiring = backends::WireBackend(b, options);
    if (!wiring) return nullptr;
    struct Held : Wiring {
      std::unique_ptr<backends::EngineWiring> w;
    };
    auto held = std::make_unique<Held>();
    held->w = std::move(wiring);
    return held;
  }

  std::unique_ptr<platform::headless::HeadlessBackend> backend;
  std::u16string name;
  bool noBackend = false;
};

struct StartRig {
  StartRig() {
    m_Cwd = fs::current_path();
    static int rigs = 0;
    root = fs::temp_directory_path() / ("varn-start-" + std::to_string(getpid()) + "-" + std::to_string(++rigs));
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    fs::create_directories(root / "data");
    for (const char* name : {"system.pux", "script.pux", "sound.pux"})
      fs::copy_file(fs::path(VARN_BINARY_DIR) / "data" / name, root / "data" / name);
    host.backend->hfolders->SetRoot(platform::Utf8ToWide(root.string()));
    auto boxesOwned = std::make_unique<AnsweringBoxes>();
    boxes = boxesOwned.get();
    boxes->menu = &m_Menu;
    host.backend->messageBoxes = std::move(boxesOwned);
    window = host.backend->hwindow;
    input = host.backend->hinput;
    window->SetCursor(platform::Point{400, 300});
    window->SetOnIdle([this] {
      m_Menu = window->GetMenu();
      ++frames;
      if (onFrame) onFrame(frames);
      // A game that never ends ends the test instead of hanging it.
      if (frames == kMaxFrames) Close(platform::MsgResult::Yes);
    });
  }
  StartRig(const StartRig&) = delete;
  StartRig& operator=(const StartRig&) = delete;
  ~StartRig() {
    fs::current_path(m_Cwd);
    fs::remove_all(root);
  }

  // The program with these arguments after its path.
  int Start(const std::string& args = "") {
    const std::string line = "\"" + (root / "bin" / "varn").string() + "\" " + args;
    return WinMain(host, platform::Utf8ToWide(line));
  }
  // A close request; the close question gets this answer.
  void Close(platform::MsgResult answer) {
    boxes->answers.push_back(answer);
    platform::Event e;
    e.type = platform::EventType::CloseRequest;
    window->PostEvent(e);
  }
  void Command(uint32_t id) {
    platform::Event e;
    e.type = platform::EventType::Command;
    e.command = id;
    window->PostEvent(e);
  }
  fs::path SaveFolder() const { return root / "Documents" / "quillbrook" / "varn_trial"; }
  std::string Ini() const {
    std::ifstream in(SaveFolder() / "varn.ini", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void WriteIni(const std::string& text) {
    fs::create_directories(SaveFolder());
    std::ofstream(SaveFolder() / "varn.ini", std::ios::binary) << text;
  }
  // The title waits: a run is on and no scene is built yet.
  static bool AtTitle() { return g_pCurrentGroup && !g_SceneRoot; }
  // The middle of the title's new-game button, the second of its column.
  static platform::Point NewGameButton() { return platform::Point{g_TitleMenuPos.x + 124, g_TitleMenuPos.y + 48 + 20}; }
  // One frame of a click at p, step counting its frames: at 0 the cursor goes there, at 5 the left
  // button is tapped, so the screen has seen the cursor over its button first.
  void ClickAt(platform::Point p, int step) {
    if (step == 0) window->MoveCursor(p);
    if (step == 5) input->TapButton(0);
  }
  // Call once a frame: at the title, after its fade-in, clicks the new-game button (again every
  // 30 frames while the title stays).
  void ClickNewGame() {
    titleFrames = AtTitle() ? titleFrames + 1 : 0;
    if (titleFrames >= 20) ClickAt(NewGameButton(), (titleFrames - 20) % 30);
  }

  static constexpr int kMaxFrames = 20000;
  fs::path root;
  TestHost host;
  AnsweringBoxes* boxes = nullptr;
  platform::headless::HeadlessWindow* window = nullptr;
  platform::headless::HeadlessInput* input = nullptr;
  std::function<void(int)> onFrame;
  int frames = 0;
  int titleFrames = 0;  // frames at the title so far, counted by ClickNewGame
  platform::LogCapture log;

 private:
  fs::path m_Cwd;
  platform::Menu* m_Menu = nullptr;
};

class StartTest : public ::testing::Test, public StartRig {};

}  // namespace starttest
