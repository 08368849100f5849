// The screen surface: dirty collection, one merged repaint per frame, the clear left out under an
// opaque cover, presentation, frame skipping.
#include "dxdraw/screen.h"

#include <gtest/gtest.h>

#include <vector>

#include "dxdraw/dxtext.h"
#include "dxdraw/sprite.h"
#include "platform/glyphs.h"
#include "surface_util.h"

using namespace testutil;
using namespace DxDraw;
using platform::Rect;

namespace {

// Records every presented rectangle with the colour of its top-left pixel.
class RecordingPresenter : public platform::Presenter {
 public:
  void Present(const platform::ImageView& back, const Rect& rect) override {
    EXPECT_EQ(back.pitch, back.width * 4) << "the presenter takes top-down rows";
    rects.push_back(rect);
    const uint8_t* p = back.pixels + static_cast<ptrdiff_t>(rect.top) * back.pitch + rect.left * 4;
    topLeft.push_back(p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24));
  }
  void Flush() override { ++flushes; }
  std::vector<Rect> rects;
  std::vector<uint32_t> topLeft;
  int flushes = 0;
};

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_MatrixStack.Allocate(16);
    screen = new DxScreenSurface32();
    root.AddChild(screen);
    screen->SetSize(100, 80);
    target.window = &window;
    image = MakeSurface(32, 10, 10, 0x00FF0000);
  }
  void TearDown() override {
    root.Detach();
    image.Reset();
    g_MatrixStack.Free();
  }
  // One frame: the root draws, the screen presents.
  void Frame() {
    window.rects.clear();
    window.topLeft.clear();
    root.Draw(&target);
  }
  DxSprite* AddSprite(ssGroup* parent, int x, int y) {
    auto* s = new DxSprite(image.Get(), nullptr, 0);
    s->SetPosition(x, y);
    parent->AddChild(s);
    return s;
  }

  DxDrawGroup root;
  DxScreenSurface32* screen = nullptr;
  RecordingPresenter window;
  DrawTarget target;
  SurfaceRef image;
};

TEST_F(ScreenTest, MovingASpriteRepaintsTheUnionOnce) {
  DxSprite* s = AddSprite(screen, 10, 10);
  Frame();
  ASSERT_EQ(window.rects, (std::vector<Rect>{{10, 10, 20, 20}}));
  EXPECT_EQ(window.topLeft[0], 0x00FF0000u) << "the sprite was drawn into the back surface";
  EXPECT_EQ(window.flushes, 1);
  Frame();
  EXPECT_TRUE(window.rects.empty()) << "a frame without change presents nothing";
  s->SetPosition(15, 12);
  Frame();
  EXPECT_EQ(window.rects, (std::vector<Rect>{{10, 10, 25, 22}}));
  EXPECT_EQ(window.topLeft[0], 0xFF000000u) << "the uncovered corner is cleared to colour 0, alpha 0";
}

TEST_F(ScreenTest, HidingAGroupRepaintsItsChildrenCleared) {
  auto* layer = new DxDrawGroup;
  screen->AddChild(layer);
  AddSprite(layer, 30, 30);
  AddSprite(layer, 50, 30);
  Frame();
  layer->Hide();
  Frame();
  ASSERT_EQ(window.rects, (std::vector<Rect>{{30, 30, 60, 40}}));
  EXPECT_EQ(window.topLeft[0], 0xFF000000u);
  EXPECT_EQ(screen->GetBackSurface()->GetPixelAddress(55, 35)[2], 0) << "hidden children are not drawn";
}

TEST_F(ScreenTest, ADetachedViewLeavesItsAreaRepainted) {
  DxSprite* s = AddSprite(screen, 5, 5);
  Frame();
  s->Release();
  Frame();
  EXPECT_EQ(window.rects, (std::vector<Rect>{{5, 5, 15, 15}}));
}

TEST_F(ScreenTest, PixelChangesRepaintOnlyTheChangedPart) {
  auto* text = new DxSurfaceSprite32(60, 10);
  text->SetPosition(20, 40);
  screen->AddChild(text);
  Frame();
  const Rect changed{12, 2, 18, 8};
  text->Fill(&changed, 0xFFFFFF, 255);
  Frame();
  EXPECT_EQ(window.rects, (std::vector<Rect>{{32, 42, 38, 48}}));
  // Moving as well as changing repaints both whole rectangles.
  text->Fill(&changed, 0x00FF00, 255);
  text->SetPosition(25, 40);
  Frame();
  EXPECT_EQ(window.rects, (std::vector<Rect>{{20, 40, 85, 50}}));
}

TEST_F(ScreenTest, TextInASurfaceSpriteRepaintsOnlyTheText) {
  auto glyphs = platform::CreateBoxGlyphSource();
  platform::GlyphSource* prev = platform::SetGlyphSource(glyphs.get());
  screen->SetSize(800, 600);
  auto* message = new DxSurfaceSprite32(600, 100);
  message->SetPosition(100, 400);
  screen->AddChild(message);
  Frame();
  auto* font = new FontDC;
  font->SetFace(u"ＭＳ 明朝", 16);
  TextContext ctx;
  ctx.Reset();
  ctx.m_pFont = font;
  ctx.m_Style = TEXT_ANTIALIAS;
  ctx.m_Area = Rect{10, 20, 590, 90};
  for (char16_t c : std::u16string(u"0123456789")) message->PutChar(&ctx, c);
  Frame();
  EXPECT_EQ(window.rects, (std::vector<Rect>{{110, 420, 190, 436}}));
  font->Release();
  platform::SetGlyphSource(prev);
}

TEST_F(ScreenTest, FrameSkippingPresentsOneFrameInNPlusOne) {
  DxSprite* s = AddSprite(screen, 0, 0);
  screen->m_SkipFrames = 3;
  std::vector<int> presented, countdown;
  for (int i = 0; i < 8; ++i) {
    s->SetPosition(i, 0);
    Frame();
    presented.push_back(!window.rects.empty());
    countdown.push_back(static_cast<int>(screen->m_SkipCount));
  }
  EXPECT_EQ(presented, (std::vector<int>{1, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(countdown, (std::vector<int>{3, 2, 1, 0, 3, 2, 1, 0}));
}

TEST_F(ScreenTest, PaintRepaintsAtOnceWithPendingChanges) {
  AddSprite(screen, 60, 60);
  const Rect exposed{0, 0, 5, 5};
  screen->OnMessage(VM_PAINT, reinterpret_cast<intptr_t>(&exposed), reinterpret_cast<intptr_t>(&window));
  EXPECT_EQ(window.rects, (std::vector<Rect>{{0, 0, 70, 70}}));
}

TEST_F(ScreenTest, CloneSurfaceCopiesTheScreen) {
  AddSprite(screen, 0, 0);
  Frame();
  SurfaceRef copy(screen->CloneSurface());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->GetWidth(), 100);
  EXPECT_EQ(Px(copy.Get(), 9, 9), 0x00FF0000u);
}

// A picture with every colour and transparency byte different from its neighbours'.
SurfaceRef Pattern(int w, int h, uint32_t seed) {
  SurfaceRef p = MakeSurface(32, w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetPx(p.Get(), x, y, (uint32_t(x) * 2654435761u + uint32_t(y) * 40503u) ^ seed);
  return p;
}

// The clear before a repaint is left out only where the first view drawn replaces every pixel;
// either way the screen comes out as cleared and drawn in order, over a back surface full of
// stale pixels, with the plain and the fast pixel routines.
TEST_F(ScreenTest, TheClearIsLeftOutOnlyUnderAnOpaqueCover) {
  struct Layer {
    int w, h, x, y;
    uint32_t mode;
    uint32_t level;
    bool shown;
  };
  const Layer blendOnTop{40, 30, 20, 20, kBltBlend, 128, true};
  struct Case {
    const char* name;
    std::vector<Layer> layers;
    DrawCover cover;
  };
  const Case cases[] = {
      {"opaque full cover under a blend", {{100, 80, 0, 0, kBltCopy, 32, true}, blendOnTop}, DrawCover::Whole},
      {"opaque picture narrower than the screen", {{60, 80, 0, 0, kBltCopy, 32, true}, blendOnTop}, DrawCover::Partial},
      {"opaque picture moved off the corner", {{100, 80, 3, 0, kBltCopy, 32, true}}, DrawCover::Partial},
      {"picture with its transparency", {{100, 80, 0, 0, kBltSrcAlpha, 32, true}}, DrawCover::Partial},
      {"translucent picture", {{100, 80, 0, 0, kBltBlend, 128, true}}, DrawCover::Partial},
      {"a hidden picture first, then an opaque cover",
       {{30, 30, 0, 0, kBltBlend, 100, false}, {100, 80, 0, 0, kBltCopy, 32, true}},
       DrawCover::Whole},
  };
  const Rect whole{0, 0, 100, 80};
  for (BlitVersion version : kBlitVersions) {
    if (!SetBlitVersion(version)) continue;
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + ", " + BlitVersionName(version));
      auto* layer = new DxDrawGroup;
      screen->AddChild(layer);
      std::vector<SurfaceRef> pictures;
      SurfaceRef expected = MakeSurface(32, 100, 80);
      expected->Fill(nullptr, 0, 0);
      for (const Layer& l : c.layers) {
        pictures.push_back(Pattern(l.w, l.h, uint32_t(pictures.size()) * 0x9E3779B9u));
        auto* sprite = new DxSprite(pictures.back().Get(), nullptr, l.mode);
        sprite->m_Params.level = l.level;
        sprite->SetPosition(l.x, l.y);
        if (!l.shown) sprite->Hide();
        layer->AddChild(sprite);
        if (l.shown) expected->Blt(l.x, l.y, pictures.back().Get(), nullptr, nullptr, &sprite->m_Params);
      }
      DxSurface* back = screen->GetBackSurface();
      for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x) SetPx(back, x, y, 0x5A000000u | uint32_t(x * 977 + y * 131));
      screen->Present(&window, true, nullptr);
      EXPECT_EQ(screen->CoverOf(whole, back), c.cover);
      int differing = 0;
      for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x) differing += Px(back, x, y) != Px(expected.Get(), x, y);
      EXPECT_EQ(differing, 0) << "pixels unlike a cleared and redrawn screen";
      layer->Release();
    }
  }
  SetBlitVersion(BlitVersion::kPlain);

  // A repaint of a part that the narrower opaque picture covers needs no clear either.
  SurfaceRef narrow = Pattern(60, 80, 1);
  auto* cover = new DxSprite(narrow.Get(), nullptr, kBltCopy);
  screen->AddChild(cover);
  screen->Present(&window, true, nullptr);
  EXPECT_EQ(screen->CoverOf(Rect{10, 10, 60, 80}, screen->GetBackSurface()), DrawCover::Whole);
  EXPECT_EQ(screen->CoverOf(Rect{10, 10, 61, 80}, screen->GetBackSurface()), DrawCover::Partial);
  EXPECT_EQ(screen->CoverOf(Rect{70, 10, 80, 80}, screen->GetBackSurface()), DrawCover::None);
  cover->Release();
}

TEST(DirtyRectList, UnionModeMergesAndIgnoresEmpty) {
  DirtyRectList list;
  list.Clear(0);
  list.Add(Rect{0, 0, 10, 10});
  list.Add(Rect{5, 5, 5, 50});  // empty
  list.Add(Rect{20, 20, 30, 30});
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(list[0], (Rect{0, 0, 30, 30}));
}

TEST(DirtyRectList, ListModeContainmentAndOverflowCollapses) {
  DirtyRectList list;
  list.Clear(1);
  list.Add(Rect{0, 0, 20, 20});
  list.Add(Rect{0, 0, 10, 10});
  EXPECT_EQ(list.Count(), 1u) << "a rectangle inside a listed one is dropped";
  list.Add(Rect{0, 0, 30, 30});
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_TRUE(list[0].IsEmpty()) << "a listed rectangle inside the new one is emptied";
  list.Clear(1);
  for (int i = 0; i < 500; ++i) list.Add(Rect{i * 2, 0, i * 2 + 1, 1});
  EXPECT_EQ(list.Count(), 500u);
  list.Add(Rect{0, 5, 1, 6});
  ASSERT_EQ(list.Count(), 1u) << "past the capacity the list becomes one union";
  EXPECT_EQ(list[0], (Rect{0, 0, 999, 6}));
}

}  // namespace
