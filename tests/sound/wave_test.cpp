// RIFF/WAVE parsing and the static slots.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/log.h"
#include "sound_fixture.h"

namespace sound_test {
namespace {

// Builds RIFF files chunk by chunk.
struct WaveBuilder {
  std::vector<uint8_t> bytes;
  void U16(uint32_t v) {
    bytes.push_back(uint8_t(v));
    bytes.push_back(uint8_t(v >> 8));
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
  void Tag(const char* t) { bytes.insert(bytes.end(), t, t + 4); }
  WaveBuilder& Header(const char* riff = "RIFF", const char* wave = "WAVE") {
    Tag(riff);
    U32(0);  // patched by Done
    Tag(wave);
    return *this;
  }
  WaveBuilder& Chunk(const char* id, const std::vector<uint8_t>& data, bool pad = true) {
    Tag(id);
    U32(static_cast<uint32_t>(data.size()));
    bytes.insert(bytes.end(), data.begin(), data.end());
    if (pad && data.size() % 2) bytes.push_back(0);
    return *this;
  }
  static std::vector<uint8_t> Fmt(uint16_t channels, uint32_t rate, uint16_t bits, size_t length = 16) {
    WaveBuilder f;
    f.U16(1);
    f.U16(channels);
    f.U32(rate);
    f.U32(rate * channels * bits / 8);
    f.U16(channels * bits / 8);
    f.U16(bits);
    f.bytes.resize(length, 0);
    return f.bytes;
  }
  std::vector<uint8_t> Done(int64_t riffSize = -1) {
    const uint32_t size = riffSize < 0 ? uint32_t(bytes.size() - 8) : uint32_t(riffSize);
    for (int i = 0; i < 4; ++i) bytes[4 + i] = uint8_t(size >> (8 * i));
    return bytes;
  }
};

const std::vector<uint8_t> kSamples = {1, 2, 3, 4, 5, 6, 7, 8};

TEST(WaveParse, FindsTheFormatAndTheData) {
  struct Case {
    const char* name;
    std::vector<uint8_t> file;
    bool ok;
    uint32_t dataSize;
    uint16_t bits;
  };
  const std::vector<uint8_t> odd = {9, 9, 9};
  const Case cases[] = {
      {"plain", WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(2, 22050, 16)).Chunk("data", kSamples).Done(),
       true, 8, 16},
      {"data first", WaveBuilder().Header().Chunk("data", kSamples).Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 8)).Done(),
       true, 8, 8},
      {"odd chunk padded",
       WaveBuilder()
           .Header()
           .Chunk("LIST", odd)
           .Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16))
           .Chunk("data", kSamples)
           .Done(),
       true, 8, 16},
      {"short fmt of 14 bytes",
       WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16, 14)).Chunk("data", kSamples).Done(), true, 8,
       0},
      {"fmt of 12 bytes",
       WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16, 12)).Chunk("data", kSamples).Done(), false, 0,
       0},
      {"not RIFF",
       WaveBuilder().Header("RIFX").Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16)).Chunk("data", kSamples).Done(), false,
       0, 0},
      {"not WAVE",
       WaveBuilder().Header("RIFF", "AVI ").Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16)).Chunk("data", kSamples).Done(),
       false, 0, 0},
      {"no data", WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16)).Done(), false, 0, 0},
      {"data past the end",
       [] {
         auto f = WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16)).Chunk("data", kSamples).Done();
         f.resize(f.size() - 3);
         return f;
       }(),
       false, 0, 0},
      {"RIFF size beyond the bytes",
       WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16)).Chunk("data", kSamples).Done(0x7FFFFFF0),
       true, 8, 16},
      {"chunks beyond the RIFF size",
       WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16)).Chunk("data", kSamples).Done(4 + 24), false,
       0, 0},
      {"data starting inside a short RIFF size",
       WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16)).Chunk("data", kSamples).Done(4 + 24 + 4),
       true, 8, 16},
      {"shorter than a header", {'R', 'I', 'F', 'F', 0, 0}, false, 0, 0},
  };
  for (const Case& c : cases) {
    platform::LogCapture log;
    WaveFormat format;
    const uint8_t* data = nullptr;
    uint32_t size = 99;
    const uint32_t found = Sound::ParseWaveResource(c.file.data(), c.file.size(), &format, &data, &size);
    EXPECT_EQ(found, c.ok ? 1u : 0u) << c.name;
    EXPECT_EQ(log.Contains(u"Could not parse wave resource!\n"), !c.ok) << c.name;
    if (!c.ok) {
      EXPECT_EQ(data, nullptr) << c.name;
      continue;
    }
    EXPECT_EQ(size, c.dataSize) << c.name;
    ASSERT_NE(data, nullptr) << c.name;
    EXPECT_EQ(std::vector<uint8_t>(data, data + size), kSamples) << c.name;
    EXPECT_EQ(format.formatTag, 1) << c.name;
    EXPECT_EQ(format.bitsPerSample, c.bits) << c.name;
  }
}

TEST(WaveParse, OutputsMayBeLeftOut) {
  const auto file = WaveBuilder().Header().Chunk("data", kSamples).Done();
  uint32_t size = 0;
  EXPECT_EQ(Sound::ParseWaveResource(file.data(), file.size(), nullptr, nullptr, &size), 1u);
  EXPECT_EQ(size, 8u);
  platform::LogCapture log;
  WaveFormat format;
  EXPECT_EQ(Sound::ParseWaveResource(file.data(), file.size(), &format, nullptr, nullptr), 0u) << "no fmt chunk";
  EXPECT_EQ(Sound::ParseWaveResource(nullptr, 100, &format, nullptr, nullptr), 0u);
}

using WaveSlots = SoundTest;

TEST_F(WaveSlots, LoadingMakesAFilledBufferAndReloadingReplacesIt) {
  const auto first =
      WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(2, 22050, 16)).Chunk("data", kSamples).Done();
  const std::vector<uint8_t> other = {0x80, 0x81, 0x82};
  const auto second = WaveBuilder().Header().Chunk("data", other).Chunk("fmt ", WaveBuilder::Fmt(1, 11025, 8)).Done();

  Sound::LoadStatic(0, first.data(), uint32_t(first.size()));
  StaticSoundSlot* slot = Sound::GetStaticSlot(0);
  ASSERT_NE(slot->buffer, nullptr);
  EXPECT_EQ(slot->copy, first);
  auto* buffer = dynamic_cast<platform::headless::NullAudioBuffer*>(slot->buffer.get());
  EXPECT_EQ(buffer->Bytes(), kSamples);
  EXPECT_EQ(buffer->Format().sampleRate, 22050u);

  Sound::LoadStatic(0, second.data(), uint32_t(second.size()));
  EXPECT_EQ(device->LiveBuffers(), 1u) << "the first buffer was released";
  EXPECT_EQ(slot->copy, second);
  buffer = dynamic_cast<platform::headless::NullAudioBuffer*>(slot->buffer.get());
  EXPECT_EQ(buffer->Bytes(), other);

  Sound::LoadStatic(0, nullptr, 0);
  EXPECT_EQ(slot->buffer, nullptr);
  EXPECT_TRUE(slot->copy.empty());
  Sound::LoadStatic(kStaticSlotCount, first.data(), uint32_t(first.size()));  // no such slot
  EXPECT_EQ(device->LiveBuffers(), 0u);
}

TEST_F(WaveSlots, LoadingWaitsForTheSoundLock) {
  const auto file = WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16)).Chunk("data", kSamples).Done();
  StaticSoundSlot* slot = Sound::GetStaticSlot(2);
  Sound::Lock();  // as the service thread holds it for a pass over the slots
  std::thread loader([&file] { Sound::LoadStatic(2, file.data(), uint32_t(file.size())); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const bool changedUnderTheLock = slot->buffer || !slot->copy.empty();
  Sound::Unlock();
  loader.join();
  EXPECT_FALSE(changedUnderTheLock) << "the slot changed while another thread held the sound lock";
  EXPECT_NE(slot->buffer, nullptr);
}

TEST_F(WaveSlots, ABadFileKeepsItsCopyWithoutABuffer) {
  platform::LogCapture log;
  const auto file =
      WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16, 12)).Chunk("data", kSamples).Done();
  Sound::LoadStatic(5, file.data(), uint32_t(file.size()));
  EXPECT_EQ(Sound::GetStaticSlot(5)->buffer, nullptr);
  EXPECT_EQ(Sound::GetStaticSlot(5)->size, file.size());
  EXPECT_TRUE(log.Contains(u"Could not parse wave resource!\n"));
}

TEST_F(WaveSlots, ALostBufferIsRestoredAndRefilledFromTheCopy) {
  const auto file = WaveBuilder().Header().Chunk("fmt ", WaveBuilder::Fmt(1, 8000, 16)).Chunk("data", kSamples).Done();
  Sound::LoadStatic(1, file.data(), uint32_t(file.size()));
  auto* buffer = dynamic_cast<platform::headless::NullAudioBuffer*>(Sound::GetStaticSlot(1)->buffer.get());
  Sound::Lock();
  platform::AudioRegion region;
  ASSERT_TRUE(buffer->Lock(0, 8, region, nullptr));
  std::fill(region.data, region.data + region.size, 0xEE);  // what a lost buffer may hold
  buffer->MarkLost();
  Sound::ServiceStatic();
  EXPECT_EQ(buffer->RestoreCount(), 1u);
  EXPECT_EQ(buffer->Bytes(), kSamples);
  Sound::Unlock();
}

TEST_F(WaveSlots, FillingRefusesWhatCannotBeWritten) {
  platform::LogCapture log;
  EXPECT_EQ(Sound::FillSoundBuffer(nullptr, kSamples.data(), 8), 0u);
  std::unique_ptr<platform::AudioBuffer> buffer;
  platform::AudioFormat format;
  format.channels = 1;
  ASSERT_EQ(device->CreateBuffer(format, 8, buffer), platform::kAudioOk);
  EXPECT_EQ(Sound::FillSoundBuffer(buffer.get(), kSamples.data(), 0), 0u);
  EXPECT_EQ(Sound::FillSoundBuffer(buffer.get(), kSamples.data(), 10), 0u) << "more than the buffer holds";
  EXPECT_EQ(log.Lines().size(), 3u);
  EXPECT_TRUE(log.Contains(u"Could not fill sound buffer!\n"));
  EXPECT_EQ(Sound::FillSoundBuffer(buffer.get(), kSamples.data(), 8), 1u);
}

}  // namespace
}  // namespace sound_test
