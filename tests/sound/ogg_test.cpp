// Ogg Vorbis stream controls and the stream readers, over files made with libvorbisenc.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <filesystem>

#include "archive/archive.h"
#include "archive/archive_writer.h"
#include "memory_reader.h"
#include "ogg_maker.h"
#include "platform/files.h"
#include "platform/log.h"
#include "platform/utf.h"
#include "sound_fixture.h"

namespace sound_test {
namespace {

using testing_ogg::EncodeOgg;
using testing_ogg::Tone;

// The whole PCM of an Ogg file, decoded straight through vorbisfile.
std::vector<uint8_t> ReferenceDecode(const std::vector<uint8_t>& ogg) {
  struct Source {
    const std::vector<uint8_t>* bytes;
    size_t pos;
  } source{&ogg, 0};
  ov_callbacks callbacks{};
  callbacks.read_func = [](void* ptr, size_t size, size_t count, void* ds) -> size_t {
    auto* s = static_cast<Source*>(ds);
    const size_t n = std::min(size * count, s->bytes->size() - s->pos) / size;
    std::memcpy(ptr, s->bytes->data() + s->pos, n * size);
    s->pos += n * size;
    return n;
  };
  callbacks.seek_func = [](void* ds, ogg_int64_t offset, int whence) -> int {
    auto* s = static_cast<Source*>(ds);
    const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? int64_t(s->pos) : int64_t(s->bytes->size());
    s->pos = size_t(base + offset);
    return 0;
  };
  callbacks.tell_func = [](void* ds) -> long { return long(static_cast<Source*>(ds)->pos); };
  OggVorbis_File file;
  std::vector<uint8_t> pcm;
  if (ov_open_callbacks(&source, &file, nullptr, 0, callbacks) != 0) return pcm;
  char chunk[4096];
  int section = 0;
  long r;
  while ((r = ov_read(&file, chunk, sizeof chunk, 0, 2, 1, &section)) != 0)
    if (r > 0) pcm.insert(pcm.end(), chunk, chunk + r);
  ov_clear(&file);
  return pcm;
}

ComRef<CStreamControl_Ogg> OpenOgg(std::vector<uint8_t> bytes, bool seekFails = false) {
  ComRef<CStreamControl_Ogg> control(Sound::CreateOggStream(new MemoryReader(std::move(bytes), seekFails)));
  if (!control->Open(u"memory")) control.Reset();
  return control;
}

// A channel record for driving a control's Fill directly.
StreamChannel Channel(CStreamControl_Ogg* control, bool loop) {
  StreamChannel channel;
  control->GetBufferLayout(&channel);
  if (loop) channel.flags |= kChannelLoop;
  return channel;
}

class TempFolder {
 public:
  TempFolder() {
    m_Path = std::filesystem::temp_directory_path() /
             ("sound_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
              std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(m_Path);
  }
  ~TempFolder() { std::filesystem::remove_all(m_Path); }
  std::u16string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const auto path = m_Path / name;
    std::filesystem::create_directories(path.parent_path());
    platform::WriteWholeFileAtomic(Wide(path), bytes.data(), bytes.size());
    return Wide(path);
  }
  std::u16string Path() const { return Wide(m_Path); }
  static std::u16string Wide(const std::filesystem::path& p) { return platform::Utf8ToWide(p.string()); }

 private:
  std::filesystem::path m_Path;
};

TEST(OggStream, OpenReadsFormatAndTotal) {
  auto mono = OpenOgg(EncodeOgg(1, 22050, Tone(1, 22050, 1.0, 440, 0.5)));
  ASSERT_TRUE(mono);
  EXPECT_EQ(mono->GetTotalBytes(), 44100u) << "one second of 22050 Hz mono";
  const WaveFormat* f = mono->GetFormat();
  EXPECT_EQ(f->formatTag, 1);
  EXPECT_EQ(f->channels, 1);
  EXPECT_EQ(f->samplesPerSec, 22050u);
  EXPECT_EQ(f->avgBytesPerSec, 44100u);
  EXPECT_EQ(f->blockAlign, 2);
  EXPECT_EQ(f->bitsPerSample, 16);

  auto stereo = OpenOgg(EncodeOgg(2, 44100, Tone(2, 44100, 0.5, 440, 0.5)));
  ASSERT_TRUE(stereo);
  EXPECT_EQ(stereo->GetTotalBytes(), 22050u * 4);
  // Blocks are k/8 seconds of the stream: StreamSize 1 and 4.
  // (rounded up to whole sample frames).
  for (auto [k, block] : {std::pair{1, 22052u}, std::pair{4, 88200u}}) {
    g_StreamBlockCount = k;
    StreamChannel channel = Channel(stereo.Get(), false);
    EXPECT_EQ(channel.blockSize, block) << "StreamSize " << k;
    EXPECT_EQ(channel.ringSize, 8 * channel.blockSize);
  }
  g_StreamBlockCount = 4;
}

TEST(OggStream, OpenRefusesWhatCannotPlay) {
  const auto good = EncodeOgg(1, 8000, Tone(1, 8000, 0.5, 440, 0.5));
  std::vector<uint8_t> damaged = good;
  for (size_t i = 0; i < 200 && i < damaged.size(); ++i) damaged[i] ^= 0x5A;
  platform::LogCapture log;
  EXPECT_FALSE(OpenOgg({})) << "no bytes";
  EXPECT_FALSE(OpenOgg(std::vector<uint8_t>(good.begin(), good.begin() + 60))) << "cut inside the headers";
  EXPECT_FALSE(OpenOgg(damaged)) << "damaged headers";
  EXPECT_FALSE(OpenOgg(EncodeOgg(1, 8000, {}))) << "no samples";
  // Seeks that fail are reported to vorbisfile, which then cannot tell the length: refused.
  EXPECT_FALSE(OpenOgg(good, true)) << "unseekable";
  EXPECT_TRUE(OpenOgg(good));
}

TEST(OggStream, FillDeliversTheDecodedDataThenSilence) {
  const auto ogg = EncodeOgg(2, 11025, Tone(2, 11025, 0.7, 300, 0.4));
  const auto reference = ReferenceDecode(ogg);
  auto control = OpenOgg(ogg);
  ASSERT_TRUE(control);
  ASSERT_EQ(control->GetTotalBytes(), reference.size());
  StreamChannel channel = Channel(control.Get(), false);
  std::vector<uint8_t> out;
  std::vector<uint8_t> block(4000, 0xCC);
  while (!(channel.flags & kChannelEnded)) {
    control->Fill(&channel, block.data(), uint32_t(block.size()));
    out.insert(out.end(), block.begin(), block.end());
    ASSERT_LT(out.size(), reference.size() + 2 * block.size());
  }
  std::vector<uint8_t> expected = reference;
  expected.resize(out.size(), 0);
  EXPECT_EQ(out, expected);
  EXPECT_EQ(control->Fill(&channel, block.data(), uint32_t(block.size())), 0u) << "ended, not looping";
}

TEST(OggStream, ALoopingFillRunsOverTheEndAsOftenAsNeeded) {
  const auto ogg = EncodeOgg(1, 8000, Tone(1, 8000, 0.05, 500, 0.4));  // 400 samples, 800 bytes
  const auto reference = ReferenceDecode(ogg);
  auto control = OpenOgg(ogg);
  ASSERT_TRUE(control);
  StreamChannel channel = Channel(control.Get(), true);
  std::vector<uint8_t> out;
  for (uint32_t size : {10000u, 333u * 2, 5000u}) {  // refills longer and shorter than a pass
    std::vector<uint8_t> chunk(size);
    control->Fill(&channel, chunk.data(), size);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  std::vector<uint8_t> expected;
  while (expected.size() < out.size()) expected.insert(expected.end(), reference.begin(), reference.end());
  expected.resize(out.size());
  EXPECT_EQ(out, expected);
}

TEST(OggStream, DamagedAudioDataEndsInsteadOfHanging) {
  auto ogg = EncodeOgg(1, 8000, Tone(1, 8000, 8.0, 440, 0.5));
  for (size_t i = ogg.size() / 2; i < ogg.size() * 3 / 4; i += 7) ogg[i] ^= 0xA5;
  auto control = OpenOgg(ogg);
  ASSERT_TRUE(control) << "the damage is past the headers (" << ogg.size() << " bytes)";
  StreamChannel channel = Channel(control.Get(), true);
  std::vector<uint8_t> chunk(control->GetTotalBytes() * 3, 0xCC);
  // Returns at all (no endless retry on the damaged pages), says it wrote no more than asked,
  // and leaves nothing of the region as it was: what cannot be decoded becomes silence.
  const uint32_t produced = control->Fill(&channel, chunk.data(), uint32_t(chunk.size()));
  EXPECT_LE(produced, chunk.size());
  const std::vector<uint8_t> untouched(16, 0xCC);  // sound bytes may be 0xCC, but not sixteen in a row
  EXPECT_EQ(std::search(chunk.begin(), chunk.end(), untouched.begin(), untouched.end()), chunk.end())
      << "part of the region was left unwritten";
  // A stream that cannot be decoded to its end still ends: a non-looping fill stops with the
  // ended flag within a bounded number of refills.
  auto once = OpenOgg(ogg);
  ASSERT_TRUE(once);
  StreamChannel single = Channel(once.Get(), false);
  std::vector<uint8_t> block(4000);
  int fills = 0;
  for (; !(single.flags & kChannelEnded) && fills < 1000; ++fills)
    once->Fill(&single, block.data(), uint32_t(block.size()));
  EXPECT_TRUE(single.flags & kChannelEnded) << "still not ended after " << fills << " fills";
}

using OggPlayback = SoundTest;

TEST_F(OggPlayback, PlaysFromAFileAndFromAnArchive) {
  const auto ogg = EncodeOgg(1, 22050, Tone(1, 22050, 3.0, 440, 0.5));
  const auto reference = ReferenceDecode(ogg);
  TempFolder folder;
  const std::u16string file = folder.Write("bgm/theme.ogg", ogg);

  std::vector<uint8_t> packed;
  std::string error;
  pux::ArchiveWriter writer(pux::WriterOptions{});
  ASSERT_TRUE(writer.AddFile(u"bgm/theme.ogg", ogg, false, error)) << error;
  ASSERT_TRUE(writer.AddFile(u"bgm/packed.ogg", std::vector<uint8_t>(8192, 0), true, error)) << error;
  ASSERT_TRUE(writer.Build(packed, error)) << error;
  const std::u16string archivePath = folder.Write("sound.pux", packed);
  ComRef<IArchive> archive(OpenArchive(archivePath));
  ComRef<IArchive> dir(OpenDirArchive(folder.Path()));
  ASSERT_TRUE(archive);
  ASSERT_TRUE(dir);

  struct Case {
    IArchive* archive;
    std::u16string name;
  };
  for (const Case& c :
       {Case{nullptr, file}, Case{dir.Get(), u"BGM\\theme.ogg"}, Case{archive.Get(), u"bgm/THEME.ogg"}}) {
    const int32_t id = Sound::PlayOggStreamLocked(c.archive, c.name.c_str(), -1, 1, 4096, -100, 0);
    ASSERT_GE(id, 1);
    const int32_t channel = 0;
    EXPECT_EQ(Sound::ChannelId(channel), id);
    const uint32_t first = 4 * Sound::GetChannel(channel)->blockSize;
    EXPECT_EQ(Ring(channel, 0, first), std::vector<uint8_t>(reference.begin(), reference.begin() + first));
    Sound::StopStream(id);
    EXPECT_EQ(device->LiveBuffers(), 0u);
  }

  platform::LogCapture log;
  EXPECT_EQ(Sound::PlayOggStreamLocked(archive.Get(), u"bgm/packed.ogg", -1, 0, 4096, 0, 0), -1);
  EXPECT_TRUE(log.Contains(u"Sound member 'bgm/packed.ogg' is stored compressed; streams must be stored\n"))
      << "a compressed member is refused with a clear line";
  EXPECT_EQ(Sound::PlayOggStreamLocked(archive.Get(), u"bgm/none.ogg", -1, 0, 4096, 0, 0), -1);
  EXPECT_EQ(Sound::PlayOggStreamLocked(nullptr, u"/no/such/file.ogg", -1, 0, 4096, 0, 0), -1);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST(StreamReaders, ArchiveAndFileReadersAgreeOnReadsAndSeeks) {
  std::vector<uint8_t> bytes(5000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
  TempFolder folder;
  const std::u16string path = folder.Write("se/data.bin", bytes);
  std::vector<uint8_t> packed;
  std::string error;
  pux::ArchiveWriter writer(pux::WriterOptions{});
  ASSERT_TRUE(writer.AddFile(u"se/data.bin", bytes, false, error));
  ASSERT_TRUE(writer.Build(packed, error));
  ComRef<IArchive> archive(OpenArchive(folder.Write("a.pux", packed)));
  ASSERT_TRUE(archive);

  ComRef<IStreamReader> fileReader(Sound::CreateFileReader());
  ComRef<IStreamReader> archiveReader(Sound::CreateArchiveReader(archive.Get()));
  EXPECT_EQ(archiveReader->Close(), 1u) << "closing a reader with no entry";
  ASSERT_EQ(fileReader->Open(u"/no/such/file"), 0u);
  ASSERT_EQ(archiveReader->Open(u"se/none.bin"), 0u);
  ASSERT_EQ(fileReader->Open(path.c_str()), 1u);
  ASSERT_EQ(fileReader->Open(path.c_str()), 1u) << "opening again closes the first";
  ASSERT_EQ(archiveReader->Open(u"se/data.bin"), 1u);

  for (IStreamReader* reader : {fileReader.Get(), archiveReader.Get()}) {
    SCOPED_TRACE(reader == fileReader.Get() ? "file" : "archive");
    EXPECT_EQ(reader->GetSize(), 5000u);
    std::vector<uint8_t> got(100);
    EXPECT_EQ(reader->Seek(-60, 2), 4940) << "from the end: the byte after the last";
    EXPECT_EQ(reader->Read(got.data(), 100), 60u) << "exactly the bytes left";
    EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + 60),
              std::vector<uint8_t>(bytes.begin() + 4940, bytes.end()));
    EXPECT_EQ(reader->Read(got.data(), 100), 0u) << "at the end";
    EXPECT_EQ(reader->Seek(0, 2), 5000);
    EXPECT_EQ(reader->Tell(), 5000);
    EXPECT_EQ(reader->Seek(10, 0), 10);
    EXPECT_EQ(reader->Seek(5, 1), 15);
    EXPECT_EQ(reader->Read(got.data(), 2), 2u);
    EXPECT_EQ(got[0], bytes[15]);
    EXPECT_EQ(reader->Seek(-1, 0), -1);
    EXPECT_EQ(reader->Seek(0, 3), -1);
    EXPECT_EQ(reader->Close(), 1u);
    EXPECT_EQ(reader->GetSize(), 0u);
    EXPECT_EQ(reader->Read(got.data(), 2), 0u);
  }
}

}  // namespace
}  // namespace sound_test
