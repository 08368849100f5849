// The dialog tests' fixture: a headless backend whose scripted dialog host and recorded message
// boxes the dialogs use, an in-memory slot store and a font list, and short names for actions.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "memorystore.h"
#include "platform/headless/headless.h"
#include "platform/msgbox.h"
#include "script/dialogs/dialogs.h"
#include "script/dialogs/templates.h"
#include "script/settings.h"

namespace dialogtest {

using Action = platform::headless::DialogAction;

inline Action Click(uint32_t id) {
  return Action(Action::Click, id);
}
inline Action Type(uint32_t id, std::u16string text) {
  return Action(Action::Type, id, std::move(text));
}
inline Action Choose(uint32_t id, int32_t line) {
  return Action(Action::Choose, id, {}, line);
}
inline Action DoubleClick(uint32_t id, int32_t line) {
  return Action(Action::DoubleClick, id, {}, line);
}
inline Action Scroll(uint32_t id, platform::ScrollCode code, int32_t thumb = 0) {
  return Action(Action::Scroll, id, {}, thumb, code);
}
inline Action Focus(uint32_t id) {
  return Action(Action::Focus, id);
}
inline Action Enter() {
  return Action(Action::Enter);
}
inline Action Escape() {
  return Action(Action::Escape);
}
inline Action Inspect(std::function<void(const platform::DialogState&)> f) {
  return Action::Inspect(std::move(f));
}

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() : backend(platform::headless::CreateBackend()) {
    m_PrevBoxes = platform::SetMessageBoxService(backend->hboxes);
    SetDialogServices(DialogServices{backend->hdialogs, &store, &fonts});
    ResetSettings();
    g_LastSaveSlot = -1;
  }
  ~DialogTest() override {
    SetDialogServices(DialogServices{});
    platform::SetMessageBoxService(m_PrevBoxes);
    ResetSettings();
    g_LastSaveSlot = -1;
  }

  void Script(std::vector<Action> actions) { backend->hdialogs->Script(std::move(actions)); }
  // The state the last dialog closed with.
  const platform::DialogState& Closed() const { return backend->hdialogs->Finished().back(); }
  const std::vector<platform::MessageBoxRequest>& Boxes() const { return backend->hboxes->Shown(); }
  void Answer(platform::MsgResult r) { backend->hboxes->Answer(r); }

  std::unique_ptr<platform::headless::HeadlessBackend> backend;
  MemorySlotStore store;
  std::vector<std::u16string> fonts{u"ＭＳ 明朝", u"ＭＳ ゴシック", u"IPAGothic"};

 private:
  platform::MessageBoxService* m_PrevBoxes = nullptr;
};

}  // namespace dialogtest
