// Tests of the shared helpers: UTF-16 code points, width, path parts, disk files, random, rects.
#include "lib/utility.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/folders.h"

namespace {

TEST(Utf16, EncodeAndDecode) {
  char16_t out[2] = {};
  EXPECT_EQ(EncodeUtf16(out, 0x1F600), 2);
  EXPECT_EQ(out[0], 0xD83D);
  EXPECT_EQ(out[1], 0xDE00);
  EXPECT_EQ(EncodeUtf16(out, 0xFFFF), 1);
  EXPECT_EQ(out[0], 0xFFFF);

  struct Case {
    std::u16string text;
    int available;
    uint32_t cp;
    int used;  // 0: none
  } cases[] = {
      {u"\xD83D\xDE00", 2, 0x1F600, 2},
      {u"\xD83D\xDE00", -1, 0x1F600, 2},
      {u"\xD83D\xDE00", 1, 0xD83D, 1},  // only the high unit available
      {u"\xD83D"
       u"A",
       2, 0xD83D, 1},  // a high unit joins only a low one
      {u"\xD83D\xD83D", 2, 0xD83D, 1},
      {u"\xD83D", -1, 0xD83D, 1},       // stops at the terminator
      {u"\xDE00\xD83D", 2, 0xDE00, 1},  // a lone low unit is itself
      {u"A", 1, 'A', 1},
      {u"A", 0, 0, 0},
  };
  for (const Case& c : cases) {
    uint32_t cp = 0;
    const char16_t* end = DecodeUtf16(c.text.c_str(), c.available, &cp);
    if (c.used == 0) {
      EXPECT_EQ(end, nullptr);
      continue;
    }
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(end - c.text.c_str(), c.used) << std::hex << c.cp;
    EXPECT_EQ(cp, c.cp);
  }
}

TEST(Utf16, DisplayWidth) {
  struct Case {
    const char16_t* text;
    int width;
  } cases[] = {
      {u"abc", 3},          {u"日本語", 6},       {u"ｱｲｳ", 3}, {u"\xFF60\xFFA0", 4},
      {u"\xD83D\xDE00", 2}, {u"\x00FF\x0100", 3}, {u"", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(GetDisplayWidth(c.text), c.width);
}

TEST(Paths, ReplaceParts) {
  struct Case {
    const char16_t* path;
    const char16_t *drive, *folder, *name, *ext;
    std::u16string expected;
  } cases[] = {
      {u"C:\\game\\cg\\ev01.png", u"", u"", nullptr, u"", u"ev01"},  // the bare name
      {u"cg/ev01.png", u"", u"", nullptr, u"", u"ev01"},
      {u"cg/ev01.png", nullptr, nullptr, nullptr, u".jpg", u"cg/ev01.jpg"},
      {u"cg/ev01.png", nullptr, nullptr, nullptr, u"bmp", u"cg/ev01.bmp"},
      {u"C:\\a\\b.txt", nullptr, u"x", u"c", nullptr, u"C:x\\c.txt"},
      {u"C:\\a\\b.txt", u"D", nullptr, nullptr, nullptr, u"D:\\a\\b.txt"},
      {u"noext", nullptr, u"dir/", nullptr, nullptr, u"dir/noext"},
      {u"a.b\\c", u"", u"", nullptr, u"", u"c"},  // the dot of a folder is no extension
      {u"", nullptr, nullptr, u"n", u".e", u"n.e"},
  };
  for (const Case& c : cases) {
    WString out;
    ReplacePathParts(out, c.path, c.drive, c.folder, c.name, c.ext);
    EXPECT_EQ(out, c.expected) << WString(c.path).ToUtf8();
  }
}

class UtilityFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Dir = platform::MakeTempFolder(u"varn-utility-");
    ASSERT_FALSE(m_Dir.empty());
    m_Dir += u"/";
  }
  void TearDown() override { std::filesystem::remove_all(WString(m_Dir).ToUtf8()); }
  std::u16string m_Dir;
};

TEST_F(UtilityFiles, WriteSeekAndReadBack) {
  const std::u16string path = m_Dir + u"data.bin";
  {
    auto file = CreateFileForWrite(path.c_str());
    ASSERT_TRUE(file);
    ASSERT_EQ(file->Write("0123456789", 10), 10);
    EXPECT_EQ(SeekFile64(file.get(), 4, 0, 0), 4);
    EXPECT_EQ(SeekFile64(file.get(), 2, 0, 1), 6);
    EXPECT_EQ(SeekFile64(file.get(), 0xFFFFFFFFu, -1, 2), 9) << "offset -1 from the end";
    EXPECT_EQ(SeekFile64(file.get(), 0xFFFFFFF0u, -1, 0), -1) << "before the start";
    EXPECT_EQ(SeekFile64(file.get(), 0, 0, 3), -1) << "no such origin";
  }
  size_t size = 0;
  CHeapBuffer whole = ReadDiskFile(path.c_str(), &size);
  ASSERT_TRUE(whole);
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(std::memcmp(whole.get(), "0123456789", 10), 0);

  // The caller's buffer: read when it fits, refused (and untouched past its capacity) otherwise.
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  size = 0;
  EXPECT_EQ(ReadDiskFile(path.c_str(), buffer, 10, &size), buffer);
  EXPECT_EQ(size, 10u);
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(ReadDiskFile(path.c_str(), buffer, 9, &size), nullptr);
  EXPECT_EQ(buffer[9], '#');

  EXPECT_FALSE(ReadDiskFile((m_Dir + u"missing").c_str(), &size));
  EXPECT_EQ(ReadDiskFile((m_Dir + u"missing").c_str(), buffer, sizeof buffer, &size), nullptr);

  auto empty = CreateFileForWrite((m_Dir + u"empty").c_str());
  empty.reset();
  size = 99;
  EXPECT_TRUE(ReadDiskFile((m_Dir + u"empty").c_str(), &size));
  EXPECT_EQ(size, 0u);
}

TEST(SafeRand, KnownSequenceAndReset) {
  ResetSafeRand();
  EXPECT_EQ(SafeRand(), 41);
  EXPECT_EQ(SafeRand(), 18467);
  EXPECT_EQ(SafeRand(), 6334);
  ResetSafeRand();
  EXPECT_EQ(SafeRand(), 41);

  // Concurrent callers each take a distinct step of the one sequence.
  ResetSafeRand();
  std::vector<int> expected;
  for (int i = 0; i < 4000; ++i) expected.push_back(SafeRand());
  ResetSafeRand();
  std::vector<int> seen[4];
  std::vector<std::thread> threads;
  for (auto& s : seen)
    threads.emplace_back([&s] {
      for (int i = 0; i < 1000; ++i) s.push_back(SafeRand());
    });
  for (auto& t : threads) t.join();
  std::vector<int> all;
  for (auto& s : seen) all.insert(all.end(), s.begin(), s.end());
  std::sort(all.begin(), all.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(all, expected);
}

TEST(FindRectAt, EdgesAndOrder) {
  platform::Rect rects[] = {{10, 10, 20, 20}, {0, 0, 100, 100}};
  struct Case {
    int x, y, count, expected;
  } cases[] = {
      {10, 10, 2, 0}, {19, 19, 2, 0},   {20, 15, 2, 1}, {15, 20, 2, 1},  // right and bottom are outside
      {99, 99, 2, 1}, {100, 50, 2, -1}, {-1, 0, 2, -1}, {15, 15, 0, -1}, {15, 15, -3, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(FindRectAt(rects, c.count, c.x, c.y), c.expected) << c.x << "," << c.y;
}

TEST(SwapMemory, ExactlyTheBytesAtAnyAlignment) {
  // Blocks that start off a word boundary and end inside a word: every byte of the two blocks
  // is exchanged, and the guard bytes around them are left alone.
  for (size_t offset : {0u, 1u, 3u}) {
    for (size_t n : {0u, 1u, 3u, 4u, 7u, 13u, 64u}) {
      std::vector<uint8_t> a(n + 8, 0xAA), b(n + 8, 0xBB);
      for (size_t i = 0; i < n; ++i) {
        a[offset + i] = static_cast<uint8_t>(i);
        b[offset + i] = static_cast<uint8_t>(100 + i);
      }
      SwapMemory(a.data() + offset, b.data() + offset, n);
      for (size_t i = 0; i < a.size(); ++i) {
        const bool inside = i >= offset && i < offset + n;
        ASSERT_EQ(a[i], inside ? static_cast<uint8_t>(100 + i - offset) : 0xAA)
            << "offset " << offset << " n " << n << " byte " << i;
        ASSERT_EQ(b[i], inside ? static_cast<uint8_t>(i - offset) : 0xBB)
            << "offset " << offset << " n " << n << " byte " << i;
      }
    }
  }
}

TEST(Instance, EveryThreadSeesTheHandleTheLastStartUpGave) {
  int first = 0, second = 0;
  const void* seen = nullptr;
  InitCommonControlsAndInstance(&first);
  std::thread([&] { seen = GetAppInstance(); }).join();
  EXPECT_EQ(seen, &first);
  InitCommonControlsAndInstance(&second);  // a second start-up in the same process
  std::thread([&] { seen = GetAppInstance(); }).join();
  EXPECT_EQ(seen, &second);
  InitCommonControlsAndInstance(nullptr);
}

}  // namespace
