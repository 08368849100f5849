// The timed notice: one centred line over the "SYSTEM" picture's frame for a fixed time.
#include <string>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "lib/utility.h"
#include "script/screens/screens.h"
#include "script/settings.h"
#include "textscript/messview.h"

namespace {

constexpr uint32_t kStyleMessage = 0x8000;
constexpr int32_t kTextWidth = 720, kTextHeight = 42;
constexpr int32_t kFontHeight = 32;
constexpr uint32_t kWhite = 0xFFFFFF;

void DrawCentred(TextScript::DxMessView2& view, const std::u16string& text) {
  const int32_t width = GetDisplayWidth(text.c_str()) * (kFontHeight / 2);
  view.SetTextOrigin((kTextWidth - width) / 2, 0);
  view.PrintText(kWhite, 0, text.c_str(), nullptr, nullptr);
}

}  // namespace

void ShowTimedNotice(ssGroup* screen, DxDraw::DxSurface* systemImage, const char16_t* text, uint32_t ms) {
  const std::u16string line = text ? text : u"";
  // The message window owns the font request: it is handed back once the notice is gone, on
  // every way out.
  struct FontRequest {
    bool seen = false;
    ~FontRequest() {
      if (seen) g_AppFlags |= APPFLAG_FONT_CHANGED;
    }
  } font;
  const DxDraw::FrameRecord frame{584, 42, 0, 0, platform::Rect{72, 240, 656, 282}, 0};
  screens::Sprite<> back = screens::AddSprite(screen, systemImage, &frame, 0x10002, 108, 340);
  back->m_Params.level = 128;
  screens::Sprite<TextScript::DxMessView2> view(new TextScript::DxMessView2(kTextWidth, kTextHeight));
  view->SetPosition(40, 344);
  screen->AddChild(view.get());
  view->SetStyleFlags(view->GetStyleFlags() | kStyleMessage);
  view->SetFont(kFontHeight, 0, g_Setting.m_FontName);
  DrawCentred(*view, line);

  // The click that asked for the notice is let go first, so it cannot end the wait below.
  do {
    WaitFrame();
    if (g_AppFlags & APPFLAG_FONT_CHANGED) {
      view->SetFont(kFontHeight, 0, g_Setting.m_FontName);
      g_AppFlags &= ~APPFLAG_FONT_CHANGED;
      font.seen = true;
      view->Clear(0);
      DrawCentred(*view, line);
    }
  } while (g_Input.held != 0);
  WaitTime(ms, WAIT_CLICK);
}
