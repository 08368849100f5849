// The allocator's settings for large blocks (glibc's malloc), and blocks mapped for large pages.
#include "platform/memory.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace platform {

void ReturnLargeBlocksAtOnce() {
  // A fixed threshold: glibc otherwise raises it to the size of each large block freed, after
  // which full-screen pictures come from the heap and stay resident between uses.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  mallopt(M_TRIM_THRESHOLD, 512 * 1024);
}

namespace {

constexpr size_t kAlignment = 64;
#if defined(__SANITIZE_ADDRESS__)
// Under the address sanitizer every block comes from the heap, where overruns are caught.
constexpr size_t kMappedFrom = SIZE_MAX;
#else
constexpr size_t kMappedFrom = size_t{256} << 10;
#endif
constexpr size_t kLargePage = size_t{2} << 20;

// What stands before every block; its size keeps the block aligned.
struct alignas(kAlignment) BlockHeader {
  size_t size;
  void* mapping;  // null for a block from the heap
  size_t mappedLength;
};
static_assert(sizeof(BlockHeader) == kAlignment);

size_t RoundUp(size_t n, size_t to) {
  return (n + to - 1) / to * to;
}

BlockHeader* HeaderOf(const void* block) {
  return reinterpret_cast<BlockHeader*>(const_cast<char*>(static_cast<const char*>(block)) - kAlignment);
}

// A mapping starting on a large page, of length bytes (the slack before and after given back).
void* MapAligned(size_t length) {
  void* raw = ::mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const uintptr_t base = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t start = RoundUp(base, kLargePage);
  if (start > base) ::munmap(raw, start - base);
  const uintptr_t end = start + length, rawEnd = base + length + kLargePage;
  if (rawEnd > end) ::munmap(reinterpret_cast<void*>(end), rawEnd - end);
  void* mapping = reinterpret_cast<void*>(start);
  // Advice only: where large pages are off or none is free, small pages serve as before.
  ::madvise(mapping, length, MADV_HUGEPAGE);
  return mapping;
}

}  // namespace

void* AllocateBlock(size_t size, bool zeroed) noexcept {
  if (size > SIZE_MAX / 2) return nullptr;
  const size_t total = kAlignment + size;
  BlockHeader* header = nullptr;
  if (size >= kMappedFrom) {
    size_t length = RoundUp(total, 4096);
    const size_t whole = RoundUp(length, kLargePage);
    if (whole - length <= length / 8) length = whole;
    void* mapping = MapAligned(length);
    if (!mapping) return nullptr;
    header = static_cast<BlockHeader*>(mapping);  // a new mapping reads as zeros
    header->mapping = mapping;
    header->mappedLength = length;
  } else {
    header = static_cast<BlockHeader*>(::operator new (total, std::align_val_t{kAlignment}, std::nothrow));
    if (!header) return nullptr;
    if (zeroed) std::memset(header + 1, 0, size);
    header->mapping = nullptr;
    header->mappedLength = 0;
  }
  header->size = size;
  return header + 1;
}

void FreeBlock(void* block) noexcept {
  if (!block) return;
  BlockHeader* header = HeaderOf(block);
  if (header->mapping)
    ::munmap(header->mapping, header->mappedLength);
  else
    ::operator delete (header, std::align_val_t{kAlignment});
}

size_t BlockSize(const void* block) noexcept {
  return block ? HeaderOf(block)->size : 0;
}

}  // namespace platform
