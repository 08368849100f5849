// Shared fixture of the sound tests: a null device, recorded message boxes, a virtual clock
// and a synthetic PCM stream whose samples count up, so that ring contents can be checked exactly.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/assert.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "platform/msgbox.h"
#include "sound/sound.h"
#include "sound/stream.h"
#include "sound/wave.h"

namespace sound_test {

class RecordingBoxes : public platform::MessageBoxService {
 public:
  platform::MsgResult Show(const platform::MessageBoxRequest& request) override {
    shown.push_back(request);
    return platform::MsgResult::Ok;
  }
  std::vector<platform::MessageBoxRequest> shown;
};

// What a counter stream reports about its own end.
struct StreamLife {
  int destroyed = 0;
  bool destroyedInsideNotify = false;
};

// 16-bit mono PCM at 1000 Hz (blocks of 1000 bytes with StreamSize 4). Sample s of a pass is
// s + 1, so silence (0) is never part of the data.
class CounterStream : public CStreamControl {
 public:
  CounterStream(uint32_t samples, StreamLife* life) : CStreamControl(nullptr), m_Life(life) {
    m_Format.formatTag = kWaveFormatPcm;
    m_Format.channels = 1;
    m_Format.samplesPerSec = 1000;
    m_Format.avgBytesPerSec = 2000;
    m_Format.blockAlign = 2;
    m_Format.bitsPerSample = 16;
    m_Total = samples * 2;
  }
  uint32_t Open(const char16_t*) override { return 1; }
  uint32_t Fill(StreamChannel* channel, uint8_t* buffer, uint32_t bytes) override {
    return FillFromDecoder(channel, buffer, bytes);
  }
  uint32_t GetTotalBytes() override { return m_Total; }
  uint32_t GetBufferLayout(StreamChannel* channel) override { return ComputeBufferLayout(channel); }
  uint32_t Rewind(StreamChannel*) override {
    m_Pos = 0;
    return 1;
  }
  uint32_t OnNotify(StreamChannel* channel, uint32_t event) override {
    m_InNotify = true;
    const uint32_t result = CStreamControl::OnNotify(channel, event);
    m_InNotify = false;
    return result;
  }

 protected:
  ~CounterStream() override {
    if (m_Life) {
      ++m_Life->destroyed;
      m_Life->destroyedInsideNotify = m_InNotify;
    }
  }
  uint32_t ReadPcm(uint8_t* buffer, uint32_t bytes) override {
    uint32_t n = 0;
    while (n + 2 <= bytes && m_Pos + 2 <= m_Total) {
      const uint16_t value = static_cast<uint16_t>(m_Pos / 2 + 1);
      buffer[n] = static_cast<uint8_t>(value);
      buffer[n + 1] = static_cast<uint8_t>(value >> 8);
      n += 2;
      m_Pos += 2;
    }
    return n;
  }
  bool SeekPcmBytes(uint32_t offset) override {
    m_Pos = offset;
    return true;
  }

 private:
  StreamLife* m_Life;
  uint32_t m_Pos = 0;
  bool m_InNotify = false;
};

// The bytes a counter stream of total bytes delivers from stream position from on.
inline std::vector<uint8_t> CounterBytes(uint64_t from, uint32_t count, uint32_t total, bool loop) {
  std::vector<uint8_t> out(count, 0);
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t p = from + i;
    if (p >= total) {
      if (!loop) continue;
      p %= total;
    }
    const uint16_t value = static_cast<uint16_t>(p / 2 + 1);
    out[i] = (p % 2 == 0) ? static_cast<uint8_t>(value) : static_cast<uint8_t>(value >> 8);
  }
  return out;
}

class SoundTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kBlock = 1000;  // bytes per block of a counter stream
  static constexpr uint32_t kRing = 8 * kBlock;

  void SetUp() override {
    m_PrevBoxes = platform::SetMessageBoxService(&boxes);
    m_PrevClock = platform::SetClock(&clock);
    m_PrevHook = platform::SetAssertHook([this](const platform::AssertionReport&) { ++assertions; });
    g_StreamBlockCount = 4;
    StartSound();
  }
  void TearDown() override {
    for (int i = 0; i < kStreamChannelCount; ++i) Sound::StopChannel(i);
    Sound::Finalize();
    EXPECT_EQ(assertions, 0) << "no reference count went below zero";
    platform::SetAssertHook(m_PrevHook);
    platform::SetClock(m_PrevClock);
    platform::SetMessageBoxService(m_PrevBoxes);
  }

  void StartSound(SoundConfig config = {}) {
    auto made = platform::headless::CreateNullAudioDevice();
    device = made.get();
    ASSERT_EQ(Sound::Initialize(std::shared_ptr<platform::AudioDevice>(std::move(made)), &config), 0);
  }

  // Starts a counter stream on a channel through the binding the game's streams use.
  int32_t StartCounter(uint32_t samples, bool loop, int32_t channel = -1, uint32_t speed = 4096,
                       StreamLife* life = nullptr) {
    Sound::Lock();
    const int32_t id = Sound::BindStream(channel, ComRef<IStreamControl>(new CounterStream(samples, life)), speed, -300,
                                         200, loop ? 1 : 0);
    Sound::Unlock();
    return id;
  }

  platform::headless::NullAudioBuffer* Buffer(int32_t channel) {
    return dynamic_cast<platform::headless::NullAudioBuffer*>(Sound::GetChannel(channel)->buffer.get());
  }

  // Moves the play cursor and runs one service pass, as the thread would, under the lock.
  void MoveCursor(int32_t channel, uint32_t cursor) {
    Sound::Lock();
    if (auto* buffer = Buffer(channel)) buffer->SetPlayCursor(cursor);
    Sound::ServiceStreams();
    Sound::Unlock();
  }

  std::vector<uint8_t> Ring(int32_t channel, uint32_t offset, uint32_t count) {
    Sound::Lock();
    std::vector<uint8_t> out;
    if (auto* buffer = Buffer(channel))
      out.assign(buffer->Bytes().begin() + offset, buffer->Bytes().begin() + offset + count);
    Sound::Unlock();
    return out;
  }

  void AdvanceClock(uint32_t ms) {
    Sound::Lock();  // the service thread reads the clock under the lock
    clock.Advance(ms);
    Sound::Unlock();
  }

  RecordingBoxes boxes;
  platform::VirtualClock clock;
  platform::headless::NullAudioDevice* device = nullptr;
  int assertions = 0;

 private:
  platform::MessageBoxService* m_PrevBoxes = nullptr;
  platform::Clock* m_PrevClock = nullptr;
  platform::AssertHook m_PrevHook;
};

}  // namespace sound_test
