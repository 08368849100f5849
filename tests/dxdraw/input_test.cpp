// Tests of the keyboard and mouse module: edges, the repeat schedule and device failures.
#include <gtest/gtest.h>

#include "dxdraw/dxinput.h"
#include "platform/headless/headless.h"

using platform::headless::InputFrame;

namespace {

struct InputFixture : ::testing::Test {
  std::unique_ptr<platform::headless::HeadlessBackend> b = platform::headless::CreateBackend();
  void SetUp() override {
    b->Install();
    b->window->Create(platform::WindowDesc{u"t"});
    InputConfig config;
    config.device = b->input.get();
    config.window = b->window.get();
    ASSERT_EQ(Input::Initialize(config), 1);
  }
  void TearDown() override { Input::Finalize(); }
  void Frame(uint32_t ms) {
    b->vclock->Advance(ms);
    Input::Update();
  }
};

}  // namespace

TEST_F(InputFixture, HeldPressedReleasedForKeysAndButtons) {
  b->hinput->Script({InputFrame{{platform::DIK_RETURN}, 1, 0, 0, 0}, InputFrame{{platform::DIK_RETURN}, 1, 0, 0, 0},
                     InputFrame{{}, 0, 0, 0, 0}});
  Frame(17);
  EXPECT_TRUE(Input::IsDown(platform::DIK_RETURN));
  EXPECT_TRUE(Input::IsPressed(platform::DIK_RETURN));
  EXPECT_TRUE(Input::IsPressed(Input::kMouseLeft));
  EXPECT_FALSE(Input::IsDown(Input::kMouseRight));
  Frame(17);
  EXPECT_TRUE(Input::IsDown(Input::kMouseLeft));
  EXPECT_FALSE(Input::IsPressed(Input::kMouseLeft)) << "pressed only on the frame it went down";
  Frame(17);
  EXPECT_FALSE(Input::IsDown(platform::DIK_RETURN));
  EXPECT_TRUE(Input::IsReleased(platform::DIK_RETURN));
  EXPECT_TRUE(Input::IsReleased(Input::kMouseLeft));
  EXPECT_FALSE(Input::IsDown(-1));
  EXPECT_FALSE(Input::IsDown(Input::kIndexCount));
}

TEST_F(InputFixture, APressAndReleaseInsideOneFrameCountsOnce) {
  b->hinput->Script({InputFrame{{}, 0, 0, 0, 0, {platform::DIK_RETURN}, 1}, InputFrame{}});
  Frame(17);
  EXPECT_TRUE(Input::IsPressed(platform::DIK_RETURN)) << "a key already up again at the read";
  EXPECT_TRUE(Input::IsPressed(Input::kMouseLeft)) << "a click already up again at the read";
  EXPECT_FALSE(Input::IsDown(platform::DIK_RETURN));
  EXPECT_FALSE(Input::IsReleased(platform::DIK_RETURN)) << "it was never seen held";
  Frame(17);
  EXPECT_FALSE(Input::IsPressed(platform::DIK_RETURN)) << "each press counts once";
  EXPECT_FALSE(Input::IsPressed(Input::kMouseLeft));

  // Held, then let go and pressed again between two reads: a second press.
  b->hinput->SetKey(platform::DIK_SPACE, true);
  Frame(17);
  EXPECT_TRUE(Input::IsPressed(platform::DIK_SPACE));
  Frame(17);
  EXPECT_FALSE(Input::IsPressed(platform::DIK_SPACE));
  b->hinput->TapKey(platform::DIK_SPACE);
  Frame(17);
  EXPECT_TRUE(Input::IsPressed(platform::DIK_SPACE));
  EXPECT_TRUE(Input::IsDown(platform::DIK_SPACE));

  // Presses made while the game is in the background reach no device.
  b->hwindow->SetActive(false);
  b->hinput->TapButton(1);
  b->hwindow->SetActive(true);
  Frame(17);
  EXPECT_FALSE(Input::IsPressed(Input::kMouseRight));
}

TEST_F(InputFixture, RepeatFiresOnTheFirstTickThenAfterSixteenThenEveryFour) {
  b->hinput->SetKey(platform::DIK_DOWN, true);
  std::vector<int> fired;
  for (int tick = 1; tick <= 30; ++tick) {
    Frame(17);
    if (Input::IsRepeat(platform::DIK_DOWN)) fired.push_back(tick);
  }
  EXPECT_EQ(fired, (std::vector<int>{1, 17, 21, 25, 29}));

  // Released and pressed again: the schedule starts over.
  b->hinput->SetKey(platform::DIK_DOWN, false);
  Frame(17);
  EXPECT_FALSE(Input::IsRepeat(platform::DIK_DOWN));
  b->hinput->SetKey(platform::DIK_DOWN, true);
  Frame(17);
  EXPECT_TRUE(Input::IsRepeat(platform::DIK_DOWN));
}

TEST_F(InputFixture, FramesFasterThanTheIntervalGetNoRepeat) {
  b->hinput->SetKey(platform::DIK_SPACE, true);
  Frame(17);
  EXPECT_TRUE(Input::IsRepeat(platform::DIK_SPACE));
  b->hinput->SetKey(platform::DIK_SPACE, false);
  Frame(5);  // too soon for a tick: the repeat map is empty, the countdown untouched
  b->hinput->SetKey(platform::DIK_SPACE, true);
  Frame(5);
  EXPECT_FALSE(Input::IsRepeat(platform::DIK_SPACE));
  EXPECT_TRUE(Input::IsPressed(platform::DIK_SPACE)) << "edges still come every frame";
  Frame(17);
  EXPECT_FALSE(Input::IsRepeat(platform::DIK_SPACE)) << "the release went unseen by the repeat ticks";
}

TEST_F(InputFixture, BackgroundReadsAsAllUpAndMovementIsNotStale) {
  b->hinput->SetKey(platform::DIK_LSHIFT, true);
  b->hinput->AddMotion(3, -2, 120);
  Frame(17);
  int32_t dx = 0, dy = 0, dz = 0;
  Input::GetMouseDelta(&dx, &dy, &dz);
  EXPECT_EQ((std::array<int32_t, 3>{dx, dy, dz}), (std::array<int32_t, 3>{3, -2, 120}));

  b->hinput->AddMotion(0, 0, 120);
  b->hwindow->SetActive(false);
  Frame(17);
  EXPECT_FALSE(Input::IsDown(platform::DIK_LSHIFT));
  EXPECT_TRUE(Input::IsReleased(platform::DIK_LSHIFT)) << "a held key releases once when the game loses focus";
  Input::GetMouseDelta(&dx, &dy, &dz);
  EXPECT_EQ((std::array<int32_t, 3>{dx, dy, dz}), (std::array<int32_t, 3>{0, 0, 0}))
      << "a failed read reports no movement rather than the last wheel turn again";
  Frame(17);
  EXPECT_FALSE(Input::IsReleased(platform::DIK_LSHIFT));

  b->hwindow->SetActive(true);
  b->hinput->FailReads(true);
  Frame(17);
  Input::GetMouseDelta(&dx, &dy, &dz);
  EXPECT_EQ(dz, 0);
}

TEST(InputModule, NoDeviceIsAFailureWithABox) {
  auto b = platform::headless::CreateBackend();
  b->Install();
  InputConfig config;
  EXPECT_FLOAT_EQ(config.repeatInterval, 1.0f / 60.0f);
  EXPECT_EQ(Input::Initialize(config), 0);
  ASSERT_EQ(b->hboxes->Shown().size(), 1u);
  EXPECT_EQ(b->hboxes->Shown()[0].caption, u"DirectInput Initialize");
  EXPECT_EQ(b->hboxes->Shown()[0].text, u"エラーコード：80004005");
  Input::Update();  // without a device every read is all up
  EXPECT_FALSE(Input::IsDown(Input::kMouseLeft));
}
