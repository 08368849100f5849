// Statement dispatch by code: a table of command handlers with one slot per statement code.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace TextScript {

class ScriptStateNode;

// Both executors dispatch through such a table. The language's own commands fill the base
// node's table (CoreCommands); the game's node keeps a table of its own, typed on its node
// class, filled at start-up by one explicit registration call per command area, and its
// Execute override hands the node to ScriptStateNode::Dispatch, which runs the area's handler
// or, for a code no area claimed, the language's command.
template <typename Node>
class CommandTable {
 public:
  static constexpr size_t kCodes = 256;  // a statement code is one byte
  // Runs one statement; returns the statement to run next (null ends the run).
  using Handler = ScriptStateNode* (*)(Node& node);

  // Installs the handler of a code. A code claimed twice is refused with std::logic_error:
  // two areas answering one statement is a wiring fault.
  void Register(uint8_t code, Handler handler) {
    if (m_Handlers[code]) throw std::logic_error("statement code " + std::to_string(code) + " is registered twice");
    m_Handlers[code] = handler;
  }
  // The handler of a code, or null.
  Handler Find(uint8_t code) const { return m_Handlers[code]; }

 private:
  std::array<Handler, kCodes> m_Handlers{};
};

}  // namespace TextScript
