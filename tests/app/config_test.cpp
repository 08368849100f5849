// "varn.ini" into the settings and back, the command line with its options and response files,
// and the menu item tables of the settings.
#include "app/config.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "lib/tokenizer.h"
#include "platform/headless/headless.h"
#include "platform/utf.h"
#include "script/save/options.h"
#include "script/settings.h"

namespace {

class ConfigTest : public ::testing::Test {
 protected:
  ConfigTest() {
    ResetConfig();
    ResetSettings();
    path = folders.Root() + u"varn.ini";
  }
  ~ConfigTest() override {
    ResetConfig();
    ResetSettings();
  }
  void WriteIni(const std::string& text) { std::ofstream(platform::WideToUtf8(path), std::ios::binary) << text; }
  std::string ReadIni() {
    std::ifstream in(platform::WideToUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Read(const std::string& text) {
    ResetConfig();
    ResetSettings();
    WriteIni(text);
    ReadConfigFile(folders, path);
  }

  platform::headless::HeadlessFolders folders;
  std::u16string path;
};

TEST_F(ConfigTest, AMissingFileGivesTheDefaults) {
  ReadConfigFile(folders, path);
  const SETTINGDATA& s = g_Setting;
  EXPECT_EQ(s.m_FullScreen, 0);
  EXPECT_EQ(s.m_TextSkip1, 1);
  EXPECT_EQ(s.m_TextSkip2, 1);
  EXPECT_EQ((std::vector<int>{s.m_BaseColor[0], s.m_BaseColor[1], s.m_BaseColor[2], s.m_BaseColor[3]}),
            (std::vector<int>{64, 64, 240, 160}));
  EXPECT_EQ(std::u16string(s.m_FontName), u"ＭＳ 明朝");
  EXPECT_EQ((std::vector<int>{s.m_EnableVoice, s.m_EnableBgm, s.m_EnableSe, s.m_MainVolume, s.m_BgmVolume,
                              s.m_VoiceVolume, s.m_SeVolume}),
            (std::vector<int>{1, 1, 1, 50, 50, 50, 50}));
  EXPECT_EQ(g_Config.skipFrame, 1);
  EXPECT_EQ(g_Config.messageWait, 2);
  EXPECT_EQ(g_Config.messageSkip, 3);
  EXPECT_EQ(g_Config.streamSize, 4);
  EXPECT_EQ(g_Config.options, u"");
}

TEST_F(ConfigTest, ValuesAreReadIntoWhatTheirFieldsHold) {
  struct Case {
    const char* line;
    std::function<int()> field;
    int expected;
  };
  auto colour = [](int k) { return [k] { return int(g_Setting.m_BaseColor[k]); }; };
  const Case cases[] = {
      {"FullScreen=1", [] { return int(g_Setting.m_FullScreen); }, 1},
      {"FullScreen=2", [] { return int(g_Setting.m_FullScreen); }, 0},
      {"FullScreen= 1x", [] { return int(g_Setting.m_FullScreen); }, 0},
      {"MainVolume=-5", [] { return int(g_Setting.m_MainVolume); }, 0},
      {"MainVolume=300", [] { return int(g_Setting.m_MainVolume); }, 100},
      {"SeVolume=", [] { return int(g_Setting.m_SeVolume); }, 50},
      {"BgmVolume=70abc", [] { return int(g_Setting.m_BgmVolume); }, 70},
      {"EnableVoice=-1", [] { return int(g_Setting.m_EnableVoice); }, 0},
      {"DisplaySpeed=1", [] { return int(g_Setting.m_DisplaySpeed); }, 1},
      {"TextSkip1=", [] { return int(g_Setting.m_TextSkip1); }, 1},
      {"TextSkip2=0", [] { return int(g_Setting.m_TextSkip2); }, 0},
      {"BaseColor=1,2", colour(1), 2},
      {"BaseColor=1,2", colour(2), 240},
      {"BaseColor=1,2", colour(3), 160},
      {"BaseColor=300,-4,5,6", colour(0), 255},
      {"BaseColor=300,-4,5,6", colour(1), 0},
      {"BaseColor=junk", colour(0), 64},
      {"SkipFrame=-3", [] { return g_Config.skipFrame; }, 1},
      {"SkipFrame=0", [] { return g_Config.skipFrame; }, 0},
      {"RefreshRate=75", [] { return g_Config.refreshRate; }, 75},
      {"SoundFreq=-1", [] { return g_Config.soundFreq; }, 0},
      {"SoundPriority=1", [] { return g_Config.soundPriority; }, 1},
      {"StreamSize=0", [] { return g_Config.streamSize; }, 4},
      {"StreamSize=99", [] { return g_Config.streamSize; }, 16},
      {"StreamSize=-2", [] { return g_Config.streamSize; }, 4},
      {"StreamSize=8", [] { return g_Config.streamSize; }, 8},
      {"MessageWait=", [] { return g_Config.messageWait; }, 2},
      {"MessageSkip=-1", [] { return g_Config.messageSkip; }, 3},
      {"MessageSkip=0", [] { return g_Config.messageSkip; }, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Read(std::string("garbage without equals\n[varn]\n; a comment\n") + c.line + "\n");
    EXPECT_EQ(c.field(), c.expected);
  }
}

TEST_F(ConfigTest, TextValuesAndFilesThatAreNotOurs) {
  Read("[varn]\nFontName=" + std::string(40, 'F') + "\nOptions=-S -W\n");
  EXPECT_EQ(std::u16string(g_Setting.m_FontName), std::u16string(31, u'F'));
  EXPECT_EQ(g_Config.options, u"-S -W");
  Read("[varn]\nFontName=\n");
  EXPECT_EQ(std::u16string(g_Setting.m_FontName), u"ＭＳ 明朝");
  // Keys outside the section, or with no section at all, are not the game's.
  Read("MainVolume=10\n[other]\nMainVolume=20\n");
  EXPECT_EQ(g_Setting.m_MainVolume, 50);
  Read("[varn]\nMainVolume=" + std::string(5000, '9') + "\n");
  EXPECT_EQ(g_Setting.m_MainVolume, 100);
}

TEST_F(ConfigTest, TheWriteBackKeepsEverythingButOptions) {
  WriteIni("; the player's notes\n[varn]\nOptions=-W\nMainVolume=10\n");
  ReadConfigFile(folders, path);
  g_Setting.m_BaseColor[0] = 1;
  g_Setting.m_TextSkip1 = 7;
  g_Config.streamSize = 9;
  g_EndedWindowed = false;
  SetTextSpeed(3);
  SetAutoWait(1);
  WriteConfigFile(folders, path);
  const std::string text = ReadIni();
  for (const char* line :
       {"FullScreen=1", "TextSkip1=1", "BaseColor=1,64,240,160", "FontName=ＭＳ 明朝", "MainVolume=10", "StreamSize=9",
        "MessageWait=3", "MessageSkip=1", "Options=-W", "; the player's notes"})
    EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;

  // Read back, the settings are what was written.
  const SETTINGDATA written = g_Setting;
  ReadConfigFile(folders, path);
  EXPECT_EQ(g_Setting.m_BaseColor[0], written.m_BaseColor[0]);
  EXPECT_EQ(g_Setting.m_FullScreen, 1);
  EXPECT_EQ(g_Config.messageWait, 3);
  SetTextSpeed(2);
  SetAutoWait(3);
}

class CommandLineTest : public ConfigTest {};

TEST_F(CommandLineTest, EveryOption) {
  struct Case {
    const char16_t* line;
    std::function<bool()> holds;
  };
  const Case cases[] = {
      {u"varn -A", [] { return g_CommandFlags.archivesForced; }},
      {u"varn -a", [] { return g_CommandFlags.archivesForced; }},
      {u"varn -D", [] { return g_DebugLevel == 1; }},
      {u"varn -d2", [] { return g_DebugLevel == 2; }},
      {u"varn -Dx", [] { return g_DebugLevel == 1; }},
      {u"varn", [] { return g_DebugLevel == 0; }},
      {u"varn -E -I", [] { return g_CommandFlags.flagE && g_CommandFlags.flagI; }},
      {u"varn -m", [] { return g_CommandFlags.mmxOff; }},
      {u"varn -S", [] { return g_CommandFlags.soundOff; }},
      {u"varn -W", [] { return g_Setting.m_FullScreen == 0 && g_CommandFlags.windowed; }},
      {u"varn --SelDriver", [] { return g_CommandFlags.selectDriver; }},
      {u"varn --SELDRIVERX", [] { return !g_CommandFlags.selectDriver; }},
      {u"varn -Ohello", [] { return g_CommandFlags.optionText == u"hello"; }},
      {u"varn -Z -", [] { return !g_CommandFlags.soundOff && g_DebugLevel == 0; }},
      {u"\"/games/my varn/varn\" later -S", [] { return g_CommandFlags.programPath == u"/games/my varn/varn"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::WideToUtf8(c.line));
    ResetConfig();
    g_Setting.m_FullScreen = 1;
    g_DebugLevel = 5;
    ParseCommandLine(c.line);
    EXPECT_TRUE(c.holds());
  }
}

TEST_F(CommandLineTest, TheProgramFolderAndTheAppendedOptions) {
  EXPECT_EQ(FindProgramFolder(u"-W \"/games/my varn/varn\" /other/x"), u"/games/my varn/");
  EXPECT_EQ(FindProgramFolder(u"varn -W"), u"");

  // The file's options join the command line and win over the file's own values.
  Read("[varn]\nFullScreen=1\nOptions=-S -W\n");
  EXPECT_EQ(g_Setting.m_FullScreen, 1);
  ParseCommandLine(AppendOptions(u"varn -D", g_Config.options));
  EXPECT_EQ(g_Setting.m_FullScreen, 0);
  EXPECT_TRUE(g_CommandFlags.soundOff);
  EXPECT_EQ(g_DebugLevel, 1);

  // A command line far longer than 256 characters loses nothing.
  std::u16string line = u"varn";
  for (int i = 0; i < 200; ++i) line += u" -E";
  ResetConfig();
  ParseCommandLine(AppendOptions(line, u"-S"));
  EXPECT_TRUE(g_CommandFlags.soundOff);
  // The option text is at most 255 characters.
  ParseCommandLine(u"varn -O" + std::u16string(400, u'x'));
  EXPECT_EQ(g_CommandFlags.optionText.size(), 255u);
}

int g_ExitCode = -1;
void RecordExit(int code) {
  g_ExitCode = code;
}

TEST_F(CommandLineTest, ResponseFilesAreReadInPlace) {
  const std::u16string file = folders.Root() + u"opts.txt";
  std::ofstream(platform::WideToUtf8(file), std::ios::binary) << "-S\r\n\"-Oa b\"\n";
  ParseCommandLine(u"varn @" + file + u" -W");
  EXPECT_TRUE(g_CommandFlags.soundOff);
  EXPECT_EQ(g_CommandFlags.optionText, u"a b");
  EXPECT_EQ(g_Setting.m_FullScreen, 0);

  // A missing response file shows its box and ends the program with 1.
  const ArgTokenizer::ExitHook previous = ArgTokenizer::SetExitHook(RecordExit);
  ResetConfig();
  ParseCommandLine(u"varn @" + folders.Root() + u"missing.txt -S");
  ArgTokenizer::SetExitHook(previous);
  EXPECT_EQ(g_ExitCode, 1);
  EXPECT_FALSE(g_CommandFlags.soundOff) << "nothing after the missing file is read";
}

TEST(ConfigTables, MenuItemsOfTheSettings) {
  EXPECT_EQ(
      (std::vector<uint32_t>{TextSpeedItem(0), TextSpeedItem(1), TextSpeedItem(2), TextSpeedItem(3), TextSpeedItem(4)}),
      (std::vector<uint32_t>{40020, 40019, 40018, 40017, 0}));
  EXPECT_EQ((std::vector<uint32_t>{AutoSpeedItem(0), AutoSpeedItem(1), AutoSpeedItem(2), AutoSpeedItem(3),
                                   AutoSpeedItem(4), AutoSpeedItem(-1)}),
            (std::vector<uint32_t>{40021, 40025, 40024, 40023, 40022, 0}));
  EXPECT_EQ((std::vector<uint32_t>{DrawSpeedItem(0), DrawSpeedItem(1), DrawSpeedItem(2), DrawSpeedItem(4),
                                   DrawSpeedItem(8), DrawSpeedItem(16), DrawSpeedItem(3)}),
            (std::vector<uint32_t>{40009, 40004, 40005, 40006, 40007, 40008, 40004}));
}

}  // namespace
