// The message view: tokenising, the timed reveal and the click-wait indicator task.
#include "textscript/messview.h"

#include <algorithm>

#include "lib/act.h"
#include "platform/clock.h"
#include "platform/service.h"
#include "textscript/framewait.h"

namespace TextScript {

uint32_t g_MessageNoWait = 0;

namespace {

platform::ServiceSlot<IMessageFrame>& FrameSlot() {
  static platform::ServiceSlot<IMessageFrame> slot("message frame", nullptr);
  return slot;
}

struct ServiceSlots {
  platform::ServiceSlot<IVoiceChannels> voice{"voice-channel service (message services)", nullptr};
  platform::ServiceSlot<IPlayerNames> names{"player-name service (message services)", nullptr};
  platform::ServiceSlot<DxDraw::DxSurface> systemImage{"\"SYSTEM\" picture (message services)", nullptr};
};

ServiceSlots& Services() {
  static ServiceSlots slots;
  return slots;
}

// A name is at most 63 units (its 64-unit buffer with the terminator), up to its first NUL.
std::u16string_view LimitName(std::u16string_view name) {
  const size_t nul = name.find(u'\0');
  if (nul != std::u16string_view::npos) name = name.substr(0, nul);
  return name.substr(0, std::min(name.size(), kPlayerNameSize - 1));
}

std::u16string_view PlayerName(char16_t which) {
  const IPlayerNames& names = MessageNames();
  return LimitName(which == u'1' ? names.FamilyName() : names.GivenName());
}

uint32_t HeldInput() {
  return GetMessageFrame()->HeldInput();
}

}  // namespace

IMessageFrame* SetMessageFrame(IMessageFrame* frame) {
  return FrameSlot().Set(frame);
}

IMessageFrame* GetMessageFrame() {
  return FrameSlot().Get();
}

void SetMessageServices(const MessageServices& services) {
  ServiceSlots& slots = Services();
  slots.voice.Set(services.voice);
  slots.names.Set(services.names);
  slots.systemImage.Set(services.systemImage);
}
IVoiceChannels& MessageVoice() {
  return *Services().voice.Get();
}
IPlayerNames& MessageNames() {
  return *Services().names.Get();
}
DxDraw::DxSurface& MessageSystemImage() {
  return *Services().systemImage.Get();
}

int ParseMessageText(MessageToken* tokens, int capacity, const char16_t* text) {
  if (!tokens || capacity < 1) return 0;
  // One token is always kept for the end of the array.
  int budget = capacity - 1;
  int count = 0;
  const char16_t* p = text ? text : u"";
  while (*p != 0 && budget >= 1) {
    if (p[0] == u'#' && (p[1] == u'1' || p[1] == u'2')) {
      // The name goes in as plain characters: a name holding "#1" is not expanded again.
      const std::u16string_view name = PlayerName(p[1]);
      int produced = 0;
      for (char16_t unit : name) {
        if (produced >= budget) break;
        tokens[count++] = MessageToken{MTOKEN_CHAR, unit};
        ++produced;
      }
      budget -= produced + 2;
      p += 2;
      continue;
    }
    tokens[count++] = MessageToken{MTOKEN_CHAR, *p};
    --budget;
    ++p;
  }
  tokens[count] = MessageToken{MTOKEN_END, 0};
  return count;
}

MessageTokenArray::MessageTokenArray(int capacity) : m_Tokens(static_cast<size_t>(std::max(capacity, 1))) {}

int MessageTokenArray::Parse(const char16_t* text) {
  m_Buffers.clear();
  m_Count = ParseMessageText(m_Tokens.data(), static_cast<int>(m_Tokens.size()), text);
  return m_Count;
}

bool MessageTokenArray::Append(uint32_t type, uintptr_t value) {
  if (m_Count + 1 >= static_cast<int>(m_Tokens.size()) || type == MTOKEN_END) return false;
  m_Tokens[m_Count++] = MessageToken{type, value};
  m_Tokens[m_Count] = MessageToken{};
  return true;
}

bool MessageTokenArray::AppendBuffer(std::unique_ptr<uint8_t[]> buffer) {
  if (!Append(MTOKEN_BUFFER, reinterpret_cast<uintptr_t>(buffer.get()))) return false;
  m_Buffers.push_back(std::move(buffer));
  return true;
}

const platform::Rect g_IndicatorFrames[2][4] = {
    {{0, 16, 16, 32}, {16, 16, 32, 32}, {32, 16, 48, 32}, {48, 16, 64, 32}},
    {{64, 16, 80, 32}, {80, 16, 96, 32}, {96, 16, 112, 32}, {112, 16, 128, 32}},
};

DxMessView2::DxMessView2(int32_t width, int32_t height) : DxDraw::DxSurfaceSprite32(width, height) {
  m_Params.mode = 0x10000;
  m_Text.Reset();
  m_Text.m_Area = platform::Rect{0, 0, width, height};
  m_Text.m_Style = DxDraw::TEXT_BOLD | DxDraw::TEXT_SHADOW;
}

void DxMessView2::Clear(uint32_t colour) {
  DxDraw::DxSurface32::Fill(nullptr, colour, 0);
}

void DxMessView2::SetTextOrigin(int32_t x, int32_t y) {
  m_Text.m_CursorX = x;
  m_Text.m_CursorY = y;
}

void DxMessView2::GetTextOrigin(platform::Point* out) {
  if (out) *out = platform::Point{m_Text.m_CursorX, m_Text.m_CursorY};
}

void DxMessView2::GetCellSize(platform::Point* out) {
  if (!out) return;
  const int32_t h = m_pFont ? m_pFont->GetLogFont().height : 0;
  *out = platform::Point{h + m_Text.m_SpacingX, h + m_Text.m_SpacingY};
}

void DxMessView2::SetFont(int32_t height, int32_t lineSpacing, const char16_t* face) {
  m_Text.m_pFont = nullptr;
  m_pFont.reset();
  m_Text.m_SpacingX = 0;
  m_Text.m_SpacingY = lineSpacing;
  m_pFont.reset(new DxDraw::FontDC());
  m_pFont->SetFace(face ? face : u"ＭＳ ゴシック", height);
  m_Text.m_pFont = m_pFont.get();
}

void DxMessView2::DrawTokens(uint32_t colour, uint32_t pause, const MessageToken* tokens, MessageCharCallback callback,
                             void* argument) {
  m_Text.m_pCallback = nullptr;
  m_Text.m_TextColor = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
  m_CharPause = pause;
  m_pCharCallback = callback;
  m_pCharArgument = argument;
  m_PauseEnabled = 1;
  m_Text.BeginDC(this);
  // A wait inside the reveal may raise a transfer; the drawing context still ends.
  struct EndGuard {
    DxDraw::TextContext& text;
    ~EndGuard() { text.EndDC(); }
  } guard{m_Text};
  PlayTokens(tokens);
}

void DxMessView2::PrintText(uint32_t colour, uint32_t pause, const char16_t* text, MessageCharCallback callback,
                            void* argument) {
  MessageTokenArray tokens(kMessageTokenCapacity);
  tokens.Parse(text);
  DrawTokens(colour, pause, tokens.Data(), callback, argument);
}

void DxMessView2::PlayTokens(const MessageToken* tokens) {
  // A high surrogate left at the end of one message is not joined to the next.
  struct PendingGuard {
    char16_t& pending;
    ~PendingGuard() { pending = 0; }
  } guard{m_PendingHigh};
  if (!tokens) return;
  for (const MessageToken* t = tokens; t->type != MTOKEN_END; ++t) {
    switch (t->type) {
      case MTOKEN_CHAR:
        PlayCharacter(static_cast<char16_t>(t->value));
        break;
      case MTOKEN_PAUSE:
        m_CharPause = static_cast<uint32_t>(t->value);
        break;
      case MTOKEN_COLOR:
        m_Text.m_TextColor = static_cast<uint32_t>(t->value);
        break;
      case MTOKEN_BOLD:
        m_Text.m_Style = t->value ? (m_Text.m_Style | DxDraw::TEXT_BOLD) : (m_Text.m_Style & ~DxDraw::TEXT_BOLD);
        break;
      case MTOKEN_PAUSE_ON:
        m_PauseEnabled = t->value ? 1 : 0;
        break;
      case MTOKEN_SHADOW:
        m_Text.m_Style = t->value ? (m_Text.m_Style | DxDraw::TEXT_SHADOW) : (m_Text.m_Style & ~DxDraw::TEXT_SHADOW);
        break;
      case MTOKEN_OUTLINE:
        m_Text.m_Style = t->value ? (m_Text.m_Style | DxDraw::TEXT_OUTLINE) : (m_Text.m_Style & ~DxDraw::TEXT_OUTLINE);
        break;
      default:  // 3, 7 and unknown types change nothing
        break;
    }
  }
}

void DxMessView2::PlayCharacter(char16_t unit) {
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    m_PendingHigh = unit;
    return;
  }
  char32_t ch = unit;
  if (m_PendingHigh) {
    if (unit >= 0xDC00 && unit <= 0xDFFF) ch = (char32_t(m_PendingHigh - 0xD7C0) << 10) | char32_t(unit - 0xDC00);
    // A high surrogate without its low one is no character: it is dropped.
    m_PendingHigh = 0;
  }
  DxDraw::DxSurface32::PutChar(&m_Text, ch);
  if (m_CharPause == 0 || !m_PauseEnabled) return;
  if (m_pCharCallback) m_pCharCallback(m_pCharArgument);
  if (g_MessageNoWait || (HeldInput() & INPUT_MASK_CTRL)) return;
  GetMessageFrame()->WaitTime(m_CharPause, 3);
}

// ---- the click-wait task ----

namespace {

struct SpriteRelease {
  void operator()(DxDraw::DxSprite* sprite) const {
    if (sprite) sprite->Release();
  }
};

struct TextTaskState {
  uint32_t frameIndex = 0;
  std::unique_ptr<DxDraw::DxSprite, SpriteRelease> sprite;
  const platform::Rect* frames = g_IndicatorFrames[0];
  bool voiceCheck = false;
  int32_t channel = -1;
  uint32_t timer = 0;
  uint32_t autoWait = 0;
  uint32_t result = 0;
};

DxDraw::FrameRecord IndicatorFrame(const platform::Rect& source) {
  DxDraw::FrameRecord f;
  f.width = 16;
  f.height = 16;
  f.source = source;
  return f;
}

TextTaskState* StateOf(ACT* act) {
  return reinterpret_cast<TextTaskState*>(act->m_User);
}

int32_t TextTaskProc(ACT* act, uint32_t message, uintptr_t a, uintptr_t b) {
  switch (message) {
    case ACTMSG_CREATE:
      act->m_User = reinterpret_cast<uintptr_t>(new TextTaskState());
      act->m_Result = 0;
      return 0;
    case ACTMSG_DESTROY:
      // Reclaimed here, on every way the task ends: the indicator goes with it.
      std::unique_ptr<TextTaskState>(StateOf(act)).reset();
      act->m_User = 0;
      return 0;
    case kTextTaskQuery:
      if (a == 0 && b != 0 && act->m_User) *reinterpret_cast<uint32_t*>(b) = StateOf(act)->result;
      return 0;
    case ACTMSG_RUN:
      break;
    default:
      return 0;
  }
  TextTaskState* s = StateOf(act);
  if (!s) return 0;
  const uint32_t now = platform::TimeMs();
  IMessageFrame* frame = GetMessageFrame();
  switch (act->m_Result) {
    case 0: {
      if (now - s->timer >= 100) {
        if (s->sprite) {
          const DxDraw::FrameRecord f = IndicatorFrame(s->frames[s->frameIndex]);
          s->sprite->SetSourceRect(&f);
        }
        s->frameIndex = (s->frameIndex + 1) % 4;
        s->timer = now;
      }
      uint32_t result = frame->PressedInput();
      if (s->autoWait == 0) result &= ~INPUT_MASK_SKIP;
      s->result = result;
      if (s->voiceCheck && !MessageVoice().IsPlaying(s->channel)) {
        s->result = 0;
        act->m_Result = 2;
      } else if (result & INPUT_MASK_CLICK_ENTER) {
        act->m_Result = 2;
      } else if (s->autoWait != 0 && (frame->HeldInput() & INPUT_MASK_SKIP)) {
        s->timer = now;
        act->m_Result = 1;
      }
      break;
    }
    case 1:
      if (now - s->timer >= s->autoWait) act->m_Result = 2;
      break;
    case 2:
      if (s->voiceCheck) MessageVoice().Stop(s->channel);
      if (s->sprite) s->sprite->Hide();
      act->m_Result = ACT_RESULT_DONE;
      break;
    default:
      break;
  }
  return 0;
}

struct TaskFree {
  void operator()(ACT* act) const {
    if (act) FreeACT(act);
  }
};

}  // namespace

ACT* DxMessView2::CreateTextTask(int32_t style, int32_t channel) {
  std::unique_ptr<ACT, TaskFree> task(MakeACT(TextTaskProc, 0));
  TextTaskState* s = StateOf(task.get());
  s->frames = g_IndicatorFrames[style == 1 ? 1 : 0];
  const DxDraw::FrameRecord first = IndicatorFrame(s->frames[0]);
  s->voiceCheck = channel != -1 && MessageVoice().IsPlaying(channel);
  s->sprite.reset(new DxDraw::DxSprite(&MessageSystemImage(), &first, 0x10000));
  s->sprite->SetPosition(static_cast<int>(m_Position[0]) + GetWidth(), static_cast<int>(m_Position[1]) + GetHeight());
  if (ssGroup* parent = GetParent()) parent->AddChild(s->sprite.get());
  s->channel = channel;
  s->timer = platform::TimeMs();
  s->autoWait = m_AutoWait;
  s->result = 0;
  return task.release();
}

uint32_t DxMessView2::RunTextTask(int32_t style, int32_t channel) {
  std::unique_ptr<ACT, TaskFree> task(CreateTextTask(style, channel));
  IMessageFrame* frame = GetMessageFrame();
  while (task->m_Result != ACT_RESULT_DONE) {
    RunACT(task.get());
    frame->WaitFrame();
  }
  uint32_t result = 0;
  SendACT(task.get(), kTextTaskQuery, 0, reinterpret_cast<uintptr_t>(&result));
  return result;
}

}  // namespace TextScript
