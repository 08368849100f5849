// Tests of the dialog control state and the scripted dialog host.
#include <gtest/gtest.h>

#include "platform/headless/headless.h"

using namespace platform;
using headless::DialogAction;

namespace {

DialogTemplate SampleDialog() {
  DialogTemplate t;
  t.caption = u"セーブ";
  t.width = 300;
  t.height = 200;
  auto add = [&](uint32_t id, ControlType type, std::u16string text = {}, bool group = false) {
    ControlTemplate c;
    c.id = id;
    c.type = type;
    c.text = std::move(text);
    c.groupStart = group;
    t.controls.push_back(c);
  };
  add(1021, ControlType::ListBox);
  add(1023, ControlType::Edit);
  add(1, ControlType::DefaultButton, u"&OK");
  add(2, ControlType::Button, u"ｷｬﾝｾﾙ");
  add(1028, ControlType::RadioButton, u"ウィンドウ", true);
  add(1029, ControlType::RadioButton, u"全画面");
  add(1030, ControlType::RadioButton, u"通常", true);
  add(1031, ControlType::RadioButton, u"高速");
  add(1032, ControlType::TrackbarV);
  add(1027, ControlType::Edit);
  ControlTemplate ud;
  ud.id = 1026;
  ud.type = ControlType::UpDown;
  ud.buddy = 1027;
  t.controls.push_back(ud);
  add(1043, ControlType::CheckBox, u"未読でスキップ等を止める");
  return t;
}

}  // namespace

TEST(DialogState, RadioGroupsLimitsAndBuddies) {
  DialogState s(SampleDialog());
  s.SetCheck(1028, true);
  s.SetCheck(1031, true);
  s.SetCheck(1029, true);
  EXPECT_FALSE(s.IsChecked(1028)) << "a checked radio clears its own group";
  EXPECT_TRUE(s.IsChecked(1029));
  EXPECT_TRUE(s.IsChecked(1031)) << "and leaves the next group alone";

  s.SetText(1023, u"abcdefgh");
  s.SetLimit(1023, 4);
  EXPECT_EQ(s.GetText(1023), u"abcdefgh") << "a limit leaves the text already there";
  s.SetText(1023, u"0123456789");
  EXPECT_EQ(s.GetText(1023), u"0123456789") << "and the text the procedure sets";
  s.TypeText({}, 1023, u"0123456789");
  EXPECT_EQ(s.GetText(1023), u"0123") << "it holds what the user types";

  s.SetRange(1026, 0, 2047);
  s.SetPosition(1026, 5000);
  EXPECT_EQ(s.GetPosition(1026), 2047) << "positions are clamped to the range";
  EXPECT_EQ(s.GetText(1027), u"2047") << "an up-down writes its buddy edit";

  EXPECT_EQ(s.AddLine(1021, u"a"), 0);
  EXPECT_EQ(s.AddLine(1021, u"b"), 1);
  s.SelectLine(1021, 7);
  EXPECT_EQ(s.GetSelection(1021), -1) << "an out-of-range selection selects nothing";
  s.SelectLine(1021, 1);
  EXPECT_EQ(s.GetText(1021), u"b");
  EXPECT_EQ(s.AddLine(9999, u"x"), -1);
  EXPECT_EQ(s.GetText(9999), u"");
}

TEST(DialogState, TrackbarScrollCodes) {
  struct Case {
    int32_t start;
    ScrollCode code;
    int32_t thumb;
    int32_t expected;
  };
  const Case cases[] = {
      {100, ScrollCode::LineUp, 0, 99},      {100, ScrollCode::LineDown, 0, 101},
      {100, ScrollCode::PageUp, 0, 84},      {100, ScrollCode::PageDown, 0, 116},
      {5, ScrollCode::PageUp, 0, 0},         {250, ScrollCode::PageDown, 0, 255},
      {100, ScrollCode::Top, 0, 0},          {100, ScrollCode::Bottom, 0, 255},
      {100, ScrollCode::ThumbTrack, 42, 42}, {100, ScrollCode::ThumbPosition, 300, 255},
  };
  for (const Case& c : cases) {
    DialogState s(SampleDialog());
    s.SetRange(1032, 0, 255);
    s.SetPageSize(1032, 16);
    s.SetPosition(1032, c.start);
    DialogEvent seen;
    s.Scroll(
        [&](DialogControls&, const DialogEvent& e) {
          seen = e;
          return true;
        },
        1032, c.code, c.thumb);
    EXPECT_EQ(s.GetPosition(1032), c.expected) << "from " << c.start << " code " << int(c.code);
    EXPECT_EQ(seen.type, DialogEventType::Scroll);
    EXPECT_EQ(seen.position, c.expected) << "the event carries the new position";
  }
}

TEST(HeadlessDialogHost, RunsAProcedureAgainstAScript) {
  headless::HeadlessDialogHost host;
  std::vector<std::string> events;
  bool okWhileEditFocused = false;
  const DialogProcedure proc = [&](DialogControls& c, const DialogEvent& e) {
    switch (e.type) {
      case DialogEventType::Init:
        events.push_back("init");
        c.SetCaption(u"ロード");
        for (auto line : {u"01 ----", u"02 2026/01/01", u"03 ----"}) c.AddLine(1021, line);
        c.SelectLine(1021, 0);
        c.Enable(1, false);
        c.SetLimit(1023, 32);
        return true;
      case DialogEventType::SelChange:
        events.push_back("sel " + std::to_string(e.position));
        c.Enable(1, c.GetSelection(1021) == 1);
        return true;
      case DialogEventType::DoubleClick:
        events.push_back("dbl");
        if (c.GetSelection(1021) == 1) c.End(c.GetSelection(1021));
        return true;
      case DialogEventType::Command:
        events.push_back("cmd " + std::to_string(e.control));
        if (e.control == 1 && c.GetFocus() == 1023) {
          okWhileEditFocused = true;
          c.SetFocus(1021);
          return true;
        }
        return false;
      case DialogEventType::FocusIn:
        events.push_back("focus " + std::to_string(e.control));
        return true;
      default:
        return false;
    }
  };
  host.Script({
      {DialogAction::Click, 1},             // disabled: nothing happens
      {DialogAction::Choose, 1021, {}, 1},  // enables OK
      {DialogAction::Type, 1023, u"コメント"},
      {DialogAction::Enter},  // OK with the edit focused: no load
      {DialogAction::DoubleClick, 1021, {}, 0},
      {DialogAction::DoubleClick, 1021, {}, 1},
      {DialogAction::Click, 2},  // never reached: the dialog has ended
  });
  EXPECT_EQ(host.RunModal(SampleDialog(), proc), 1);
  EXPECT_TRUE(okWhileEditFocused);
  const std::vector<std::string> expected = {"init", "sel 1", "focus 1023", "cmd 1", "sel 0", "dbl", "sel 1", "dbl"};
  EXPECT_EQ(events, expected);
  ASSERT_EQ(host.Finished().size(), 1u);
  const DialogState& s = host.Finished()[0];
  EXPECT_EQ(s.Caption(), u"ロード");
  EXPECT_EQ(s.GetText(1023), u"コメント");
  EXPECT_TRUE(s.IsEnabled(1));
  EXPECT_EQ(s.Log().front(), "SetCaption ロード");
  EXPECT_EQ(s.Log().back(), "End 1");
}

TEST(HeadlessDialogHost, ScriptsThatRunOutNeverHang) {
  headless::HeadlessDialogHost host;
  // A procedure that takes Cancel itself ends with its own result.
  EXPECT_EQ(host.RunModal(SampleDialog(),
                          [](DialogControls& c, const DialogEvent& e) {
                            if (e.type == DialogEventType::Command && e.control == kIdCancel) c.End(-7);
                            return true;
                          }),
            -7);
  // Without a script the default Cancel closes with -1; a procedure that refuses to close
  // is closed anyway.
  EXPECT_EQ(host.RunModal(SampleDialog(), [](DialogControls&, const DialogEvent&) { return false; }), -1);
  EXPECT_EQ(host.RunModal(SampleDialog(), [](DialogControls&, const DialogEvent&) { return true; }), -1);
}

TEST(HeadlessDialogHost, TheOutsideEndClosesEveryOpenDialogAsCancel) {
  headless::HeadlessDialogHost host;
  bool ended = false;
  host.SetOutsideEnd([&] { return ended; });
  std::vector<std::string> events;
  // OK ends with 1; Cancel is only noted, so the host has to close the dialog itself.
  const DialogProcedure refusesCancel = [&](DialogControls& c, const DialogEvent& e) {
    if (e.type != DialogEventType::Command) return true;
    events.push_back(e.control == kIdOk ? "ok" : e.control == kIdCancel ? "cancel" : "other");
    if (e.control == kIdOk) c.End(1);
    return true;
  };

  // Asked during the dialog: what the script does after it never happens.
  host.Script({DialogAction::Inspect([&](const DialogState&) { ended = true; }), {DialogAction::Click, kIdOk}});
  EXPECT_EQ(host.RunModal(SampleDialog(), refusesCancel), -1);
  EXPECT_EQ(events, std::vector<std::string>{"cancel"}) << "the procedure was told Cancel and OK never came";

  // A dialog that opens while the end is asked closes after its Init.
  events.clear();
  host.Script({{DialogAction::Click, kIdOk}});
  EXPECT_EQ(host.RunModal(SampleDialog(), refusesCancel), -1);
  EXPECT_EQ(events, std::vector<std::string>{"cancel"});

  // A nested dialog closes, and then the one it was opened from.
  ended = false;
  events.clear();
  int32_t inner = 0;
  host.Script({{DialogAction::Click, 1043}, {DialogAction::Click, kIdOk}});
  host.Script({DialogAction::Inspect([&](const DialogState&) { ended = true; }), {DialogAction::Click, kIdOk}});
  const int32_t outer = host.RunModal(SampleDialog(), [&](DialogControls& c, const DialogEvent& e) {
    if (e.type == DialogEventType::Command && e.control == 1043) inner = host.RunModal(SampleDialog(), refusesCancel);
    return refusesCancel(c, e);
  });
  EXPECT_EQ(inner, -1);
  EXPECT_EQ(outer, -1);
  EXPECT_EQ(events, (std::vector<std::string>{"cancel", "other", "cancel"}));

  // Without the end asked the script runs as it is written.
  ended = false;
  host.Script({{DialogAction::Click, kIdOk}});
  EXPECT_EQ(host.RunModal(SampleDialog(), refusesCancel), 1);
  host.SetOutsideEnd(nullptr);
  host.Script({{DialogAction::Click, kIdOk}});
  EXPECT_EQ(host.RunModal(SampleDialog(), refusesCancel), 1);
}

TEST(HeadlessDialogHost, AClickedButtonTakesTheFocusBeforeItsCommand) {
  // A procedure in the manner of a number dialog: OK while the edit has the focus only moves
  // the focus on; OK otherwise closes.
  headless::HeadlessDialogHost host;
  std::vector<std::string> events;
  bool editFocused = false;
  const DialogProcedure proc = [&](DialogControls& c, const DialogEvent& e) {
    if (e.type == DialogEventType::FocusIn || e.type == DialogEventType::FocusOut) {
      events.push_back((e.type == DialogEventType::FocusIn ? "in " : "out ") + std::to_string(e.control));
      if (e.control == 1027) editFocused = e.type == DialogEventType::FocusIn;
      return true;
    }
    if (e.type == DialogEventType::Command && e.control == kIdOk) {
      events.push_back("ok");
      if (editFocused) {
        c.SetFocus(kIdOk);
        editFocused = false;
      } else {
        c.End(1);
      }
      return true;
    }
    return false;
  };
  host.Script({
      {DialogAction::Type, 1027, u"12"},
      {DialogAction::Enter},  // Enter in the edit: the focus moves on, the dialog stays
      {DialogAction::Type, 1027, u"34"},
      {DialogAction::Click, kIdOk},  // a click on OK closes, whatever had the focus
  });
  EXPECT_EQ(host.RunModal(SampleDialog(), proc), 1);
  const std::vector<std::string> expected = {"out 1021", "in 1027", "ok", "out 1", "in 1027", "out 1027", "in 1", "ok"};
  EXPECT_EQ(events, expected);
}

TEST(DialogState, UpDownStepsTheNumberTypedIntoItsBuddy) {
  DialogState s(SampleDialog());
  s.SetRange(1026, 0, 2047);
  s.SetPosition(1026, 7);
  const DialogProcedure none;
  s.TypeText(none, 1027, u"500");
  s.Scroll(none, 1026, ScrollCode::LineUp);
  EXPECT_EQ(s.GetText(1027), u"501") << "the step starts from the typed number";
  EXPECT_EQ(s.GetPosition(1026), 501);
  s.TypeText(none, 1027, u"9999");
  s.Scroll(none, 1026, ScrollCode::LineDown);
  EXPECT_EQ(s.GetText(1027), u"2046") << "a typed number past the range is clamped first";
  s.TypeText(none, 1027, u"abc");
  s.Scroll(none, 1026, ScrollCode::LineUp);
  EXPECT_EQ(s.GetText(1027), u"2047") << "text that is no number leaves the last position";
}

TEST(DialogState, TabGoesRoundTheControlsThatCanTakeTheFocus) {
  DialogTemplate t = SampleDialog();
  ControlTemplate label;
  label.id = 0xFFFF;
  label.type = ControlType::Static;
  t.controls.insert(t.controls.begin() + 1, label);
  DialogState s(t);
  std::vector<std::string> events;
  const DialogProcedure proc = [&](DialogControls& c, const DialogEvent& e) {
    if (e.type == DialogEventType::Init) {
      c.Enable(2, false);
      c.Show(1028, false);
    }
    if (e.type == DialogEventType::FocusIn) events.push_back(std::to_string(e.control));
    return true;
  };
  s.Start(proc);
  EXPECT_EQ(s.GetFocus(), 1021u);
  for (int i = 0; i < 4; ++i) s.Tab(proc, false);
  EXPECT_EQ(events, (std::vector<std::string>{"1023", "1", "1029", "1030"})) << "past the label, greyed and hidden";
  events.clear();
  s.Focus(proc, 1043);
  s.Tab(proc, false);
  s.Tab(proc, true);
  s.Tab(proc, true);
  EXPECT_EQ(events, (std::vector<std::string>{"1043", "1021", "1043", "1026"})) << "round from the last to the first";
}
