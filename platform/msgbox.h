// The message-box service: text, caption, buttons, icon and default button in; the answer out.
#pragma once

#include <string>

namespace platform {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, AbortRetryIgnore };
enum class MsgIcon { None, Information, Warning, Error, Question };
// The answers keep the classic numbering (1 OK ... 7 No) that callers compare against.
enum class MsgResult { None = 0, Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct MessageBoxRequest {
  std::u16string text;
  std::u16string caption;
  MsgButtons buttons = MsgButtons::Ok;
  MsgIcon icon = MsgIcon::None;
  int defaultButton = 0;  // 0 = first button, 1 = second, 2 = third
};

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;
  virtual MsgResult Show(const MessageBoxRequest& request) = 0;
};

// The message-box slot (the null rule of every slot is in platform/service.h): until a backend
// installs its service, and again after null is installed, boxes go to the log and are
// answered with their default button, so nothing blocks where no one can answer. Returns the
// previous service, never null. The service is not owned.
MessageBoxService* SetMessageBoxService(MessageBoxService* service);
MessageBoxService* GetMessageBoxService();

// Shows a box through the installed service.
MsgResult ShowMessageBox(const MessageBoxRequest& request);
MsgResult ShowMessageBox(std::u16string text, std::u16string caption, MsgButtons buttons = MsgButtons::Ok,
                         MsgIcon icon = MsgIcon::None, int defaultButton = 0);

// The answer a box gives when its default button is taken.
MsgResult DefaultAnswer(const MessageBoxRequest& request);

}  // namespace platform
