// The picture commands: backgrounds (GRP), character scenes and layers (CHR, CHL) and the white
// flash (FLS), each recording what it shows in the resume buffers that a save keeps.
#include <algorithm>
#include <memory>
#include <string>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "dxdraw/screen.h"
#include "dxdraw/sprite.h"
#include "lib/error.h"
#include "platform/clock.h"
#include "script/commandrules.h"
#include "script/executor.h"
#include "script/images.h"
#include "script/scene.h"
#include "script/services.h"
#include "script/settings.h"
#include "textscript/variables.h"

using TextScript::ScriptStateNode;

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kFlashMs = 100;

// Pictures change at once when the settings ask for it or while the player skips.
bool PicturesAtOnce() {
  return g_Setting.m_DisplaySpeed == 1 || g_SkipMode != 0;
}

// GRP: "BLACK", "WHITE" (any case) or the base name of a background picture.
ScriptStateNode* Background(ScriptStateNode_App& node) {
  const std::u16string name(node.Arg(0));
  const bool black = EqualNoCase(name, u"BLACK");
  if (black || EqualNoCase(name, u"WHITE")) {
    if (PicturesAtOnce()) {
      ShowPlainAtOnce(black ? kBlack : kWhite);
      WaitFrame();
    } else if (black) {
      GameSceneServices().FadeToBlack();
    } else {
      GameSceneServices().FadeToWhite();
    }
    SetSceneState(SCENE_BACKGROUND, black ? SCENE_BG_BLACK : SCENE_BG_WHITE, nullptr);
    SetSceneState(SCENE_CHARACTERS, SCENE_CHL_NONE, nullptr);
    return node.Next();
  }
  SetSceneState(SCENE_BACKGROUND, SCENE_BG_PICTURE, name.c_str());
  SetSceneState(SCENE_CHARACTERS, SCENE_CHL_NONE, nullptr);
  RecordAlbumName(name.c_str());
  // Composed now, shown by the next message or choice.
  g_BackgroundState |= BACKGROUND_PENDING;
  GameSceneServices().DrawBackground(name.c_str());
  return node.Next();
}

// CHR: a character scene in place of the background; CHL: a character layer over it.
ScriptStateNode* Characters(ScriptStateNode_App& node) {
  const std::u16string name(node.Arg(0));
  if (node.m_Type == TextScript::STMT_CHR) {
    SetSceneState(SCENE_BACKGROUND, SCENE_BG_CHR, name.c_str());
    SetSceneState(SCENE_CHARACTERS, SCENE_CHL_NONE, nullptr);
  } else {
    SetSceneState(SCENE_CHARACTERS, SCENE_CHL_SHOWN, name.c_str());
  }
  g_BackgroundState |= BACKGROUND_PENDING;
  GameSceneServices().DrawCharacters(name.c_str(), node.m_Type);
  return node.Next();
}

// FLS count: the screen flashes white count times, then the background is white.
ScriptStateNode* Flash(ScriptStateNode_App& node) {
  const int32_t count = EvalOperand(node.Arg(0), 0);
  if (!g_Frame.screen) ThrowException(u"script/scr_gui", __LINE__, 0, 0, u"FLS: no screen to flash on");
  std::unique_ptr<DxDraw::DxSurfaceSprite32, ViewRelease> flash(
      new DxDraw::DxSurfaceSprite32(kSceneWidth, kSceneHeight));
  flash->DxDraw::DxSurface32::Fill(nullptr, kWhite, 255);
  flash->Hide();
  g_Frame.screen->AddChild(flash.get());  // above the whole scene
  // Each phase ends at its own place on one clock started with the flash, so that the phases do
  // not each round up to one frame more than their 100 ms.
  uint32_t start = 0;
  StartTimer(&start);
  for (int64_t phase = 0; phase < 2 * int64_t(count); ++phase) {
    if (phase % 2 == 0)
      flash->Show();
    else
      flash->Hide();
    const uint64_t due = uint64_t(phase + 1) * kFlashMs;
    const uint64_t elapsed = platform::TimeMs() - start;
    WaitTime(due > elapsed ? uint32_t(std::min<uint64_t>(due - elapsed, kFlashMs)) : 1, 0);
  }
  ShowPlainAtOnce(kWhite);
  flash.reset();
  WaitFrame();
  return node.Next();
}

}  // namespace

void RegisterPictureCommands(AppCommandTable& table) {
  table.Register(TextScript::STMT_GRP, Background);
  table.Register(TextScript::STMT_CHR, Characters);
  table.Register(TextScript::STMT_CHL, Characters);
  table.Register(TextScript::STMT_FLS, Flash);
}
