// The dialog templates: every control by its id, type and text, and each dialog laid out inside
// itself and inside the 800x600 game window.
#include "script/dialogs/templates.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/utf.h"

namespace {

using platform::ControlType;
using platform::DialogTemplate;

struct Expected {
  uint32_t id;
  ControlType type;
  const char16_t* text;
};

const platform::ControlTemplate* Find(const DialogTemplate& t, uint32_t id) {
  for (const auto& c : t.controls)
    if (c.id == id) return &c;
  return nullptr;
}

TEST(DialogTemplates, EachDialogHoldsItsControls) {
  struct Dialog {
    const DialogTemplate& t;
    const char16_t* caption;
    std::vector<Expected> controls;
    std::vector<const char16_t*> labels;  // texts of labels and frames
  };
  const Dialog dialogs[] = {
      {SaveLoadTemplate(),
       u"セーブ",
       {{IDC_SLOTLIST, ControlType::ListBox, u""},
        {IDC_COMMENT, ControlType::Edit, u""},
        {IDC_SETCOMMENT, ControlType::Button, u"修正"},
        {IDC_DELETE, ControlType::Button, u"削除(&D)"},
        {IDC_THUMBNAIL, ControlType::Picture, u""},
        {platform::kIdOk, ControlType::DefaultButton, u"&OK"},
        {platform::kIdCancel, ControlType::Button, u"ｷｬﾝｾﾙ"}},
       {u"スロット", u"更新日時", u"コメント", u"コメント入力"}},
      {SystemSettingsTemplate(),
       u"システム設定",
       {{IDC_WINDOWED, ControlType::RadioButton, u"ウィンドウ"},
        {IDC_FULLSCREEN, ControlType::RadioButton, u"全画面"},
        {IDC_SPEED_NORMAL, ControlType::RadioButton, u"通常"},
        {IDC_SPEED_FAST, ControlType::RadioButton, u"高速"},
        {IDC_COLOUR_R, ControlType::TrackbarV, u""},
        {IDC_COLOUR_G, ControlType::TrackbarV, u""},
        {IDC_COLOUR_B, ControlType::TrackbarV, u""},
        {IDC_COLOUR_A, ControlType::TrackbarV, u""},
        {IDC_COLOUR_PREVIEW, ControlType::Picture, u""},
        {IDC_COLOUR_DEFAULT, ControlType::Button, u"Default"},
        {IDC_FONT, ControlType::ComboBox, u""},
        {IDC_TEXTSKIP1, ControlType::CheckBox, u"未読でスキップ等を止める"},
        {IDC_TEXTSKIP2, ControlType::CheckBox, u"選択時にスキップ等を解除"},
        {platform::kIdOk, ControlType::DefaultButton, u"OK"}},
       {u"スクリーンモード", u"グラフィック表示", u"テキスト背景", u"R", u"G", u"B", u"透過", u"テキスト表示",
        u"フォント指定"}},
      {SoundSettingsTemplate(),
       u"サウンド設定",
       {{IDC_VOICE_ON, ControlType::RadioButton, u"あり"},
        {IDC_VOICE_OFF, ControlType::RadioButton, u"なし"},
        {IDC_BGM_ON, ControlType::RadioButton, u"あり"},
        {IDC_BGM_OFF, ControlType::RadioButton, u"なし"},
        {IDC_SE_ON, ControlType::RadioButton, u"あり"},
        {IDC_SE_OFF, ControlType::RadioButton, u"なし"},
        {IDC_MAIN_VOLUME, ControlType::TrackbarH, u""},
        {IDC_BGM_VOLUME, ControlType::TrackbarH, u""},
        {IDC_VOICE_VOLUME, ControlType::TrackbarH, u""},
        {IDC_SE_VOLUME, ControlType::TrackbarH, u""},
        {IDC_TEST_VOICE, ControlType::Button, u"ボイス"},
        {IDC_TEST_SE, ControlType::Button, u"効果音"},
        {platform::kIdOk, ControlType::DefaultButton, u"OK"}},
       {u"ボイス", u"ＢＧＭ", u"効果音", u"全体音量", u"BGM"}},
      {PlayerNameTemplate(),
       u"主人公名変更",
       {{IDC_FAMILY_NAME, ControlType::Edit, u""},
        {IDC_GIVEN_NAME, ControlType::Edit, u""},
        {platform::kIdOk, ControlType::DefaultButton, u"OK"},
        {platform::kIdCancel, ControlType::Button, u"ｷｬﾝｾﾙ"}},
       {u"主人公の名前を入力してください", u"姓", u"名"}},
      {FlagTemplate(),
       u"ﾀﾞｲｱﾛｸﾞ",
       {{IDC_FLAG_NUMBER, ControlType::Edit, u""},
        {IDC_FLAG_SPIN, ControlType::UpDown, u""},
        {IDC_FLAG_ON, ControlType::RadioButton, u"ON"},
        {IDC_FLAG_OFF, ControlType::RadioButton, u"OFF"},
        {platform::kIdOk, ControlType::DefaultButton, u"閉じる"}},
       {u"フラグ番号"}},
      {DebugWindowTemplate(),
       u"デバッグウィンドウ",
       {{IDC_VAR_NAME, ControlType::Edit, u""},
        {IDC_VAR_SHOW, ControlType::Button, u"表示"},
        {IDC_VAR_VALUE, ControlType::Edit, u""},
        {IDC_VAR_CHANGE, ControlType::Button, u"変更"},
        {IDC_VAR_LIST, ControlType::Button, u"変数一覧"},
        {IDC_SCENE_FLAGS, ControlType::Button, u"シーン再生フラグ"},
        {IDC_LABEL_NAME, ControlType::Edit, u""},
        {IDC_JUMP, ControlType::Button, u"ジャンプ"},
        {IDC_LINE, ControlType::Static, u""},
        {IDC_STATE_CHR, ControlType::Static, u""},
        {IDC_STATE_GRP, ControlType::Static, u""},
        {IDC_STATE_CHL, ControlType::Static, u""},
        {IDC_STATE_WAV, ControlType::Static, u""},
        {IDC_STATE_S1, ControlType::Static, u""},
        {IDC_STATE_S2, ControlType::Static, u""},
        {platform::kIdCancel, ControlType::Button, u"閉じる"}},
       {u"変数名", u"数値", u"ラベル名", u"行番号", u".CHR", u".GRP", u".CHL", u".WAV", u".S1", u".S2", u"変数",
        u"ラベル", u"ページ情報"}},
      {ListTemplate(),
       u"変数一覧",
       {{IDC_LIST, ControlType::ListBox, u""}, {platform::kIdOk, ControlType::DefaultButton, u"OK"}},
       {}},
  };
  for (const Dialog& d : dialogs) {
    SCOPED_TRACE(platform::WideToUtf8(d.caption));
    EXPECT_EQ(d.t.caption, d.caption);
    for (const Expected& e : d.controls) {
      const platform::ControlTemplate* c = Find(d.t, e.id);
      ASSERT_NE(c, nullptr) << e.id;
      EXPECT_EQ(c->type, e.type) << e.id;
      EXPECT_EQ(c->text, e.text) << e.id;
    }
    std::multiset<std::u16string> labels;
    for (const auto& c : d.t.controls)
      if (c.type == ControlType::Static || c.type == ControlType::GroupBox) labels.insert(c.text);
    for (const char16_t* label : d.labels) EXPECT_EQ(labels.count(label), 1u) << platform::WideToUtf8(label);
    // Every addressed control once; each inside the dialog, which fits the game window.
    std::set<uint32_t> ids;
    for (const auto& c : d.t.controls) {
      if (c.type != ControlType::Static && c.type != ControlType::GroupBox) {
        EXPECT_TRUE(ids.insert(c.id).second) << "id " << c.id << " twice";
      }
      EXPECT_TRUE(c.rect.left >= 0 && c.rect.top >= 0 && c.rect.right <= d.t.width && c.rect.bottom <= d.t.height &&
                  c.rect.Width() > 0 && c.rect.Height() > 0)
          << "control " << c.id << " outside the dialog";
    }
    EXPECT_LE(d.t.width, 800);
    EXPECT_LE(d.t.height + 40, 600) << "with its title bar";
  }
  EXPECT_EQ(Find(SaveLoadTemplate(), IDC_COMMENT)->maxLength, 32);
  EXPECT_TRUE(Find(SaveLoadTemplate(), IDC_SLOTLIST)->fixedFont);
  EXPECT_TRUE(Find(ListTemplate(), IDC_LIST)->fixedFont);
  const platform::Rect thumb = Find(SaveLoadTemplate(), IDC_THUMBNAIL)->rect;
  EXPECT_EQ(thumb.Width(), 140);
  EXPECT_EQ(thumb.Height(), 105);
  EXPECT_EQ(Find(FlagTemplate(), IDC_FLAG_SPIN)->buddy, uint32_t(IDC_FLAG_NUMBER));
}

}  // namespace
