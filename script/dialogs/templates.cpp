// The dialog templates as data: each dialog's controls in Tab order, with their ids and texts.
#include "script/dialogs/templates.h"

#include <string>
#include <utility>
#include <vector>

using platform::ControlTemplate;
using platform::ControlType;
using platform::DialogTemplate;
using platform::Rect;

namespace {

// The id of every label and frame, which no procedure addresses.
constexpr uint32_t kIdStatic = 0xFFFF;

struct Control {
  uint32_t id;
  ControlType type;
  Rect rect;
  const char16_t* text = u"";
  int32_t maxLength = 0;
  bool groupStart = false;
  uint32_t buddy = 0;
  bool fixedFont = false;
};

DialogTemplate Make(const char16_t* caption, int32_t width, int32_t height, std::vector<Control> controls) {
  DialogTemplate t;
  t.caption = caption;
  t.width = width;
  t.height = height;
  for (const Control& c : controls) {
    ControlTemplate ct;
    ct.id = c.id;
    ct.type = c.type;
    ct.rect = c.rect;
    ct.text = c.text;
    ct.maxLength = c.maxLength;
    ct.groupStart = c.groupStart;
    ct.buddy = c.buddy;
    ct.fixedFont = c.fixedFont;
    t.controls.push_back(std::move(ct));
  }
  return t;
}

Control Label(Rect r, const char16_t* text) {
  return Control{kIdStatic, ControlType::Static, r, text};
}
Control Frame(Rect r, const char16_t* text) {
  return Control{kIdStatic, ControlType::GroupBox, r, text};
}
Control Radio(uint32_t id, Rect r, const char16_t* text, bool first) {
  return Control{id, ControlType::RadioButton, r, text, 0, first};
}

}  // namespace

const DialogTemplate& SaveLoadTemplate() {
  // The column heads sit over the line's fields in the list's fixed font.
  static const DialogTemplate t = Make(
      u"セーブ", 672, 400,
      {Label({8, 8, 72, 26}, u"スロット"), Label({76, 8, 200, 26}, u"更新日時"), Label({204, 8, 400, 26}, u"コメント"),
       Control{IDC_SLOTLIST, ControlType::ListBox, {8, 28, 512, 306}, u"", 0, false, 0, true},
       Control{IDC_THUMBNAIL, ControlType::Picture, {524, 28, 664, 133}}, Label({8, 320, 112, 340}, u"コメント入力"),
       Control{IDC_COMMENT, ControlType::Edit, {116, 316, 420, 340}, u"", 32},
       Control{IDC_SETCOMMENT, ControlType::Button, {430, 314, 512, 342}, u"修正"},
       Control{IDC_DELETE, ControlType::Button, {524, 150, 664, 178}, u"削除(&D)"},
       Control{platform::kIdOk, ControlType::DefaultButton, {484, 356, 568, 388}, u"&OK"},
       Control{platform::kIdCancel, ControlType::Button, {578, 356, 664, 388}, u"ｷｬﾝｾﾙ"}});
  return t;
}

const DialogTemplate& SystemSettingsTemplate() {
  static const DialogTemplate t =
      Make(u"システム設定", 520, 380,
           {Frame({8, 8, 200, 84}, u"スクリーンモード"),
            Radio(IDC_WINDOWED, {20, 30, 190, 52}, u"ウィンドウ", true),
            Radio(IDC_FULLSCREEN, {20, 56, 190, 78}, u"全画面", false),
            Frame({8, 92, 200, 168}, u"グラフィック表示"),
            Radio(IDC_SPEED_NORMAL, {20, 114, 190, 136}, u"通常", true),
            Radio(IDC_SPEED_FAST, {20, 140, 190, 162}, u"高速", false),
            Control{kIdStatic, ControlType::GroupBox, {210, 8, 510, 200}, u"テキスト背景", 0, true},
            Label({226, 30, 246, 48}, u"R"),
            Label({262, 30, 282, 48}, u"G"),
            Label({298, 30, 318, 48}, u"B"),
            Label({328, 30, 368, 48}, u"透過"),
            Control{IDC_COLOUR_R, ControlType::TrackbarV, {222, 52, 246, 190}},
            Control{IDC_COLOUR_G, ControlType::TrackbarV, {258, 52, 282, 190}},
            Control{IDC_COLOUR_B, ControlType::TrackbarV, {294, 52, 318, 190}},
            Control{IDC_COLOUR_A, ControlType::TrackbarV, {334, 52, 358, 190}},
            Control{IDC_COLOUR_PREVIEW, ControlType::Picture, {380, 52, 500, 132}},
            Control{IDC_COLOUR_DEFAULT, ControlType::Button, {380, 150, 500, 180}, u"Default"},
            Frame({8, 208, 510, 322}, u"テキスト表示"),
            Label({20, 232, 120, 252}, u"フォント指定"),
            Control{IDC_FONT, ControlType::ComboBox, {124, 228, 500, 252}},
            Control{IDC_TEXTSKIP1, ControlType::CheckBox, {20, 262, 500, 284}, u"未読でスキップ等を止める"},
            Control{IDC_TEXTSKIP2, ControlType::CheckBox, {20, 290, 500, 312}, u"選択時にスキップ等を解除"},
            Control{platform::kIdOk, ControlType::DefaultButton, {420, 338, 510, 370}, u"OK"}});
  return t;
}

const DialogTemplate& SoundSettingsTemplate() {
  static const DialogTemplate t = Make(
      u"サウンド設定", 480, 300,
      {Frame({8, 8, 156, 80}, u"ボイス"), Radio(IDC_VOICE_ON, {20, 32, 84, 54}, u"あり", true),
       Radio(IDC_VOICE_OFF, {88, 32, 150, 54}, u"なし", false),
       Control{kIdStatic, ControlType::GroupBox, {164, 8, 312, 80}, u"ＢＧＭ", 0, true},
       Radio(IDC_BGM_ON, {176, 32, 240, 54}, u"あり", true), Radio(IDC_BGM_OFF, {244, 32, 306, 54}, u"なし", false),
       Control{kIdStatic, ControlType::GroupBox, {320, 8, 468, 80}, u"効果音", 0, true},
       Radio(IDC_SE_ON, {332, 32, 396, 54}, u"あり", true), Radio(IDC_SE_OFF, {400, 32, 462, 54}, u"なし", false),
       Control{kIdStatic, ControlType::Static, {8, 100, 100, 120}, u"全体音量", 0, true},
       Control{IDC_MAIN_VOLUME, ControlType::TrackbarH, {110, 96, 468, 124}}, Label({8, 136, 100, 156}, u"BGM"),
       Control{IDC_BGM_VOLUME, ControlType::TrackbarH, {110, 132, 468, 160}},
       Control{IDC_TEST_VOICE, ControlType::Button, {8, 168, 100, 196}, u"ボイス"},
       Control{IDC_VOICE_VOLUME, ControlType::TrackbarH, {110, 168, 468, 196}},
       Control{IDC_TEST_SE, ControlType::Button, {8, 204, 100, 232}, u"効果音"},
       Control{IDC_SE_VOLUME, ControlType::TrackbarH, {110, 204, 468, 232}},
       Control{platform::kIdOk, ControlType::DefaultButton, {378, 258, 468, 290}, u"OK"}});
  return t;
}

const DialogTemplate& PlayerNameTemplate() {
  static const DialogTemplate t =
      Make(u"主人公名変更", 360, 170,
           {Label({16, 12, 344, 32}, u"主人公の名前を入力してください"), Label({16, 52, 40, 72}, u"姓"),
            Control{IDC_FAMILY_NAME, ControlType::Edit, {44, 48, 170, 72}, u"", 8}, Label({186, 52, 210, 72}, u"名"),
            Control{IDC_GIVEN_NAME, ControlType::Edit, {214, 48, 344, 72}, u"", 8},
            Control{platform::kIdOk, ControlType::DefaultButton, {174, 124, 254, 156}, u"OK"},
            Control{platform::kIdCancel, ControlType::Button, {264, 124, 344, 156}, u"ｷｬﾝｾﾙ"}});
  return t;
}

const DialogTemplate& FlagTemplate() {
  static const DialogTemplate t =
      Make(u"ﾀﾞｲｱﾛｸﾞ", 300, 150,
           {Label({16, 18, 106, 38}, u"フラグ番号"), Control{IDC_FLAG_NUMBER, ControlType::Edit, {110, 14, 200, 38}},
            Control{IDC_FLAG_SPIN, ControlType::UpDown, {202, 14, 222, 38}, u"", 0, false, IDC_FLAG_NUMBER},
            Radio(IDC_FLAG_ON, {16, 56, 100, 78}, u"ON", true), Radio(IDC_FLAG_OFF, {110, 56, 200, 78}, u"OFF", false),
            Control{platform::kIdOk, ControlType::DefaultButton, {200, 106, 284, 138}, u"閉じる", 0, true}});
  return t;
}

const DialogTemplate& DebugWindowTemplate() {
  static const DialogTemplate t =
      Make(u"デバッグウィンドウ", 560, 380,
           {Frame({8, 8, 552, 104}, u"変数"),
            Label({20, 32, 80, 52}, u"変数名"),
            Control{IDC_VAR_NAME, ControlType::Edit, {84, 30, 300, 54}, u"", 30},
            Control{IDC_VAR_SHOW, ControlType::Button, {310, 28, 390, 56}, u"表示"},
            Label({20, 70, 80, 90}, u"数値"),
            Control{IDC_VAR_VALUE, ControlType::Edit, {84, 66, 300, 90}},
            Control{IDC_VAR_CHANGE, ControlType::Button, {310, 64, 390, 92}, u"変更"},
            Control{IDC_VAR_LIST, ControlType::Button, {400, 28, 540, 56}, u"変数一覧"},
            Control{IDC_SCENE_FLAGS, ControlType::Button, {400, 64, 540, 92}, u"シーン再生フラグ"},
            Frame({8, 112, 552, 172}, u"ラベル"),
            Label({20, 136, 80, 156}, u"ラベル名"),
            Control{IDC_LABEL_NAME, ControlType::Edit, {84, 132, 300, 156}, u"", 30},
            Control{IDC_JUMP, ControlType::Button, {310, 130, 390, 158}, u"ジャンプ"},
            Frame({8, 180, 552, 330}, u"ページ情報"),
            Label({20, 204, 80, 224}, u"行番号"),
            Control{IDC_LINE, ControlType::Static, {90, 204, 280, 224}},
            Label({20, 232, 80, 252}, u".GRP"),
            Control{IDC_STATE_GRP, ControlType::Static, {90, 232, 280, 252}},
            Label({20, 260, 80, 280}, u".CHR"),
            Control{IDC_STATE_CHR, ControlType::Static, {90, 260, 280, 280}},
            Label({20, 288, 80, 308}, u".CHL"),
            Control{IDC_STATE_CHL, ControlType::Static, {90, 288, 280, 308}},
            Label({290, 232, 340, 252}, u".WAV"),
            Control{IDC_STATE_WAV, ControlType::Static, {344, 232, 544, 252}},
            Label({290, 260, 340, 280}, u".S1"),
            Control{IDC_STATE_S1, ControlType::Static, {344, 260, 544, 280}},
            Label({290, 288, 340, 308}, u".S2"),
            Control{IDC_STATE_S2, ControlType::Static, {344, 288, 544, 308}},
            Control{platform::kIdCancel, ControlType::Button, {460, 340, 552, 372}, u"閉じる"}});
  return t;
}

const DialogTemplate& ListTemplate() {
  static const DialogTemplate t =
      Make(u"変数一覧", 360, 400,
           {Control{IDC_LIST, ControlType::ListBox, {8, 8, 352, 348}, u"", 0, false, 0, true},
            Control{platform::kIdOk, ControlType::DefaultButton, {262, 360, 352, 392}, u"OK"}});
  return t;
}
