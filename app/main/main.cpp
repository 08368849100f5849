// The game's entry point: the backend chosen for a player (VARN_BACKEND overrides) and wired to
// the engine, then the program's start-up with the command line.
#include <memory>
#include <string>
#include <string_view>

#include "app/startup.h"
#include "backends/backend_table.h"
#include "backends/wiring.h"
#include "platform/folders.h"
#include "platform/memory.h"
#include "platform/utf.h"

namespace {

// The backend a player gets unless VARN_BACKEND names another.
constexpr std::string_view kPlayerBackend = "sdl";

class PlayerHost : public StartupHost {
 public:
  platform::Backend* OpenBackend() override {
    if (!m_Backend) {
      m_Backend = backends::CreateChosenBackend(kPlayerBackend);
      // After the backend: its video start-up installs a termination handler of its own that
      // would turn a log-out into the close question nobody is there to answer.
      InstallTerminateHandler();
    }
    return m_Backend.get();
  }

  std::unique_ptr<Wiring> Wire(platform::Backend& backend, const SoundConfig* sound, float repeatInterval) override {
    backends::WiringOptions options;
    options.sound = sound;
    options.repeatInterval = repeatInterval;
    auto wiring = backends::WireBackend(backend, options);
    if (!wiring) return nullptr;
    return std::make_unique<Connection>(std::move(wiring));
  }

 private:
  struct Connection : Wiring {
    explicit Connection(std::unique_ptr<backends::EngineWiring> w) : wiring(std::move(w)) {}
    std::unique_ptr<backends::EngineWiring> wiring;
  };
  std::unique_ptr<platform::Backend> m_Backend;
};

// One argument as the command-line tokenizer reads it back.
std::u16string Quote(const std::u16string& arg) {
  if (!arg.empty() && arg.find_first_of(u" \t\"") == std::u16string::npos) return arg;
  std::u16string out = u"\"";
  for (char16_t c : arg) {
    if (c == u'"')
      out += u"\"\\\"\"";
    else
      out += c;
  }
  return out + u"\"";
}

}  // namespace

int main(int argc, char** argv) {
  backends::PrepareChosenBackend(kPlayerBackend);
  platform::ReturnLargeBlocksAtOnce();
  // The program's own path comes first, as the folder the game data is looked for from.
  std::u16string line = Quote(platform::CreateHostFolderService()->ProgramFolder() + u"varn");
  for (int i = 1; i < argc; ++i) line += u" " + Quote(platform::Utf8ToWide(argv[i]));
  int code;
  {
    PlayerHost host;
    code = WinMain(host, line);
  }
  return code;
}
