// The allocator's settings for large blocks (glibc's malloc).
#include "platform/memory.h"

#include <malloc.h>

namespace platform {

void ReturnLargeBlocksAtOnce() {
  // A fixed threshold: glibc otherwise raises it to the size of each large block freed, after
  // which full-screen pictures come from the heap and stay resident between uses.
  mallopt(M_MMAP_THRESHOLD, 256 * 1024);
  mallopt(M_TRIM_THRESHOLD, 512 * 1024);
}

}  // namespace platform
