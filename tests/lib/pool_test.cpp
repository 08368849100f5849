// Tests of the fixed-block pool: strides, chunk growth and release, last-used chunk, bad frees.
#include "lib/pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <thread>
#include <vector>

namespace {

uintptr_t Addr(const void* p) {
  return reinterpret_cast<uintptr_t>(p);
}

TEST(MemoryPool, StrideAndAlignmentFollowTheRecord) {
  struct Case {
    size_t size, align, stride;
  } cases[] = {
      {12, 4, 12},                             // blocks 12 bytes apart
      {2, 1, 4},                               // a block still holds the free word
      {2, 4, 4},    {24, 8, 24}, {20, 8, 24},  // size rounded up to the alignment
      {16, 16, 16}, {1, 3, 4},                 // a non-power-of-two alignment is widened
  };
  for (const Case& c : cases) {
    MemoryPool pool(c.size, 64, c.align);
    EXPECT_EQ(pool.BlockStride(), c.stride) << "size " << c.size << " align " << c.align;
    void* a = pool.Alloc(c.size);
    void* b = pool.Alloc(c.size);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Addr(b) - Addr(a), c.stride) << "size " << c.size;
    EXPECT_EQ(Addr(a) % pool.Alignment(), 0u);
    EXPECT_EQ(pool.Alloc(pool.BlockSize() + 1), nullptr) << "a larger record gets no block";
  }
}

TEST(MemoryPool, GrowsAndReleasesChunks) {
  MemoryPool pool(12, 4096, 4);
  std::vector<void*> blocks;
  std::set<void*> distinct;
  for (int i = 0; i < 4096; ++i) {
    blocks.push_back(pool.Alloc(12));
    ASSERT_NE(blocks.back(), nullptr);
    distinct.insert(blocks.back());
  }
  EXPECT_EQ(distinct.size(), 4096u);
  EXPECT_EQ(pool.ChunkCount(), 1u);
  void* extra = pool.Alloc(12);  // the 4097th
  ASSERT_NE(extra, nullptr);
  EXPECT_EQ(pool.ChunkCount(), 2u);
  EXPECT_EQ(pool.ChunkIndexOf(extra), 1);

  // The second chunk wholly free again: it goes.
  EXPECT_TRUE(pool.Free(extra));
  EXPECT_EQ(pool.ChunkCount(), 1u);

  // The only chunk wholly free: it stays.
  for (void* p : blocks) ASSERT_TRUE(pool.Free(p));
  EXPECT_EQ(pool.ChunkCount(), 1u);
  EXPECT_NE(pool.Alloc(12), nullptr);
}

TEST(MemoryPool, LastUsedChunkIsClearedOnlyByFreeingInIt) {
  MemoryPool pool(8, 4, 4);
  std::vector<void*> first;
  for (int i = 0; i < 4; ++i) first.push_back(pool.Alloc(8));
  void* second1 = pool.Alloc(8);
  void* second2 = pool.Alloc(8);
  ASSERT_EQ(pool.ChunkIndexOf(second1), 1);

  // Freeing in another chunk leaves the last-used (second) chunk in place.
  ASSERT_TRUE(pool.Free(first[1]));
  void* next = pool.Alloc(8);
  EXPECT_EQ(pool.ChunkIndexOf(next), 1) << "expected a block of the last-used chunk";

  // Freeing in the last-used chunk clears it: the search starts at the first chunk again.
  ASSERT_TRUE(pool.Free(first[2]));
  ASSERT_TRUE(pool.Free(second2));
  void* again = pool.Alloc(8);
  EXPECT_EQ(again, first[2]) << "expected the first chunk's free block";
  (void)next;
}

TEST(MemoryPool, FreeRefusesAddressesThatAreNoBlockStart) {
  MemoryPool pool(16, 8, 4);
  auto* block = static_cast<uint8_t*>(pool.Alloc(16));
  ASSERT_NE(block, nullptr);
  int local = 0;
  EXPECT_FALSE(pool.Free(&local)) << "foreign address";
  EXPECT_FALSE(pool.Free(nullptr));
  EXPECT_FALSE(pool.Free(block + 4)) << "inside a block";
  EXPECT_FALSE(pool.Free(block + 1));
  // The refused frees changed nothing: the block is still handed out, the others are not.
  std::set<void*> seen;
  for (int i = 0; i < 7; ++i) seen.insert(pool.Alloc(16));
  EXPECT_EQ(seen.count(block), 0u);
  EXPECT_EQ(pool.ChunkCount(), 1u);
  EXPECT_TRUE(pool.Free(block));
  EXPECT_EQ(pool.Alloc(16), block);
}

TEST(MemoryPool, RecordsConstructInPlace) {
  struct Record {
    Record* next;
    int32_t value;
    double weight;
  };
  MemoryPool pool(sizeof(Record), 4096, alignof(Record));
  Record* r = PoolNew<Record>(pool, Record{nullptr, 7, 0.5});
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(Addr(r) % alignof(Record), 0u);
  EXPECT_EQ(r->value, 7);
  PoolDelete(pool, r);
  EXPECT_EQ(pool.Alloc(sizeof(Record)), static_cast<void*>(r));
}

TEST(MemoryPool, ThreadsNeverShareABlock) {
  MemoryPool pool(sizeof(uint64_t), 256, alignof(uint64_t));
  std::vector<std::thread> threads;
  std::vector<int> clashes(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&pool, &clashes, t] {
      std::vector<uint64_t*> mine;
      for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 300; ++i) {
          auto* p = static_cast<uint64_t*>(pool.Alloc(sizeof(uint64_t)));
          if (!p) continue;
          *p = static_cast<uint64_t>(t) << 32 | static_cast<uint64_t>(i);
          mine.push_back(p);
        }
        for (size_t i = 0; i < mine.size(); ++i) {
          if (*mine[i] != (static_cast<uint64_t>(t) << 32 | static_cast<uint64_t>(i))) ++clashes[t];
          pool.Free(mine[i]);
        }
        mine.clear();
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(clashes, (std::vector<int>{0, 0, 0, 0})) << "a block was handed to two threads at once";
  EXPECT_EQ(pool.ChunkCount(), 1u);
}

}  // namespace
