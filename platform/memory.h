// How the process's allocator hands memory back to the system.
#pragma once

namespace platform {

// Blocks of a quarter megabyte and more (pictures, decode buffers, font files) are mapped on
// their own and go back to the system as soon as they are freed, and freed space at the top of
// the heap is given back early, so that a buffer's end shows at once in the resident size.
void ReturnLargeBlocksAtOnce();

}  // namespace platform
