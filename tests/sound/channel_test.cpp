// Streaming channels on the null device: ring contents, refills, ends, loops, ids, stops and fades.
#include <gtest/gtest.h>

#include "sound_fixture.h"

namespace sound_test {
namespace {

using ChannelTest = SoundTest;

TEST_F(ChannelTest, FirstFillWritesFourBlocksAndStartsTheRingLooping) {
  const uint32_t samples = 10 * kBlock / 2;  // ten blocks of data
  const int32_t id = StartCounter(samples, false, 2);
  ASSERT_EQ(id, 1);
  StreamChannel* channel = Sound::GetChannel(2);
  EXPECT_EQ(channel->blockSize, kBlock);
  EXPECT_EQ(channel->ringSize, kRing);
  EXPECT_EQ(channel->writePos, 4 * kBlock);
  EXPECT_EQ(channel->boundary, kBlock - 1);
  EXPECT_EQ(channel->total, samples * 2);
  EXPECT_EQ(Ring(2, 0, 4 * kBlock), CounterBytes(0, 4 * kBlock, samples * 2, false));
  EXPECT_EQ(Ring(2, 4 * kBlock, 4 * kBlock), std::vector<uint8_t>(4 * kBlock, 0)) << "blocks 4-7 untouched";
  auto* buffer = Buffer(2);
  EXPECT_TRUE(buffer->Playing());
  EXPECT_TRUE(buffer->Looping());
  EXPECT_EQ(buffer->Volume(), -300);
  EXPECT_EQ(buffer->Pan(), 200);
  EXPECT_EQ(Sound::ChannelId(2), id);
  EXPECT_EQ(Sound::IsStreamPlaying(id), 1u);
  EXPECT_EQ(Sound::StreamState(id), 1u);
}

TEST_F(ChannelTest, EachBlockBoundaryRefillsTheBlockFourAhead) {
  const uint32_t total = 20 * kBlock;
  StartCounter(total / 2, false, 0);
  StreamChannel* channel = Sound::GetChannel(0);
  // Walk the cursor through twelve blocks, one block per pass: block b + 4 is written with
  // the stream's bytes from (b + 4) blocks on, wrapping around the ring.
  for (uint32_t b = 1; b <= 12; ++b) {
    MoveCursor(0, (b % 8) * kBlock + 10);
    const uint32_t written = (b + 3) % 8;
    EXPECT_EQ(Ring(0, written * kBlock, kBlock), CounterBytes(uint64_t(b + 3) * kBlock, kBlock, total, false))
        << "after entering block " << b;
    EXPECT_EQ(channel->played, uint64_t(b) * kBlock);
    EXPECT_EQ(channel->boundary, ((b % 8) + 1) * kBlock - 1);
    MoveCursor(0, (b % 8) * kBlock + 500);  // a second pass in the same block does nothing
    EXPECT_EQ(channel->played, uint64_t(b) * kBlock);
  }
}

TEST_F(ChannelTest, TheLastBoundaryPassesOnlyWhenTheCursorIsBackInBlockZero) {
  StartCounter(40 * kBlock / 2, false, 0);
  StreamChannel* channel = Sound::GetChannel(0);
  for (uint32_t b = 1; b <= 7; ++b) MoveCursor(0, b * kBlock);
  ASSERT_EQ(channel->boundary, kRing - 1);
  MoveCursor(0, kRing - 2);  // still in block 7
  EXPECT_EQ(channel->played, 7u * kBlock);
  MoveCursor(0, 0);
  EXPECT_EQ(channel->played, 8u * kBlock);
  EXPECT_EQ(channel->boundary, kBlock - 1);
}

TEST_F(ChannelTest, ACursorThatSkippedABlockRefillsNothingUntilItComesBack) {
  const uint32_t total = 40 * kBlock;
  StartCounter(total / 2, false, 0);
  StreamChannel* channel = Sound::GetChannel(0);
  MoveCursor(0, 2 * kBlock + 5);  // jumped over block 1
  EXPECT_EQ(channel->played, 0u);
  EXPECT_EQ(channel->writePos, 4 * kBlock);
  EXPECT_EQ(Ring(0, 4 * kBlock, kBlock), std::vector<uint8_t>(kBlock, 0));
  // Around the ring and into block 1 again: the refill resumes where it stopped.
  for (uint32_t c : {4u, 6u, 0u}) MoveCursor(0, c * kBlock);
  EXPECT_EQ(channel->played, 0u);
  MoveCursor(0, kBlock + 1);
  EXPECT_EQ(channel->played, uint64_t(kBlock));
  EXPECT_EQ(Ring(0, 4 * kBlock, kBlock), CounterBytes(4 * kBlock, kBlock, total, false));
}

TEST_F(ChannelTest, ANonLoopingTailIsPaddedThenSilenceUntilTheChannelEnds) {
  const uint32_t total = 5 * kBlock + kBlock / 2;  // five and a half blocks
  StreamLife life;
  const int32_t id = StartCounter(total / 2, false, 1, 4096, &life);
  StreamChannel* channel = Sound::GetChannel(1);
  MoveCursor(1, kBlock);  // block 4: data up to 5.5 blocks is in block 5, written next
  MoveCursor(1, 2 * kBlock);
  EXPECT_EQ(Ring(1, 5 * kBlock, kBlock), CounterBytes(5 * kBlock, kBlock, total, false)) << "padded last block";
  EXPECT_TRUE(channel->flags & kChannelEnded);
  // Blocks after the data are whole silence blocks written over the old contents.
  MoveCursor(1, 3 * kBlock);
  EXPECT_EQ(Ring(1, 6 * kBlock, kBlock), std::vector<uint8_t>(kBlock, 0));
  MoveCursor(1, 4 * kBlock);
  MoveCursor(1, 5 * kBlock);
  EXPECT_EQ(Sound::IsStreamPlaying(id), 1u) << "5 blocks played of 5.5";
  MoveCursor(1, 6 * kBlock);  // played 6 blocks >= total
  EXPECT_EQ(Sound::IsStreamPlaying(id), 0u);
  EXPECT_EQ(Sound::ChannelId(1), -1);
  EXPECT_EQ(Sound::GetChannel(1)->buffer, nullptr);
  EXPECT_EQ(device->LiveBuffers(), 0u);
  EXPECT_EQ(life.destroyed, 1);
  EXPECT_FALSE(life.destroyedInsideNotify) << "the control outlived its own end notification";
}

TEST_F(ChannelTest, LoopsStayContinuousWhateverTheirLength) {
  // Shorter than a block, between one and four blocks, and longer than the ring.
  for (uint32_t total : {300u * 2, 750u * 2, 11u * kBlock + 400}) {
    SCOPED_TRACE(total);
    const int32_t id = StartCounter(total / 2, true, 0);
    ASSERT_GE(id, 0);
    std::vector<uint8_t> heard = Ring(0, 0, 4 * kBlock);
    for (uint32_t b = 1; b <= 20; ++b) {
      MoveCursor(0, (b % 8) * kBlock);
      const auto block = Ring(0, ((b + 3) % 8) * kBlock, kBlock);
      heard.insert(heard.end(), block.begin(), block.end());
    }
    EXPECT_EQ(heard, CounterBytes(0, 24 * kBlock, total, true));
    EXPECT_EQ(Sound::IsStreamPlaying(id), 1u);
    Sound::StopStream(id);
  }
}

TEST_F(ChannelTest, FiveStreamsOnFourChannelsAndABusyChannel) {
  StreamLife life;
  int32_t ids[4];
  for (int i = 0; i < 4; ++i) ids[i] = StartCounter(5000, true);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[3], 4);
  EXPECT_EQ(StartCounter(5000, true, -1, 4096, &life), -1);
  EXPECT_EQ(life.destroyed, 1) << "the refused control is released";
  EXPECT_EQ(StartCounter(5000, true, 2, 4096, &life), -1);
  EXPECT_EQ(life.destroyed, 2);
  EXPECT_EQ(Sound::ChannelId(2), ids[2]) << "the running stream is untouched";
  EXPECT_EQ(StartCounter(5000, true, 7, 4096, &life), -1) << "no such channel";
  EXPECT_EQ(Sound::ChannelId(-1), -1);
}

TEST_F(ChannelTest, IdsWrapToZeroAfterTheLargest) {
  Sound::SetStreamIdCounter(0x7FFFFFFE);
  EXPECT_EQ(StartCounter(5000, true, 0), 0x7FFFFFFF);
  EXPECT_EQ(StartCounter(5000, true, 1), 0);
  EXPECT_EQ(StartCounter(5000, true, 2), 1);
}

TEST_F(ChannelTest, StopFreesTheChannelBeforeReturning) {
  StreamLife life;
  const int32_t id = StartCounter(5000, false, 3, 4096, &life);
  Sound::StopStream(id + 100);  // nobody holds it
  Sound::StopChannel(-1);
  EXPECT_EQ(Sound::IsStreamPlaying(id), 1u);
  Sound::StopStream(id);
  EXPECT_EQ(Sound::IsStreamPlaying(id), 0u);
  EXPECT_EQ(Sound::ChannelId(3), -1);
  EXPECT_EQ(life.destroyed, 1);
  EXPECT_EQ(device->LiveBuffers(), 0u);
  Sound::StopStream(id);  // already finished: nothing
  const int32_t again = StartCounter(5000, false, 3);
  Sound::StopChannel(3);
  EXPECT_EQ(Sound::IsStreamPlaying(again), 0u);
}

TEST_F(ChannelTest, VolumeOfAStream) {
  const int32_t id = StartCounter(5000, true, 0);
  EXPECT_EQ(Sound::SetStreamVolume(id, -1234), 1u);
  EXPECT_EQ(Buffer(0)->Volume(), -1234);
  EXPECT_EQ(Sound::SetStreamVolume(id + 1, -10), 0u);
  EXPECT_EQ(Sound::SetStreamVolume(-1, -10), 0u);
}

TEST_F(ChannelTest, AFadeStepsEveryHundredMillisecondsThenStops) {
  const int32_t id = StartCounter(50000, true, 0);
  StreamChannel* channel = Sound::GetChannel(0);
  Sound::Lock();
  channel->flags |= kChannelFading;
  channel->fadeVolume = 200;
  channel->fadeStep = 60;
  channel->fadeTime = platform::TimeMs();
  Sound::Unlock();
  EXPECT_EQ(Sound::StreamState(id), 2u);

  struct Step {
    uint32_t advance;
    int32_t volume;
  };
  // 99 ms: too early; 100: one step; 250: two steps (the rest is dropped); 100: floor at 0.
  for (const Step& step : {Step{99, 200}, Step{1, 140}, Step{250, 20}, Step{100, 0}}) {
    AdvanceClock(step.advance);
    MoveCursor(0, 0);
    EXPECT_EQ(channel->fadeVolume, step.volume) << "after " << step.advance << " ms";
    EXPECT_EQ(Buffer(0)->Volume(), step.volume == 200 ? -300 : Sound::VolumeToDecibels(step.volume));
  }
  AdvanceClock(99);
  MoveCursor(0, 0);
  EXPECT_EQ(Sound::ChannelId(0), id) << "silent but not yet stopped";
  AdvanceClock(1);
  MoveCursor(0, 0);
  EXPECT_EQ(Sound::ChannelId(0), -1) << "a fade at 0 stops the stream";
  EXPECT_EQ(Sound::StreamState(id), 0u);
}

TEST_F(ChannelTest, SpeedScalesTheRateButNotTheBlock) {
  StartCounter(5000, true, 0, 8192);
  StreamChannel* channel = Sound::GetChannel(0);
  EXPECT_EQ(channel->format.samplesPerSec, 2000u);
  EXPECT_EQ(channel->format.avgBytesPerSec, 4000u);
  EXPECT_EQ(Buffer(0)->Format().sampleRate, 2000u);
  EXPECT_EQ(channel->blockSize, kBlock);
  // A factor whose product with the rate does not fit 32 bits is still computed exactly.
  ASSERT_GE(StartCounter(5000, true, 1, 0x800000u), 0);
  EXPECT_EQ(Sound::GetChannel(1)->format.samplesPerSec, 2048000u);
  EXPECT_EQ(Sound::GetChannel(1)->format.avgBytesPerSec, 4096000u);
}

TEST_F(ChannelTest, AFailedBufferCreationLeavesTheChannelFree) {
  StreamLife life;
  device->FailNextCreate(platform::kAudioOutOfMemory);
  EXPECT_EQ(StartCounter(5000, true, 1, 4096, &life), -1);
  EXPECT_EQ(life.destroyed, 1);
  EXPECT_EQ(Sound::GetChannel(1)->buffer, nullptr);
  EXPECT_EQ(Sound::ChannelId(1), -1);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, u"DirectSound");
  EXPECT_EQ(boxes.shown[0].text,
            u"CreateStreamBuffer(8007000E)\r\n  wFormatTag=   1\r\n  nChannels=1\r\n  nSamplesPerSec=1000\r\n"
            u"  nAvgBytesPerSec=2000\r\n  nBlockAlign=2\r\n  wBitsPerSample=16\r\n  cbSize=0\r\n");
  EXPECT_GE(StartCounter(5000, true, 1), 0) << "the channel is usable again";
}

TEST_F(ChannelTest, LostBuffersAreRestoredAndFailedCursorsSkipThePass) {
  StartCounter(50000, true, 0);
  StreamChannel* channel = Sound::GetChannel(0);
  Sound::Lock();
  Buffer(0)->MarkLost();
  Sound::ServiceStreams();
  EXPECT_EQ(Buffer(0)->RestoreCount(), 1u);
  Buffer(0)->FailCursor(true);
  Buffer(0)->SetPlayCursor(kBlock + 1);
  Sound::ServiceStreams();
  EXPECT_EQ(channel->played, 0u);
  Buffer(0)->FailCursor(false);
  Buffer(0)->FailLocks(true);  // the refill cannot lock: the block is not written, writePos stays
  Sound::ServiceStreams();
  EXPECT_EQ(channel->played, uint64_t(kBlock));
  EXPECT_EQ(channel->writePos, 4 * kBlock);
  Buffer(0)->FailLocks(false);
  Sound::Unlock();
  MoveCursor(0, 2 * kBlock);
  EXPECT_EQ(channel->writePos, 5 * kBlock) << "the next boundary writes at the same place";
}

}  // namespace
}  // namespace sound_test
