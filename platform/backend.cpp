// The backend object's installation of its process-wide services.
#include "platform/backend.h"

#include "platform/glyphs.h"

namespace platform {

Backend::~Backend() {
  Uninstall();
}

void Backend::Install() {
  if (m_Installed) return;
  m_PrevBoxes = SetMessageBoxService(messageBoxes.get());
  m_PrevClock = SetClock(clock.get());
  m_PrevGlyphs = SetGlyphSource(glyphs.get());
  m_Installed = true;
}

void Backend::Uninstall() {
  if (!m_Installed) return;
  SetMessageBoxService(m_PrevBoxes);
  SetClock(m_PrevClock);
  SetGlyphSource(m_PrevGlyphs);
  m_Installed = false;
}

}  // namespace platform
