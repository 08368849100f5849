// Tests of the headless backend's window, presenter, message boxes, clock and instance lock.
#include "platform/headless/headless.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/glyphs.h"
#include "platform/instance.h"

using namespace platform;

TEST(HeadlessPresenter, CopiesClippedRectanglesAndLogsThem) {
  headless::HeadlessPresenter front(8, 4);
  std::vector<uint8_t> back(6 * 6 * 4);
  for (size_t i = 0; i < back.size(); i += 4) back[i + 2] = 0xAB;  // red everywhere
  const ImageView view{back.data(), 6, 6, 6 * 4};
  front.Present(view, Rect{-2, 1, 10, 10});
  front.Present(view, Rect{3, 3, 3, 5});  // empty: not listed
  front.Flush();
  ASSERT_EQ(front.Presented().size(), 1u);
  EXPECT_EQ(front.Presented()[0], (Rect{0, 1, 6, 4})) << "clipped to both images";
  EXPECT_EQ(front.PixelAt(0, 0), 0u);
  EXPECT_EQ(front.PixelAt(5, 3), 0xAB0000u);
  EXPECT_EQ(front.PixelAt(6, 3), 0u) << "outside the back image nothing is copied";
  EXPECT_EQ(front.Flushes(), 1u);
  front.Present(ImageView{back.data(), 6, 6, 4}, Rect{0, 0, 6, 6});  // pitch too small: refused
  EXPECT_EQ(front.Presented().size(), 1u);
}

TEST(HeadlessWindow, ScriptedEventsFullScreenAndIdleWaits) {
  auto b = headless::CreateBackend();
  auto& w = *b->hwindow;
  ASSERT_TRUE(w.Create(WindowDesc{u"Lanternfall　体験版"}));
  Event e;
  e.type = EventType::Char;
  e.ch = u'あ';
  w.PostAt(2, e);
  uint8_t keys[256];
  Event got;
  b->input->ReadKeyboard(keys);  // one frame
  EXPECT_FALSE(w.PollEvent(got));
  b->input->ReadKeyboard(keys);  // the second frame delivers it
  ASSERT_TRUE(w.PollEvent(got));
  EXPECT_EQ(got.ch, u'あ');

  const Rect place = w.Placement();
  w.FailNextFullScreen();
  EXPECT_FALSE(w.SetFullScreen(true));
  EXPECT_FALSE(w.IsFullScreen());
  EXPECT_TRUE(w.SetFullScreen(true));
  EXPECT_NE(w.Placement(), place);
  EXPECT_TRUE(w.SetFullScreen(false));
  EXPECT_EQ(w.Placement(), place) << "leaving full screen restores place and size";

  b->Install();
  int idle = 0;
  w.SetOnIdle([&] {
    if (++idle == 3) w.SetActive(false);
  });
  const uint32_t t0 = TimeMs();
  int waits = 0;
  while (!w.WaitEvent(got, 10)) ++waits;
  EXPECT_EQ(waits, 2);
  EXPECT_EQ(got.type, EventType::Deactivate);
  EXPECT_EQ(TimeMs() - t0, 20u) << "waiting moves the virtual clock instead of spinning";
  EXPECT_FALSE(b->input->Acquire()) << "no devices while inactive";
}

TEST(HeadlessMessageBoxes, RecordedWithScriptedAnswersThenDefaults) {
  auto b = headless::CreateBackend();
  b->Install();
  b->hboxes->Answer(MsgResult::Yes);
  EXPECT_EQ(ShowMessageBox(u"終了してもよろしいですか？", u"終了", MsgButtons::YesNo, MsgIcon::Question, 1),
            MsgResult::Yes);
  EXPECT_EQ(ShowMessageBox(u"終了してもよろしいですか？", u"終了", MsgButtons::YesNo, MsgIcon::Question, 1),
            MsgResult::No)
      << "no answer left: the default button";
  ASSERT_EQ(b->hboxes->Shown().size(), 2u);
  EXPECT_EQ(b->hboxes->Shown()[0].caption, u"終了");
  EXPECT_EQ(GetGlyphSource(), b->glyphs.get()) << "the backend's glyph source is installed with it";
  ASSERT_NE(b->haudio, nullptr);
  b->Uninstall();
  EXPECT_THROW(GetGlyphSource(), MissingServiceError) << "uninstalled: no glyph source is left";
  EXPECT_EQ(ShowMessageBox(u"x", u"y"), MsgResult::Ok);
  EXPECT_EQ(b->hboxes->Shown().size(), 2u) << "uninstalled: the boxes no longer reach the backend";
}

TEST(InstanceLock, SecondHolderIsRefusedUntilReleased) {
  const std::u16string name =
      u"VARN-test-" + std::u16string(1, char16_t(u'a' + (::testing::UnitTest::GetInstance()->random_seed() % 26)));
  auto first = AcquireInstanceLock(name);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(AcquireInstanceLock(name), nullptr);
  first.reset();
  EXPECT_NE(AcquireInstanceLock(name), nullptr);
}

TEST(InstanceLock, AnUnusableRuntimeFolderFallsBackInsteadOfRefusing) {
  const char* oldRun = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = oldRun ? oldRun : "";
  setenv("XDG_RUNTIME_DIR", "/nonexistent/varn-runtime", 1);
  const std::u16string name = u"VARN-test-fallback";
  auto first = AcquireInstanceLock(name);
  auto second = AcquireInstanceLock(name);
  if (oldRun)
    setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  else
    unsetenv("XDG_RUNTIME_DIR");
  EXPECT_NE(first, nullptr) << "a missing runtime folder is no second copy of the game";
  EXPECT_EQ(second, nullptr) << "the fallback folder still guards against a second copy";
}
