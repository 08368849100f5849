// The CG album, and the pages, thumbnails and buttons it shares with the scene replay.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dxdraw/sprite.h"
#include "platform/geometry.h"
#include "script/images.h"
#include "script/layout.h"

struct IArchive;
class ssGroup;

// What the album, the scene replay and the backlog show on and read from; none of it owned.
struct ScreenSources {
  ssGroup* screen = nullptr;                 // the screen surface: parent of everything shown
  IArchive* archive = nullptr;               // the script archive: "config.xml" and the pictures
  DxDraw::DxSurface* systemImage = nullptr;  // the "SYSTEM" picture (the backlog's scroll bar)
};

// Shows one picture full screen until a button is pressed: 1 for the left, 0 for the right.
using CgViewer = std::function<int(const char16_t* name)>;

// The CG album of the "cgalbum" layout: entries unlocked by the album list, their pictures shown
// with viewer. The album music plays from the start and is left playing. Whatever a
// ScriptException or an error finds shown is released on its way through.
void RunCGAlbum(const ScreenSources& sources, const CgViewer& viewer = ShowCgImage);

// The source rectangle cut to the image, with the frame's size following it: a layout that asks
// for more than a picture holds shows what is there and never reads past it.
DxDraw::FrameRecord ClippedFrame(const DxDraw::DxSurface* image, const platform::Rect& source);

// The pages of the album or the replay: a page background with the button frames, one thumbnail
// per entry from a strip of rows (row g for the entry with global index g, the row after the
// last entry for the locked picture), and the buttons exit, previous and next.
class AlbumPages {
 public:
  struct Images {
    const char16_t* pagePrefix;  // page n is this name with n appended, counting from 1
    const char16_t* thumbnails;  // the thumbnail strip
  };
  using UnlockTest = std::function<bool(const std::u16string& flag)>;

  // layout must hold at least one page and outlive the pages. onBuild runs after every page
  // build (the replay starts its music there).
  AlbumPages(const ScreenSources& sources, const LAYOUTSCREEN& layout, Images images, UnlockTest unlocked,
             std::function<void()> onBuild = {});
  ~AlbumPages();
  AlbumPages(const AlbumPages&) = delete;
  AlbumPages& operator=(const AlbumPages&) = delete;

  // Releases the shown page and builds page p.
  void Build(int p);
  // The menu over the current page until the player leaves (-1: exit or a right press) or picks
  // an unlocked entry (its index in the page). The previous and next buttons change the page.
  int Choose();
  // Hides or shows the buttons, the entries and the background.
  void Show(bool shown);

  int Page() const { return m_Page; }
  const LAYOUTCG& Entry(int i) const { return m_Layout.pages[size_t(m_Page)].cgs[size_t(i)]; }
  bool IsUnlocked(int i) const { return m_Unlocked[size_t(i)] != 0; }

 private:
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
  using Sprite = std::unique_ptr<DxDraw::DxSprite, ViewRelease>;
  enum { kExit = 0, kPrev = 1, kNext = 2, kButtons = 3 };

  void Release();
  // Rectangle k's sprite to its normal or highlighted frame; a locked entry keeps its own.
  void SetLit(int k, bool lit);
  Sprite AddSprite(DxDraw::DxSurface* image, const DxDraw::FrameRecord* frame, int x, int y);

  ScreenSources m_Sources;
  const LAYOUTSCREEN& m_Layout;
  Images m_Images;
  UnlockTest m_IsUnlocked;
  std::function<void()> m_OnBuild;
  int m_Page = 0;
  int m_Total = 0;

  std::unique_ptr<DxDraw::DxSurface, SurfaceRelease> m_pPageImage, m_pThumbnails;
  Sprite m_pBackground;
  std::vector<Sprite> m_Entries;
  Sprite m_pButtons[kButtons];
  std::vector<platform::Rect> m_Rects;               // exit, prev, next, then the entries
  std::vector<DxDraw::FrameRecord> m_Normal, m_Lit;  // per rectangle, as the rectangles
  DxDraw::FrameRecord m_LockedNormal;
  std::vector<uint8_t> m_Unlocked;  // per entry: 1 unlocked (the menu data's first field)
};
