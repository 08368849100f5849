// Fuzzes DxImage::Load's path for BMP files in memory, into 16- and 32-bit images.
#include "image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzimage::Quiet();
  fuzzimage::LoadBoth(data, size);
  return 0;
}
