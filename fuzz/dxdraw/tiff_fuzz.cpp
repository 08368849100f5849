// Fuzzes the TIFF decoder and the conversion of its bitmap into 16- and 32-bit images.
#include "image_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzimage::Quiet();
  fuzzimage::IntoBoth(DxDraw::LoadTiffToDib(data, size));
  return 0;
}
