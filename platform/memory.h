// How the process's memory is got and handed back: the allocator's settings, and blocks for
// large buffers (pictures, textures) that fault in few pages.
#pragma once

#include <cstddef>

namespace platform {

// Blocks of a quarter megabyte and more (pictures, decode buffers, font files) are mapped on
// their own and go back to the system as soon as they are freed, and freed space at the top of
// the heap is given back early, so that a buffer's end shows at once in the resident size.
void ReturnLargeBlocksAtOnce();

// A block of size bytes aligned to 64, zeroed when asked, or null when there is not that much
// memory. A block of a quarter megabyte or more is a mapping of its own, placed so that the
// system may back it with large pages: a full-screen picture then faults in one or two pages
// instead of hundreds (each a trap, slow on virtual machines), and every such block goes back to
// the system whole when freed (aligned blocks from the heap would stay in its arenas).
// Where rounding such a block up to whole large pages costs at most an eighth of it, it is.
void* AllocateBlock(size_t size, bool zeroed) noexcept;
// Frees a block of AllocateBlock (null does nothing).
void FreeBlock(void* block) noexcept;
// The size a block was asked with.
size_t BlockSize(const void* block) noexcept;

}  // namespace platform
