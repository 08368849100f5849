// The SDL backend's message boxes, shown with SDL_ShowMessageBox.
#include <algorithm>
#include <vector>

#include "platform/sdl/sdl_internal.h"
#include "platform/utf.h"

namespace platform::sdl {

// ---- message boxes ----

MsgResult SdlMessageBoxes::Show(const MessageBoxRequest& request) {
  struct B {
    MsgResult result;
    const char* label;
  };
  std::vector<B> buttons;
  switch (request.buttons) {
    case MsgButtons::Ok:
      buttons = {{MsgResult::Ok, "OK"}};
      break;
    case MsgButtons::OkCancel:
      buttons = {{MsgResult::Ok, "OK"}, {MsgResult::Cancel, "キャンセル"}};
      break;
    case MsgButtons::YesNo:
      buttons = {{MsgResult::Yes, "はい(Y)"}, {MsgResult::No, "いいえ(N)"}};
      break;
    case MsgButtons::YesNoCancel:
      buttons = {{MsgResult::Yes, "はい(Y)"}, {MsgResult::No, "いいえ(N)"}, {MsgResult::Cancel, "キャンセル"}};
      break;
    case MsgButtons::AbortRetryIgnore:
      buttons = {{MsgResult::Abort, "中止(A)"}, {MsgResult::Retry, "再試行(R)"}, {MsgResult::Ignore, "無視(I)"}};
      break;
  }
  const size_t def = size_t(std::clamp(request.defaultButton, 0, int(buttons.size()) - 1));
  std::vector<SDL_MessageBoxButtonData> data;
  for (size_t i = 0; i < buttons.size(); ++i) {
    SDL_MessageBoxButtonData d{};
    d.buttonid = int(buttons[i].result);
    d.text = buttons[i].label;
    if (i == def) d.flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    if (buttons[i].result == MsgResult::Cancel) d.flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    data.push_back(d);
  }
  Uint32 flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  switch (request.icon) {
    case MsgIcon::Error:
      flags |= SDL_MESSAGEBOX_ERROR;
      break;
    case MsgIcon::Warning:
      flags |= SDL_MESSAGEBOX_WARNING;
      break;
    default:
      flags |= SDL_MESSAGEBOX_INFORMATION;
      break;
  }
  const std::string text = WideToUtf8(request.text);
  const std::string caption = WideToUtf8(request.caption);
  SDL_MessageBoxData box{};
  box.flags = flags;
  box.window = (m_Window && m_Window->Handle()) ? m_Window->Handle() : nullptr;
  box.title = caption.c_str();
  box.message = text.c_str();
  box.numbuttons = int(data.size());
  box.buttons = data.data();
  int chosen = -1;
  if (SDL_ShowMessageBox(&box, &chosen) != 0) {
    // No box could be shown (no display, no usable font): the text still reaches the log, with the reason.
    LogLine("[message box] " + caption + ": " + text + " (not shown: " + SDL_GetError() + ")\n");
    return DefaultAnswer(request);
  }
  if (chosen < 0) {
    // Closed without a button: Cancel where there is one, else the default answer.
    for (const B& b : buttons)
      if (b.result == MsgResult::Cancel) return MsgResult::Cancel;
    return DefaultAnswer(request);
  }
  return MsgResult(chosen);
}

}  // namespace platform::sdl
