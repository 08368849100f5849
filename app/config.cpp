// "varn.ini", the command line and the menu item tables of the settings.
#include "app/config.h"

#include <algorithm>
#include <climits>

#include "lib/tokenizer.h"
#include "lib/wstring.h"
#include "platform/folders.h"
#include "script/save/options.h"
#include "script/settings.h"

AppConfig g_Config;
CommandLineFlags g_CommandFlags;
bool g_EndedWindowed = true;

namespace {

constexpr char16_t kSection[] = u"varn";
constexpr size_t kValueSize = 256;
constexpr size_t kOptionTextSize = 256;
constexpr char16_t kDefaultFont[] = u"ＭＳ 明朝";

// The classic _wtoi: leading blanks, an optional sign, the digits up to the first other
// character; saturates outside the 32-bit range.
int32_t WToI(std::u16string_view s) {
  size_t i = 0;
  while (i < s.size() &&
         (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\n' || s[i] == u'\r' || s[i] == u'\v' || s[i] == u'\f'))
    ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  int64_t v = 0;
  for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
    v = v * 10 + (s[i] - u'0');
    if (v > int64_t(INT32_MAX) + 1) v = int64_t(INT32_MAX) + 1;
  }
  if (negative) v = -v;
  return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The file read once, its keys looked up in what was read.
class IniReader {
 public:
  IniReader(platform::FolderService& folders, std::u16string_view path) : m_Profile(folders.OpenProfile(path)) {}
  // The value, or the default text when the key is missing.
  std::u16string Text(std::u16string_view key, std::u16string_view defaultText) {
    char16_t buffer[kValueSize] = {};
    const uint32_t n = m_Profile.ReadString(kSection, key, defaultText, buffer, kValueSize);
    return std::u16string(buffer, n);
  }
  // An empty value gives the default; with floorAtZero a negative value gives floorValue.
  int32_t Int(std::u16string_view key, std::u16string_view defaultText, int32_t defaultValue) {
    const std::u16string text = Text(key, defaultText);
    return text.empty() ? defaultValue : WToI(text);
  }

 private:
  platform::ProfileFile m_Profile;
};

uint8_t ToByte(int32_t v, int32_t high) {
  return uint8_t(std::clamp(v, 0, high));
}

// Reads up to four comma-separated numbers as "%d,%d,%d,%d" does; the count read.
int ScanColour(std::u16string_view text, int32_t out[4]) {
  size_t pos = 0;
  for (int k = 0; k < 4; ++k) {
    if (k > 0) {
      if (pos >= text.size() || text[pos] != u',') return k;
      ++pos;
    }
    size_t p = pos;
    while (p < text.size() && (text[p] == u' ' || text[p] == u'\t')) ++p;
    size_t q = p;
    if (q < text.size() && (text[q] == u'+' || text[q] == u'-')) ++q;
    const size_t digits = q;
    while (q < text.size() && text[q] >= u'0' && text[q] <= u'9') ++q;
    if (q == digits) return k;
    out[k] = WToI(text.substr(p, q - p));
    pos = q;
  }
  return 4;
}

}  // namespace

void ResetConfig() {
  g_Config = AppConfig{};
  g_CommandFlags = CommandLineFlags{};
  g_EndedWindowed = true;
}

void ReadConfigFile(platform::FolderService& folders, std::u16string_view path) {
  IniReader ini(folders, path);
  SETTINGDATA& s = g_Setting;
  s.m_FullScreen = ini.Text(u"FullScreen", u"2") == u"1" ? 1 : 0;
  s.m_DisplaySpeed = ToByte(ini.Int(u"DisplaySpeed", u"0", 0), 255);
  s.m_TextSkip1 = ToByte(ini.Int(u"TextSkip1", u"1", 1), 255);
  s.m_TextSkip2 = ToByte(ini.Int(u"TextSkip2", u"1", 1), 255);

  const uint8_t defaults[4] = {64, 64, 240, 160};
  std::copy(defaults, defaults + 4, s.m_BaseColor);
  int32_t colour[4] = {64, 64, 240, 160};
  const int read = ScanColour(ini.Text(u"BaseColor", u"64,64,240,160"), colour);
  for (int k = 0; k < read; ++k) s.m_BaseColor[k] = ToByte(colour[k], 255);

  std::u16string font = ini.Text(u"FontName", kDefaultFont);
  if (font.empty()) font = kDefaultFont;
  CopyWideTruncated(s.m_FontName, std::size(s.m_FontName), font);

  s.m_EnableVoice = ToByte(ini.Int(u"EnableVoice", u"1", 1), 255);
  s.m_EnableBgm = ToByte(ini.Int(u"EnableBgm", u"1", 1), 255);
  s.m_EnableSe = ToByte(ini.Int(u"EnableSe", u"1", 1), 255);
  s.m_MainVolume = ToByte(ini.Int(u"MainVolume", u"50", 50), 100);
  s.m_BgmVolume = ToByte(ini.Int(u"BgmVolume", u"50", 50), 100);
  s.m_VoiceVolume = ToByte(ini.Int(u"VoiceVolume", u"50", 50), 100);
  s.m_SeVolume = ToByte(ini.Int(u"SeVolume", u"50", 50), 100);

  auto nonNegative = [&](std::u16string_view key, std::u16string_view text, int32_t value) {
    const int32_t v = ini.Int(key, text, value);
    return v < 0 ? value : v;
  };
  g_Config.skipFrame = nonNegative(u"SkipFrame", u"1", 1);
  g_Config.refreshRate = nonNegative(u"RefreshRate", u"0", 0);
  g_Config.soundFreq = nonNegative(u"SoundFreq", u"0", 0);
  g_Config.soundPriority = nonNegative(u"SoundPriority", u"0", 0);
  // A stream block of zero eighths of a second would hold nothing: 0 counts as empty.
  const int32_t stream = nonNegative(u"StreamSize", u"4", 4);
  g_Config.streamSize = stream == 0 ? 4 : std::min(stream, kMaxStreamSize);
  g_Config.messageWait = nonNegative(u"MessageWait", u"2", 2);
  g_Config.messageSkip = nonNegative(u"MessageSkip", u"3", 3);
  g_Config.options = ini.Text(u"Options", u"");
}

void WriteConfigFile(platform::FolderService& folders, std::u16string_view path) {
  const SETTINGDATA& s = g_Setting;
  // Every key changed in the file as read, then the file written once.
  platform::ProfileFile ini = folders.OpenProfile(path);
  auto put = [&](std::u16string_view key, const std::u16string& value) { ini.WriteString(kSection, key, value); };
  auto num = [](int32_t v) { return FormatWide(u"%d", v); };
  auto flag = [](uint8_t v) { return std::u16string(v ? u"1" : u"0"); };
  put(u"FullScreen", g_EndedWindowed ? u"0" : u"1");
  put(u"DisplaySpeed", flag(s.m_DisplaySpeed));
  put(u"TextSkip1", flag(s.m_TextSkip1));
  put(u"TextSkip2", flag(s.m_TextSkip2));
  put(u"BaseColor", FormatWide(u"%d,%d,%d,%d", s.m_BaseColor[0], s.m_BaseColor[1], s.m_BaseColor[2], s.m_BaseColor[3]));
  put(u"FontName", FormatWide(u"%s", s.m_FontName));
  put(u"EnableVoice", num(s.m_EnableVoice));
  put(u"EnableBgm", num(s.m_EnableBgm));
  put(u"EnableSe", num(s.m_EnableSe));
  put(u"MainVolume", num(s.m_MainVolume));
  put(u"BgmVolume", num(s.m_BgmVolume));
  put(u"VoiceVolume", num(s.m_VoiceVolume));
  put(u"SeVolume", num(s.m_SeVolume));
  put(u"SkipFrame", num(g_Config.skipFrame));
  put(u"RefreshRate", num(g_Config.refreshRate));
  put(u"SoundFreq", num(g_Config.soundFreq));
  put(u"SoundPriority", num(g_Config.soundPriority));
  put(u"StreamSize", num(g_Config.streamSize));
  put(u"MessageWait", num(GetTextSpeedIndex()));
  put(u"MessageSkip", num(GetAutoWaitIndex()));
  ini.Save();
}

std::u16string FindProgramFolder(std::u16string_view commandLine) {
  ArgTokenizer tokens(commandLine);
  while (const char16_t* t = tokens.Next()) {
    const std::u16string_view token(t);
    if (!token.empty() && token[0] == u'-') continue;
    const size_t slash = token.find_last_of(u"/\\");
    return slash == std::u16string_view::npos ? std::u16string() : std::u16string(token.substr(0, slash + 1));
  }
  return std::u16string();
}

std::u16string AppendOptions(std::u16string_view commandLine, std::u16string_view options) {
  std::u16string line(commandLine);
  if (!options.empty()) {
    line += u' ';
    line += options;
  }
  return line;
}

void ReadCommandLine(std::u16string_view commandLine, CommandLineFlags& flags, int32_t& debugLevel) {
  debugLevel = 0;
  ArgTokenizer tokens(commandLine);
  bool havePath = false;
  while (const char16_t* t = tokens.Next()) {
    const std::u16string_view token(t);
    if (token.empty()) continue;
    if (token[0] != u'-') {
      if (!havePath) flags.programPath = std::u16string(token);
      havePath = true;
      continue;
    }
    if (token.size() < 2) continue;
    const char16_t letter = token[1] >= u'a' && token[1] <= u'z' ? char16_t(token[1] - 32) : token[1];
    switch (letter) {
      case u'-': {
        std::u16string rest(token.substr(2));
        for (char16_t& c : rest)
          if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
        if (rest == u"SELDRIVER") flags.selectDriver = true;
        break;
      }
      case u'A':
        flags.archivesForced = true;
        break;
      case u'D':
        debugLevel = token.size() > 2 && token[2] == u'2' ? 2 : 1;
        break;
      case u'E':
        flags.flagE = true;
        break;
      case u'I':
        flags.flagI = true;
        break;
      case u'M':
        flags.mmxOff = true;
        break;
      case u'O':
        flags.optionText = std::u16string(token.substr(2, kOptionTextSize - 1));
        break;
      case u'S':
        flags.soundOff = true;
        break;
      case u'W':
        flags.windowed = true;
        break;
      default:
        break;
    }
  }
}

void ParseCommandLine(std::u16string_view commandLine) {
  ReadCommandLine(commandLine, g_CommandFlags, g_DebugLevel);
  if (g_CommandFlags.windowed) g_Setting.m_FullScreen = 0;
}

uint32_t TextSpeedItem(int32_t messageWait) {
  static constexpr uint32_t kItems[] = {40020, 40019, 40018, 40017};
  return messageWait >= 0 && messageWait < 4 ? kItems[messageWait] : 0;
}

uint32_t AutoSpeedItem(int32_t messageSkip) {
  static constexpr uint32_t kItems[] = {40021, 40025, 40024, 40023, 40022};
  return messageSkip >= 0 && messageSkip < 5 ? kItems[messageSkip] : 0;
}

uint32_t DrawSpeedItem(int32_t skipFrame) {
  switch (skipFrame) {
    case 0:
      return 40009;
    case 2:
      return 40005;
    case 4:
      return 40006;
    case 8:
      return 40007;
    case 16:
      return 40008;
    default:
      return 40004;
  }
}
