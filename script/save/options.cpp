// The settings accessors, the yes/no prompt and the read flags.
#include "script/save/options.h"

#include <memory>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "dxdraw/drawview.h"
#include "dxdraw/sprite.h"
#include "lib/error.h"
#include "lib/utility.h"
#include "script/messagewindow.h"
#include "script/settings.h"
#include "script/sounds.h"
#include "sound/sound.h"
#include "textscript/inputbits.h"
#include "textscript/messview.h"
#include "textscript/variables.h"

int32_t g_TextSpeed = 100;
int32_t g_AutoWait = 1;
uint8_t g_ReadFlags[kReadFlagAreaBytes] = {};

namespace {

constexpr int32_t kTextSpeeds[kTextSpeedIndices] = {0, 50, 200, 400};
constexpr int32_t kAutoWaits[kAutoWaitIndices] = {0, 1, 100, 600, 1000};

constexpr size_t kPrologueByte = kReadFlagAreaBytes - 1;
constexpr uint8_t kPrologueBit = 0x01;

bool PageInRange(int32_t page) {
  return page >= 0 && page <= kLastReadPage;
}

void SetChannelVolume(int32_t channel, int32_t volume) {
  Sound::SetStreamVolume(Sound::ChannelId(channel), AppVolumeToDecibels(volume));
}

}  // namespace

void SetTextSpeed(int32_t index) {
  // A hand-edited configuration can hold any number: it counts as the default index.
  if (index < 0 || index >= kTextSpeedIndices) index = kDefaultTextSpeedIndex;
  g_TextSpeed = kTextSpeeds[index];
}

int32_t GetTextSpeedIndex() {
  switch (g_TextSpeed) {
    case 0:
      return 0;
    case 50:
      return 1;
    case 400:
      return 3;
    default:
      return 2;
  }
}

void SetAutoWait(int32_t index) {
  if (index < 0 || index >= kAutoWaitIndices) index = kDefaultAutoWaitIndex;
  g_AutoWait = kAutoWaits[index];
}

int32_t GetAutoWaitIndex() {
  for (int32_t i = 0; i < kAutoWaitIndices; ++i)
    if (g_AutoWait == kAutoWaits[i]) return i;
  return kDefaultAutoWaitIndex;
}

void ApplyBgmVolume(bool on) {
  SetChannelVolume(SOUND_BGM, on ? (g_Setting.m_BgmVolume * 255 / 100) / 10 : 0);
}

void ApplyVoiceVolume(bool on) {
  SetChannelVolume(SOUND_VOICE, on ? g_Setting.m_VoiceVolume * 255 / 100 : 0);
}

void ApplySeVolume(bool on) {
  const int32_t volume = on ? (g_Setting.m_SeVolume * 255 / 100) / 10 : 0;
  SetChannelVolume(SOUND_SE1, volume);
  SetChannelVolume(SOUND_SE2, volume);
}

void MarkPageRead(int32_t page) {
  if (!PageInRange(page)) return;
  g_ReadFlags[page / 8] |= uint8_t(0x80 >> (page % 8));
}

bool IsPageRead(int32_t page) {
  if (!PageInRange(page)) return false;
  return (g_ReadFlags[page / 8] & (0x80 >> (page % 8))) != 0;
}

void SetPrologueSeen() {
  g_ReadFlags[kPrologueByte] |= kPrologueBit;
}

bool IsPrologueSeen() {
  return (g_ReadFlags[kPrologueByte] & kPrologueBit) != 0;
}

void ClearLiveVariables() {
  g_Variables.Clear();
}

void SetLoadSlot(int32_t index) {
  g_PendingLoadSlot = index;
}

// ---- The yes/no prompt ---------------------------------------------------------------------------

namespace {

struct ViewRelease {
  void operator()(ssView* view) const {
    if (view) view->Release();
  }
};

constexpr uint32_t kPromptStyle = 0x8010;
constexpr int32_t kPromptFontHeight = 32;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kLit = 0xFF0000;

struct Answer {
  const char16_t* text;
  int32_t x;  // in the text view
  int32_t width;
  platform::Rect hit;  // on the screen
};

void DrawQuestion(TextScript::DxMessView2& view, const char16_t* question) {
  const int32_t width = GetDisplayWidth(question) * 16;
  view.SetTextOrigin((720 - width) / 2, 0);
  view.PrintText(kWhite, 0, question, nullptr, nullptr);
}

void DrawAnswer(TextScript::DxMessView2& view, const Answer& a, uint32_t colour) {
  const platform::Rect area{a.x, 42, a.x + a.width, 42 + 32};
  view.DxDraw::DxSurface32::Fill(&area, 0, 0);
  view.SetTextOrigin(a.x, 42);
  view.PrintText(colour, 0, a.text, nullptr, nullptr);
}

}  // namespace

bool AskYesNo(const char16_t* question) {
  if (!question) question = u"";
  DxDraw::DxScreenSurface* screen = g_Frame.screen;
  if (!screen) ThrowException(u"script/scr_gui", __LINE__, 0, 0, u"AskYesNo: no screen");

  Answer answers[2] = {{u"はい", 264, 0, {}}, {u"いいえ", 360, 0, {}}};
  for (Answer& a : answers) {
    a.width = GetDisplayWidth(a.text) * 16;
    a.hit = platform::Rect{a.x + 40, 190, a.x + 40 + a.width, 230};
  }
  const platform::Rect hits[2] = {answers[0].hit, answers[1].hit};

  bool fontSeen = false;
  // The font request seen here belongs to whatever shows the message again afterwards.
  struct FontFlag {
    bool& seen;
    ~FontFlag() {
      if (seen) g_AppFlags |= APPFLAG_FONT_CHANGED;
    }
  } restore{fontSeen};

  DxDraw::FrameRecord frame;
  frame.width = 584;
  frame.height = 82;
  frame.source = platform::Rect{72, 240, 656, 322};
  std::unique_ptr<DxDraw::DxSprite, ViewRelease> sprite(
      new DxDraw::DxSprite(&TextScript::MessageSystemImage(), &frame, 0));
  sprite->m_Params.mode = 0x10002;
  sprite->m_Params.level = 128;
  sprite->SetPosition(108, 148);
  screen->AddChild(sprite.get());

  std::unique_ptr<TextScript::DxMessView2, ViewRelease> view(new TextScript::DxMessView2(720, 126));
  view->SetStyleFlags(view->GetStyleFlags() | kPromptStyle);
  view->SetPosition(40, 152);
  view->SetFont(kPromptFontHeight, 0, g_Setting.m_FontName);
  screen->AddChild(view.get());

  auto drawAll = [&] {
    DrawQuestion(*view, question);
    for (const Answer& a : answers) DrawAnswer(*view, a, kWhite);
  };
  drawAll();

  HitTracker tracker;
  tracker.Init();
  int32_t lit = -1;
  int32_t chosen = -1;
  for (;;) {
    WaitFrame();
    if (g_AppFlags & APPFLAG_FONT_CHANGED) {
      view->SetFont(kPromptFontHeight, 0, g_Setting.m_FontName);
      g_AppFlags &= ~APPFLAG_FONT_CHANGED;
      fontSeen = true;
      view->Clear(0);
      drawAll();
      if (lit >= 0) DrawAnswer(*view, answers[lit], kLit);
    }
    const int32_t hover = tracker.Update(hits, 2, g_Input.x, g_Input.y, nullptr);
    if (hover != lit) {
      if (lit >= 0) DrawAnswer(*view, answers[lit], kWhite);
      if (hover >= 0) DrawAnswer(*view, answers[hover], kLit);
      lit = hover;
    }
    if ((g_Input.pressed & INPUT_LBUTTON) && hover >= 0) {
      chosen = hover;
      break;
    }
  }
  return chosen == 0;
}
