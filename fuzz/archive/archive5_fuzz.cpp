// Fuzz target: arbitrary bytes mounted as a version 5 archive, every member looked up and read.
#include "mount_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ScratchFile scratch("archive5");
  const std::u16string path = scratch.Write(data, size);
  if (ComRef<IArchive> archive{pux::OpenArchive5(path, 0)}) fuzz::Exercise(archive.Get(), 0);
  return 0;
}
