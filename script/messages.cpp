// The message, choice and page-end commands: MESSAGE, SEL, the page statement and SED.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "dxdraw/drawview.h"
#include "dxdraw/sprite.h"
#include "lib/act.h"
#include "lib/utility.h"
#include "script/commandrules.h"
#include "script/executor.h"
#include "script/messagewindow.h"
#include "script/scene.h"
#include "script/services.h"
#include "script/settings.h"
#include "textscript/messview.h"
#include "textscript/messwindow.h"
#include "textscript/variables.h"

using TextScript::DxMessView2;
using TextScript::DxMessWindow;
using TextScript::MessageTokenArray;
using TextScript::ScriptStateNode;

namespace {

constexpr uint32_t kStyleMessage = 0x8000;
constexpr char16_t kSpeakerBracket = u'【';
constexpr int32_t kVoiceChannel = 3;
constexpr int kMaxChoices = 3;

DxMessWindow& Window() {
  return GameScene().MessageWindow();
}
DxMessView2& View() {
  return *Window().m_pView;
}

// The view's colour word holds blue in the low byte; its drawing calls take 0xRRGGBB.
uint32_t SwapRedBlue(uint32_t c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The text as character tokens, '#' taken as it stands: the names were put in already, and a
// name that holds "#1" is shown as the player typed it. The display keeps its cut at the array's
// size.
std::unique_ptr<MessageTokenArray> PlainTokens(std::u16string_view text) {
  auto tokens = std::make_unique<MessageTokenArray>(TextScript::kMessageTokenCapacity);
  for (char16_t unit : text)
    if (!tokens->Append(TextScript::MTOKEN_CHAR, unit)) break;
  return tokens;
}

bool SpeakerLine(std::u16string_view text) {
  return !text.empty() && text.front() == kSpeakerBracket;
}

// Prints the text at once in the view's colour, a line feed first unless it names its speaker.
void PrintAtOnce(DxMessView2& view, std::u16string_view text) {
  const uint32_t colour = SwapRedBlue(view.GetColor());
  if (!SpeakerLine(text)) view.DrawTokens(colour, 0, PlainTokens(u"\n")->Data(), nullptr, nullptr);
  view.DrawTokens(colour, 0, PlainTokens(text)->Data(), nullptr, nullptr);
}

void ResetMessageFont(DxMessView2& view) {
  view.SetFont(kMessageFontHeight, kMessageLineSpacing, g_Setting.m_FontName);
}

void OpenMessageWindow() {
  DxMessWindow& window = Window();
  if (!window.IsShown()) RunWindowEffect(TextScript::StartMessageWindowOpen(&window));
}

// The VOI statement next to a message: the one before, else the one after.
ScriptStateNode_App* NeighbourVoice(const ScriptStateNode_App& node) {
  if (ScriptStateNode_App* prev = node.PrevApp(); prev && prev->m_Type == TextScript::STMT_VOI) return prev;
  if (ScriptStateNode_App* next = node.NextApp(); next && next->m_Type == TextScript::STMT_VOI) return next;
  return nullptr;
}

// A player name up to its first NUL.
std::u16string_view NameText(std::u16string_view name) {
  const size_t nul = name.find(u'\0');
  return nul == std::u16string_view::npos ? name : name.substr(0, nul);
}

// "#1" and "#2" replaced by the player's family and given name once; every other '#' stays.
std::u16string SubstituteNames(std::u16string_view text) {
  const TextScript::IPlayerNames& names = TextScript::MessageNames();
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'#' && i + 1 < text.size() && (text[i + 1] == u'1' || text[i + 1] == u'2')) {
      out += NameText(text[i + 1] == u'1' ? names.FamilyName() : names.GivenName());
      ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

void SetButtonModes() {
  IMessageButtons& buttons = GameButtons();
  buttons.SetButtonLevel(MBUTTON_SKIP, g_SkipMode ? kButtonLit : kButtonDimmed);
  buttons.SetButtonLevel(MBUTTON_AUTO, g_AutoMode ? kButtonLit : kButtonDimmed);
}

// ---- MESSAGE ----

// Reveals the tokens at the reader's pace; a font change during it (code 3) prints them again.
void RevealMessage(DxMessView2& view, const std::u16string& text, uint32_t colour, uint32_t windowSpeed) {
  const std::unique_ptr<MessageTokenArray> tokens = PlainTokens(text);
  for (;;) {
    try {
      // The drawing calls set the colour, the delay and the per-character check.
      const uint32_t delay = windowSpeed * GameOptions().TextSpeed() / 100;
      if (!SpeakerLine(text)) view.DrawTokens(SwapRedBlue(colour), 0, PlainTokens(u"\n")->Data(), nullptr, nullptr);
      view.DrawTokens(SwapRedBlue(colour), delay, tokens->Data(), CheckReprint, nullptr);
      return;
    } catch (const ScriptException& e) {
      if (e.m_Code != 3) throw;
      view.Clear(0);
      view.SetTextOrigin(0, 0);
      ResetMessageFont(view);
      g_AppFlags &= ~APPFLAG_FONT_CHANGED;
    }
  }
}

ScriptStateNode* Message(ScriptStateNode_App& node) {
  GameSceneServices().ShowPendingBackground();
  OpenMessageWindow();

  if (ScriptStateNode_App* voice = NeighbourVoice(node)) {
    // The voice command plays for a message that reads 0xFF; it leaves a message's own voice alone.
    struct Restore {
      ScriptStateNode_App& node;
      ~Restore() { node.m_Type = TextScript::STMT_MESSAGE; }
    } restore{node};
    node.m_Type = 0xFF;
    GameVoice().RunVoice(*voice);
  }

  DxMessView2& view = View();
  view.Clear(0);
  WaitFrame();
  view.SetTextOrigin(0, 0);
  view.m_AutoWait = GameOptions().AutoWait();
  const uint32_t colour = view.GetColor();

  const std::u16string text = SubstituteNames(node.Arg(0));

  if (g_BackLog) {
    std::u16string voiceName;
    if (const ScriptStateNode_App* voice = NeighbourVoice(node); voice && voice->Arg(0) != u"00")
      voiceName = UpperAscii(voice->Arg(0));
    g_BackLog->Append(text, std::move(voiceName));
  }

  if (g_AppFlags & APPFLAG_FONT_CHANGED) {
    ResetMessageFont(view);
    g_AppFlags &= ~APPFLAG_FONT_CHANGED;
  }
  view.SetStyleFlags(view.GetStyleFlags() | kStyleMessage);

  struct PageText {
    ~PageText() { g_PageText = 1; }
  } pageText;
  if (g_SkipMode)
    PrintAtOnce(view, text);
  else
    RevealMessage(view, text, colour, Window().m_GameWord0);
  return node.Next();
}

// ---- the page end ----

// Whether the skip button is offered: not on an unread page while "TextSkip1" is on.
bool SkipOffered(bool readBefore) {
  return !(g_Setting.m_TextSkip1 && !readBefore);
}

// Skip and auto mode: true when the page goes on without waiting for the reader.
bool PageGoesOn(bool readBefore) {
  bool goOn = false;
  if (g_SkipMode) {
    if (!SkipOffered(readBefore)) {
      g_SkipMode = 0;
    } else if (g_SkipMode == 1) {
      if (WaitTime(100, WAIT_CLICK | WAIT_SKIP))
        g_SkipMode = 0;
      else
        goOn = true;
    } else {
      WaitFrame();
      if (g_Input.held & (INPUT_LSHIFT | INPUT_RSHIFT)) {
        WaitTime(100, 0);
        goOn = true;
      } else {
        g_SkipMode = 0;
      }
    }
  } else if (g_AutoMode) {
    while (g_AutoMode && TextScript::MessageVoice().IsPlaying(kVoiceChannel)) {
      WaitFrame();
      if (g_Input.pressed & INPUT_LBUTTON) g_AutoMode = 0;
    }
    if (g_AutoMode) {
      const uint32_t autoWait = View().m_AutoWait;
      const uint32_t ended = WaitTime(autoWait ? 2 * autoWait : 100, WAIT_CLICK | WAIT_SKIP);
      if (ended & INPUT_LBUTTON)
        g_AutoMode = 0;
      else
        goOn = true;
    }
  }
  SetButtonModes();
  return goOn;
}

// Waits for the reader with the blinking mark and the button bar.
void WaitForReader(bool readBefore) {
  IMessageButtons& buttons = GameButtons();
  DxMessWindow& window = Window();
  DxDraw::FrameRecord markFrame;
  markFrame.width = 24;
  markFrame.height = 24;
  markFrame.source = platform::Rect{752, 408, 776, 432};
  std::unique_ptr<DxDraw::DxSprite, ViewRelease> mark(
      new DxDraw::DxSprite(&TextScript::MessageSystemImage(), &markFrame, 0));
  mark->m_Params.mode = 0x10000;
  mark->SetPosition(752, 160);
  window.AddChild(mark.get());

  buttons.ShowButton(MBUTTON_SKIP, SkipOffered(readBefore));
  buttons.ShowButton(MBUTTON_QUICKSAVE, !g_SceneReplayMode);

  try {
    uint32_t blink = 0;
    StartTimer(&blink);
    HitTracker tracker;
    tracker.Init();
    int32_t lit = -1;
    for (;;) {
      WaitFrame();
      if (TimeElapsed(&blink, 200)) {
        if (mark->IsShown())
          mark->Hide();
        else
          mark->Show();
        StartTimer(&blink);
      }
      if (g_AppFlags & APPFLAG_TEXTSKIP1_CHANGED) buttons.ShowButton(MBUTTON_SKIP, SkipOffered(readBefore));

      const int32_t hover = tracker.Update(buttons.HitRects(), kMessageButtons, g_Input.x, g_Input.y, nullptr);
      if (hover != lit) {
        if (lit >= 0) buttons.SetButtonLevel(lit, kButtonDimmed);
        if (hover >= 0) buttons.SetButtonLevel(hover, kButtonLit);
        lit = hover;
      }

      const uint32_t pressed = g_Input.pressed;
      if ((pressed & INPUT_LBUTTON) && tracker.hit >= 0) {
        switch (tracker.hit) {
          case MBUTTON_BACKLOG:
            window.Hide();
            GameScreens().ShowBacklog();
            window.Show();
            break;
          case MBUTTON_SKIP:
            if (!buttons.IsButtonShown(MBUTTON_SKIP)) break;
            g_SkipMode = 1;
            return;
          case MBUTTON_AUTO:
            g_AutoMode = 1;
            return;
          case MBUTTON_QUICKSAVE:
            if (!g_SceneReplayMode && GameSaves().QuickSave()) GameNotices().ShowNotice(u"セーブしました", 2000);
            break;
          case MBUTTON_QUICKLOAD:
            if (GameOptions().AskYesNo(u"ロードしてもよろしいですか？")) {
              const int32_t slot = GameSaves().NewestQuickSaveSlot();
              if (slot >= 0) {
                g_PendingLoadSlot = slot;
                g_TransferRequest = 2;
              }
            }
            break;
        }
        continue;
      }
      if (pressed & (INPUT_RBUTTON | INPUT_ESC)) {
        window.Hide();
        WaitFrame();
        WaitClick();
        window.Show();
        continue;
      }
      if (g_Input.held & (INPUT_LSHIFT | INPUT_RSHIFT)) {
        g_SkipMode = 2;
        return;
      }
      if (pressed & (INPUT_LBUTTON | INPUT_ENTER)) return;
      if (g_AppFlags & APPFLAG_FONT_CHANGED) {
        DxMessView2& view = View();
        ResetMessageFont(view);
        view.Clear(0);
        view.SetTextOrigin(0, 0);
        if (g_BackLog) PrintAtOnce(view, g_BackLog->LastText());
        g_AppFlags &= ~APPFLAG_FONT_CHANGED;
      }
    }
  } catch (const ScriptException&) {
    TextScript::MessageVoice().Stop(kVoiceChannel);
    throw;
  }
}

ScriptStateNode* PageEnd(ScriptStateNode_App& node, bool pageStatement) {
  IPlayerOptions& options = GameOptions();
  const bool readBefore = options.IsPageRead(TextScript::g_CurrentPage);
  if (pageStatement) options.MarkPageRead(TextScript::g_CurrentPage);
  {
    WaitMenuItems menu;
    if (g_PageText) {
      if (!PageGoesOn(readBefore)) {
        WaitForReader(readBefore);
        TextScript::MessageVoice().Stop(kVoiceChannel);
        WaitFrame();
      }
      View().Clear(0);
      WaitFrame();
      g_PageText = 0;
    }
  }
  SnapshotVariables();
  if (!pageStatement) return nullptr;
  TextScript::g_CurrentPage = node.m_Page;
  if (ScriptStateNode* jump = ServeDebugJump(node)) return jump;
  return node.Next();
}

ScriptStateNode* Page(ScriptStateNode_App& node) {
  return PageEnd(node, true);
}

// SED: the end of a replayed scene; outside a replay it does nothing.
ScriptStateNode* SceneEnd(ScriptStateNode_App& node) {
  if (!g_SceneReplayMode) return node.Next();
  return PageEnd(node, false);
}

// ---- SEL ----

DxDraw::FrameRecord ChoiceFrame(int n) {
  DxDraw::FrameRecord f;
  f.width = 584;
  f.height = int16_t(40 + 42 * (n - 1));
  f.source = platform::Rect{72, 240, 656, 280 + 42 * (n - 1)};
  return f;
}

struct Choice {
  ScriptStateNode_App* node;
  std::u16string text;
  int32_t x;
  platform::Rect hit;
};

void PrintChoice(DxMessView2& view, const Choice& choice, int k, uint32_t colour) {
  view.SetTextOrigin(choice.x, 42 * k);
  view.PrintText(colour, 0, choice.text.c_str(), nullptr, nullptr);
}

ScriptStateNode* Select(ScriptStateNode_App& node) {
  EndSkipOrAutoAtChoice();
  std::vector<Choice> choices;
  for (ScriptStateNode_App* n = &node; n && n->m_Type == TextScript::STMT_SEL; n = n->NextApp()) {
    if (choices.size() == kMaxChoices) throw TextScript::ScriptError2(node.m_Line, u"選択肢は三つまでです");
    const int k = int(choices.size());
    std::u16string text(n->Arg(1));
    const int32_t w = GetDisplayWidth(text.c_str()) * 16;
    const int32_t x = (720 - w) / 2;
    const platform::Rect hit = w < 416 ? platform::Rect{192, 148 + 42 * k, 608, 188 + 42 * k}
                                       : platform::Rect{x + 40, 148 + 42 * k, x + 40 + w, 188 + 42 * k};
    choices.push_back(Choice{n, std::move(text), x, hit});
  }

  OpenMessageWindow();
  GameSceneServices().ShowPendingBackground();
  bool fontChanged = false;
  size_t selected = 0;
  {
    WaitMenuItems menu;
    DxDraw::DxDrawGroup& layer = GameScene().TopLayer();
    const int n = int(choices.size());
    const DxDraw::FrameRecord frame = ChoiceFrame(n);
    std::unique_ptr<DxDraw::DxSprite, ViewRelease> sprite(
        new DxDraw::DxSprite(&TextScript::MessageSystemImage(), &frame, 0));
    sprite->m_Params.mode = 0x10002;
    sprite->m_Params.level = 0x80;
    sprite->SetPosition(108, 148);
    layer.AddChild(sprite.get());
    std::unique_ptr<DxMessView2, ViewRelease> view(new DxMessView2(720, 126));
    view->SetPosition(40, 152);
    layer.AddChild(view.get());
    view->SetFont(kMessageFontHeight, 0, g_Setting.m_FontName);
    view->SetStyleFlags(view->GetStyleFlags() | kStyleMessage);

    for (int k = 0; k < n; ++k) PrintChoice(*view, choices[k], k, 0xFFFFFF);
    std::vector<platform::Rect> hits;
    for (const Choice& c : choices) hits.push_back(c.hit);

    HitTracker tracker;
    tracker.Init();
    int32_t lit = -1;
    for (;;) {
      WaitFrame();
      if (g_AppFlags & APPFLAG_FONT_CHANGED) {
        view->SetFont(kMessageFontHeight, 0, g_Setting.m_FontName);
        g_AppFlags &= ~APPFLAG_FONT_CHANGED;
        view->Clear(0);
        for (int k = 0; k < n; ++k) PrintChoice(*view, choices[k], k, 0xFFFFFF);
        fontChanged = true;
        lit = -1;
      }
      const int32_t hover = tracker.Update(hits.data(), n, g_Input.x, g_Input.y, nullptr);
      if (hover != lit) {
        if (lit >= 0) PrintChoice(*view, choices[lit], lit, 0xFFFFFF);
        if (hover >= 0) PrintChoice(*view, choices[hover], hover, 0xFF0000);
        lit = hover;
      }
      if ((g_Input.pressed & INPUT_LBUTTON) && tracker.hit >= 0) {
        selected = size_t(tracker.hit);
        break;
      }
    }
  }
  if (fontChanged) g_AppFlags |= APPFLAG_FONT_CHANGED;
  if (ScriptStateNode* jump = ServeDebugJump(node)) return jump;
  return choices[selected].node->JumpTo(choices[selected].node->Arg(0));
}

}  // namespace

void CheckReprint(void*) {
  if (g_AppFlags & APPFLAG_FONT_CHANGED) throw ScriptException{3};
}

void RegisterMessageCommands(AppCommandTable& table) {
  table.Register(TextScript::STMT_MESSAGE, Message);
  table.Register(TextScript::STMT_SEL, Select);
  table.Register(TextScript::STMT_PAGE, Page);
  table.Register(TextScript::STMT_SED, SceneEnd);
}
