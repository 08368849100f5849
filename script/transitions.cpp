// The background's transitions, one level step a frame, and the message window's backdrop colour.
#include "script/transitions.h"

#include <algorithm>
#include <memory>

#include "app/frame/framestep.h"
#include "dxdraw/sprite.h"
#include "dxdraw/surface.h"
#include "script/executor.h"
#include "script/settings.h"

namespace {

constexpr uint32_t kCopy = 0;
constexpr uint32_t kBlend = 2;
constexpr int32_t kOpaqueLevel = 255;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;

// The window frame in the "SYSTEM" picture.
constexpr platform::Rect kWindowFrame{0, 40, 800, 240};

bool SceneExists() {
  return g_BackgroundSprite && g_BackgroundSurface && g_SceneLayers[kBackgroundLayer];
}

void SetSprite(DxDraw::DxSprite& sprite, uint32_t mode, int32_t level) {
  sprite.m_Params.mode = mode;
  sprite.m_Params.level = static_cast<uint32_t>(level);
  sprite.MarkDirty(DxDraw::DIRTY_VISIBILITY);
}

// The work image copied into the background sprite's own image and shown plainly.
void ShowWorkImage() {
  DxDraw::DxSurface* shown = g_BackgroundSprite->GetImage();
  if (shown) {
    const platform::Rect whole = g_BackgroundSurface->Bounds();
    shown->Blt(0, 0, g_BackgroundSurface, &whole, nullptr, nullptr);
  }
  g_BackgroundSprite->Show();
  SetSprite(*g_BackgroundSprite, kCopy, g_BackgroundSprite->m_Params.level);
}

struct ViewRelease {
  void operator()(ssView* v) const {
    if (v) v->Release();
  }
};

// Blends the work image in above the background sprite: one frame at each level from 0 in the
// step, the last at 255. The sprite over it goes from the background layer on every way out.
void FadeInWorkImage(int32_t step) {
  std::unique_ptr<DxDraw::DxSprite, ViewRelease> fade(new DxDraw::DxSprite(g_BackgroundSurface, nullptr, kBlend));
  g_SceneLayers[kBackgroundLayer]->AddChild(fade.get());
  for (int32_t level = 0;; level += step) {
    const int32_t shown = std::min(level, kOpaqueLevel);
    SetSprite(*fade, kBlend, shown);
    WaitFrame();
    if (shown == kOpaqueLevel) break;
  }
}

}  // namespace

bool PicturesChangeAtOnce() {
  return g_Setting.m_DisplaySpeed == 1 || g_SkipMode != 0;
}

void FadeToBlack() {
  if (!SceneExists()) return;
  g_BackgroundState |= BACKGROUND_PLAIN;
  if (!PicturesChangeAtOnce()) {
    for (int32_t level = kOpaqueLevel;; level = std::max(level - 2, 0)) {
      SetSprite(*g_BackgroundSprite, kBlend, level);
      WaitFrame();
      if (level == 0) break;
    }
  }
  g_BackgroundSurface->Fill(nullptr, kBlack, 255);
  ShowWorkImage();
  WaitFrame();
}

void FadeToWhite() {
  if (!SceneExists()) return;
  g_BackgroundState |= BACKGROUND_PLAIN;
  g_BackgroundSurface->Fill(nullptr, kWhite, 255);
  if (!PicturesChangeAtOnce()) FadeInWorkImage(2);
  ShowWorkImage();
  WaitFrame();
}

void ShowPendingBackground() {
  if (!(g_BackgroundState & BACKGROUND_PENDING) || !SceneExists()) return;
  if (!PicturesChangeAtOnce()) {
    try {
      FadeInWorkImage(g_BackgroundState & BACKGROUND_PLAIN ? 2 : 16);
    } catch (...) {
      // The new background stays on the screen; the state keeps what waits to be shown.
      ShowWorkImage();
      throw;
    }
  }
  ShowWorkImage();
  WaitFrame();
  g_BackgroundState = 0;
}

void ApplyWindowColour(DxDraw::DxSurface* systemImage, const WindowColour& colour) {
  if (!g_MessageWindow || !g_MessageWindow->GetBackground()) return;
  DxDraw::DxSurfaceSprite32& backdrop = *g_MessageWindow->GetBackground();
  backdrop.DxDraw::DxSurface32::Fill(nullptr, kBlack, 255);
  if (systemImage) {
    BltParams params;
    params.mode = kBltKeyOrMask;
    params.colorMask = 0xFF000000u | uint32_t(colour.r) << 16 | uint32_t(colour.g) << 8 | colour.b;
    backdrop.DxDraw::DxSurface32::Blt(0, 0, systemImage, &kWindowFrame, nullptr, &params);
  }
  SetSprite(backdrop, BltMode(kBltBlend, 0, kBltSrcAlpha), colour.a);
}
