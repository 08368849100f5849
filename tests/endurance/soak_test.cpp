// The whole story played again and again in one process, with every route and both reading modes:
// it must neither leak nor grow.
#include <unistd.h>

#include <fstream>

#include "pilot.h"

namespace {

// The resident set of this process in bytes.
long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

class Soak : public starttest::StartTest {};

// The sanitizer's own quarantine grows by design, so that build checks for leaks and errors (at
// the process's end) and not the resident set.
TEST_F(Soak, TheStoryTwentyTimesOverEveryRouteWithoutGrowth) {
  // Skip and auto mode go on over unread pages and through the choices.
  WriteIni("[varn]\r\nTextSkip1=0\r\nTextSkip2=0\r\nMessageSkip=0\r\n");
  // Under the sanitizer a pass takes about half a minute: one pass of each route there.
  const int passes = endurance::kSanitized ? int(endurance::kRoutes.size()) : 20;
  endurance::StoryPlayer player(*this);
  long afterFirst = 0, afterLast = 0;
  player.onPassEnd = [&](int pass) {
    if (pass == 1) afterFirst = ResidentBytes();
    if (pass == passes) {
      afterLast = ResidentBytes();
      Close(platform::MsgResult::Yes);
    }
  };
  onFrame = [&](int) { player.Frame(); };
  EXPECT_EQ(Start(), 0);
  ASSERT_EQ(player.passes, passes) << "every pass came back to the title";
  EXPECT_FALSE(log.Contains(u"Exception Error")) << platform::WideToUtf8(log.Text());

  const std::set<int> reached(player.endings.begin(), player.endings.end());
  EXPECT_EQ(reached, endurance::kEndings) << "the routes reach every ending and nothing else";

  const long growth = afterLast - afterFirst;
  std::printf("resident after pass 1: %ld KiB, after pass %d: %ld KiB\n", afterFirst / 1024, passes, afterLast / 1024);
  // Allocator pages that the first pass did not happen to touch may still come in later.
  constexpr long kAllowance = 2L << 20;
  if (!endurance::kSanitized) EXPECT_LE(growth, kAllowance) << "grew by " << growth / 1024 << " KiB";
}

}  // namespace
