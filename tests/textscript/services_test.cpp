// The service slots' null rule: a default where one makes sense, else a clear error on use.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/clock.h"
#include "platform/glyphs.h"
#include "platform/log.h"
#include "platform/msgbox.h"
#include "platform/service.h"
#include "textscript/framewait.h"
#include "textscript/messview.h"
#include "textscript/scriptframe.h"

namespace {

using namespace TextScript;

// Installed first, so that each row shows that null also takes an installed service away.
class SomeFrame final : public IMessageFrame {
 public:
  void WaitFrame() override {}
  uint32_t HeldInput() const override { return 1; }
  uint32_t PressedInput() const override { return 1; }
  uint32_t WaitTime(uint32_t, uint32_t) override { return 1; }
};

class SomeBoxes final : public platform::MessageBoxService {
 public:
  platform::MsgResult Show(const platform::MessageBoxRequest&) override { return platform::MsgResult::Cancel; }
};

class SomeNames final : public IPlayerNames {
 public:
  std::u16string_view FamilyName() const override { return u"山田"; }
  std::u16string_view GivenName() const override { return u"太郎"; }
};

class SomeVoice final : public IVoiceChannels {
 public:
  bool IsPlaying(int32_t) override { return true; }
  void Stop(int32_t) override {}
};

TEST(ServiceSlots, NullGivesTheDefaultOrAnErrorNamingTheService) {
  platform::VirtualClock clock;
  SomeFrame frame;
  SomeBoxes boxes;
  SomeNames names;
  SomeVoice voice;
  std::unique_ptr<platform::GlyphSource> glyphs = platform::CreateBoxGlyphSource();

  struct Row {
    const char* slot;
    // Installs a service, then null; returns what puts the slot back as it was.
    std::function<std::function<void()>()> installThenClear;
    std::function<void()> use;
    const char* missing;  // null: a default serves; else the service the error names
  } rows[] = {
      {"clock",
       [&] {
         platform::Clock* previous = platform::SetClock(&clock);
         EXPECT_EQ(platform::SetClock(nullptr), &clock);
         return std::function<void()>([previous] { platform::SetClock(previous); });
       },
       [] {
         EXPECT_EQ(&platform::GetClock(), &platform::SystemClock());
         EXPECT_EQ(platform::SetClock(nullptr), &platform::SystemClock()) << "the previous one is never null";
       },
       nullptr},
      {"message boxes",
       [&] {
         platform::MessageBoxService* previous = platform::SetMessageBoxService(&boxes);
         EXPECT_EQ(platform::SetMessageBoxService(nullptr), &boxes);
         return std::function<void()>([previous] { platform::SetMessageBoxService(previous); });
       },
       [] {
         ASSERT_NE(platform::GetMessageBoxService(), nullptr);
         platform::LogCapture log;
         EXPECT_EQ(platform::ShowMessageBox(u"終了しますか？", u"終了", platform::MsgButtons::YesNo,
                                            platform::MsgIcon::Question, 1),
                   platform::MsgResult::No)
             << "the default button answers";
         EXPECT_TRUE(log.Contains(u"終了しますか？")) << "and the box is written to the log";
       },
       nullptr},
      {"frame step",
       [&] {
         IFrameStep* previous = SetFrameStep(&frame);
         EXPECT_EQ(SetFrameStep(nullptr), &frame);
         return std::function<void()>([previous] { SetFrameStep(previous); });
       },
       [] {
         IFrameStep* step = GetFrameStep();
         ASSERT_NE(step, nullptr);
         step->WaitFrame();
         EXPECT_EQ(step->HeldInput(), 0u) << "frames pass with no input held";
       },
       nullptr},
      {"glyphs",
       [&] {
         platform::GlyphSource* previous = platform::SetGlyphSource(glyphs.get());
         EXPECT_EQ(platform::SetGlyphSource(nullptr), glyphs.get());
         return std::function<void()>([previous] { platform::SetGlyphSource(previous); });
       },
       [] { platform::GetGlyphSource(); }, "glyph source"},
      {"message frame",
       [&] {
         IMessageFrame* previous = SetMessageFrame(&frame);
         EXPECT_EQ(SetMessageFrame(nullptr), &frame);
         return std::function<void()>([previous] { SetMessageFrame(previous); });
       },
       [] { GetMessageFrame(); }, "message frame"},
      {"message services: voice",
       [&] {
         SetMessageServices(MessageServices{&voice, &names, nullptr});
         SetMessageServices(MessageServices{});
         return std::function<void()>([] {});
       },
       [] { MessageVoice(); }, "voice-channel service (message services)"},
      {"message services: names",
       [&] {
         SetMessageServices(MessageServices{&voice, &names, nullptr});
         SetMessageServices(MessageServices{nullptr, nullptr, nullptr});
         return std::function<void()>([] {});
       },
       [] { MessageNames(); }, "player-name service (message services)"},
      {"message services: SYSTEM picture",
       [&] {
         SetMessageServices(MessageServices{&voice, &names, nullptr});
         return std::function<void()>([] { SetMessageServices(MessageServices{}); });
       },
       [] { MessageSystemImage(); }, "\"SYSTEM\" picture (message services)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.slot);
    const std::function<void()> restore = row.installThenClear();
    if (!row.missing) {
      row.use();
    } else {
      try {
        row.use();
        ADD_FAILURE() << "expected MissingServiceError";
      } catch (const platform::MissingServiceError& e) {
        EXPECT_EQ(e.Service(), row.missing);
        EXPECT_NE(std::string(e.what()).find(row.missing), std::string::npos) << e.what();
      }
    }
    restore();
  }
}

}  // namespace
