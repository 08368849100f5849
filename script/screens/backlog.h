// The backlog: the run's last messages again over the dimmed scene, with a scroll bar and the
// speaker faces that play a message's voice again.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/geometry.h"
#include "script/executor.h"
#include "script/screens/album.h"

constexpr int kBacklogLineChars = 46;
constexpr int kBacklogVisibleLines = 25;
constexpr int kBacklogLineHeight = 24;

// One display line: a stretch of an entry's text; an empty line has no characters.
struct BACKLOGLINE {
  const char16_t* text = nullptr;
  size_t length = 0;
};

// A face of a voiced entry: its rectangle when the list is scrolled to the top and its voice.
struct BACKLOGVOICE {
  platform::Rect rect;
  const char16_t* voice = nullptr;
};

// The display lines and face buttons of the backlog, oldest entry first: a voiced entry's face
// beside its first line, its text cut at each line feed (which is dropped) and after every 46
// characters, then an empty line. Both point into the list, which must outlive them.
struct BacklogLayout {
  std::vector<BACKLOGLINE> lines;
  std::vector<BACKLOGVOICE> voices;
};
BacklogLayout CutBacklogLines(const BackLogList& backlog);

// The backlog screen over g_BackLog, shown until a right press or Escape. A ScriptException met
// while it waits is raised again after the screen is released.
void RunBackLog(const ScreenSources& sources);
