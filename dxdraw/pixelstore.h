// Storage for pixels, aligned to a cache line: the vector pixel routines move whole blocks of a row,
// and a row that starts on a line boundary never has a block straddling two lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace DxDraw {

inline constexpr size_t kPixelAlignment = 64;

// An allocator for containers of pixel bytes.
template <class T>
struct PixelAllocator {
  using value_type = T;
  PixelAllocator() = default;
  template <class U>
  PixelAllocator(const PixelAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(::operator new (n * sizeof(T), std::align_val_t{kPixelAlignment})); }
  void deallocate(T* p, size_t) { ::operator delete (p, std::align_val_t{kPixelAlignment}); }
  friend bool operator==(const PixelAllocator&, const PixelAllocator&) { return true; }
};

struct PixelDeleter {
  void operator()(uint8_t* p) const { ::operator delete[](p, std::align_val_t{kPixelAlignment}); }
};
using PixelBytes = std::unique_ptr<uint8_t[], PixelDeleter>;

// size zeroed bytes, or null when there is not that much memory.
inline PixelBytes AllocatePixelBytes(size_t size) {
  void* p = ::operator new[](size, std::align_val_t{kPixelAlignment}, std::nothrow);
  if (p != nullptr) std::memset(p, 0, size);
  return PixelBytes(static_cast<uint8_t*>(p));
}

}  // namespace DxDraw
