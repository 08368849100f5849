// Real-window test: message boxes are shown by SDL and answered from the keyboard, Enter taking
// the default button and Esc the Cancel button.
#include <gtest/gtest.h>

#include <thread>

#include "platform/sdl/sdl_backend.h"
#include "xvfb.h"

using namespace platform;

bool SendCloseBox(const std::string& display, unsigned long window);

using XvfbMessageBox = xvfbtest::Desktop;

TEST_F(XvfbMessageBox, EnterTakesTheDefaultAndEscTakesCancel) {
  ASSERT_TRUE(b->window->Create(WindowDesc{u"varn-xvfb-owner", 800, 600, false}));
  b->window->Show();

  struct Case {
    MessageBoxRequest request;
    const char* key;
    MsgResult expected;
  };
  const Case cases[] = {
      {{u"終了してもよろしいですか？", u"varn-box-1", MsgButtons::YesNo, MsgIcon::Question, 1},
       "Return",
       MsgResult::No},
      {{u"Assert(x);", u"varn-box-2", MsgButtons::AbortRetryIgnore, MsgIcon::Error, 0}, "Return", MsgResult::Abort},
      {{u"エラー", u"varn-box-3", MsgButtons::OkCancel, MsgIcon::Warning, 0}, "Escape", MsgResult::Cancel},
  };
  for (const Case& c : cases) {
    const std::string caption(c.request.caption.begin(), c.request.caption.end());
    bool answeredByKey = true;
    std::thread user([&] {
      // Wait for the box (bounded), then press the key until it has gone: a key that comes
      // before the box is ready may be lost.
      unsigned long id = 0;
      for (int i = 0; i < 300 && !id; ++i) {
        id = x.FindWindowNow(caption);
        if (!id) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (id && x.FindWindowNow(caption) == id && std::chrono::steady_clock::now() < deadline) {
        x.Tool("windowfocus " + std::to_string(id) + " key " + std::string(c.key));
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
      }
      // A box the keys could not close is closed through its close box, so that the failure
      // shows as a wrong answer rather than as a test that never ends.
      if (id && x.FindWindowNow(caption) == id) {
        answeredByKey = false;
        SendCloseBox(x.Display(), id);
      }
    });
    const MsgResult got = ShowMessageBox(c.request);
    user.join();
    EXPECT_TRUE(answeredByKey) << caption << ": the key never closed the box";
    EXPECT_EQ(got, c.expected) << caption;
  }
  b->window->Destroy();
}
