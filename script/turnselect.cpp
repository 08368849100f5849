// The turn-selection screen (SSL): the turn's caption over "turnbg", then the turns to choose
// from on "select/selbg", the chosen selection handed to the jump table.
#include <memory>
#include <string>
#include <vector>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "dxdraw/drawview.h"
#include "dxdraw/screen.h"
#include "dxdraw/sprite.h"
#include "lib/error.h"
#include "lib/utility.h"
#include "lib/wstring.h"
#include "script/commandrules.h"
#include "script/executor.h"
#include "script/images.h"
#include "script/messagewindow.h"
#include "script/scene.h"
#include "script/services.h"
#include "script/settings.h"
#include "textscript/inputbits.h"
#include "textscript/messview.h"
#include "textscript/variables.h"

using TextScript::ScriptStateNode;

namespace {

constexpr const char16_t* kSource = u"script/scr_gui";
constexpr uint32_t kBlendTransparent = 0x10002;  // blend by the level, the source's clear pixels kept out
constexpr uint32_t kCopyTransparent = 0x10000;
constexpr int32_t kCaptionFadeStep = 15;
constexpr uint32_t kCaptionHoldMs = 2000;
constexpr uint32_t kCaptionAfterMs = 500;
constexpr int32_t kCaptionHeight = 40;
// Where the choices stand: a single turn's picture at x 594, a joined pair's (wider) at 408, the
// first at y 222 and each next one 36 lower.
constexpr int32_t kSingleX = 594;
constexpr int32_t kPairX = 408;
constexpr int32_t kFirstY = 222;
constexpr int32_t kChoiceStep = 36;

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};
using SurfaceHolder = std::unique_ptr<DxDraw::DxSurface, SurfaceRelease>;
using SpriteHolder = std::unique_ptr<DxDraw::DxSprite, ViewRelease>;

SurfaceHolder LoadPicture(const char16_t* name) {
  return SurfaceHolder(LoadScriptImage(g_ScriptArchive, name, false, false));
}

ssGroup& Screen() {
  if (!g_Frame.screen) ThrowException(kSource, __LINE__, 0, 0, u"SSL: no screen to show the turns on");
  return *g_Frame.screen;
}

int32_t IntegerVariable(std::u16string_view name) {
  const ScriptVariable* v = g_Variables.Find(ScriptVariable::kInteger, name);
  return v ? v->m_Value : 0;
}

// The picture copied into the background sprite's image, shown as a plain copy.
void ShowAsBackground(DxDraw::DxSurface* picture) {
  if (!g_BackgroundSprite) return;
  if (DxDraw::DxSurface* shown = g_BackgroundSprite->GetImage()) {
    if (picture) {
      const platform::Rect whole = picture->Bounds();
      shown->Blt(0, 0, picture, &whole, nullptr, nullptr);
    } else {
      shown->Fill(nullptr, 0x000000, 255);
    }
  }
  g_BackgroundSprite->m_Params.mode = 0;
  g_BackgroundSprite->Show();
  g_BackgroundSprite->MarkDirty(DxDraw::DIRTY_VISIBILITY);
}

void SetLevels(DxDraw::DxSprite& a, DxDraw::DxSprite& b, int32_t level) {
  for (DxDraw::DxSprite* s : {&a, &b}) {
    s->m_Params.level = uint32_t(level);
    s->MarkDirty(DxDraw::DIRTY_VISIBILITY);
  }
}

// "ターン%2d" over "turnbg": faded in, held, faded out.
void ShowTurnCaption(int32_t turn) {
  ssGroup& screen = Screen();
  const SurfaceHolder band = LoadPicture(u"turnbg");
  SpriteHolder backdrop(new DxDraw::DxSprite(band.get(), nullptr, kBlendTransparent));
  const int32_t bandTop = (kSceneHeight - band->GetAbsHeight()) / 2;
  backdrop->SetPosition((kSceneWidth - band->GetWidth()) / 2, bandTop);

  const std::u16string text = FormatWide(u"ターン%2d", turn);
  std::unique_ptr<TextScript::DxMessView2, ViewRelease> caption(
      new TextScript::DxMessView2(kSceneWidth, kCaptionHeight));
  caption->SetFont(kMessageFontHeight, 0, g_Setting.m_FontName);
  caption->SetPosition(0, (kSceneHeight - kCaptionHeight) / 2);
  caption->m_Params.mode = kBlendTransparent;
  caption->SetTextOrigin((kSceneWidth - GetDisplayWidth(text.c_str()) * kMessageFontHeight / 2) / 2,
                         (kCaptionHeight - kMessageFontHeight) / 2);
  caption->PrintText(0xFFFFFF, 0, text.c_str(), nullptr, nullptr);

  SetLevels(*backdrop, *caption, 0);
  screen.AddChild(backdrop.get());
  screen.AddChild(caption.get());
  for (int32_t level = 0; level < 256; level += kCaptionFadeStep) {
    SetLevels(*backdrop, *caption, level);
    WaitFrame();
  }
  WaitTime(kCaptionHoldMs, WAIT_CLICK | WAIT_SKIP);
  for (int32_t t = 0; t < 256; t += kCaptionFadeStep) {
    SetLevels(*backdrop, *caption, 255 - t);
    WaitFrame();
  }
  WaitTime(kCaptionAfterMs, WAIT_CLICK | WAIT_SKIP);
}

struct TurnChoice {
  const char16_t* name;  // "A" for "select/SEL_A_0" and "select/SEL_A_1"
  int32_t selection;
};

// The choices top to bottom: A, B, C and D, with A and B joined when either of "A010" and "B010"
// is set, C and D when either of "C010" and "D010" is.
std::vector<TurnChoice> Layout() {
  const bool ab = IntegerVariable(u"A010") != 0 || IntegerVariable(u"B010") != 0;
  const bool cd = IntegerVariable(u"C010") != 0 || IntegerVariable(u"D010") != 0;
  std::vector<TurnChoice> choices;
  if (ab)
    choices.push_back({u"AB", 5});
  else
    choices.insert(choices.end(), {{u"A", 1}, {u"B", 2}});
  if (cd)
    choices.push_back({u"CD", 6});
  else
    choices.insert(choices.end(), {{u"C", 3}, {u"D", 4}});
  return choices;
}

struct ShownChoice {
  SurfaceHolder plain, lit;
  SpriteHolder sprite;
  int32_t selection = 0;
};

// Shows the choices, follows the cursor and returns the selection clicked.
int32_t ChooseTurn() {
  ssGroup& screen = Screen();
  std::vector<ShownChoice> shown;
  std::vector<platform::Rect> hits;
  for (const TurnChoice& c : Layout()) {
    const std::u16string base = std::u16string(u"select/SEL_") + c.name;
    ShownChoice s;
    s.plain = LoadPicture((base + u"_0").c_str());
    s.lit = LoadPicture((base + u"_1").c_str());
    s.selection = c.selection;
    const int32_t x = c.name[1] ? kPairX : kSingleX;
    const int32_t y = kFirstY + kChoiceStep * int32_t(shown.size());
    s.sprite.reset(new DxDraw::DxSprite(s.plain.get(), nullptr, kCopyTransparent));
    s.sprite->SetPosition(x, y);
    screen.AddChild(s.sprite.get());
    hits.push_back(platform::Rect{x, y, x + s.plain->GetWidth(), y + s.plain->GetAbsHeight()});
    shown.push_back(std::move(s));
  }
  // The sprites go before their pictures.
  struct SpritesFirst {
    std::vector<ShownChoice>& shown;
    ~SpritesFirst() {
      for (ShownChoice& s : shown) s.sprite.reset();
    }
  } spritesFirst{shown};

  HitTracker tracker;
  tracker.Init();
  int32_t lit = -1;
  for (;;) {
    WaitFrame();
    const int32_t hover = tracker.Update(hits.data(), int(hits.size()), g_Input.x, g_Input.y, nullptr);
    if (hover != lit) {
      for (size_t k = 0; k < shown.size(); ++k)
        shown[k].sprite->SetImage(int32_t(k) == hover ? shown[k].lit.get() : shown[k].plain.get());
      lit = hover;
    }
    if ((g_Input.pressed & INPUT_LBUTTON) && tracker.hit >= 0) return shown[size_t(tracker.hit)].selection;
  }
}

ScriptStateNode* TurnSelect(ScriptStateNode_App& node) {
  if (node.ArgCount() > 0) EvalOperand(node.Arg(0), 0);
  int32_t selection = 0;
  {
    WaitMenuItems menu;
    EndSkipOrAutoAtChoice();
    GameScene().MessageWindow().Hide();
    g_PageText = 0;
    GameSceneServices().FadeToBlack();
    ShowAsBackground(LoadPicture(u"select/selbg").get());
    ShowTurnCaption(IntegerVariable(u"TURN"));
    selection = ChooseTurn();
    ShowAsBackground(nullptr);
  }
  if (ScriptStateNode* jump = ServeDebugJump(node)) return jump;
  return node.m_pGroup->DispatchIV(selection);
}

}  // namespace

void RegisterTurnSelectCommands(AppCommandTable& table) {
  table.Register(TextScript::STMT_SSL, TurnSelect);
}
