// The platform layer's foundation services: files, case-free lookup, message boxes, assertions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <thread>

#include "platform/assert.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "platform/memory.h"
#include "platform/msgbox.h"

namespace {

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override { m_Dir = platform::MakeTempFolder(u"varn-test-") + u"/"; }
  void TearDown() override { platform::RemoveTree(m_Dir); }
  void Write(const std::u16string& rel, const std::string& data) {
    ASSERT_TRUE(platform::WriteWholeFileAtomic(m_Dir + rel, data.data(), data.size()));
  }
  std::u16string m_Dir;
};

TEST_F(TempDir, WholeFileAndPositionedReads) {
  Write(u"a.bin", "0123456789");
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(platform::ReadWholeFile(m_Dir + u"a.bin", bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
  auto f = platform::File::OpenRead(m_Dir + u"a.bin");
  ASSERT_TRUE(f);
  char buf[4] = {};
  EXPECT_EQ(f->ReadAt(7, buf, 4), 3);
  EXPECT_EQ(std::string(buf, 3), "789");
  EXPECT_EQ(f->Seek(-2, platform::SeekOrigin::End), 8);
  EXPECT_EQ(f->Seek(-20, platform::SeekOrigin::Begin), -1);
  auto map = platform::FileMapping::Map(*f, 3, 5);
  ASSERT_TRUE(map);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(map->Data()), 5), "34567");
  EXPECT_FALSE(platform::FileMapping::Map(*f, 8, 5));
  EXPECT_FALSE(platform::File::OpenRead(m_Dir + u"missing"));
  EXPECT_FALSE(platform::File::OpenRead(m_Dir));  // a folder is not a file
}

TEST_F(TempDir, CaseFreeLookupSeparatesFilesFromFolders) {
  ASSERT_TRUE(platform::EnsureFolder(m_Dir + u"Script/Data"));
  Write(u"Script/Data/Start.TXT", "x");
  ASSERT_TRUE(platform::EnsureFolder(m_Dir + u"Script/data2.txt"));
  EXPECT_EQ(platform::ResolvePathNoCase(m_Dir + u"script\\data/start.txt", false), m_Dir + u"Script/Data/Start.TXT");
  EXPECT_EQ(platform::ResolvePathNoCase(m_Dir + u"SCRIPT/DATA", true), m_Dir + u"Script/Data");
  EXPECT_EQ(platform::ResolvePathNoCase(m_Dir + u"script/data", false), u"");  // a folder, not a file
  EXPECT_EQ(platform::ResolvePathNoCase(m_Dir + u"script/data2.txt", false), u"");
  EXPECT_EQ(platform::ResolvePathNoCase(m_Dir + u"script/start.txt/data", false), u"");
}

TEST(MessageBox, WithoutServiceAnswersDefaultAndLogs) {
  platform::LogCapture log;
  EXPECT_EQ(platform::ShowMessageBox(u"t", u"c", platform::MsgButtons::YesNo, platform::MsgIcon::Question, 1),
            platform::MsgResult::No);
  EXPECT_EQ(platform::ShowMessageBox(u"t", u"c", platform::MsgButtons::AbortRetryIgnore), platform::MsgResult::Abort);
  EXPECT_TRUE(log.Contains(u"c: t"));
}

TEST(QuietScope, HoldsBackTheBoxesAndLinesOfItsOwnThreadOnly) {
  platform::LogCapture log;
  bool otherThreadSeen = false;
  {
    platform::QuietScope quiet;
    EXPECT_FALSE(quiet.Noted());
    std::thread([] { platform::DebugOutput(u"another thread\n"); }).join();
    otherThreadSeen = log.Contains(u"another thread");
    EXPECT_FALSE(quiet.Noted()) << "another thread's line is its own";
    EXPECT_EQ(platform::ShowMessageBox(u"held", u"c", platform::MsgButtons::YesNo, platform::MsgIcon::None, 1),
              platform::MsgResult::No);
    EXPECT_TRUE(quiet.Noted());
    {
      platform::QuietScope inner;
      platform::DebugOutput(u"held too\n");
      EXPECT_TRUE(inner.Noted());
    }
  }
  platform::DebugOutput(u"after\n");
  EXPECT_TRUE(otherThreadSeen);
  EXPECT_EQ(log.Text(), u"another thread\nafter\n");
}

TEST(Memory, BlocksOfEverySizeAreAlignedZeroedAndWholeUntilFreed) {
  for (const size_t size :
       {size_t{0}, size_t{100}, (size_t{1} << 20) - 1, size_t{1} << 20, size_t{800 * 600 * 4}, size_t{3} << 20}) {
    SCOPED_TRACE(size);
    uint8_t* block = static_cast<uint8_t*>(platform::AllocateBlock(size, true));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 64, 0u);
    EXPECT_EQ(platform::BlockSize(block), size);
    EXPECT_EQ(std::count(block, block + size, uint8_t{0}), std::ptrdiff_t(size));
    std::fill(block, block + size, uint8_t{0xA5});
    platform::FreeBlock(block);
  }
  EXPECT_EQ(platform::AllocateBlock(SIZE_MAX - 8, false), nullptr);
  platform::FreeBlock(nullptr);
}

TEST(Assertion, HookSeesReportAndCallerContinues) {
  std::vector<std::string> seen;
  auto prev = platform::SetAssertHook([&](const platform::AssertionReport& r) {
    seen.push_back(std::string(r.expression) + "@" + r.source + ":" + std::to_string(r.line));
  });
  platform::ReportAssertion("m_pDB", "lib/sqlite", 80);
  platform::SetAssertHook(prev);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], "m_pDB@lib/sqlite:80");
  platform::LogCapture log;
  platform::ReportAssertion("0", "lib/combase", 33);
  EXPECT_TRUE(log.Contains(u"Assertion failed: 0, file lib/combase, line 33"));
}

TEST(Clock, VirtualClockMovesOnlyWhenTold) {
  platform::VirtualClock clock;
  platform::Clock* prev = platform::SetClock(&clock);
  EXPECT_EQ(platform::TimeMs(), 0u);
  platform::SleepMs(16);
  clock.Advance(4);
  EXPECT_EQ(platform::TimeMs(), 20u);
  EXPECT_EQ(platform::PerfCounter(), 20000u);
  platform::SetClock(prev);
}

}  // namespace
