// Benchmarks: every member of a 50 MB archive of zlib members read through the archive, against
// zlib's own uncompress of the same members; LZSS decoding speed; packing folders of many files.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_writer.h"
#include "archive/lzss.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace {

// Pixel-like rows (gradients with noise) and word-like text, alternating by member.
std::vector<uint8_t> MakeMember(size_t size, uint32_t seed) {
  std::vector<uint8_t> out(size);
  uint32_t x = seed * 2654435761u + 7;
  auto next = [&] { return x = x * 1103515245u + 12345u; };
  if (seed % 2 == 0) {
    for (size_t i = 0; i < size; ++i) {
      const size_t col = i % 1024;
      out[i] = static_cast<uint8_t>(col / 4 + (seed * 13) + ((next() >> 16) & 7));
    }
  } else {
    static const char* kWords[] = {"lantern ", "fall ",   "night ",   "the ", "of ",  "and ",
                                   "river ",   "light\n", "「はい」", "。",   "she ", "said "};
    size_t i = 0;
    while (i < size) {
      const char* w = kWords[(next() >> 16) % 12];
      for (; *w && i < size; ++w) out[i++] = static_cast<uint8_t>(*w);
    }
  }
  return out;
}

struct ZlibArchive {
  std::u16string folder;
  ComRef<IArchive> archive;
  std::vector<std::u16string> names;
  std::vector<std::vector<uint8_t>> compressed;
  std::vector<size_t> sizes;
  size_t totalOut = 0;
  size_t totalStored = 0;

  ZlibArchive() {
    pux::ArchiveWriter writer({6, false, false});
    std::string error;
    const size_t memberSize = 320 * 1024;
    for (uint32_t i = 0; totalStored < 50u * 1024 * 1024; ++i) {
      const std::vector<uint8_t> data = MakeMember(memberSize + (i % 7) * 4096, i);
      std::vector<uint8_t> z;
      pux::CompressZlib(data.data(), data.size(), z, 6);
      names.push_back(u"data/m" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                      std::u16string(1, static_cast<char16_t>(u'a' + i / 26)));
      writer.AddEncoded(names.back(), z, static_cast<uint32_t>(data.size()), error);
      sizes.push_back(data.size());
      totalOut += data.size();
      totalStored += z.size();
      compressed.push_back(std::move(z));
    }
    std::vector<uint8_t> bytes;
    writer.Build(bytes, error);
    folder = platform::MakeTempFolder(u"varn-bench-");
    const std::u16string path = folder + u"/bench.pux";
    platform::WriteWholeFileAtomic(path, bytes.data(), bytes.size());
    archive.Attach(OpenArchive(path));
  }
  ~ZlibArchive() {
    archive.Reset();
    platform::RemoveTree(folder);
  }
};

ZlibArchive& Data() {
  static ZlibArchive data;
  return data;
}

void BM_ArchiveMembersVsUncompress(benchmark::State& state) {
  ZlibArchive& d = Data();
  std::vector<uint8_t> out(1 << 21);
  using Clock = std::chrono::steady_clock;
  double archiveSeconds = 0, zlibSeconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (size_t i = 0; i < d.names.size(); ++i) {
      uint32_t size = 0;
      if (!ReadArchiveFile(d.archive.Get(), d.names[i], out.data(), &size)) state.SkipWithError("read failed");
    }
    const auto t1 = Clock::now();
    for (size_t i = 0; i < d.compressed.size(); ++i) {
      uLongf length = static_cast<uLongf>(out.size());
      if (uncompress(out.data(), &length, d.compressed[i].data(), static_cast<uLong>(d.compressed[i].size())) != Z_OK)
        state.SkipWithError("uncompress failed");
    }
    const auto t2 = Clock::now();
    archiveSeconds += std::chrono::duration<double>(t1 - t0).count();
    zlibSeconds += std::chrono::duration<double>(t2 - t1).count();
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.totalOut));
  state.counters["stored_MB"] = static_cast<double>(d.totalStored) / (1 << 20);
  state.counters["archive_MBps"] = static_cast<double>(state.iterations() * d.totalOut) / (1 << 20) / archiveSeconds;
  state.counters["uncompress_MBps"] = static_cast<double>(state.iterations() * d.totalOut) / (1 << 20) / zlibSeconds;
  // Speed of the archive read relative to uncompress alone (1.0 = as fast).
  state.counters["ratio"] = zlibSeconds / archiveSeconds;
}
BENCHMARK(BM_ArchiveMembersVsUncompress)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_LzssDecode(benchmark::State& state) {
  std::vector<uint8_t> data;
  for (uint32_t i = 0; data.size() < (8u << 20); ++i) {
    const std::vector<uint8_t> part = MakeMember(256 * 1024, i);
    data.insert(data.end(), part.begin(), part.end());
  }
  const std::vector<uint8_t> packed = pux::EncodeLzss(data.data(), data.size());
  std::vector<uint8_t> out(data.size());
  for (auto _ : state) {
    const size_t n = DecodeLzss(out.data(), out.size(), packed.data(), packed.size());
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["compressed_ratio"] = static_cast<double>(packed.size()) / static_cast<double>(data.size());
}
BENCHMARK(BM_LzssDecode)->Unit(benchmark::kMillisecond);

// A folder of `count` small files in one directory, made once per count.
struct ManyFiles {
  std::u16string folder;
  explicit ManyFiles(size_t count) {
    folder = platform::MakeTempFolder(u"varn-bench-pack-");
    const std::vector<uint8_t> text = MakeMember(200, 1);
    for (size_t i = 0; i < count; ++i) {
      std::u16string name = u"/f";
      for (char c : std::to_string(i)) name += static_cast<char16_t>(c);
      auto file = platform::File::CreateWrite(folder + name + u".txt");
      if (file) file->Write(text.data(), text.size());
    }
  }
  ~ManyFiles() { platform::RemoveTree(folder); }
};

// Packing time against the number of files (stored, so that compression does not hide it):
// twice the files should take about twice the time.
void BM_PackFolder(benchmark::State& state) {
  const size_t count = static_cast<size_t>(state.range(0));
  ManyFiles files(count);
  pux::PackOptions options;
  options.compress = false;
  for (auto _ : state) {
    std::vector<uint8_t> out;
    std::string error;
    if (!pux::PackFolder(files.folder, options, out, error)) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["files"] = static_cast<double>(count);
  state.counters["time_per_file"] = benchmark::Counter(
      static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PackFolder)->Arg(16384)->Arg(32768)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
