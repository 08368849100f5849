// The backend object: every platform service of one backend (SDL or headless), created by
// start-up and handed down to whoever needs a service.
#pragma once

#include <memory>

#include "platform/clock.h"
#include "platform/dialog.h"
#include "platform/display.h"
#include "platform/folders.h"
#include "platform/input.h"
#include "platform/msgbox.h"
#include "platform/window.h"

namespace platform {

class GlyphSource;
class AudioDevice;

struct Backend {
  std::unique_ptr<Window> window;
  std::unique_ptr<InputDevice> input;
  std::unique_ptr<DisplayService> display;
  std::unique_ptr<MessageBoxService> messageBoxes;
  std::unique_ptr<DialogHost> dialogs;
  std::shared_ptr<GlyphSource> glyphs;     // fonts and glyphs
  std::shared_ptr<AudioDevice> audio;      // null when sound is unavailable
  std::unique_ptr<Clock> clock;            // null: the system clock
  std::unique_ptr<FolderService> folders;  // program and documents folders, the profile

  Backend() = default;
  Backend(const Backend&) = delete;
  Backend& operator=(const Backend&) = delete;
  // Uninstalls what Install installed.
  virtual ~Backend();

  // Makes the message-box service, the clock and the glyph source the process-wide ones.
  void Install();
  void Uninstall();
  bool Installed() const { return m_Installed; }

 private:
  bool m_Installed = false;
  MessageBoxService* m_PrevBoxes = nullptr;
  Clock* m_PrevClock = nullptr;
  GlyphSource* m_PrevGlyphs = nullptr;
};

}  // namespace platform
