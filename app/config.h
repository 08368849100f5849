// The configuration: "varn.ini" read into the settings block and the start-up integers, the
// command line with the file's "Options" appended, its options, and the write-back at the end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class FolderService;
}

// The start-up integers beside the settings block (g_Setting).
struct AppConfig {
  int32_t skipFrame = 1;  // drawing speed: 0 automatic, 1, 2, 4, 8, 16
  int32_t refreshRate = 0;
  int32_t soundFreq = 0;
  int32_t soundPriority = 0;
  int32_t streamSize = 4;   // stream latency in 1/8 s blocks, 1 to 16
  int32_t messageWait = 2;  // text-speed index as read
  int32_t messageSkip = 3;  // auto-wait index as read
  std::u16string options;   // "Options": appended to the command line, never written back
};

// The command line's flags.
struct CommandLineFlags {
  bool archivesForced = false;  // -A
  bool flagE = false;           // -E
  bool flagI = false;           // -I
  bool mmxOff = false;          // -M
  bool soundOff = false;        // -S
  bool windowed = false;        // -W
  bool selectDriver = false;    // --SELDRIVER
  std::u16string optionText;    // -O's text (at most 255 characters)
  std::u16string programPath;   // the first token without a leading '-'
};

extern AppConfig g_Config;
extern CommandLineFlags g_CommandFlags;
// The display ran windowed at the end of the run (what "FullScreen" is written back from).
// Windowed until the display says otherwise, so a display that never started writes windowed.
extern bool g_EndedWindowed;

constexpr int32_t kMaxStreamSize = 16;

// Back to the defaults before a start (and for tests): the integers, the flags, the windowed state.
void ResetConfig();

// Reads the section "varn" of the file into g_Setting and g_Config. A missing file gives the
// defaults; values are clamped to what their fields hold.
void ReadConfigFile(platform::FolderService& folders, std::u16string_view path);
// Writes every key but "Options" back; MessageWait and MessageSkip come from the text-speed and
// auto-wait indices in force.
void WriteConfigFile(platform::FolderService& folders, std::u16string_view path);

// The folder of the first token that does not begin with '-', ending in its separator; empty
// when that token has no folder part.
std::u16string FindProgramFolder(std::u16string_view commandLine);
// The command line with the configuration's options appended after a blank (when there are any).
std::u16string AppendOptions(std::u16string_view commandLine, std::u16string_view options);
// Sets debugLevel to 0, then applies every option of the command line ("@file" tokens read in
// place) to flags and debugLevel.
void ReadCommandLine(std::u16string_view commandLine, CommandLineFlags& flags, int32_t& debugLevel);
// Sets the debug level to 0, then applies every option of the command line ("@file" tokens read
// in place) to g_CommandFlags, g_Setting.m_FullScreen and g_DebugLevel.
void ParseCommandLine(std::u16string_view commandLine);

// The menu items the settings check: text speed, auto speed, drawing speed. 0 for a value with
// no item.
uint32_t TextSpeedItem(int32_t messageWait);
uint32_t AutoSpeedItem(int32_t messageSkip);
uint32_t DrawSpeedItem(int32_t skipFrame);
