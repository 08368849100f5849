// Fuzzes the Ogg Vorbis stream control over arbitrary bytes: open, then fill and loop.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/log.h"
#include "sound/stream.h"
#include "tests/sound/memory_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::LogCapture quiet;  // keeps refusals off the fuzzer's output
  quiet.Clear();
  if (size < 1) return 0;
  const bool loop = data[0] & 1;
  g_StreamBlockCount = 1 + (data[0] >> 1) % 8;
  ComRef<CStreamControl_Ogg> control(
      Sound::CreateOggStream(new sound_test::MemoryReader(std::vector<uint8_t>(data + 1, data + size))));
  if (!control->Open(u"fuzz")) return 0;
  StreamChannel channel;
  if (!control->GetBufferLayout(&channel)) return 0;
  if (loop) channel.flags |= kChannelLoop;
  const uint32_t chunk = std::min<uint32_t>(channel.blockSize, 1u << 18);
  std::vector<uint8_t> buffer(chunk + 16, 0xA5);
  for (int i = 0; i < 6; ++i) {
    control->Fill(&channel, buffer.data(), chunk);
    if (buffer[chunk] != 0xA5) __builtin_trap();  // never past the region
  }
  control->Rewind(&channel);
  control->Fill(&channel, buffer.data(), chunk);
  return 0;
}
