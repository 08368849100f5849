// The scene replay: its pages (the album's), and one scene run again under the replay flag.
#include "script/screens/sceneplay.h"

#include <cwctype>
#include <optional>

#include "app/frame/framestep.h"
#include "lib/error.h"
#include "script/executor.h"
#include "script/scenario.h"
#include "script/services.h"
#include "script/sounds.h"
#include "textscript/statement.h"

namespace {

constexpr char16_t kReplayTitleText[] = u"再生メニューに戻る(&X)";
constexpr size_t kMenuTextSize = 128;

bool EqualNoCase(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(wint_t(a[i])) != std::towlower(wint_t(b[i]))) return false;
  return true;
}

// The page statement of the label, or the game's error naming it.
int32_t LabelPage(ScriptStateGroup_App& group, const std::u16string& flag) {
  TextScript::ScriptStateNode* page = nullptr;
  try {
    page = group.FindLabel(flag);
  } catch (const TextScript::ScriptError2& e) {
    ThrowException(group.m_FileName.c(), e.m_Line, 0, 0, u"%s", e.m_Message);
  }
  if (!page) ThrowException(group.m_FileName.c(), 0, 0, 0, u"ラベルが見つかりません。[%s]", flag.c_str());
  return page->m_Page;
}

// One replayed scene: the menu's return item reads as a return to this screen, the replay flag
// is set and the scene starts empty. Whatever way it ends, the flag and the item's text come
// back and the scene's messages leave the backlog, so the next game starts without them.
int PlayScene(ScriptStateGroup_App& group, int32_t page) {
  IMenuItems& menu = GameMenu();
  menu.EnableMenuItem(MENU_TITLE, true);
  menu.EnableMenuItem(MENU_LOAD, true);
  std::u16string saved = menu.MenuItemText(MENU_TITLE);
  if (saved.size() > kMenuTextSize - 1) saved.resize(kMenuTextSize - 1);
  menu.SetMenuItemText(MENU_TITLE, kReplayTitleText);
  struct Restore {
    IMenuItems& menu;
    const std::u16string& text;
    ~Restore() {
      g_SceneReplayMode = false;
      menu.SetMenuItemText(MENU_TITLE, text);
      if (g_BackLog) *g_BackLog = BackLogList();
    }
  } restore{menu, saved};
  g_SceneReplayMode = true;
  GameScene().ClearResumeState();
  return group.Run(page);
}

}  // namespace

void RunScenePlay(const ScreenSources& sources) {
  LAYOUTSCREEN layout;
  ReadScreenLayout(sources.archive, u"sceneplay", layout);
  if (layout.pages.empty()) return;
  ScriptStateGroup_App* group = g_pCurrentGroup;
  if (!group) ThrowException(u"sceneplay", 0, 0, 0, u"SCENE-MODE: no scenario is loaded.");

  auto unlocked = [group](const std::u16string& flag) {
    for (const std::u16string& name : group->m_RecordedNames)
      if (EqualNoCase(name, flag)) return true;
    return false;
  };
  auto music = [] { PlayBgmOrVoice(SOUND_BGM, g_TitleBgm.c_str(), false); };

  std::optional<int32_t> quitLine;
  bool load = false;
  {
    AlbumPages pages(sources, layout, {u"title/s_p", u"title/s_thumb1"}, unlocked, music);
    pages.Build(0);
    for (;;) {
      const int i = pages.Choose();
      if (i < 0) break;
      const int32_t start = LabelPage(*group, pages.Entry(i).flag);
      pages.Show(false);
      g_QuitRaisedLine = 0;
      const int result = PlayScene(*group, start);
      // The run absorbs a quit as the scene's end; the frame step's record tells them apart.
      if (g_QuitRaisedLine) {
        quitLine = g_QuitRaisedLine;
        break;
      }
      if (result >= 2) {
        load = true;
        break;
      }
      pages.Show(true);
      pages.Build(pages.Page());
    }
  }
  if (quitLine) ThrowException(u"main", *quitLine, 1, 0, u"Quit");
  if (load) throw ScriptException{1};
}
