// The message view: tokens and names, the reveal's waits and styles, surrogates, and the
// click-wait task with its indicator.
#include "textscript/messview.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "lib/act.h"
#include "platform/assert.h"
#include "platform/clock.h"
#include "platform/glyphs.h"
#include "textscript/framewait.h"

namespace {

using namespace TextScript;

// Frames on a virtual clock: each frame advances it and takes the next scripted input.
class FakeFrame : public IMessageFrame {
 public:
  struct Input {
    uint32_t held = 0;
    uint32_t pressed = 0;
  };
  void WaitFrame() override {
    ++frames;
    clock->Advance(frameMs);
    if (!script.empty()) {
      current = script.front();
      script.pop_front();
    } else {
      current = Input{};
    }
    if (onFrame) onFrame(frames);
    if (throwAtFrame && frames == throwAtFrame) throw ScriptException{0};
  }
  uint32_t HeldInput() const override { return current.held; }
  uint32_t PressedInput() const override { return current.pressed; }
  uint32_t WaitTime(uint32_t ms, uint32_t flags) override {
    waits.push_back({ms, flags});
    if (throwAtWait && waits.size() == throwAtWait) throw ScriptException{3};
    return 0;
  }

  platform::VirtualClock* clock = nullptr;
  uint32_t frameMs = 16;
  int frames = 0;
  int throwAtFrame = 0;
  size_t throwAtWait = 0;
  Input current;
  std::deque<Input> script;
  std::vector<std::pair<uint32_t, uint32_t>> waits;
  std::function<void(int)> onFrame;
};

class FakeNames : public IPlayerNames {
 public:
  std::u16string_view FamilyName() const override { return family; }
  std::u16string_view GivenName() const override { return given; }
  std::u16string family = u"山田";
  std::u16string given = u"太郎";
};

class FakeVoice : public IVoiceChannels {
 public:
  bool IsPlaying(int32_t channel) override { return channel == 3 && playing; }
  void Stop(int32_t channel) override {
    stops.push_back(channel);
    playing = false;
  }
  bool playing = false;
  std::vector<int32_t> stops;
};

struct ViewRelease {
  void operator()(DxMessView2* v) const {
    if (v) v->Release();
  }
};

class MessViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_PrevClock = platform::SetClock(&m_Clock);
    m_Glyphs = platform::CreateBoxGlyphSource();
    m_PrevGlyphs = platform::SetGlyphSource(m_Glyphs.get());
    m_PrevHook =
        platform::SetAssertHook([this](const platform::AssertionReport& r) { asserts.push_back(r.expression); });
    InitACT();
    frame.clock = &m_Clock;
    SetMessageFrame(&frame);
    m_System.reset(DxDraw::CreateSurface(32));
    m_System->Create(128, 32);
    SetMessageServices(MessageServices{&voice, &names, m_System.get()});
    g_MessageNoWait = 0;
  }
  void TearDown() override {
    SetMessageFrame(nullptr);
    SetMessageServices(MessageServices{});
    KillAllACT();
    platform::SetAssertHook(m_PrevHook);
    platform::SetGlyphSource(m_PrevGlyphs);
    platform::SetClock(m_PrevClock);
  }

  // A 200 x 64 view with a 16-pixel font, recording every character drawn.
  std::unique_ptr<DxMessView2, ViewRelease> MakeView() {
    std::unique_ptr<DxMessView2, ViewRelease> v(new DxMessView2(200, 64));
    v->SetFont(16, 0, nullptr);
    return v;
  }

  std::vector<std::string> asserts;
  platform::VirtualClock m_Clock;
  FakeFrame frame;
  FakeNames names;
  FakeVoice voice;

 private:
  platform::Clock* m_PrevClock = nullptr;
  std::unique_ptr<platform::GlyphSource> m_Glyphs;
  platform::GlyphSource* m_PrevGlyphs = nullptr;
  platform::AssertHook m_PrevHook;
  struct SurfaceRelease {
    void operator()(DxDraw::DxSurface* s) const {
      if (s) s->Release();
    }
  };
  std::unique_ptr<DxDraw::DxSurface, SurfaceRelease> m_System;  // the "SYSTEM" picture
};

std::u16string TokenText(const MessageToken* t, int count) {
  std::u16string s;
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(t[i].type, MTOKEN_CHAR) << "token " << i;
    s.push_back(static_cast<char16_t>(t[i].value));
  }
  return s;
}

TEST_F(MessViewTest, TokenisingSubstitutesNamesAsPlainText) {
  names.given = u"#1#2";  // a name that looks like a marker is not expanded again
  struct Case {
    const char16_t* text;
    const char16_t* expected;
  } cases[] = {
      {u"#1さん", u"山田さん"}, {u"#3", u"#3"}, {u"#2!", u"#1#2!"}, {u"a#", u"a#"}, {u"", u""},
  };
  for (const Case& c : cases) {
    MessageToken tokens[64];
    const int n = ParseMessageText(tokens, 64, c.text);
    EXPECT_EQ(TokenText(tokens, n), std::u16string(c.expected));
    EXPECT_EQ(tokens[n].type, MTOKEN_END);
  }
}

TEST_F(MessViewTest, TokenBudgetKeepsRoomForTheEndToken) {
  // 1100 units into 1024 tokens: 1023 characters and the end, nothing written beyond.
  std::vector<MessageToken> tokens(kMessageTokenCapacity + 1, MessageToken{99, 99});
  const std::u16string longText(1100, u'x');
  EXPECT_EQ(ParseMessageText(tokens.data(), kMessageTokenCapacity, longText.c_str()), kMessageTokenCapacity - 1);
  EXPECT_EQ(tokens[kMessageTokenCapacity - 1].type, MTOKEN_END);
  EXPECT_EQ(tokens[kMessageTokenCapacity].type, 99u) << "written past the capacity";

  // A name costs two more than its length: capacity 10 leaves 9, "山田" costs 4, five more fit.
  MessageToken small[10];
  const int n = ParseMessageText(small, 10, u"#1abcdefgh");
  EXPECT_EQ(TokenText(small, n), u"山田abcde");
  // A name longer than what is left is cut, and still ends the array.
  names.family = std::u16string(100, u'n');
  EXPECT_EQ(ParseMessageText(small, 10, u"#1"), 9);
  EXPECT_EQ(small[9].type, MTOKEN_END);
  // A name is at most 63 units.
  std::vector<MessageToken> big(200);
  EXPECT_EQ(ParseMessageText(big.data(), 200, u"#1"), 63);
  EXPECT_EQ(ParseMessageText(big.data(), 0, u"abc"), 0);
}

// Records each character the text context draws.
std::vector<char32_t>* g_Drawn = nullptr;
uint32_t RecordDrawn(DxDraw::TextContext*, DxDraw::DxSurface*, uint32_t event, char32_t ch) {
  if (event == DxDraw::TEXT_EV_DRAWN && g_Drawn) g_Drawn->push_back(ch);
  return 0;
}

TEST_F(MessViewTest, SurrogatesJoinOnlyWithTheirLowHalf) {
  auto view = MakeView();
  std::vector<char32_t> drawn;
  g_Drawn = &drawn;
  view->GetTextContext().m_pCallback = RecordDrawn;
  auto play = [&](std::vector<uint32_t> units) {
    std::vector<MessageToken> t;
    for (uint32_t u : units) t.push_back({MTOKEN_CHAR, u});
    t.push_back({});
    view->PlayTokens(t.data());
  };
  play({0xD83D, 0xDE00, 'A'});
  play({0xD83D, 'B'});  // a high half before a non-low unit is dropped
  play({0xD83D});       // and does not survive into the next message
  play({'C'});
  g_Drawn = nullptr;
  EXPECT_EQ(drawn, (std::vector<char32_t>{0x1F600, 'A', 'B', 'C'}));
  EXPECT_EQ(view->m_PendingHigh, 0);
}

TEST_F(MessViewTest, RevealWaitsThePauseAfterEachCharacter) {
  auto view = MakeView();
  int calls = 0;
  auto countCalls = [](void* arg) { ++*static_cast<int*>(arg); };
  view->PrintText(0x112233, 40, u"ABC", countCalls, &calls);
  EXPECT_EQ(frame.waits, (std::vector<std::pair<uint32_t, uint32_t>>{{40, 3}, {40, 3}, {40, 3}}));
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(view->GetColor(), 0x332211u) << "0xRRGGBB is stored with red and blue swapped";
  EXPECT_EQ(view->GetTextContext().m_CursorX, 24) << "three 8-pixel cells";

  // Pause tokens change the delay; a pause-off token stops waiting.
  frame.waits.clear();
  const MessageToken tokens[] = {{MTOKEN_CHAR, 'a'},   {MTOKEN_PAUSE, 100}, {MTOKEN_CHAR, 'b'},
                                 {MTOKEN_PAUSE_ON, 0}, {MTOKEN_CHAR, 'c'},  {}};
  view->DrawTokens(0xFFFFFF, 10, tokens, nullptr, nullptr);
  EXPECT_EQ(frame.waits, (std::vector<std::pair<uint32_t, uint32_t>>{{10, 3}, {100, 3}}));
}

TEST_F(MessViewTest, NoWaitWithPauseZeroCtrlOrTheNoWaitWord) {
  auto view = MakeView();
  view->PrintText(0xFFFFFF, 0, u"ABCD", nullptr, nullptr);
  frame.current.held = 0x40000;  // left Ctrl
  view->PrintText(0xFFFFFF, 30, u"ABCD", nullptr, nullptr);
  frame.current.held = 0;
  g_MessageNoWait = 1;
  view->PrintText(0xFFFFFF, 30, u"ABCD", nullptr, nullptr);
  EXPECT_TRUE(frame.waits.empty()) << frame.waits.size() << " waits";
  EXPECT_EQ(frame.frames, 0);
}

TEST_F(MessViewTest, StyleTokensSetTheContextFlags) {
  auto view = MakeView();
  view->SetStyleFlags(0);
  const MessageToken on[] = {{MTOKEN_BOLD, 1},
                             {MTOKEN_SHADOW, 1},
                             {MTOKEN_OUTLINE, 1},
                             {MTOKEN_COLOR, 0xABCDEF},
                             {MTOKEN_NOP, 5},
                             {MTOKEN_BUFFER, 0},
                             {}};
  view->PlayTokens(on);
  EXPECT_EQ(view->GetStyleFlags(), 7u);
  EXPECT_EQ(view->GetColor(), 0xABCDEFu) << "a colour token is stored as given";
  const MessageToken off[] = {{MTOKEN_SHADOW, 0}, {}};
  view->PlayTokens(off);
  EXPECT_EQ(view->GetStyleFlags(), 5u);
}

TEST_F(MessViewTest, ARaisedWaitStillEndsTheDrawingContext) {
  auto view = MakeView();
  frame.throwAtWait = 2;
  EXPECT_THROW(view->PrintText(0xFFFFFF, 20, u"ABCD", nullptr, nullptr), ScriptException);
  EXPECT_EQ(view->GetTextContext().m_BeginCount, 0u);
  EXPECT_EQ(view->GetFont()->GetBeginCount(), 0u);
  // The next message draws normally and nothing asserted on the way.
  frame.throwAtWait = 0;
  view->PrintText(0xFFFFFF, 0, u"E", nullptr, nullptr);
  EXPECT_TRUE(asserts.empty()) << asserts.front();
}

// A parent group that holds the view, so that the indicator has a place.
class WaitTaskTest : public MessViewTest {
 protected:
  void SetUp() override {
    MessViewTest::SetUp();
    m_Parent = std::make_unique<DxDraw::DxDrawGroup>();
    m_View = new DxMessView2(200, 64);
    m_View->SetPosition(10, 20);
    m_Parent->AddChild(m_View);
    m_FreeBefore = CountFreeACT();
  }
  void TearDown() override {
    m_Parent.reset();
    MessViewTest::TearDown();
  }
  DxDraw::DxSprite* Indicator() const { return dynamic_cast<DxDraw::DxSprite*>(m_Parent->GetLastChild()); }
  int ChildCount() const {
    int n = 0;
    for (ssView* c = m_Parent->GetFirstChild(); c; c = m_Parent->GetNextSibling(c)) ++n;
    return n;
  }

  std::unique_ptr<DxDraw::DxDrawGroup> m_Parent;
  DxMessView2* m_View = nullptr;
  int m_FreeBefore = 0;
};

TEST_F(WaitTaskTest, IndicatorCyclesFourFramesOf100ms) {
  ACT* task = m_View->CreateTextTask(1, -1);
  DxDraw::DxSprite* sprite = Indicator();
  ASSERT_NE(sprite, static_cast<ssView*>(m_View));
  EXPECT_EQ(sprite->m_Position[0], 210.0f);
  EXPECT_EQ(sprite->m_Position[1], 84.0f);
  EXPECT_EQ(sprite->m_Params.mode, 0x10000u);
  std::vector<int32_t> lefts;
  for (int step = 0; step < 12; ++step) {  // 50 ms a step
    RunACT(task);
    lefts.push_back(sprite->m_Frame.source.left);
    m_Clock.Advance(50);
  }
  // The first frame shows until the first change at 100 ms, which shows it again.
  EXPECT_EQ(lefts, (std::vector<int32_t>{64, 64, 64, 64, 80, 80, 96, 96, 112, 112, 64, 64}));
  FreeACT(task);
  EXPECT_EQ(ChildCount(), 1) << "freeing the task releases its indicator";
  EXPECT_EQ(CountFreeACT(), m_FreeBefore);
}

TEST_F(WaitTaskTest, WaitEndsOnClickVoiceOrAuto) {
  struct Case {
    const char* name;
    int voiceEndsAt;  // -1: no voice; 0: plays throughout
    uint32_t autoWait;
    std::vector<FakeFrame::Input> input;
    uint32_t expected;
    int frames;
  } cases[] = {
      {"left click", -1, 0, {{}, {}, {0x1000, 0x1000}}, 0x1000, 5},
      {"Enter", -1, 0, {{0x10, 0x10}}, 0x10, 3},
      {"right click alone does not end it", -1, 0, {{0x2000, 0x2000}, {}, {0x1000, 0x1000}}, 0x1000, 5},
      {"voice ends", 5, 0, {}, 0, 7},
      {"click during the voice", 0, 0, {{}, {0x1000, 0x1000}}, 0x1000, 4},
      {"auto mode with skip held", -1, 160, {{0x10000, 0}}, 0, 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    voice.playing = c.voiceEndsAt >= 0;
    voice.stops.clear();
    m_View->m_AutoWait = c.autoWait;
    frame.frames = 0;
    frame.current = {};
    frame.script.assign(c.input.begin(), c.input.end());
    frame.onFrame = [&](int n) {
      if (c.voiceEndsAt > 0 && n >= c.voiceEndsAt) voice.playing = false;
    };
    EXPECT_EQ(m_View->RunTextTask(0, c.voiceEndsAt >= 0 ? 3 : -1), c.expected);
    EXPECT_EQ(frame.frames, c.frames);
    // A wait with a voice stops its channel when it ends.
    EXPECT_EQ(voice.stops, c.voiceEndsAt >= 0 ? std::vector<int32_t>{3} : std::vector<int32_t>{});
    EXPECT_EQ(CountFreeACT(), m_FreeBefore) << "the wait task is freed";
    EXPECT_EQ(ChildCount(), 1) << "the indicator is released";
  }
}

TEST_F(WaitTaskTest, ARaisedFrameFreesTheTaskAndItsIndicator) {
  frame.throwAtFrame = 3;
  EXPECT_THROW(m_View->RunTextTask(0, -1), ScriptException);
  EXPECT_EQ(CountFreeACT(), m_FreeBefore);
  EXPECT_EQ(ChildCount(), 1);
}

}  // namespace
