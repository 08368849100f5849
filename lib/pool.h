// Fixed-block pools: chunks of equal blocks with the free list threaded through the blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "platform/thread.h"

// Serves records of one size from chunks of equal blocks, so that allocating and freeing
// a record costs a list operation and the heap sees one allocation per chunk.
//
// A free block's first 32-bit word holds the 1-based index of the next free block of its
// chunk (0 for the last). An index rather than an address keeps the word 32 bits wide on
// a 64-bit build, so a block only needs 4 bytes of room however wide pointers are.
//
// Every operation holds the pool's lock, and popping from or pushing to a chunk also takes
// the chunk's lock inside it (always pool first, then chunk).
class MemoryPool {
 public:
  static constexpr size_t kReservedChunks = 16;

  // blockSize is rounded up to the alignment; alignment is made a power of two (at least 1),
  // and the blocks inside a chunk are laid out with an alignment of at least 4.
  MemoryPool(size_t blockSize, size_t blocksPerChunk, size_t alignment);
  ~MemoryPool();
  MemoryPool(const MemoryPool&) = delete;
  MemoryPool& operator=(const MemoryPool&) = delete;

  // A block for a record of at most the block size, or null (too large, or out of memory).
  void* Alloc(size_t size);
  // Gives a block back. True when the address is the start of a block of one of the
  // pool's chunks; false (and nothing changes) for any other address.
  bool Free(void* block);

  size_t BlockSize() const { return m_BlockSize; }
  size_t Alignment() const { return m_Alignment; }
  size_t BlocksPerChunk() const { return m_BlocksPerChunk; }
  // Distance between two neighbouring blocks of a chunk.
  size_t BlockStride() const;
  size_t ChunkCount() const;
  // Blocks handed out and not yet given back.
  size_t LiveBlocks() const;
  // Index of the chunk holding the address (block start or not), or -1.
  int ChunkIndexOf(const void* p) const;

 private:
  struct Chunk;
  struct FreeArea {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<Chunk> NewChunk() const;
  static void* Pop(Chunk& chunk);

  std::vector<std::unique_ptr<Chunk>> m_Chunks;
  size_t m_BlockSize;
  size_t m_Alignment;
  size_t m_BlocksPerChunk;
  Chunk* m_pLastUsed = nullptr;
  mutable platform::RecursiveLock m_Lock;
};

// Constructs a T in a block of the pool; null when the pool has none. The pool must have
// been made for records of T's size and alignment.
template <typename T, typename... Args>
T* PoolNew(MemoryPool& pool, Args&&... args) {
  void* p = pool.Alloc(sizeof(T));
  if (!p) return nullptr;
  return new (p) T(static_cast<Args&&>(args)...);
}

// Destroys a record made by PoolNew and gives its block back.
template <typename T>
void PoolDelete(MemoryPool& pool, T* record) {
  if (!record) return;
  record->~T();
  pool.Free(record);
}
