// Fuzzes "varn.ini": any bytes read into the settings, every value inside its field's range, the
// "Options" value parsed as part of the command line, and the file written back and read again to
// the same settings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/config.h"
#include "lib/tokenizer.h"
#include "platform/headless/headless.h"
#include "platform/log.h"
#include "platform/utf.h"
#include "script/save/options.h"
#include "script/settings.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

void NoExit(int) {}

// The file lives in memory where the system offers it: the write-back rewrites it key by key.
platform::headless::HeadlessFolders& Folders() {
  static const bool inMemory = std::filesystem::is_directory("/dev/shm") && setenv("TMPDIR", "/dev/shm", 1) == 0;
  (void)inMemory;
  static platform::headless::HeadlessFolders folders;
  return folders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (platform::SetLogSink([](std::u16string_view) {}), ArgTokenizer::SetExitHook(NoExit), true);
  (void)quiet;
  const std::u16string path = Folders().Root() + u"varn.ini";
  std::ofstream(platform::WideToUtf8(path), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), std::streamsize(size));

  ResetConfig();
  ResetSettings();
  ReadConfigFile(Folders(), path);
  const SETTINGDATA& s = g_Setting;
  Check(s.m_FullScreen <= 1);
  for (uint8_t v : {s.m_MainVolume, s.m_BgmVolume, s.m_VoiceVolume, s.m_SeVolume}) Check(v <= 100);
  Check(g_Config.streamSize >= 1 && g_Config.streamSize <= kMaxStreamSize);
  Check(g_Config.skipFrame >= 0 && g_Config.messageWait >= 0 && g_Config.messageSkip >= 0);
  Check(std::char_traits<char16_t>::length(s.m_FontName) <= 31 && s.m_FontName[0] != 0);
  // "@" names in the options would read files: the fuzzer's bytes are parsed without them.
  std::u16string options = g_Config.options;
  for (char16_t& c : options)
    if (c == u'@') c = u'_';
  ParseCommandLine(AppendOptions(u"varn", options));

  // Written back and read again, the settings are the same.
  SetTextSpeed(g_Config.messageWait);
  SetAutoWait(g_Config.messageSkip);
  g_EndedWindowed = s.m_FullScreen == 0;
  const SETTINGDATA written = g_Setting;
  const AppConfig config = g_Config;
  WriteConfigFile(Folders(), path);
  ReadConfigFile(Folders(), path);
  // The switches are written as 0 or 1, and a font name may lose a pair of quotes on the way.
  Check(std::memcmp(written.m_BaseColor, g_Setting.m_BaseColor, 4) == 0);
  Check(written.m_EnableVoice == g_Setting.m_EnableVoice && written.m_EnableBgm == g_Setting.m_EnableBgm &&
        written.m_EnableSe == g_Setting.m_EnableSe && written.m_MainVolume == g_Setting.m_MainVolume &&
        written.m_BgmVolume == g_Setting.m_BgmVolume && written.m_VoiceVolume == g_Setting.m_VoiceVolume &&
        written.m_SeVolume == g_Setting.m_SeVolume && written.m_FullScreen == g_Setting.m_FullScreen);
  Check((written.m_DisplaySpeed != 0) == (g_Setting.m_DisplaySpeed != 0));
  Check(g_Config.streamSize == config.streamSize && g_Config.skipFrame == config.skipFrame);
  return 0;
}
