// The rules the game's command areas share: wait menu items, skip and auto at a choice, the debug
// jump, window effects, upper-case names and a plain background at once.
#include "script/commandrules.h"

#include <memory>

#include "app/frame/framestep.h"
#include "lib/act.h"
#include "script/messagewindow.h"
#include "script/scene.h"
#include "script/services.h"
#include "script/settings.h"

WaitMenuItems::WaitMenuItems() {
  GameMenu().EnableMenuItem(MENU_VARIABLES, true);
  if (!g_SceneReplayMode) GameMenu().EnableMenuItem(MENU_SAVE, true);
}

WaitMenuItems::~WaitMenuItems() {
  GameMenu().EnableMenuItem(MENU_SAVE, false);
  GameMenu().EnableMenuItem(MENU_VARIABLES, false);
}

void EndSkipOrAutoAtChoice() {
  if (!g_Setting.m_TextSkip2) return;
  if (g_SkipMode) {
    g_SkipMode = 0;
    GameButtons().SetButtonLevel(MBUTTON_SKIP, kButtonDimmed);
  } else if (g_AutoMode) {
    g_AutoMode = 0;
    GameButtons().SetButtonLevel(MBUTTON_AUTO, kButtonDimmed);
  }
}

TextScript::ScriptStateNode* ServeDebugJump(ScriptStateNode_App& node) {
  ScriptStateGroup_App& group = node.AppGroup();
  if (g_DebugLevel == 0 || group.m_DebugJump.empty()) return nullptr;
  const std::u16string label = std::move(group.m_DebugJump);
  group.m_DebugJump.clear();
  GameScene().FillBackgroundBlack();
  return node.JumpTo(label);
}

void RunWindowEffect(ACT* task) {
  struct TaskFree {
    void operator()(ACT* act) const {
      if (act) FreeACT(act);
    }
  };
  std::unique_ptr<ACT, TaskFree> held(task);
  while (held && held->m_Result != ACT_RESULT_DONE) {
    RunACT(held.get());
    WaitFrame();
  }
}

std::u16string UpperAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out)
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
  return out;
}

void ShowPlainAtOnce(uint32_t colour) {
  if (!g_BackgroundSurface || !g_BackgroundSprite) return;
  g_BackgroundSurface->Fill(nullptr, colour, 255);
  if (DxDraw::DxSurface* shown = g_BackgroundSprite->GetImage()) {
    const platform::Rect whole = g_BackgroundSurface->Bounds();
    shown->Blt(0, 0, g_BackgroundSurface, &whole, nullptr, nullptr);
  }
  g_BackgroundSprite->m_Params.mode = 0;
  g_BackgroundSprite->MarkDirty(DxDraw::DIRTY_VISIBILITY);
  g_BackgroundState |= BACKGROUND_PLAIN;
}
