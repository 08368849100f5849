// The settings dialogs: system (screen, picture speed, window colour, font, skip options), sound
// (switches, volumes heard at once, test sounds), the player's name and the flag number.
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "app/frame/framestep.h"
#include "app/frame/misc.h"
#include "dxdraw/dxdisplay.h"
#include "dxdraw/frame.h"
#include "lib/wstring.h"
#include "script/dialogs/dialogcommon.h"
#include "script/dialogs/dialogs.h"
#include "script/dialogs/templates.h"
#include "script/layout.h"
#include "script/scene.h"
#include "script/services.h"
#include "script/settings.h"
#include "script/sounds.h"
#include "sound/sound.h"
#include "textscript/variables.h"

using platform::DialogControls;
using platform::DialogEvent;
using platform::DialogEventType;
using platform::ScrollCode;

int32_t g_FlagNumber = 0;

namespace {

constexpr uint32_t kToggleFullScreenCommand = 40001;
constexpr char16_t kFallbackFont[] = u"ＭＳ 明朝";

template <typename Procedure>
int32_t Run(const platform::DialogTemplate& t, std::shared_ptr<Procedure> procedure) {
  return DialogHostService().RunModal(
      t, [procedure](DialogControls& d, const DialogEvent& e) { return (*procedure)(d, e); });
}

// ---- System settings --------------------------------------------------------------------------

constexpr uint32_t kColourBars[4] = {IDC_COLOUR_R, IDC_COLOUR_G, IDC_COLOUR_B, IDC_COLOUR_A};
constexpr uint8_t kDefaultColour[4] = {32, 32, 240, 160};

// A vertical colour bar's new value: its top is the highest value.
int32_t ColourBarValue(int32_t value, ScrollCode code, int32_t position) {
  switch (code) {
    case ScrollCode::LineUp:
      return std::min(value + 1, 255);
    case ScrollCode::LineDown:
      return std::max(value - 1, 0);
    case ScrollCode::PageUp:
      return std::min(value + 16, 255);
    case ScrollCode::PageDown:
      return value < 16 ? 0 : value - 16;
    case ScrollCode::ThumbPosition:
    case ScrollCode::ThumbTrack:
      return std::clamp(255 - position, 0, 255);
    case ScrollCode::Top:
      return 255;
    case ScrollCode::Bottom:
      return 0;
    case ScrollCode::EndScroll:
      break;
  }
  return value;
}

class SystemProcedure {
 public:
  explicit SystemProcedure(SETTINGDATA& copy) : m_Copy(copy) {}

  bool operator()(DialogControls& d, const DialogEvent& e) {
    switch (e.type) {
      case DialogEventType::Init:
        Open(d);
        return true;
      case DialogEventType::Scroll:
        for (int i = 0; i < 4; ++i) {
          if (e.control != kColourBars[i]) continue;
          m_Copy.m_BaseColor[i] = uint8_t(ColourBarValue(m_Copy.m_BaseColor[i], e.scroll, e.position));
          d.SetPosition(kColourBars[i], 255 - m_Copy.m_BaseColor[i]);
          ShowPreview(d);
          return true;
        }
        return false;
      case DialogEventType::Command:
        return Command(d, e.control);
      default:
        return false;
    }
  }

 private:
  void Open(DialogControls& d) {
    d.SetCheck(m_Copy.m_FullScreen ? IDC_FULLSCREEN : IDC_WINDOWED, true);
    d.SetCheck(m_Copy.m_DisplaySpeed ? IDC_SPEED_FAST : IDC_SPEED_NORMAL, true);
    d.SetCheck(IDC_TEXTSKIP1, m_Copy.m_TextSkip1 != 0);
    d.SetCheck(IDC_TEXTSKIP2, m_Copy.m_TextSkip2 != 0);
    for (uint32_t bar : kColourBars) {
      d.SetRange(bar, 0, 255);
      d.SetPageSize(bar, 16);
    }
    SetBars(d);
    const platform::Rect r = PreviewRect();
    m_Preview.Create(r.Width(), r.Height());
    ShowPreview(d);
    const std::vector<std::u16string>& fonts = FontList();
    d.ClearLines(IDC_FONT);
    for (const std::u16string& name : fonts) d.AddLine(IDC_FONT, name);
    const std::u16string current(m_Copy.m_FontName);
    auto at = std::find(fonts.begin(), fonts.end(), current);
    if (at == fonts.end()) at = std::find(fonts.begin(), fonts.end(), std::u16string(kFallbackFont));
    d.SelectLine(IDC_FONT, at == fonts.end() ? -1 : int32_t(at - fonts.begin()));
  }

  static platform::Rect PreviewRect() {
    for (const platform::ControlTemplate& c : SystemSettingsTemplate().controls)
      if (c.id == IDC_COLOUR_PREVIEW) return c.rect;
    return {};
  }

  void SetBars(DialogControls& d) {
    for (int i = 0; i < 4; ++i) d.SetPosition(kColourBars[i], 255 - m_Copy.m_BaseColor[i]);
  }

  // The preview shows the colour without its alpha.
  void ShowPreview(DialogControls& d) {
    const uint8_t* c = m_Copy.m_BaseColor;
    m_Preview.Fill(uint32_t(c[0]) << 16 | uint32_t(c[1]) << 8 | c[2]);
    m_Preview.Show(d, IDC_COLOUR_PREVIEW);
  }

  bool Command(DialogControls& d, uint32_t id) {
    switch (id) {
      case IDC_COLOUR_DEFAULT:
        std::memcpy(m_Copy.m_BaseColor, kDefaultColour, 4);
        SetBars(d);
        ShowPreview(d);
        return true;
      case platform::kIdOk: {
        m_Copy.m_FullScreen = d.IsChecked(IDC_FULLSCREEN) ? 1 : 0;
        m_Copy.m_DisplaySpeed = d.IsChecked(IDC_SPEED_FAST) ? 1 : 0;
        m_Copy.m_TextSkip1 = d.IsChecked(IDC_TEXTSKIP1) ? 1 : 0;
        m_Copy.m_TextSkip2 = d.IsChecked(IDC_TEXTSKIP2) ? 1 : 0;
        const std::u16string font = d.GetSelection(IDC_FONT) >= 0 ? d.GetText(IDC_FONT) : kFallbackFont;
        std::fill(std::begin(m_Copy.m_FontName), std::end(m_Copy.m_FontName), u'\0');
        CopyWideTruncated(m_Copy.m_FontName, std::size(m_Copy.m_FontName), font);
        d.End(1);
        return true;
      }
      case platform::kIdCancel:
        d.End(-1);
        return true;
      default:
        return false;
    }
  }

  SETTINGDATA& m_Copy;
  DialogPicture m_Preview;
};

// ---- Sound settings ---------------------------------------------------------------------------

// A horizontal volume bar's new percentage.
int32_t VolumeBarValue(int32_t value, ScrollCode code, int32_t position) {
  switch (code) {
    case ScrollCode::LineUp:
      return std::max(value - 1, 0);
    case ScrollCode::LineDown:
      return std::min(value + 1, 100);
    case ScrollCode::PageUp:
      return value < 10 ? 0 : value - 10;
    case ScrollCode::PageDown:
      return value > 90 ? 100 : value + 10;
    case ScrollCode::ThumbPosition:
    case ScrollCode::ThumbTrack:
      return std::clamp(position, 0, 100);
    case ScrollCode::Top:
      return 0;
    case ScrollCode::Bottom:
      return 100;
    case ScrollCode::EndScroll:
      break;
  }
  return value;
}

void SetChannelVolume(int32_t channel, int32_t volume) {
  Sound::SetStreamVolume(Sound::ChannelId(channel), AppVolumeToDecibels(volume));
}

// The 0..255 volumes of a percentage: music and effects a tenth of the voice scale.
int32_t MusicScale(int32_t percent) {
  return percent * 255 / 1000;
}
int32_t VoiceScale(int32_t percent) {
  return percent * 255 / 100;
}

// Every volume as the settings block has it, a switched-off channel silent.
void ApplySoundSettings() {
  Sound::SetMasterVolume(AppVolumeToDecibels(VoiceScale(g_Setting.m_MainVolume)));
  SetChannelVolume(SOUND_BGM, BgmVolume());
  SetChannelVolume(SOUND_VOICE, VoiceVolume());
  SetChannelVolume(SOUND_SE1, SeVolume());
  SetChannelVolume(SOUND_SE2, SeVolume());
}

constexpr char16_t kTestVoice[] = u"V_TEST";
constexpr char16_t kTestEffect[] = u"INS02";

class SoundProcedure {
 public:
  explicit SoundProcedure(SETTINGDATA& copy) : m_Copy(copy) {}

  bool operator()(DialogControls& d, const DialogEvent& e) {
    switch (e.type) {
      case DialogEventType::Init:
        Open(d);
        return true;
      case DialogEventType::Scroll:
        return Scroll(d, e);
      case DialogEventType::Command:
        return Command(d, e.control);
      default:
        return false;
    }
  }

 private:
  void Open(DialogControls& d) {
    d.SetCheck(m_Copy.m_EnableVoice ? IDC_VOICE_ON : IDC_VOICE_OFF, true);
    d.SetCheck(m_Copy.m_EnableBgm ? IDC_BGM_ON : IDC_BGM_OFF, true);
    d.SetCheck(m_Copy.m_EnableSe ? IDC_SE_ON : IDC_SE_OFF, true);
    const uint8_t values[4] = {m_Copy.m_MainVolume, m_Copy.m_BgmVolume, m_Copy.m_VoiceVolume, m_Copy.m_SeVolume};
    for (int i = 0; i < 4; ++i) {
      d.SetRange(kBars[i], 0, 100);
      d.SetPageSize(kBars[i], 10);
      d.SetPosition(kBars[i], values[i]);
    }
  }

  bool Scroll(DialogControls& d, const DialogEvent& e) {
    uint8_t* value = nullptr;
    switch (e.control) {
      case IDC_MAIN_VOLUME:
        value = &m_Copy.m_MainVolume;
        break;
      case IDC_BGM_VOLUME:
        value = &m_Copy.m_BgmVolume;
        break;
      case IDC_VOICE_VOLUME:
        value = &m_Copy.m_VoiceVolume;
        break;
      case IDC_SE_VOLUME:
        value = &m_Copy.m_SeVolume;
        break;
      default:
        return false;
    }
    *value = uint8_t(VolumeBarValue(*value, e.scroll, e.position));
    d.SetPosition(e.control, *value);
    // Heard at once, whatever the switch says, so the player hears what the bar sets.
    switch (e.control) {
      case IDC_MAIN_VOLUME:
        Sound::SetMasterVolume(AppVolumeToDecibels(VoiceScale(*value)));
        break;
      case IDC_BGM_VOLUME:
        SetChannelVolume(SOUND_BGM, MusicScale(*value));
        break;
      case IDC_VOICE_VOLUME:
        SetChannelVolume(SOUND_VOICE, VoiceScale(*value));
        break;
      default:
        SetChannelVolume(SOUND_SE1, MusicScale(*value));
        SetChannelVolume(SOUND_SE2, MusicScale(*value));
        break;
    }
    return true;
  }

  bool Command(DialogControls& d, uint32_t id) {
    switch (id) {
      case IDC_TEST_VOICE: {
        // A press while the test voice plays stops it; any other press plays it from the start.
        const int32_t playing = Sound::ChannelId(SOUND_VOICE);
        const bool testPlays =
            playing != -1 && Sound::IsStreamPlaying(playing) && EqualNoCase(g_PlayingSounds[SOUND_VOICE], kTestVoice);
        Sound::StopChannel(SOUND_VOICE);
        if (!testPlays) {
          const std::u16string path = std::u16string(u"voice/") + kTestVoice;
          PlayOggByName(path.c_str(), SOUND_VOICE, false, kNormalSpeed,
                        AppVolumeToDecibels(VoiceScale(m_Copy.m_VoiceVolume)), kCentrePan);
          g_PlayingSounds[SOUND_VOICE] = kTestVoice;
        }
        return true;
      }
      case IDC_TEST_SE: {
        // A looping effect on the first channel goes on; the test uses the second.
        const int32_t channel = g_SceneState[SCENE_SE1].m_State == SCENE_SE_LOOP ? SOUND_SE2 : SOUND_SE1;
        PlaySe(channel, kTestEffect, false);
        SetChannelVolume(channel, MusicScale(m_Copy.m_SeVolume));
        return true;
      }
      case platform::kIdOk:
        m_Copy.m_EnableVoice = d.IsChecked(IDC_VOICE_ON) ? 1 : 0;
        m_Copy.m_EnableBgm = d.IsChecked(IDC_BGM_ON) ? 1 : 0;
        m_Copy.m_EnableSe = d.IsChecked(IDC_SE_ON) ? 1 : 0;
        d.End(1);
        return true;
      case platform::kIdCancel:
        d.End(-1);
        return true;
      default:
        return false;
    }
  }

  static constexpr uint32_t kBars[4] = {IDC_MAIN_VOLUME, IDC_BGM_VOLUME, IDC_VOICE_VOLUME, IDC_SE_VOLUME};
  SETTINGDATA& m_Copy;
};

// ---- Player name ------------------------------------------------------------------------------

class NameProcedure {
 public:
  bool operator()(DialogControls& d, const DialogEvent& e) {
    if (e.type == DialogEventType::Init) {
      d.SetLimit(IDC_FAMILY_NAME, 8);
      d.SetLimit(IDC_GIVEN_NAME, 8);
      d.SetText(IDC_FAMILY_NAME, g_FamilyName);
      d.SetText(IDC_GIVEN_NAME, g_GivenName);
      return true;
    }
    if (e.type != DialogEventType::Command) return false;
    if (e.control == platform::kIdOk) {
      const std::u16string family = d.GetText(IDC_FAMILY_NAME);
      const std::u16string given = d.GetText(IDC_GIVEN_NAME);
      // An empty field is refused without a word; the dialog stays.
      if (family.empty() || given.empty()) return true;
      std::fill(std::begin(g_FamilyName), std::end(g_FamilyName), u'\0');
      std::fill(std::begin(g_GivenName), std::end(g_GivenName), u'\0');
      CopyWideTruncated(g_FamilyName, kPlayerNameSize, family);
      CopyWideTruncated(g_GivenName, kPlayerNameSize, given);
      d.End(1);
      return true;
    }
    if (e.control == platform::kIdCancel) {
      d.End(-1);
      return true;
    }
    return false;
  }
};

// ---- Flag number ------------------------------------------------------------------------------

constexpr int32_t kMaxFlag = 2047;

// A flag number typed in whole: decimal digits only, within the range.
std::optional<int32_t> ParseFlag(const std::u16string& text) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  int32_t n = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    n = n * 10 + (c - u'0');
  }
  if (n > kMaxFlag) return std::nullopt;
  return n;
}

class FlagProcedure {
 public:
  bool operator()(DialogControls& d, const DialogEvent& e) {
    switch (e.type) {
      case DialogEventType::Init:
        d.SetRange(IDC_FLAG_SPIN, 0, kMaxFlag);
        d.SetPosition(IDC_FLAG_SPIN, std::clamp(g_FlagNumber, 0, kMaxFlag));
        return true;
      case DialogEventType::FocusIn:
      case DialogEventType::FocusOut:
        if (e.control == IDC_FLAG_NUMBER) m_EditFocused = e.type == DialogEventType::FocusIn;
        return true;
      case DialogEventType::Command:
        if (e.control == platform::kIdOk && m_EditFocused) {
          // Enter in the number takes it into the spin control and moves on to the button.
          const std::optional<int32_t> n = ParseFlag(d.GetText(IDC_FLAG_NUMBER));
          d.SetPosition(IDC_FLAG_SPIN, n ? *n : d.GetPosition(IDC_FLAG_SPIN));
          d.SetFocus(platform::kIdOk);
          m_EditFocused = false;
          return true;
        }
        if (e.control == platform::kIdOk || e.control == platform::kIdCancel) {
          if (const std::optional<int32_t> n = ParseFlag(d.GetText(IDC_FLAG_NUMBER))) g_FlagNumber = *n;
          d.End(e.control == platform::kIdOk ? 1 : -1);
          return true;
        }
        return false;
      default:
        return false;
    }
  }

 private:
  bool m_EditFocused = false;
};

bool ColourDiffers(const SETTINGDATA& a, const SETTINGDATA& b) {
  return std::memcmp(a.m_BaseColor, b.m_BaseColor, 4) != 0;
}

}  // namespace

void SystemSettingsDialog() {
  if (g_Frame.display && g_Frame.display->IsCreated()) g_Setting.m_FullScreen = g_Frame.display->IsWindowed() ? 0 : 1;
  const SETTINGDATA before = g_Setting;
  auto copy = std::make_shared<SETTINGDATA>(g_Setting);
  if (Run(SystemSettingsTemplate(), std::make_shared<SystemProcedure>(*copy)) != 1) return;
  if (copy->m_FullScreen != before.m_FullScreen && g_Frame.frame)
    g_Frame.frame->SendMessage(WMSG_COMMAND, kToggleFullScreenCommand, 0);
  if (copy->m_DisplaySpeed != before.m_DisplaySpeed) g_AppFlags |= APPFLAG_DISPLAYSPEED_CHANGED;
  if (copy->m_TextSkip1 != before.m_TextSkip1) g_AppFlags |= APPFLAG_TEXTSKIP1_CHANGED;
  if (copy->m_TextSkip2 != before.m_TextSkip2) g_AppFlags |= APPFLAG_TEXTSKIP2_CHANGED;
  if (ColourDiffers(*copy, before)) GameSceneServices().ApplyWindowColour(WindowColourOf(*copy));
  if (std::u16string_view(copy->m_FontName) != std::u16string_view(before.m_FontName))
    g_AppFlags |= APPFLAG_FONT_CHANGED;
  g_Setting = *copy;
}

void SoundSettingsDialog() {
  auto copy = std::make_shared<SETTINGDATA>(g_Setting);
  // OK keeps the dialog's settings; cancel takes back what the bars did. Either way every channel
  // ends at its setting, silent while switched off.
  if (Run(SoundSettingsTemplate(), std::make_shared<SoundProcedure>(*copy)) == 1) g_Setting = *copy;
  ApplySoundSettings();
}

int32_t PlayerNameDialog() {
  return Run(PlayerNameTemplate(), std::make_shared<NameProcedure>());
}

int32_t FlagDialog() {
  return Run(FlagTemplate(), std::make_shared<FlagProcedure>());
}
