// The main window's procedure, its menu and accelerators, and the driver choice dialog.
#include "app/winapp.h"

#include "app/config.h"
#include "app/frame/framestep.h"
#include "dxdraw/screen.h"
#include "platform/input.h"
#include "platform/msgbox.h"
#include "script/save/options.h"
#include "script/scenario.h"

using platform::MenuItem;

platform::Menu BuildMainMenu() {
  auto radio = [](uint32_t id, const char16_t* label) { return MenuItem::Radio(id, label); };
  return platform::Menu({
      MenuItem::Popup(
          u"システム",
          {
              MenuItem::Popup(u"描画速度", {radio(40004, u"通常"), radio(40005, u"２倍速"), radio(40006, u"４倍速"),
                                            radio(40007, u"８倍速"), radio(40008, u"１６倍速"), radio(40009, u"自動")}),
              MenuItem::Popup(u"メッセージ",
                              {MenuItem::Popup(u"表示", {radio(40017, u"遅い"), radio(40018, u"普通"),
                                                         radio(40019, u"速い"), radio(40020, u"最速")}),
                               MenuItem::Popup(u"オート速度", {radio(40022, u"遅い"), radio(40023, u"普通"),
                                                               radio(40024, u"速い"), radio(40025, u"最速")})}),
              MenuItem::Command(40027, u"サウンド設定"),
              MenuItem::Command(40028, u"システム設定"),
              MenuItem::Command(40029, u"名前変更"),
              MenuItem::Command(40030, u"マニュアル"),
              MenuItem::Separator(),
              MenuItem::Command(40000, u"終了(&X)"),
          }),
      MenuItem::Popup(u"シナリオ",
                      {MenuItem::Command(40003, u"タイトルに戻る(&X)"), MenuItem::Separator(),
                       MenuItem::Command(40010, u"セーブする(&S)"), MenuItem::Command(40011, u"ロードする(&L)")}),
      MenuItem::Popup(u"デバッグ", {MenuItem::Command(40013, u"変数表示")}),
  });
}

platform::AcceleratorTable BuildAccelerators() {
  return platform::AcceleratorTable({
      {platform::DIK_F10, 0, IDM_F10},
      {platform::DIK_RETURN, platform::kModAlt, IDM_FULLSCREEN},
      {platform::DIK_Z, platform::kModCtrl, IDM_BACK},
  });
}

std::u16string MenuModelItems::MenuItemText(uint32_t id) {
  const platform::MenuItem* item = m_Menu.Find(id);
  return item ? item->label : std::u16string();
}

void MenuModelItems::SetMenuItemText(uint32_t id, std::u16string_view text) {
  m_Menu.SetLabel(id, std::u16string(text));
}

bool AskClose() {
  return platform::ShowMessageBox(u"終了してもよろしいですか？", u"終了", platform::MsgButtons::YesNo,
                                  platform::MsgIcon::Question, 1) == platform::MsgResult::Yes;
}

intptr_t WinApp::WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  switch (msg) {
    case WMSG_ACTIVATEAPP: {
      DxFrame::WindowProc(msg, wParam, lParam);
      g_AppActive = IsActive() ? 1 : 0;
      return 0;
    }
    case WMSG_CLOSE:
      // The window stays; the next pump raises the quit and everything is released on the way.
      if (AskClose()) g_QuitFlag = 1;
      return 0;
    case WMSG_SETCURSOR:
      return TWindow::WindowProc(msg, wParam, lParam);
    case WMSG_CHAR:
      ReceiveChar(static_cast<uint16_t>(wParam), static_cast<uint32_t>(lParam));
      return 0;
    case WMSG_COMMAND: {
      const uint32_t id = static_cast<uint32_t>(wParam);
      if (id >= IDM_EXIT && id <= IDM_MANUAL && id != IDM_F10 && id != 40015 && id != 40016 && id != 40026) {
        OnCommand(id);
        return 0;
      }
      break;
    }
    default:
      break;
  }
  return DxFrame::WindowProc(msg, wParam, lParam);
}

void WinApp::OnCommand(uint32_t id) {
  // A greyed item does nothing, whichever way its command came.
  if (!m_Menu.IsEnabled(id)) return;
  if (id >= IDM_SPEED_NORMAL && id <= IDM_SPEED_AUTO) {
    static constexpr struct {
      uint32_t fields, setting;
    } kSpeeds[] = {{0, 1}, {1, 2}, {3, 4}, {7, 8}, {15, 16}, {0, 0}};
    m_Menu.CheckRadio(IDM_SPEED_NORMAL, IDM_SPEED_AUTO, id);
    if (m_pScreenSurface) {
      const auto& s = kSpeeds[id - IDM_SPEED_NORMAL];
      m_pScreenSurface->m_SkipFrames = m_pScreenSurface->m_SkipCount = s.fields;
      g_Config.skipFrame = int32_t(s.setting);
    }
    return;
  }
  if (id >= IDM_TEXT_FIRST && id <= IDM_TEXT_LAST) {
    m_Menu.CheckRadio(IDM_TEXT_FIRST, IDM_TEXT_LAST, id);
    SetTextSpeed(int32_t(IDM_TEXT_LAST - id));
    return;
  }
  if (id >= IDM_AUTO_FIRST && id <= IDM_AUTO_LAST) {
    static constexpr int32_t kIndex[] = {0, 4, 3, 2, 1};
    m_Menu.CheckRadio(IDM_AUTO_FIRST, IDM_AUTO_LAST, id);
    SetAutoWait(kIndex[id - IDM_AUTO_FIRST]);
    return;
  }
  switch (id) {
    case IDM_EXIT:
      SendMessage(WMSG_CLOSE, 0, 0);
      break;
    case IDM_FULLSCREEN:
      ToggleFullScreen();
      break;
    case IDM_TITLE:
      g_TransferRequest = 1;
      break;
    case IDM_SAVE:
      if (m_Commands.RunSaveDialog()) GameNotices().ShowNotice(u"セーブしました", 2000);
      break;
    case IDM_LOAD: {
      const int32_t slot = m_Commands.RunLoadDialog();
      if (slot >= 0) {
        g_PendingLoadSlot = slot;
        g_TransferRequest = 2;
      }
      break;
    }
    case IDM_BACK:
      // Only a running scenario can go back; elsewhere nothing would catch the request.
      if (g_pCurrentGroup && platform::ShowMessageBox(u"シナリオを少し戻ります。よろしいですか？", u"確認",
                                                      platform::MsgButtons::YesNo) == platform::MsgResult::Yes)
        g_TransferRequest = 3;
      break;
    case IDM_VARIABLES:
      m_Commands.ShowVariables();
      break;
    case IDM_FLAGS:
      m_Commands.ShowFlags();
      break;
    case IDM_SOUND_SETTINGS:
      m_Commands.RunSoundSettings();
      break;
    case IDM_SYSTEM_SETTINGS:
      m_Commands.RunSystemSettings();
      break;
    case IDM_NAME:
      m_Commands.RunNameDialog();
      break;
    case IDM_MANUAL:
      m_Commands.ShowManual();
      break;
    default:
      break;
  }
}

platform::DialogTemplate DisplayDriverDialog() {
  platform::DialogTemplate t;
  t.caption = u"ディスプレイドライバの選択";
  t.width = 320;
  t.height = 112;
  t.controls = {
      {1000, platform::ControlType::ComboBox, platform::Rect{12, 16, 308, 40}, u""},
      {platform::kIdOk, platform::ControlType::DefaultButton, platform::Rect{140, 72, 220, 96}, u"OK"},
      {platform::kIdCancel, platform::ControlType::Button, platform::Rect{228, 72, 308, 96}, u"キャンセル"},
  };
  return t;
}

int ChooseDisplayDriver(platform::DialogHost& host, const std::vector<DxDraw::DisplayDevice>& drivers) {
  return host.RunModal(DisplayDriverDialog(), [&](platform::DialogControls& c, const platform::DialogEvent& e) {
    if (e.type == platform::DialogEventType::Init) {
      for (const DxDraw::DisplayDevice& d : drivers) c.AddLine(1000, d.description);
      c.SelectLine(1000, 0);
      return true;
    }
    if (e.type == platform::DialogEventType::Command && e.control == platform::kIdOk) {
      c.End(c.GetSelection(1000));
      return true;
    }
    if (e.type == platform::DialogEventType::Command && e.control == platform::kIdCancel) {
      c.End(-1);
      return true;
    }
    return false;
  });
}
