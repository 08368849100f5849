// Tests of the menu model and the accelerator table.
#include "platform/menu.h"

#include <gtest/gtest.h>

#include "platform/input.h"
#include "platform/window.h"

using namespace platform;

namespace {

Menu GameMenu() {
  return Menu({
      MenuItem::Popup(u"システム",
                      {MenuItem::Popup(u"描画速度", {MenuItem::Radio(40004, u"通常"), MenuItem::Radio(40005, u"２倍速"),
                                                     MenuItem::Radio(40009, u"自動")}),
                       MenuItem::Separator(), MenuItem::Command(40000, u"終了(&X)")}),
      MenuItem::Popup(u"シナリオ",
                      {MenuItem::Command(40003, u"タイトルに戻る(&X)"), MenuItem::Command(40012, u"少し戻る")}),
      MenuItem::Popup(u"デバッグ", {MenuItem::Command(40013, u"変数表示")}),
  });
}

Event Key(uint8_t key, uint32_t mods, EventType type = EventType::KeyDown) {
  Event e;
  e.type = type;
  e.key = key;
  e.modifiers = mods;
  return e;
}

}  // namespace

TEST(Menu, StateIsKeptAndFoundAtAnyDepth) {
  Menu m = GameMenu();
  ASSERT_NE(m.Find(40005), nullptr);
  EXPECT_EQ(m.Find(40005)->label, u"２倍速");
  EXPECT_EQ(m.Find(12345), nullptr);
  EXPECT_FALSE(m.Enable(12345, false)) << "an absent id changes nothing";
  EXPECT_TRUE(m.IsEnabled(12345)) << "absent ids count as enabled";

  const uint32_t rev = m.Revision();
  EXPECT_TRUE(m.Enable(40003, false));
  EXPECT_FALSE(m.IsEnabled(40003));
  EXPECT_GT(m.Revision(), rev);

  EXPECT_TRUE(m.CheckRadio(40004, 40009, 40005));
  EXPECT_TRUE(m.CheckRadio(40004, 40009, 40009));
  EXPECT_FALSE(m.IsChecked(40004));
  EXPECT_FALSE(m.IsChecked(40005)) << "checking one radio item clears the others of its range";
  EXPECT_TRUE(m.IsChecked(40009));
  EXPECT_FALSE(m.CheckRadio(40004, 40008, 40009)) << "an id outside the range is refused";
  EXPECT_TRUE(m.IsChecked(40009));

  m.Check(40000, true);
  m.CheckRadio(40004, 40009, 40004);
  EXPECT_TRUE(m.IsChecked(40000)) << "items outside the radio range keep their mark";

  EXPECT_TRUE(m.DeleteTop(2));
  EXPECT_EQ(m.Find(40013), nullptr);
  EXPECT_EQ(m.Top().size(), 2u);
  EXPECT_FALSE(m.DeleteTop(2));
  EXPECT_FALSE(m.IsEnabled(40003)) << "state survives other edits";
}

TEST(Menu, StripMnemonic) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"終了(&X)", u"終了(X)"}, {u"A&&B", u"A&B"}, {u"&", u""}, {u"削除(&D)", u"削除(D)"}, {u"plain", u"plain"}};
  for (const auto& [in, out] : cases) EXPECT_EQ(StripMnemonic(in), out);
}

TEST(Accelerators, TranslateAndGateByEnabledState) {
  Menu m = GameMenu();
  const AcceleratorTable table(
      std::vector<Accelerator>{{DIK_F10, 0, 40002}, {DIK_RETURN, kModAlt, 40001}, {DIK_Z, kModCtrl, 40012}});

  EXPECT_EQ(table.Translate(Key(DIK_F10, 0), &m), std::optional<uint32_t>(40002)) << "ids not in the menu pass";
  EXPECT_EQ(table.Translate(Key(DIK_RETURN, kModAlt), &m), std::optional<uint32_t>(40001));
  EXPECT_EQ(table.Translate(Key(DIK_Z, kModCtrl), &m), std::optional<uint32_t>(40012));
  EXPECT_EQ(table.Translate(Key(DIK_RETURN, 0), &m), std::nullopt) << "plain Enter is no accelerator";
  EXPECT_EQ(table.Translate(Key(DIK_Z, kModCtrl | kModShift), &m), std::nullopt) << "modifiers must match exactly";
  EXPECT_EQ(table.Translate(Key(DIK_Z, kModCtrl, EventType::KeyUp), &m), std::nullopt);

  m.Enable(40012, false);
  EXPECT_EQ(table.Translate(Key(DIK_Z, kModCtrl), &m), std::optional<uint32_t>(0)) << "a greyed item swallows its key";
  EXPECT_EQ(table.Translate(Key(DIK_Z, kModCtrl), nullptr), std::optional<uint32_t>(40012)) << "no menu, no gate";
}
