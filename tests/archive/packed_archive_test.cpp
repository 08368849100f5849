// Packed archives: every version and coding round-trips through the writer, lookups follow the
// path rules, damaged indexes are refused, nested archives mount.
#include <algorithm>
#include <cstring>

#include "archive/archive_impl.h"
#include "archive/lzss.h"
#include "archive/scramble.h"
#include "fixture.h"
#include "lib/sjis.h"

namespace {

struct Format {
  const char* label;
  int version;
  bool scramble;
  bool lzss;
};

class PackedArchiveTest : public TempDir, public ::testing::WithParamInterface<Format> {};

TEST_P(PackedArchiveTest, MembersRoundTripAndLookupsFollowThePathRules) {
  const Format f = GetParam();
  pux::ArchiveWriter writer({f.version, f.scramble, f.lzss});
  std::string error;
  const auto text = Bytes("first member\n");
  const auto big = MakeData(300000, 1);
  const auto raw = MakeData(5000, 2);
  ASSERT_TRUE(writer.AddFile(u"a.txt", text, true, error)) << error;
  ASSERT_TRUE(writer.AddFile(u"Dir/Sub/Deep.bin", big, true, error)) << error;
  ASSERT_TRUE(writer.AddFile(u"Dir/empty", {}, true, error)) << error;
  ASSERT_TRUE(writer.AddFile(u"Dir/raw.dat", raw, false, error)) << error;
  std::u16string deep;
  for (int i = 0; i < 24; ++i) deep += u"level" + platform::Utf8ToWide(std::to_string(i)) + u"/";
  ASSERT_TRUE(writer.AddFile(deep + u"leaf", text, true, error)) << error;
  ComRef<IArchive> archive(OpenArchive(Write(u"t.pux", Build(writer))));
  ASSERT_TRUE(archive) << "mounting the " << f.label << " archive";

  EXPECT_EQ(ReadMember(archive.Get(), u"a.txt"), text);
  EXPECT_EQ(ReadMember(archive.Get(), u"Dir/Sub/Deep.bin"), big);
  EXPECT_EQ(ReadMember(archive.Get(), u"dir\\SUB/deep.BIN"), big) << "mixed separators and case";
  EXPECT_EQ(ReadMember(archive.Get(), u"Dir/raw.dat"), raw);
  bool ok = false;
  EXPECT_TRUE(ReadMember(archive.Get(), u"Dir/empty", &ok).empty());
  EXPECT_TRUE(ok) << "an empty member reads as an empty buffer";
  EXPECT_EQ(ReadMember(archive.Get(), deep + u"LEAF"), text) << "24 folders deep";

  EXPECT_TRUE(archive->IsCompressed(u"Dir/Sub/Deep.bin"));
  EXPECT_FALSE(archive->IsCompressed(u"Dir/raw.dat"));
  EXPECT_FALSE(archive->IsCompressed(u"Dir/empty"));
  // A folder exists, but only a file opens; a component before the last names a folder only.
  EXPECT_TRUE(archive->Exists(u"Dir"));
  EXPECT_TRUE(archive->Exists(u"dir\\SUB"));
  EXPECT_FALSE(ComRef<IArchiveFile>(archive->OpenFile(u"Dir/Sub")));
  EXPECT_FALSE(ComRef<ICompressedFile>(archive->OpenCompressed(u"Dir")));
  EXPECT_FALSE(archive->IsCompressed(u"Dir/Sub"));
  EXPECT_TRUE(archive->Exists(u"C:Dir/Sub/Deep.bin")) << "a drive is ignored";
  for (const char16_t* name : {u"a.txt/x", u"Dir/missing", u"nothing"}) ExpectUnresolved(archive.Get(), name);
  for (const std::u16string& name : UnusableNames(u"Dir/Sub", u"Deep.bin")) ExpectUnresolved(archive.Get(), name);

  ArchiveFileList list = archive->ListFiles();
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(std::u16string(list.back().path), deep + u"leaf");
  list.pop_back();
  std::vector<std::u16string> paths;
  for (const auto& r : list) {
    paths.emplace_back(r.path);
    EXPECT_EQ(r.dataOffset % 2048, 0u);
  }
  // Depth first in index order ("Sub" was made first inside "Dir").
  EXPECT_EQ(paths, (std::vector<std::u16string>{u"a.txt", u"Dir/Sub/Deep.bin", u"Dir/empty", u"Dir/raw.dat"}));
  EXPECT_EQ(list[3].storedSize, raw.size());

  ComRef<ICompressedFile> reader(archive->OpenCompressed(u"Dir/Sub/Deep.bin"));
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->GetSize(), big.size());
  EXPECT_EQ(reader->GetStoredSize(), list[1].storedSize);
}

INSTANTIATE_TEST_SUITE_P(Formats, PackedArchiveTest,
                         ::testing::Values(Format{"v5", 5, false, false}, Format{"v5s", 5, true, false},
                                           Format{"v6", 6, false, false}, Format{"v6s", 6, true, false},
                                           Format{"v6lzss", 6, false, true}, Format{"v6lzss_s", 6, true, true}),
                         [](const auto& info) { return std::string(info.param.label); });

using PackedArchive = TempDir;

TEST_F(PackedArchive, OpenArchiveDispatchesOnTheVersionByte) {
  int reports = 0;
  platform::AssertionReport last{};
  auto previous = platform::SetAssertHook([&](const platform::AssertionReport& r) {
    ++reports;
    last = r;
  });
  for (uint8_t version : {4, 7}) {
    std::vector<uint8_t> bytes(64, 0);
    bytes[1] = version;
    EXPECT_FALSE(OpenArchive(Write(u"bad.pux", bytes))) << "version " << int(version);
  }
  EXPECT_EQ(reports, 2);
  EXPECT_STREQ(last.expression, "(\"未対応のPUX形式\",0)");
  EXPECT_STREQ(last.source, "archive");
  EXPECT_EQ(last.line, 1787);
  // Too short to hold the header, or missing: not an archive, and nothing is reported.
  EXPECT_FALSE(OpenArchive(Write(u"one.pux", {0x00})));
  EXPECT_FALSE(OpenArchive(Write(u"zero.pux", {})));
  EXPECT_FALSE(OpenArchive(Path(u"missing.pux")));
  EXPECT_EQ(reports, 2);
  platform::SetAssertHook(previous);
}

// Patches a good unscrambled version 6 index and expects the archive to be refused (or kept).
TEST_F(PackedArchive, DamagedVersion6IndexesAreRefused) {
  pux::ArchiveWriter writer({6, false, false});
  std::string error;
  ASSERT_TRUE(writer.AddFile(u"d/f.txt", Bytes("abc"), false, error));
  ASSERT_TRUE(writer.AddFile(u"g.txt", Bytes("xyz"), false, error));
  const std::vector<uint8_t> good = Build(writer);
  // Entries: 0 root, 1 "d", 2 "g.txt", 3 "d/f.txt"; the name table follows 4 entries.
  auto put32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  const size_t names = 8 + 16 * 4;
  const uint32_t namesSize = good[4] | good[5] << 8;
  auto word0 = [](const std::vector<uint8_t>& b, size_t entry) {
    return static_cast<uint32_t>(b[8 + 16 * entry] | b[8 + 16 * entry + 1] << 8);
  };
  // "g.txt" takes the name offset of "f.txt".
  auto shareName = [&](std::vector<uint8_t>& b) { put32(b, 8 + 16 * 2, word0(b, 3)); };
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> patch;
    bool opens;
  };
  const Case cases[] = {
      {"no entries", [](auto& b) { b[2] = b[3] = 0; }, false},
      {"child range past the index", [&](auto& b) { put32(b, 8 + 16 * 1 + 12, 5); }, false},
      {"first child past the index", [&](auto& b) { put32(b, 8 + 16 * 1 + 4, 0xFFFFFFF0u); }, false},
      {"range holding an ancestor", [&](auto& b) { put32(b, 8 + 16 * 1 + 4, 0); }, false},
      {"root holding itself", [&](auto& b) { put32(b, 8 + 4, 0); }, false},
      {"name table larger than the file", [&](auto& b) { put32(b, 4, 0x7FFFFFF0u); }, false},
      {"name offset outside the table", [&](auto& b) { put32(b, 8 + 16 * 2, namesSize + 3); }, false},
      {"cut inside the entries", [&](auto& b) { b.resize(8 + 16 * 2); }, false},
      {"unterminated last name", [&](auto& b) { b[names + namesSize - 1] = 'x'; }, false},
      {"empty directory whose first child lies past the index",
       [&](auto& b) {
         put32(b, 8 + 16 * 2, word0(b, 2) | 0x80000000u);  // "g.txt" becomes a folder of nothing
         put32(b, 8 + 16 * 2 + 4, 0xFFFFFFF0u);
         put32(b, 8 + 16 * 2 + 12, 0);
       },
       true},
      {"two entries sharing a name", shareName, true},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good;
    c.patch(bytes);
    ComRef<IArchive> archive(OpenArchive(Write(u"d.pux", bytes)));
    EXPECT_EQ(static_cast<bool>(archive), c.opens) << c.what;
    if (archive) {
      for (const auto& r : archive->ListFiles()) ReadMember(archive.Get(), r.path);
    }
  }
  {
    // A shared name is each entry's own copy: both "g.txt" and "d/f.txt" now answer to "f.txt".
    std::vector<uint8_t> bytes = good;
    shareName(bytes);
    ComRef<IArchive> archive(OpenArchive(Write(u"s.pux", bytes)));
    ASSERT_TRUE(archive);
    EXPECT_EQ(ReadMember(archive.Get(), u"f.txt"), Bytes("xyz"));
    EXPECT_EQ(ReadMember(archive.Get(), u"d/f.txt"), Bytes("abc"));
  }
}

TEST_F(PackedArchive, ADeepTreeOfLongNamesListsWithItsPathsCut) {
  // 5000 folders one inside the other, all sharing one 1000-character name, and a file at the
  // bottom: its whole path would take 5 million characters, and every level's prefix as much.
  const size_t depth = 5000, count = depth + 2;
  const std::string name(1000, 'n');
  std::vector<uint8_t> b(8 + 16 * count + name.size() + 1, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[1] = 6;
  b[2] = count & 0xFF;
  b[3] = static_cast<uint8_t>(count >> 8);
  put32(4, static_cast<uint32_t>(name.size() + 1));
  for (size_t i = 0; i <= depth; ++i) {  // the root and the folders: one child each, the next entry
    put32(8 + 16 * i, 0x80000000u);
    put32(8 + 16 * i + 4, static_cast<uint32_t>(i + 1));
    put32(8 + 16 * i + 12, 1);
  }
  std::copy(name.begin(), name.end(), b.begin() + 8 + 16 * count);
  ComRef<IArchive> archive(OpenArchive(Write(u"deep.pux", b)));
  ASSERT_TRUE(archive);
  const ArchiveFileList list = archive->ListFiles();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(std::u16string(list[0].path), std::u16string(259, u'n')) << "cut where the record ends";
}

TEST_F(PackedArchive, DamagedVersion5IndexesAreRefused) {
  pux::ArchiveWriter writer({5, false, false});
  std::string error;
  ASSERT_TRUE(writer.AddFile(u"d/f.txt", Bytes("abc"), false, error));
  const std::vector<uint8_t> good = Build(writer);
  ASSERT_TRUE(ComRef<IArchive>(OpenArchive(Write(u"ok.pux", good))));
  EXPECT_EQ(good[4 + 32], 'd' | 0x80) << "bit 7 of the first name byte marks a directory";
  EXPECT_EQ(good[4 + 32 + 28], 1) << "its children";
  std::vector<uint8_t> cut(good.begin(), good.begin() + 4 + 32 * 2);
  EXPECT_FALSE(ComRef<IArchive>(OpenArchive(Write(u"cut.pux", cut)))) << "records cut short";
  std::vector<uint8_t> loop = good;
  loop[4 + 32 + 20] = 0;  // "d" lists the root as its child
  EXPECT_FALSE(ComRef<IArchive>(OpenArchive(Write(u"loop.pux", loop)))) << "a cycle";
}

TEST_F(PackedArchive, DeclaredSizesBeyondTheFileGiveNothing) {
  pux::ArchiveWriter writer({6, false, false});
  std::string error;
  const auto data = MakeData(20000, 3);
  ASSERT_TRUE(writer.AddFile(u"flat", data, false, error));
  ASSERT_TRUE(writer.AddFile(u"zip", data, true, error));
  std::vector<uint8_t> bytes = Build(writer);
  // Entry 1 "flat": stored size far beyond the file; entry 2 "zip": an absurd uncompressed size.
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(8 + 16 + 8, 0xFFFFFF00u);
  put32(8 + 32 + 12, 0xFFFFFF00u);
  ComRef<IArchive> archive(OpenArchive(Write(u"big.pux", bytes)));
  ASSERT_TRUE(archive);
  bool ok = true;
  ReadMember(archive.Get(), u"flat", &ok);
  EXPECT_FALSE(ok) << "a stored size past the end of the file";
  ReadMember(archive.Get(), u"zip", &ok);
  EXPECT_FALSE(ok) << "an uncompressed size no coding can reach";
  // The window still reads what the file holds.
  ComRef<IArchiveFile> file(archive->OpenFile(u"flat"));
  std::vector<uint8_t> got(bytes.size());
  EXPECT_EQ(file->Read(got.data(), got.size()), bytes.size() - archive->ListFiles()[0].dataOffset);
}

TEST_F(PackedArchive, DamagedCompressedMembersGiveNothingAndStayInTheirBuffer) {
  const auto data = MakeData(70000, 4);
  std::vector<uint8_t> z;
  ASSERT_TRUE(pux::CompressZlib(data.data(), data.size(), z));
  std::vector<uint8_t> noEnd(z.begin(), z.end() - 6);
  std::vector<uint8_t> garbage = z;
  for (size_t i = 10; i < 60; ++i) garbage[i] ^= 0x5A;
  const std::vector<uint8_t> lz = pux::EncodeLzss(data.data(), data.size());
  const std::vector<uint8_t> lzCut(lz.begin(), lz.begin() + lz.size() / 2);
  struct Case {
    const char16_t* name;
    bool lzss;
    const std::vector<uint8_t>* stored;
    uint32_t declared;
  };
  const Case cases[] = {
      {u"zlib_declared_less", false, &z, 69999},  // the data holds more
      {u"zlib_declared_more", false, &z, 70001},  // the stream ends early
      {u"zlib_no_end", false, &noEnd, 70000},    {u"zlib_garbage", false, &garbage, 70000},
      {u"lzss_declared_less", true, &lz, 69999}, {u"lzss_declared_more", true, &lz, 70001},
      {u"lzss_cut", true, &lzCut, 70000},
  };
  pux::ArchiveWriter zlibWriter({6, false, false}), lzssWriter({6, false, true});
  std::string error;
  ASSERT_TRUE(zlibWriter.AddEncoded(u"ok", z, 70000, error));
  ASSERT_TRUE(lzssWriter.AddEncoded(u"ok", lz, 70000, error));
  for (const Case& c : cases)
    ASSERT_TRUE((c.lzss ? lzssWriter : zlibWriter).AddEncoded(c.name, *c.stored, c.declared, error)) << error;
  ComRef<IArchive> zlibArchive(OpenArchive(Write(u"z.pux", Build(zlibWriter))));
  ComRef<IArchive> lzssArchive(OpenArchive(Write(u"l.pux", Build(lzssWriter))));
  ASSERT_TRUE(zlibArchive && lzssArchive);
  EXPECT_EQ(ReadMember(zlibArchive.Get(), u"ok"), data);
  EXPECT_EQ(ReadMember(lzssArchive.Get(), u"ok"), data);
  for (const Case& c : cases) {
    IArchive* archive = c.lzss ? lzssArchive.Get() : zlibArchive.Get();
    const std::string shown = platform::WideToUtf8(c.name);
    bool ok = true;
    ReadMember(archive, c.name, &ok);
    EXPECT_FALSE(ok) << shown;
    // The reader itself gives 0, not the bytes it managed, and writes nothing past the member's
    // size into an exact-size buffer (the guard bytes after it stay).
    ComRef<ICompressedFile> reader(archive->OpenCompressed(c.name));
    ASSERT_TRUE(reader) << shown;
    ASSERT_EQ(reader->GetSize(), c.declared) << shown;
    std::vector<uint8_t> room(c.declared + 16, 0xA5);
    EXPECT_EQ(reader->Read(room.data()), 0u) << shown;
    EXPECT_TRUE(std::all_of(room.end() - 16, room.end(), [](uint8_t b) { return b == 0xA5; })) << shown;
  }
}

// A zlib stream of stored blocks of exactly the given total size (header, blocks, Adler-32).
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out{0x78, 0x01};
  size_t at = 0;
  do {
    const size_t n = std::min<size_t>(60000, data.size() - at);
    const bool last = at + n == data.size();
    out.push_back(last ? 1 : 0);
    out.push_back(n & 0xFF);
    out.push_back(n >> 8);
    out.push_back(~n & 0xFF);
    out.push_back((~n >> 8) & 0xFF);
    out.insert(out.end(), data.begin() + at, data.begin() + at + n);
    at += n;
  } while (at < data.size());
  uint32_t a = 1, b = 0;
  for (uint8_t c : data) {
    a = (a + c) % 65521;
    b = (b + a) % 65521;
  }
  const uint32_t adler = b << 16 | a;
  for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(adler >> s));
  return out;
}

// "m<size>", built by appending (g++'s -O3 overlap warning fires on literal + string).
std::u16string MemberName(size_t size) {
  std::u16string name(u"m");
  name += platform::Utf8ToWide(std::to_string(size));
  return name;
}

TEST_F(PackedArchive, ZlibMembersAroundTheStreamingBoundary) {
  // Three stored blocks of at most 60000 bytes cost 21 bytes: 131051 bytes make a 131072-byte stream.
  struct Case {
    size_t dataSize;
    size_t storedSize;
  };
  const Case cases[] = {{131050, 131071}, {131051, 131072}, {5 * 32768, 5 * 32768 + 21}, {200001, 200001 + 26}};
  pux::ArchiveWriter writer({6, false, false});
  std::string error;
  std::vector<std::vector<uint8_t>> datas;
  for (const Case& c : cases) {
    datas.push_back(MakeData(c.dataSize, static_cast<uint32_t>(c.dataSize)));
    const auto z = StoredZlib(datas.back());
    ASSERT_EQ(z.size(), c.storedSize);
    ASSERT_TRUE(writer.AddEncoded(MemberName(c.dataSize), z, static_cast<uint32_t>(c.dataSize), error));
  }
  // The largest stream again, declared one byte short (the streaming path must stop at the room)
  // and one byte long (the stream ends before the member does): both damaged, both 0.
  ASSERT_TRUE(writer.AddEncoded(u"short", StoredZlib(datas.back()), 200000, error));
  ASSERT_TRUE(writer.AddEncoded(u"long", StoredZlib(datas.back()), 200002, error));
  ComRef<IArchive> archive(OpenArchive(Write(u"b.pux", Build(writer))));
  ASSERT_TRUE(archive);
  for (const char16_t* name : {u"short", u"long"}) {
    ComRef<ICompressedFile> reader(archive->OpenCompressed(name));
    ASSERT_TRUE(reader);
    std::vector<uint8_t> exact(reader->GetSize());
    EXPECT_EQ(reader->Read(exact.data()), 0u) << platform::WideToUtf8(name);
  }
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::u16string name = MemberName(cases[i].dataSize);
    ComRef<ICompressedFile> reader(archive->OpenCompressed(name));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->GetStoredSize(), cases[i].storedSize);
    std::vector<uint8_t> out(cases[i].dataSize);
    EXPECT_EQ(reader->Read(out.data()), cases[i].dataSize) << "stored " << cases[i].storedSize;
    EXPECT_EQ(out, datas[i]);
  }
}

TEST_F(PackedArchive, Version5NamesAndTheRecordScrambling) {
  pux::ArchiveWriter plain({5, false, false}), scrambled({5, true, false});
  std::string error;
  for (auto* w : {&plain, &scrambled}) {
    ASSERT_TRUE(w->AddFile(u"ab", Bytes("two"), false, error));
    ASSERT_TRUE(w->AddFile(u"abcdefghijklmnopqrst", Bytes("twenty"), false, error));
  }
  const auto a = Build(plain), b = Build(scrambled);
  // Three records: the key restarts at byte 60 of the record area, not at each record.
  ASSERT_EQ(a[2], 3);
  for (size_t i = 0; i < 96; ++i)
    ASSERT_EQ(a[4 + i] ^ b[4 + i], static_cast<uint8_t>(pux::kRecordKey5 + i % 60)) << "byte " << i;
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(std::string(a.begin() + 4 + 32, a.begin() + 4 + 52), "ab                  ");
  ComRef<IArchive> archive(OpenArchive(Write(u"v5.pux", b)));
  ASSERT_TRUE(archive);
  EXPECT_EQ(ReadMember(archive.Get(), u"AB"), Bytes("two"));
  EXPECT_EQ(ReadMember(archive.Get(), u"ABCDEFGHIJKLMNOPQRST"), Bytes("twenty"));
  EXPECT_FALSE(archive->Exists(u"abcdefghijklmnopqrs"));
}

TEST_F(PackedArchive, Version6EntryAndNameScrambling) {
  pux::ArchiveWriter plain({6, false, false}), scrambled({6, true, false});
  std::string error;
  for (auto* w : {&plain, &scrambled}) {
    ASSERT_TRUE(w->AddFile(u"dir/first.txt", Bytes("1"), false, error));
    ASSERT_TRUE(w->AddFile(u"second.txt", Bytes("2"), false, error));
  }
  const auto a = Build(plain), b = Build(scrambled);
  const size_t count = a[2], names = a[4] | a[5] << 8;
  ASSERT_EQ(count, 4u);
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(std::vector<uint8_t>(a.begin() + 1, a.begin() + 8), std::vector<uint8_t>(b.begin() + 1, b.begin() + 8))
      << "the header is never scrambled";
  // The entry key restarts at every 16-byte entry and rises; the name key runs down the table.
  for (size_t i = 0; i < 16 * count; ++i)
    ASSERT_EQ(a[8 + i] ^ b[8 + i], static_cast<uint8_t>(pux::kEntryKey6 + i % 16)) << "entry byte " << i;
  for (size_t i = 0; i < names; ++i) {
    const size_t at = 8 + 16 * count + i;
    ASSERT_EQ(a[at] ^ b[at], static_cast<uint8_t>(pux::kNameKey6 - i)) << "name byte " << i;
  }
  // The layout as stored: entries 0 root, 1 "dir", 2 "second.txt", 3 "dir/first.txt".
  auto word = [&](size_t entry, size_t field) {
    const size_t at = 8 + 16 * entry + 4 * field;
    return static_cast<uint32_t>(a[at] | a[at + 1] << 8 | a[at + 2] << 16 | static_cast<uint32_t>(a[at + 3]) << 24);
  };
  auto nameAt = [&](uint32_t offset) {
    return std::string(reinterpret_cast<const char*>(&a[8 + 16 * count + offset]));
  };
  EXPECT_EQ(word(1, 0) >> 31, 1u) << "bit 31 marks a directory";
  EXPECT_EQ(nameAt(word(1, 0) & 0x7FFFFFFF), "dir");
  EXPECT_EQ(word(1, 1), 3u) << "first child";
  EXPECT_EQ(word(1, 3), 1u) << "children";
  EXPECT_EQ(word(2, 0) >> 31, 0u);
  EXPECT_EQ(nameAt(word(2, 0)), "second.txt");
  EXPECT_EQ(word(2, 1), 1u) << "the first data sector follows the index";
  EXPECT_EQ(word(2, 2), 1u) << "stored size";
  EXPECT_EQ(word(2, 3), 0u) << "stored, not compressed";
  EXPECT_EQ(a[2048], '2');
  ComRef<IArchive> archive(OpenArchive(Write(u"s6.pux", b)));
  ASSERT_TRUE(archive);
  EXPECT_EQ(ReadMember(archive.Get(), u"DIR/first.txt"), Bytes("1"));
}

TEST_F(PackedArchive, WriterRefusesNamesTheFormatCannotHold) {
  struct Case {
    int version;
    std::u16string path;
  };
  const Case cases[] = {{5, u"abcdefghijklmnopqrstu"},
                        {5, u"has space"},
                        {5, u"ア.txt"},
                        {5, u"dir x/f"},
                        {6, u"emoji\U0001F600"},
                        {6, u"A/b"},
                        {6, u"../../evil.txt"},
                        {6, u"..\\..\\evil.txt"},
                        {6, u"a/./b"},
                        {6, u"a/../b"},
                        {6, u"a/.."},
                        {6, u"a//b"},
                        {6, u"/a"},
                        {6, u"a/"},
                        {6, u""},
                        {6, std::u16string(256, u'n')},                                     // name too long
                        {6, std::u16string(255, u'd') + u"/f"},                             // folders too long
                        {6, std::u16string(200, u'd') + u"/" + std::u16string(59, u'n')}};  // 260 in all
  for (const Case& c : cases) {
    pux::ArchiveWriter writer({c.version, false, false});
    std::string error;
    ASSERT_TRUE(writer.AddFile(u"a/B", Bytes("1"), false, error));
    EXPECT_FALSE(writer.AddFile(c.path, Bytes("x"), false, error)) << platform::WideToUtf8(c.path);
    EXPECT_NE(error.find('\''), std::string::npos) << "the message names the file: " << error;
  }
  // Version 6 holds long and Japanese names, matched whole in directory components.
  pux::ArchiveWriter writer({6, true, false});
  std::string error;
  const std::u16string longDir(40, u'x');
  ASSERT_TRUE(writer.AddFile(longDir + u"/音楽/テーマ 曲.txt", Bytes("jp"), true, error)) << error;
  ComRef<IArchive> archive(OpenArchive(Write(u"jp.pux", Build(writer))));
  ASSERT_TRUE(archive);
  EXPECT_EQ(ReadMember(archive.Get(), std::u16string(40, u'X') + u"\\音楽\\テーマ 曲.TXT"), Bytes("jp"));
  EXPECT_FALSE(archive->Exists(std::u16string(39, u'x') + u"/音楽/テーマ 曲.txt"));

  // The longest paths that a lookup and a listing take are written and found again.
  pux::ArchiveWriter longest({6, false, false});
  const std::u16string longName(255, u'n');
  const std::u16string longPath = std::u16string(254, u'd') + u"/" + std::u16string(4, u'f');
  ASSERT_TRUE(longest.AddFile(longName, Bytes("name"), false, error)) << error;
  ASSERT_TRUE(longest.AddFile(longPath, Bytes("path"), false, error)) << error;
  ComRef<IArchive> wide(OpenArchive(Write(u"long.pux", Build(longest))));
  ASSERT_TRUE(wide);
  EXPECT_EQ(ReadMember(wide.Get(), longName), Bytes("name"));
  EXPECT_EQ(ReadMember(wide.Get(), longPath), Bytes("path"));
  std::vector<std::u16string> listed;
  for (const auto& r : wide->ListFiles()) listed.emplace_back(r.path);
  EXPECT_EQ(listed, (std::vector<std::u16string>{longName, longPath}));
}

TEST_F(PackedArchive, NestedArchivesMountAtTheirMembersSector) {
  for (int version : {5, 6}) {
    pux::ArchiveWriter inner({version, true, false});
    std::string error;
    const auto deep = MakeData(50000, 9);
    ASSERT_TRUE(inner.AddFile(u"in/deep.bin", deep, true, error));
    pux::ArchiveWriter outer({version, false, false});
    ASSERT_TRUE(outer.AddFile(u"first.txt", Bytes("x"), false, error));
    ASSERT_TRUE(outer.AddFile(u"sub/inner.pux", Build(inner), false, error));
    ComRef<IArchive> archive(OpenArchive(Write(u"outer.pux", Build(outer))));
    ASSERT_TRUE(archive);
    ComRef<IArchive> nested(archive->OpenArchive(u"SUB/inner.pux"));
    ASSERT_TRUE(nested) << "version " << version;
    archive.Reset();  // the nested archive stands alone
    EXPECT_EQ(ReadMember(nested.Get(), u"in/deep.bin"), deep);
    const auto list = nested->ListFiles();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].dataOffset, 2048u) << "sectors count from the nested archive's start";
    auto* packed = dynamic_cast<pux::CPackedArchive*>(nested.Get());
    ASSERT_TRUE(packed);
    EXPECT_EQ(packed->BaseOffset(), 2 * 2048u) << "index, first.txt, then the nested archive";
  }
}

// Sets word 1 to 3 (first child or sector, stored size, count) of an entry of an unscrambled index.
void PutEntryWord(std::vector<uint8_t>& b, int version, size_t entry, size_t word, uint32_t v) {
  const size_t at = version == 5 ? 4 + 32 * entry + 16 + 4 * word : 8 + 16 * entry + 4 * word;
  for (int i = 0; i < 4; ++i) b.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

TEST_F(PackedArchive, NestedArchivesThatPointBackAreRefused) {
  for (int version : {5, 6}) {
    pux::ArchiveWriter inner({version, false, false});
    std::string error;
    ASSERT_TRUE(inner.AddFile(u"in.txt", Bytes("inside"), false, error));
    pux::ArchiveWriter outer({version, false, false});
    ASSERT_TRUE(outer.AddFile(u"x.pux", Build(inner), false, error));  // entry 1, at sector 1
    const std::vector<uint8_t> good = Build(outer);
    struct Case {
      const char* what;
      std::function<void(std::vector<uint8_t>&)> patch;
      bool opens;
    };
    std::vector<Case> cases = {
        {"where it was written", [](auto&) {}, true},
        // The parent itself, found again inside itself: without the check, 10,000 levels deep.
        {"at its parent's own start", [&](auto& b) { PutEntryWord(b, version, 1, 1, 0); }, false},
    };
    if (version == 6) {
      // The parent's name table made to run over the member: the bytes are a good archive, but
      // one that lies inside its parent's index.
      cases.push_back({"inside its parent's index",
                       [](auto& b) {
                         const uint32_t names = 2048 + 100 - (8 + 16 * 2);
                         for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(names >> (8 * i));
                       },
                       false});
    }
    for (const Case& c : cases) {
      std::vector<uint8_t> bytes = good;
      c.patch(bytes);
      ComRef<IArchive> archive(OpenArchive(Write(u"n.pux", bytes)));
      ASSERT_TRUE(archive) << c.what;
      ComRef<IArchive> nested(archive->OpenArchive(u"x.pux"));
      EXPECT_EQ(static_cast<bool>(nested), c.opens) << "version " << version << ": " << c.what;
      if (nested) {
        EXPECT_EQ(ReadMember(nested.Get(), u"in.txt"), Bytes("inside"));
      }
    }

    // Every sector holds the same index, whose member lies one sector on: each level starts
    // further into the file, so the chain ends at the file's end.
    pux::ArchiveWriter step({version, false, false});
    ASSERT_TRUE(step.AddEncoded(u"x.pux", std::vector<uint8_t>(2048, 0), 0, error));
    const std::vector<uint8_t> one = Build(step);
    std::vector<uint8_t> chain;
    for (int k = 0; k < 6; ++k) chain.insert(chain.end(), one.begin(), one.begin() + 2048);
    ComRef<IArchive> level(OpenArchive(Write(u"chain.pux", chain)));
    ASSERT_TRUE(level);
    int levels = 0;
    while (ComRef<IArchive> next{level->OpenArchive(u"x.pux")}) {
      level = std::move(next);
      ASSERT_LT(++levels, 10) << "version " << version;
    }
    EXPECT_EQ(levels, 5) << "version " << version << ": one level for each sector after the first";
  }
}

TEST_F(PackedArchive, ReadArchiveTextFileTerminatesAndFillsAGivenBuffer) {
  pux::ArchiveWriter writer({6, false, true});
  std::string error;
  const std::string script = std::string(3000, 'm') + "end";
  ASSERT_TRUE(writer.AddFile(u"s.txt", Bytes(script), true, error));
  ASSERT_TRUE(writer.AddFile(u"e.txt", {}, true, error));
  ComRef<IArchive> archive(OpenArchive(Write(u"t.pux", Build(writer))));
  ASSERT_TRUE(archive);
  uint32_t size = 0;
  ArchiveBuffer text(static_cast<uint8_t*>(ReadArchiveTextFile(archive.Get(), u"s.txt", nullptr, &size)));
  ASSERT_TRUE(text);
  EXPECT_EQ(size, script.size());
  EXPECT_STREQ(reinterpret_cast<const char*>(text.get()), script.c_str());
  std::vector<uint8_t> own(script.size() + 1, 0xCC);
  EXPECT_EQ(ReadArchiveTextFile(archive.Get(), u"s.txt", own.data(), nullptr), own.data());
  EXPECT_EQ(own.back(), 0);
  // An empty member is one zero byte of text and a size of 0.
  size = 0xDEAD;
  ArchiveBuffer empty(static_cast<uint8_t*>(ReadArchiveTextFile(archive.Get(), u"e.txt", nullptr, &size)));
  ASSERT_TRUE(empty);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(empty.get()[0], 0);
  EXPECT_EQ(ReadArchiveFile(archive.Get(), u"none", nullptr, &size), nullptr);
  EXPECT_EQ(ReadArchiveFile(nullptr, u"s.txt", nullptr, &size), nullptr);
}

}  // namespace
