// Real-window test: the save dialog drawn by the SDL dialog host over the last frame under a
// private Xvfb; a comment typed with xdotool is saved into slot 3, and the load dialog opened
// again shows that slot's thumbnail and comment, read back with ImageMagick's import.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "memorystore.h"
#include "platform/menu.h"
#include "platform/sdl/sdl_backend.h"
#include "script/dialogs/dialogs.h"
#include "script/dialogs/templates.h"
#include "tests/desktop/xvfb.h"

namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;
using xvfbtest::Near;

constexpr int kW = 800, kH = 600;

struct XvfbSaveDialog : xvfbtest::Desktop {
  void TearDown() override {
    SetDialogServices(DialogServices{});
    g_LastSaveSlot = -1;
    b.reset();
  }
  xvfbtest::LeakCheckOff leakCheckOff;
};

bool Dark(xvfbtest::Rgb c) {
  return c.r < 110 && c.g < 110 && c.b < 110;
}

TEST_F(XvfbSaveDialog, ACommentTypedIntoSlot3ComesBackWithItsThumbnail) {
  platform::Window& w = *b->window;
  ASSERT_TRUE(w.Create(platform::WindowDesc{u"varn-xvfb-save", kW, kH, true}));
  platform::Menu menu(
      {platform::MenuItem::Popup(u"シナリオ", {platform::MenuItem::Command(40010, u"セーブする(&S)")})});
  w.SetMenu(&menu);
  w.Show();
  // Every caption and control text of the dialogs can be drawn.
  for (const platform::DialogTemplate* d :
       {&SaveLoadTemplate(), &SystemSettingsTemplate(), &SoundSettingsTemplate(), &PlayerNameTemplate(),
        &FlagTemplate(), &DebugWindowTemplate(), &ListTemplate()}) {
    std::u16string texts = d->caption + u"ロードシーン再生フラグ一覧";
    for (const platform::ControlTemplate& c : d->controls) texts += c.text;
    for (char16_t ch : texts)
      if (ch > u' ' && ch != u'&') EXPECT_TRUE(platform::sdl::UiFontHasGlyph(w, ch)) << "U+" << std::hex << int(ch);
  }
  // The game's last frame: dark blue, which stays visible around the dialog.
  std::vector<uint8_t> frame(size_t(kW) * kH * 4);
  for (size_t i = 0; i < frame.size(); i += 4) frame[i] = 0x90;
  w.GetPresenter().Present(platform::ImageView{frame.data(), kW, kH, kW * 4}, platform::Rect{0, 0, kW, kH});
  w.GetPresenter().Flush();
  const unsigned long id = x.FindWindow("varn-xvfb-save");
  ASSERT_NE(id, 0u);
  x.Tool("windowfocus --sync " + std::to_string(id));
  std::vector<platform::Event> events;
  xvfbtest::PumpUntil(w, events, [&] { return w.IsActive(); });

  std::string geometry;
  int winW = 0, winH = 0;
  ASSERT_TRUE(x.WindowSize(id, winW, winH, &geometry)) << geometry;
  const int strip = winH - kH;

  dialogtest::MemorySlotStore store;
  store.Put(1, "first");
  SetDialogServices(DialogServices{b->dialogs.get(), &store, nullptr});
  g_LastSaveSlot = 2;  // the dialog offers slot 3

  const platform::DialogTemplate& t = SaveLoadTemplate();
  const int title = strip;  // the dialog's title bar is as high as the menu bar
  const int left = kW / 2 - t.width / 2, top = strip + kH / 2 - (t.height + title) / 2;
  const auto at = [&](int cx, int cy) { return std::to_string(left + cx) + " " + std::to_string(top + title + cy); };
  const std::string move = "mousemove --window " + std::to_string(id) + " ";
  const auto rectOf = [&](uint32_t cid) {
    for (const platform::ControlTemplate& c : t.controls)
      if (c.id == cid) return c.rect;
    return platform::Rect{};
  };
  const platform::Rect edit = rectOf(IDC_COMMENT), cancel = rectOf(platform::kIdCancel),
                       picture = rectOf(IDC_THUMBNAIL);
  // A point inside the thumbnail, as captured.
  const int px = left + picture.left + 70, py = top + title + picture.top + 50;

  // The save: type into the comment and press the save button.
  std::atomic<bool> ended{false};
  std::vector<uint8_t> saveShot;
  std::thread user([&] {
    const auto end = Steady::now() + 15s;
    do {
      saveShot = x.Capture(id, kW, winH);
      if (!saveShot.empty() && Near(xvfbtest::At(saveShot, kW, px, py), 0x80, 0x80, 0x80)) break;
      std::this_thread::sleep_for(30ms);
    } while (Steady::now() < end);
    // By the keyboard: Tab from the list to the comment, the typing, Enter for the default button.
    x.Tool("key Tab");
    std::this_thread::sleep_for(200ms);
    x.Tool("type --delay 30 'by the lake'");
    std::this_thread::sleep_for(200ms);
    // Tab on to the delete button, where typing goes nowhere, and back.
    x.Tool("key Tab");
    std::this_thread::sleep_for(200ms);
    x.Tool("type --delay 30 'zz'");
    x.Tool("key shift+Tab");
    std::this_thread::sleep_for(200ms);
    x.Tool("key Return");
    const auto stop = Steady::now() + 15s;
    while (!ended && Steady::now() < stop) std::this_thread::sleep_for(20ms);
    if (!ended) x.Tool("key Escape");
  });
  const int32_t saved = SaveLoadDialog(SAVELOAD_SAVE);
  ended = true;
  user.join();
  xvfbtest::Dump("save-dialog", saveShot, kW, winH);
  ASSERT_EQ(saved, 2) << "Enter saved the offered slot";
  ASSERT_EQ(store.savedComments.size(), 1u);
  EXPECT_EQ(store.savedComments[0], "by the lake");
  ASSERT_FALSE(saveShot.empty());
  EXPECT_TRUE(Near(xvfbtest::At(saveShot, kW, px, py), 0x80, 0x80, 0x80)) << "an empty slot shows the grey picture";
  const xvfbtest::Rgb under = xvfbtest::At(saveShot, kW, 10, winH - 10);
  EXPECT_TRUE(under.b > 110 && under.r < 60 && under.g < 60) << "the last frame stays visible under the dialog";

  // Opened again: the slot's thumbnail, and its comment in the edit.
  const uint32_t colour = store.saveColour;
  ended = false;
  std::vector<uint8_t> loadShot;
  std::thread viewer([&] {
    const auto end = Steady::now() + 15s;
    do {
      loadShot = x.Capture(id, kW, winH);
      if (!loadShot.empty() &&
          Near(xvfbtest::At(loadShot, kW, px, py), int(colour >> 16), int(colour >> 8 & 0xFF), int(colour & 0xFF)))
        break;
      std::this_thread::sleep_for(30ms);
    } while (Steady::now() < end);
    // By the mouse: the cancel button.
    x.Tool(move + at((cancel.left + cancel.right) / 2, (cancel.top + cancel.bottom) / 2) + " click 1");
    const auto stop = Steady::now() + 10s;
    while (!ended && Steady::now() < stop) std::this_thread::sleep_for(20ms);
    if (!ended) x.Tool("key Escape");
  });
  const int32_t loaded = SaveLoadDialog(SAVELOAD_LOAD);
  ended = true;
  viewer.join();
  xvfbtest::Dump("load-dialog", loadShot, kW, winH);
  EXPECT_EQ(loaded, -1) << "the cancel button closes the load dialog without loading";
  ASSERT_FALSE(loadShot.empty());
  EXPECT_TRUE(Near(xvfbtest::At(loadShot, kW, px, py), int(colour >> 16), int(colour >> 8 & 0xFF), int(colour & 0xFF)))
      << "the saved slot's thumbnail";
  const auto textIn = [&](const std::vector<uint8_t>& shot) {
    int dark = 0;
    for (int yy = edit.top + 4; yy < edit.bottom - 4; ++yy)
      for (int xx = edit.left + 2; xx < edit.left + 120; ++xx)
        dark += Dark(xvfbtest::At(shot, kW, left + xx, top + title + yy)) ? 1 : 0;
    return dark;
  };
  EXPECT_GT(textIn(loadShot), textIn(saveShot) + 20) << "the comment is drawn in the edit";
}

}  // namespace
