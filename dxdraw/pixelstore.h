// Storage for pixels, aligned to a cache line: the vector pixel routines move whole blocks of a row,
// and a row that starts on a line boundary never has a block straddling two lines. Large pictures
// take the platform's large-page blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "platform/memory.h"

namespace DxDraw {

inline constexpr size_t kPixelAlignment = 64;

// An allocator for containers of pixel bytes.
template <class T>
struct PixelAllocator {
  using value_type = T;
  PixelAllocator() = default;
  template <class U>
  PixelAllocator(const PixelAllocator<U>&) {}
  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    void* p = platform::AllocateBlock(n * sizeof(T), false);
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t) { platform::FreeBlock(p); }
  friend bool operator==(const PixelAllocator&, const PixelAllocator&) { return true; }
};

struct PixelDeleter {
  void operator()(uint8_t* p) const { platform::FreeBlock(p); }
};
using PixelBytes = std::unique_ptr<uint8_t[], PixelDeleter>;

// size zeroed bytes, or null when there is not that much memory.
inline PixelBytes AllocatePixelBytes(size_t size) {
  return PixelBytes(static_cast<uint8_t*>(platform::AllocateBlock(size, true)));
}

}  // namespace DxDraw
