// The backlog screen: display lines, faces and voice buttons, scrolling by wheel, keys and bar.
#include "script/screens/backlog.h"

#include <algorithm>
#include <memory>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "lib/sjis.h"
#include "script/images.h"
#include "script/settings.h"
#include "script/sounds.h"
#include "sound/sound.h"
#include "textscript/messview.h"

using DxDraw::FrameRecord;
using platform::Rect;

BacklogLayout CutBacklogLines(const BackLogList& backlog) {
  BacklogLayout out;
  out.lines.reserve(512);
  out.voices.reserve(256);
  for (const BACKLOGENTRY& e : backlog.Entries()) {
    const int first = static_cast<int>(out.lines.size());
    if (!e.voice.empty())
      out.voices.push_back(
          BACKLOGVOICE{Rect{24, kBacklogLineHeight * first, 72, kBacklogLineHeight * first + 48}, e.voice.c_str()});
    const char16_t* p = e.text.data();
    const char16_t* end = p + e.text.size();
    while (p < end) {
      size_t n = 0;
      while (p + n < end && p[n] != u'\n' && n < size_t(kBacklogLineChars)) ++n;
      out.lines.push_back(BACKLOGLINE{p, n});
      p += n;
      if (p < end && *p == u'\n' && n < size_t(kBacklogLineChars)) ++p;
    }
    out.lines.push_back(BACKLOGLINE{});
  }
  return out;
}

namespace {

constexpr int32_t kBarX = 688, kBarY = 16;
constexpr int32_t kThumbX = 692, kThumbTop = 36, kThumbBottom = 532;
constexpr double kThumbTravel = 496.0;
constexpr Rect kUpArrow{688, 16, 720, 36};
constexpr Rect kDownArrow{688, 564, 720, 584};
constexpr FrameRecord kBarFrame{32, 568, 0, 0, {0, 240, 32, 808}, 0};
constexpr FrameRecord kThumbFrame{24, 32, 0, 0, {32, 240, 56, 272}, 0};
constexpr int kFaceSize = 48;
constexpr uint32_t kDimLevel = 192;
constexpr uint32_t kTextStyle = 0x8010;
constexpr uint32_t kSourceTransparent = 0x10000;

bool Holds(const Rect& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

struct ViewRelease {
  void operator()(ssView* v) const {
    if (v) v->Release();
  }
};
struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};

class BacklogScreen {
 public:
  explicit BacklogScreen(const ScreenSources& sources) : m_Sources(sources) {
    m_Faces = ReadBacklogFaces(sources.archive);
    m_pFaceImage.reset(LoadScriptImage(sources.archive, u"title/backlogface", false, false));

    m_pDim.reset(new DxDraw::DxSurfaceSprite32(800, 600));
    m_pDim->DxDraw::DxSurface32::Fill(nullptr, 0, 255);
    m_pDim->m_Params.mode = 2;
    m_pDim->m_Params.level = kDimLevel;
    m_pDim->Show();
    sources.screen->AddChild(m_pDim.get());

    if (g_BackLog) m_Layout = CutBacklogLines(*g_BackLog);
    m_Count = static_cast<int>(m_Layout.lines.size());

    m_pView.reset(new TextScript::DxMessView2(576, 600));
    m_pView->SetPosition(124, 0);
    m_pView->SetFont(kBacklogLineHeight, 0, g_Setting.m_FontName);
    m_pView->m_Params.mode = kSourceTransparent;
    m_pView->SetStyleFlags(kTextStyle);
    sources.screen->AddChild(m_pView.get());

    const FrameRecord bar = ClippedFrame(sources.systemImage, kBarFrame.source);
    m_pBar.reset(new DxDraw::DxSprite(sources.systemImage, &bar, kSourceTransparent));
    m_pBar->SetPosition(kBarX, kBarY);
    sources.screen->AddChild(m_pBar.get());

    if (m_Count > kBacklogVisibleLines) {
      m_Top = m_Count - kBacklogVisibleLines;
      const FrameRecord thumb = ClippedFrame(sources.systemImage, kThumbFrame.source);
      m_pThumb.reset(new DxDraw::DxSprite(sources.systemImage, &thumb, kSourceTransparent));
      m_pThumb->SetPosition(kThumbX, kThumbBottom);
      sources.screen->AddChild(m_pThumb.get());
    }
    m_ThumbRect = Rect{kThumbX, kThumbBottom, kThumbX + 24, kThumbBottom + 32};
  }

  ~BacklogScreen() { Leave(); }

  // Releases what it shows, stops the voice and passes a font change on to the message window.
  void Leave() noexcept {
    if (m_Left) return;
    m_Left = true;
    m_pView.reset();
    m_pDim.reset();
    m_pBar.reset();
    m_pThumb.reset();
    m_pFaceImage.reset();
    Sound::StopChannel(SOUND_VOICE);
    if (m_FontSeen) g_AppFlags |= APPFLAG_FONT_CHANGED;
  }

  // The frames until the player leaves.
  void Run() {
    for (;;) {
      WaitFrame();
      if (g_AppFlags & APPFLAG_FONT_CHANGED) {
        m_pView->SetFont(kBacklogLineHeight, 0, g_Setting.m_FontName);
        g_AppFlags &= ~APPFLAG_FONT_CHANGED;
        m_Redraw = true;
        m_FontSeen = true;
      }
      if (m_Redraw) Redraw();
      if (m_Dragging) {
        Drag();
        continue;
      }
      const int x = g_Input.x, y = g_Input.y;
      if (m_pThumb && (g_Input.repeat & INPUT_LBUTTON) && Holds(m_ThumbRect, x, y)) {
        m_Dragging = true;
        m_Grab = y - m_ThumbRect.top;
        continue;
      }
      if (g_Input.pressed & INPUT_LBUTTON) PressAt(x, y);
      const bool leftRepeat = (g_Input.repeat & INPUT_LBUTTON) != 0;
      if (m_Top > 0 && ((g_Input.repeat & INPUT_UP) || (leftRepeat && Holds(kUpArrow, x, y)) || g_Input.wheel > 0)) {
        --m_Top;
        Scrolled();
      } else if (m_Top + kBacklogVisibleLines < m_Count &&
                 ((g_Input.repeat & INPUT_DOWN) || (leftRepeat && Holds(kDownArrow, x, y)) || g_Input.wheel < 0)) {
        ++m_Top;
        Scrolled();
      }
      if (g_Input.pressed & (INPUT_RBUTTON | INPUT_ESC)) return;
    }
  }

 private:
  bool Visible(const BACKLOGVOICE& v) const {
    return v.rect.top >= kBacklogLineHeight * m_Top && v.rect.top < kBacklogLineHeight * (m_Top + 24);
  }

  void Redraw() {
    m_pView->SetTextOrigin(0, 0);
    m_pView->Clear(0);
    m_pDim->DxDraw::DxSurface32::Fill(nullptr, 0, 255);
    TextScript::MessageTokenArray tokens(kBacklogVisibleLines * (kBacklogLineChars + 1) + 1);
    const int last = std::min(m_Count, m_Top + kBacklogVisibleLines);
    for (int i = m_Top; i < last; ++i) {
      const BACKLOGLINE& line = m_Layout.lines[size_t(i)];
      for (size_t k = 0; k < line.length; ++k) tokens.Append(TextScript::MTOKEN_CHAR, line.text[k]);
      tokens.Append(TextScript::MTOKEN_CHAR, u'\n');
    }
    m_pView->DrawTokens(0xFFFFFF, 0, tokens.Data(), CheckReprint, nullptr);
    m_pView->AddUpdateRect(nullptr);
    m_pView->MarkDirty(DxDraw::DIRTY_PIXELS);

    for (const BACKLOGVOICE& v : m_Layout.voices) {
      if (!Visible(v)) continue;
      const BACKLOGFACE* face = nullptr;
      for (const BACKLOGFACE& f : m_Faces)
        if (v.voice && f.letter == v.voice[0]) {
          face = &f;
          break;
        }
      if (!face) {
        static const std::string extra = WideToSjis(u"ボイス番号が規定外です");
        AssertBox("BackLog", "script/scr_gui", 3277, extra.c_str());
        continue;
      }
      const FrameRecord frame = ClippedFrame(
          m_pFaceImage.get(), Rect{kFaceSize * face->number, 0, kFaceSize * (face->number + 1), kFaceSize});
      BltParams params;
      params.mode = kSourceTransparent;
      m_pDim->DxDraw::DxSurface32::BltFrame(24, v.rect.top - kBacklogLineHeight * m_Top, m_pFaceImage.get(), &frame,
                                            nullptr, &params);
    }
    m_pDim->AddUpdateRect(nullptr);
    m_pDim->MarkDirty(DxDraw::DIRTY_PIXELS);
    m_Redraw = false;
  }

  void MoveThumb(int y) {
    if (!m_pThumb) return;
    m_pThumb->SetPosition(kThumbX, y);
    m_ThumbRect = Rect{kThumbX, y, kThumbX + 24, y + 32};
  }

  void Scrolled() {
    m_Redraw = true;
    const int maxTop = m_Count - kBacklogVisibleLines;
    if (maxTop > 0) MoveThumb(static_cast<int>(double(m_Top) / maxTop * kThumbTravel + kThumbTop));
  }

  void Drag() {
    const int y = std::clamp(g_Input.y - m_Grab, kThumbTop, kThumbBottom);
    const int maxTop = m_Count - kBacklogVisibleLines;
    const int top = static_cast<int>((y - kThumbTop) / kThumbTravel * maxTop);
    if (top != m_Top) {
      m_Top = top;
      m_Redraw = true;
    }
    MoveThumb(y);
    if (!(g_Input.held & INPUT_LBUTTON)) m_Dragging = false;
  }

  // A press on a shown face plays its voice; anywhere else it stops the voice.
  void PressAt(int x, int y) {
    for (const BACKLOGVOICE& v : m_Layout.voices) {
      if (!Visible(v)) continue;
      const int top = v.rect.top - kBacklogLineHeight * m_Top;
      if (Holds(Rect{v.rect.left, top, v.rect.right, top + v.rect.Height()}, x, y)) {
        // The voice rule of the message's own voice: the one playing stops first, nothing new
        // starts while skipping or with voices off, and the same voice goes on.
        Sound::StopChannel(SOUND_VOICE);
        PlayBgmOrVoice(SOUND_VOICE, v.voice, false);
        return;
      }
    }
    Sound::StopChannel(SOUND_VOICE);
  }

  ScreenSources m_Sources;
  std::vector<BACKLOGFACE> m_Faces;
  std::unique_ptr<DxDraw::DxSurface, SurfaceRelease> m_pFaceImage;
  std::unique_ptr<DxDraw::DxSurfaceSprite32, ViewRelease> m_pDim;
  std::unique_ptr<TextScript::DxMessView2, ViewRelease> m_pView;
  std::unique_ptr<DxDraw::DxSprite, ViewRelease> m_pBar, m_pThumb;
  BacklogLayout m_Layout;
  int m_Count = 0;
  int m_Top = 0;
  Rect m_ThumbRect;
  bool m_Redraw = true;
  bool m_Dragging = false;
  int m_Grab = 0;
  bool m_FontSeen = false;
  bool m_Left = false;
};

}  // namespace

void RunBackLog(const ScreenSources& sources) {
  BacklogScreen screen(sources);
  screen.Run();
  screen.Leave();
  WaitFrame();
}
