// Message boxes through the installed backend service, or the log when there is none.
#include "platform/msgbox.h"

#include "platform/log.h"
#include "platform/service.h"

namespace platform {
namespace {

// The default service: the box goes to the log and takes its default button.
class LogMessageBoxes final : public MessageBoxService {
 public:
  MsgResult Show(const MessageBoxRequest& request) override {
    DebugOutput(u"[message box] " + request.caption + u": " + request.text + u"\n");
    return DefaultAnswer(request);
  }
};

ServiceSlot<MessageBoxService>& BoxSlot() {
  static LogMessageBoxes logBoxes;
  static ServiceSlot<MessageBoxService> slot("message-box service", &logBoxes);
  return slot;
}

}  // namespace

MessageBoxService* SetMessageBoxService(MessageBoxService* service) {
  return BoxSlot().Set(service);
}

MessageBoxService* GetMessageBoxService() {
  return BoxSlot().Get();
}

MsgResult DefaultAnswer(const MessageBoxRequest& request) {
  static const MsgResult kOk[] = {MsgResult::Ok};
  static const MsgResult kOkCancel[] = {MsgResult::Ok, MsgResult::Cancel};
  static const MsgResult kYesNo[] = {MsgResult::Yes, MsgResult::No};
  static const MsgResult kYesNoCancel[] = {MsgResult::Yes, MsgResult::No, MsgResult::Cancel};
  static const MsgResult kAri[] = {MsgResult::Abort, MsgResult::Retry, MsgResult::Ignore};
  const MsgResult* list = kOk;
  int count = 1;
  switch (request.buttons) {
    case MsgButtons::Ok:
      break;
    case MsgButtons::OkCancel:
      list = kOkCancel;
      count = 2;
      break;
    case MsgButtons::YesNo:
      list = kYesNo;
      count = 2;
      break;
    case MsgButtons::YesNoCancel:
      list = kYesNoCancel;
      count = 3;
      break;
    case MsgButtons::AbortRetryIgnore:
      list = kAri;
      count = 3;
      break;
  }
  const int index = (request.defaultButton >= 0 && request.defaultButton < count) ? request.defaultButton : 0;
  return list[index];
}

MsgResult ShowMessageBox(const MessageBoxRequest& request) {
  if (QuietScope::Hold()) return DefaultAnswer(request);
  return GetMessageBoxService()->Show(request);
}

MsgResult ShowMessageBox(std::u16string text, std::u16string caption, MsgButtons buttons, MsgIcon icon,
                         int defaultButton) {
  MessageBoxRequest request;
  request.text = std::move(text);
  request.caption = std::move(caption);
  request.buttons = buttons;
  request.icon = icon;
  request.defaultButton = defaultButton;
  return ShowMessageBox(request);
}

}  // namespace platform
