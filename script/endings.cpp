// The scene flags (SFS), the window off (TOF) and the three endings (END, END1, END2): the
// endings fade the scene to black, hold it and return to the title, END and END2 by way of the
// ending roll.
#include <memory>
#include <string>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "dxdraw/sprite.h"
#include "script/commandrules.h"
#include "script/executor.h"
#include "script/scene.h"
#include "script/services.h"
#include "textscript/messwindow.h"
#include "textscript/scriptframe.h"
#include "textscript/variables.h"

using TextScript::ScriptStateNode;

namespace {

constexpr uint32_t kEndingFadeStep = 5;
constexpr uint32_t kEndingHoldMs = 3000;

// SFS name: the scene is recorded once (upper case) for the scene replay.
ScriptStateNode* SceneFlag(ScriptStateNode_App& node) {
  std::vector<std::u16string>& names = node.AppGroup().m_RecordedNames;
  const std::u16string_view name = node.Arg(0);
  for (const std::u16string& seen : names)
    if (EqualNoCase(seen, name)) return node.Next();
  names.push_back(UpperAscii(name));
  return node.Next();
}

// TOF: the message window closes with its effect.
ScriptStateNode* WindowOff(ScriptStateNode_App& node) {
  TextScript::DxMessWindow& window = GameScene().MessageWindow();
  if (window.IsShown()) RunWindowEffect(TextScript::StartMessageWindowClose(&window));
  g_PageText = 0;
  return node.Next();
}

ScriptStateNode* Ending(ScriptStateNode_App& node) {
  {
    std::unique_ptr<DxDraw::DxSurfaceSprite32, ViewRelease> black(
        new DxDraw::DxSurfaceSprite32(kSceneWidth, kSceneHeight));
    black->DxDraw::DxSurface32::Fill(nullptr, 0x000000, 255);
    black->m_Params.mode = 2;
    black->m_Params.level = 0;
    GameScene().TopLayer().AddChild(black.get());
    for (uint32_t level = 0; level < 256; level += kEndingFadeStep) {
      black->m_Params.level = level;
      black->MarkDirty(DxDraw::DIRTY_VISIBILITY);
      WaitFrame();
    }
    GameScene().MessageWindow().Hide();
    g_PageText = 0;
    WaitFrame();
    WaitTime(kEndingHoldMs, 0);
    if (node.m_Type != TextScript::STMT_END1) GameScreens().RunEndingRoll();
  }
  throw ScriptException{0};
}

}  // namespace

void RegisterEndingCommands(AppCommandTable& table) {
  table.Register(TextScript::STMT_SFS, SceneFlag);
  table.Register(TextScript::STMT_TOF, WindowOff);
  table.Register(TextScript::STMT_END, Ending);
  table.Register(TextScript::STMT_END1, Ending);
  table.Register(TextScript::STMT_END2, Ending);
}
