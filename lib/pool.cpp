// Fixed-block pools: chunk creation, block pop and push, and the pool's chunk search.
#include "lib/pool.h"

#include <cstdlib>
#include <cstring>

namespace {

size_t RoundUpPow2(size_t v) {
  size_t p = 1;
  while (p < v && p < (size_t(1) << 30)) p <<= 1;
  return p;
}

size_t RoundUp(size_t v, size_t align) {
  return (v + align - 1) / align * align;
}

uint32_t LoadWord(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void StoreWord(uint8_t* p, uint32_t v) {
  std::memcpy(p, &v, sizeof v);
}

}  // namespace

struct MemoryPool::Chunk {
  std::unique_ptr<uint8_t, FreeArea> area;  // from the C heap
  size_t areaSize = 0;
  uint8_t* first = nullptr;  // the area's start rounded up to the alignment
  uint8_t* end = nullptr;    // one past the last block
  size_t stride = 0;
  uint32_t blocks = 0;
  uint32_t freeCount = 0;
  uint32_t freeHead = 0;  // 1-based index of the first free block, 0 for none
  platform::RecursiveLock lock;

  bool Contains(const void* p) const {
    auto* b = static_cast<const uint8_t*>(p);
    return b >= first && b < end;
  }
};

void MemoryPool::FreeArea::operator()(uint8_t* p) const {
  std::free(p);
}

MemoryPool::MemoryPool(size_t blockSize, size_t blocksPerChunk, size_t alignment)
    : m_Alignment(RoundUpPow2(alignment == 0 ? 1 : alignment)) {
  m_BlockSize = RoundUp(blockSize == 0 ? 1 : blockSize, m_Alignment);
  // The free word indexes blocks with 32 bits; keep a chunk's area well inside that.
  m_BlocksPerChunk = blocksPerChunk == 0 ? 1 : blocksPerChunk;
  if (m_BlocksPerChunk > (size_t(1) << 24)) m_BlocksPerChunk = size_t(1) << 24;
  m_Chunks.reserve(kReservedChunks);
  if (auto chunk = NewChunk()) {
    m_pLastUsed = chunk.get();
    m_Chunks.push_back(std::move(chunk));
  }
}

MemoryPool::~MemoryPool() = default;

size_t MemoryPool::BlockStride() const {
  size_t align = m_Alignment < 4 ? 4 : m_Alignment;
  return RoundUp(m_BlockSize < 4 ? 4 : m_BlockSize, align);
}

std::unique_ptr<MemoryPool::Chunk> MemoryPool::NewChunk() const {
  const size_t stride = BlockStride();
  const size_t align = m_Alignment < 4 ? 4 : m_Alignment;
  if (m_BlocksPerChunk > (SIZE_MAX - align) / stride) return nullptr;
  // Room for every block plus the slack that aligning the first block may cost, so each
  // chunk really holds the pool's number of blocks.
  const size_t areaSize = m_BlocksPerChunk * stride + (align - 1);
  auto* raw = static_cast<uint8_t*>(std::malloc(areaSize));
  if (!raw) return nullptr;
  auto chunk = std::unique_ptr<Chunk>(new (std::nothrow) Chunk);
  if (!chunk) {
    std::free(raw);
    return nullptr;
  }
  chunk->area.reset(raw);
  chunk->areaSize = areaSize;
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  chunk->first = raw + (RoundUp(start, align) - start);
  chunk->stride = stride;
  chunk->blocks = static_cast<uint32_t>((raw + areaSize - chunk->first) / stride);
  if (chunk->blocks > m_BlocksPerChunk) chunk->blocks = static_cast<uint32_t>(m_BlocksPerChunk);
  chunk->end = chunk->first + size_t(chunk->blocks) * stride;
  // Link every block in address order.
  for (uint32_t i = 0; i < chunk->blocks; ++i) {
    StoreWord(chunk->first + size_t(i) * stride, i + 1 < chunk->blocks ? i + 2 : 0);
  }
  chunk->freeHead = chunk->blocks ? 1 : 0;
  chunk->freeCount = chunk->blocks;
  return chunk;
}

void* MemoryPool::Pop(Chunk& chunk) {
  platform::LockGuard guard(chunk.lock);
  if (chunk.freeHead == 0) return nullptr;
  uint8_t* block = chunk.first + size_t(chunk.freeHead - 1) * chunk.stride;
  uint32_t next = LoadWord(block);
  chunk.freeHead = next <= chunk.blocks ? next : 0;  // a damaged word ends the list
  --chunk.freeCount;
  return block;
}

void* MemoryPool::Alloc(size_t size) {
  if (size > m_BlockSize) return nullptr;
  platform::LockGuard guard(m_Lock);
  if (m_pLastUsed) {
    if (void* p = Pop(*m_pLastUsed)) return p;
  }
  m_pLastUsed = nullptr;
  for (auto& chunk : m_Chunks) {
    if (chunk->stride >= size && chunk->freeHead != 0) {
      if (void* p = Pop(*chunk)) {
        m_pLastUsed = chunk.get();
        return p;
      }
    }
  }
  auto chunk = NewChunk();
  if (!chunk) return nullptr;
  try {
    m_Chunks.push_back(std::move(chunk));
  } catch (...) {
    return nullptr;
  }
  m_pLastUsed = m_Chunks.back().get();
  return Pop(*m_pLastUsed);
}

bool MemoryPool::Free(void* block) {
  if (!block) return false;
  platform::LockGuard guard(m_Lock);
  for (size_t i = 0; i < m_Chunks.size(); ++i) {
    Chunk& chunk = *m_Chunks[i];
    if (!chunk.Contains(block)) continue;
    const size_t offset = static_cast<size_t>(static_cast<uint8_t*>(block) - chunk.first);
    // An address inside a block is not a block the pool handed out.
    if (offset % chunk.stride != 0) return false;
    {
      platform::LockGuard chunkGuard(chunk.lock);
      StoreWord(static_cast<uint8_t*>(block), chunk.freeHead);
      chunk.freeHead = static_cast<uint32_t>(offset / chunk.stride) + 1;
      ++chunk.freeCount;
    }
    if (m_pLastUsed == &chunk) m_pLastUsed = nullptr;
    if (m_Chunks.size() > 1 && chunk.freeCount == chunk.blocks) {
      m_Chunks.erase(m_Chunks.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return true;
  }
  return false;
}

size_t MemoryPool::ChunkCount() const {
  platform::LockGuard guard(m_Lock);
  return m_Chunks.size();
}

size_t MemoryPool::LiveBlocks() const {
  platform::LockGuard guard(m_Lock);
  size_t live = 0;
  for (const auto& chunk : m_Chunks) {
    platform::LockGuard chunkGuard(chunk->lock);
    live += chunk->blocks - chunk->freeCount;
  }
  return live;
}

int MemoryPool::ChunkIndexOf(const void* p) const {
  platform::LockGuard guard(m_Lock);
  for (size_t i = 0; i < m_Chunks.size(); ++i) {
    if (m_Chunks[i]->Contains(p)) return static_cast<int>(i);
  }
  return -1;
}
