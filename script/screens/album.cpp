// The CG album: its pages, thumbnails, buttons and menu, and the picture show of an entry.
#include "script/screens/album.h"

#include <algorithm>

#include "app/frame/framestep.h"
#include "dxdraw/drawview.h"
#include "platform/utf.h"
#include "script/sounds.h"

using DxDraw::FrameRecord;

DxDraw::FrameRecord ClippedFrame(const DxDraw::DxSurface* image, const platform::Rect& source) {
  platform::Rect r = source;
  if (image) r = DxDraw::IntersectRect(source, image->Bounds());
  if (r.IsEmpty()) r = platform::Rect{};
  FrameRecord f;
  f.width = static_cast<int16_t>(std::clamp(r.Width(), 0, 0x7FFF));
  f.height = static_cast<int16_t>(std::clamp(r.Height(), 0, 0x7FFF));
  f.source = r;
  return f;
}

namespace {

FrameRecord ButtonFrame(const DxDraw::DxSurface* image, const LAYOUTBUTTON& b, bool lit) {
  const int x = lit ? b.hx : b.nx, y = lit ? b.hy : b.ny;
  return ClippedFrame(image, platform::Rect{x, y, x + b.w, y + b.h});
}

FrameRecord ThumbFrame(const DxDraw::DxSurface* strip, const LAYOUTSCREEN& l, int row, bool lit) {
  const int x = lit ? l.thumbX : 0, y = row * l.thumbPitch;
  return ClippedFrame(strip, platform::Rect{x, y, x + l.width, y + l.height});
}

}  // namespace

AlbumPages::AlbumPages(const ScreenSources& sources, const LAYOUTSCREEN& layout, Images images, UnlockTest unlocked,
                       std::function<void()> onBuild)
    : m_Sources(sources),
      m_Layout(layout),
      m_Images(images),
      m_IsUnlocked(std::move(unlocked)),
      m_OnBuild(std::move(onBuild)) {
  for (const LAYOUTPAGE& page : layout.pages) m_Total += static_cast<int>(page.cgs.size());
}

AlbumPages::~AlbumPages() {
  Release();
}

void AlbumPages::Release() {
  // The sprites first: they show the images without holding them.
  for (Sprite& b : m_pButtons) b.reset();
  m_Entries.clear();
  m_pBackground.reset();
  m_pThumbnails.reset();
  m_pPageImage.reset();
}

AlbumPages::Sprite AlbumPages::AddSprite(DxDraw::DxSurface* image, const FrameRecord* frame, int x, int y) {
  Sprite s(new DxDraw::DxSprite(image, frame, 0));
  s->SetPosition(x, y);
  m_Sources.screen->AddChild(s.get());
  return s;
}

void AlbumPages::Build(int p) {
  Release();
  m_Page = p;
  const std::vector<LAYOUTCG>& cgs = m_Layout.pages[size_t(p)].cgs;
  const int n = static_cast<int>(cgs.size());
  int first = 0;
  for (int k = 0; k < p; ++k) first += static_cast<int>(m_Layout.pages[size_t(k)].cgs.size());

  m_pBackground = AddSprite(nullptr, nullptr, 0, 0);
  for (const LAYOUTCG& cg : cgs) m_Entries.push_back(AddSprite(nullptr, nullptr, cg.pos.x, cg.pos.y));

  const std::u16string pageName = m_Images.pagePrefix + platform::Utf8ToWide(std::to_string(p + 1));
  m_pPageImage.reset(LoadScriptImage(m_Sources.archive, pageName.c_str(), false, false));
  const LAYOUTBUTTON* buttons[kButtons] = {&m_Layout.exit, &m_Layout.prev, &m_Layout.next};
  m_Rects.clear();
  m_Normal.clear();
  m_Lit.clear();
  for (int b = 0; b < kButtons; ++b) {
    const LAYOUTBUTTON& lb = *buttons[b];
    m_Normal.push_back(ButtonFrame(m_pPageImage.get(), lb, false));
    m_Lit.push_back(ButtonFrame(m_pPageImage.get(), lb, true));
    m_pButtons[b] = AddSprite(m_pPageImage.get(), &m_Normal.back(), lb.x, lb.y);
    m_Rects.push_back(platform::Rect{lb.x, lb.y, lb.x + lb.w, lb.y + lb.h});
  }
  if (p == 0) m_pButtons[kPrev]->Hide();
  if (p == static_cast<int>(m_Layout.pages.size()) - 1) m_pButtons[kNext]->Hide();
  for (const LAYOUTCG& cg : cgs)
    m_Rects.push_back(platform::Rect{cg.pos.x, cg.pos.y, cg.pos.x + m_Layout.width, cg.pos.y + m_Layout.height});

  m_pBackground->SetImage(m_pPageImage.get());
  m_pBackground->SetSourceRect(nullptr);

  m_pThumbnails.reset(LoadScriptImage(m_Sources.archive, m_Images.thumbnails, false, false));
  m_LockedNormal = ThumbFrame(m_pThumbnails.get(), m_Layout, m_Total, false);
  m_Unlocked.assign(size_t(n), 0);
  for (int i = 0; i < n; ++i) {
    const bool open = m_IsUnlocked && m_IsUnlocked(cgs[size_t(i)].flag);
    m_Unlocked[size_t(i)] = open ? 1 : 0;
    m_Normal.push_back(ThumbFrame(m_pThumbnails.get(), m_Layout, first + i, false));
    m_Lit.push_back(ThumbFrame(m_pThumbnails.get(), m_Layout, first + i, true));
    m_Entries[size_t(i)]->SetImage(m_pThumbnails.get());
    m_Entries[size_t(i)]->SetSourceRect(open ? &m_Normal.back() : &m_LockedNormal);
  }
  if (m_OnBuild) m_OnBuild();
}

void AlbumPages::SetLit(int k, bool lit) {
  if (k < 0 || k >= static_cast<int>(m_Rects.size())) return;
  if (k < kButtons) {
    m_pButtons[k]->SetSourceRect(lit ? &m_Lit[size_t(k)] : &m_Normal[size_t(k)]);
    return;
  }
  if (!m_Unlocked[size_t(k - kButtons)]) return;
  m_Entries[size_t(k - kButtons)]->SetSourceRect(lit ? &m_Lit[size_t(k)] : &m_Normal[size_t(k)]);
}

int AlbumPages::Choose() {
  for (;;) {
    for (int b = 0; b < kButtons; ++b) m_pButtons[b]->SetSourceRect(&m_Normal[size_t(b)]);
    HitTracker tracker;
    tracker.Init();
    int hover = -1;
    bool rebuilt = false;
    while (!rebuilt) {
      WaitFrame();
      const int hit = tracker.Update(m_Rects.data(), static_cast<int>(m_Rects.size()), g_Input.x, g_Input.y, nullptr);
      if (hit != hover) {
        SetLit(hover, false);
        SetLit(hit, true);
        hover = hit;
      }
      if (g_Input.pressed & INPUT_RBUTTON) return -1;
      if (!(g_Input.pressed & INPUT_LBUTTON)) continue;
      const int at = tracker.hit;
      const int pages = static_cast<int>(m_Layout.pages.size());
      if (at == kExit) return -1;
      if ((at == kPrev && m_Page > 0) || (at == kNext && m_Page < pages - 1)) {
        Build(at == kPrev ? m_Page - 1 : m_Page + 1);
        rebuilt = true;
      } else if (at >= kButtons && m_Unlocked[size_t(at - kButtons)]) {
        return at - kButtons;
      }
    }
  }
}

void AlbumPages::Show(bool shown) {
  auto set = [shown](ssView* v) {
    if (!v) return;
    if (shown)
      v->Show();
    else
      v->Hide();
  };
  for (Sprite& b : m_pButtons) set(b.get());
  for (Sprite& e : m_Entries) set(e.get());
  set(m_pBackground.get());
}

void RunCGAlbum(const ScreenSources& sources, const CgViewer& viewer) {
  LAYOUTSCREEN layout;
  ReadScreenLayout(sources.archive, u"cgalbum", layout);
  // A layout without pages has nothing to show.
  if (layout.pages.empty()) return;
  PlayBgmOrVoice(SOUND_BGM, g_AlbumBgm.c_str(), false);

  AlbumPages pages(sources, layout, {u"title/cg_p", u"title/cg_thumb1"},
                   [](const std::u16string& flag) { return IsInAlbum(flag.c_str()); });
  pages.Build(0);
  for (;;) {
    const int i = pages.Choose();
    if (i < 0) return;
    pages.Show(false);
    for (const std::u16string& name : pages.Entry(i).pictures)
      if (viewer(name.c_str()) == 0) break;
    pages.Show(true);
    pages.Build(pages.Page());
  }
}
