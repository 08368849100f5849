// Fuzz target: the LZSS decoder on arbitrary streams; the first two bytes give the room.
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t room = data[0] | (data[1] << 8);
  std::vector<uint8_t> out(room);
  bool overflow = false;
  const size_t n = DecodeLzss(out.data(), out.size(), data + 2, size - 2, &overflow);
  if (n > room) __builtin_trap();
  return 0;
}
