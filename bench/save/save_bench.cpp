// Benchmarks of the save store: a slot saved and loaded (header with thumbnail and resume buffers,
// 500 variables) including the commit, on disk (the build folder) and on a tmpfs (/dev/shm), the
// median of 100 runs each; and the size of the file once all 99 slots are used.
#include <benchmark/benchmark.h>

#include <string>

#include "dxdraw/surface.h"
#include "lib/sjis.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/log.h"
#include "script/executor.h"
#include "script/save/slots.h"
#include "script/scene.h"
#include "textscript/variables.h"

namespace {

// The state a save takes: a composed background, five resume buffers and 500 variables.
struct SaveScene {
  SaveScene() {
    platform::SetLogSink([](std::u16string_view) {});
    RegisterGameScriptGlobals();
    g_BackgroundSurface = static_cast<DxDraw::DxSurface32*>(DxDraw::CreateSurface(32));
    g_BackgroundSurface->Create(800, 600);
    g_BackgroundSurface->Fill(nullptr, 0x336699, 255);
    SetSceneState(SCENE_BACKGROUND, SCENE_BG_PICTURE, u"BG01A");
    SetSceneState(SCENE_CHARACTERS, SCENE_CHL_SHOWN, u"CH01B");
    SetSceneState(SCENE_BGM, SCENE_BGM_PLAYING, u"BGM03");
    SetSceneState(SCENE_SE1, SCENE_SE_LOOP, u"RAIN");
    SetSceneState(SCENE_SE2, SCENE_SE_ONCE, u"DOOR");
    g_SavedVariables.Clear();
    for (int i = 0; i < 500; ++i) g_SavedVariables.Set(u"FLAG" + SjisToWide(std::to_string(i)), i * 7);
  }
};

// A fresh folder: in the build folder ("disk") or on /dev/shm ("tmpfs").
std::u16string Folder(bool tmpfs) {
  static SaveScene scene;
  const std::u16string base = tmpfs ? u"/dev/shm" : SjisToWide(VARN_BINARY_DIR);
  const std::u16string folder = base + u"/varn-save-bench";
  platform::RemoveTree(folder);
  platform::EnsureFolder(folder);
  SetSaveFolder(folder);
  return folder;
}

void BM_SaveSlot(benchmark::State& state) {
  const std::u16string folder = Folder(state.range(0) != 0);
  SaveSlot(1, "bench");
  for (auto _ : state) SaveSlot(1, "bench");
  platform::RemoveTree(folder);
}

void BM_LoadSlot(benchmark::State& state) {
  const std::u16string folder = Folder(state.range(0) != 0);
  SaveSlot(1, "bench");
  for (auto _ : state) LoadSlot(1);
  platform::RemoveTree(folder);
}

void BM_FileSizeAfter99Slots(benchmark::State& state) {
  const std::u16string folder = Folder(true);
  for (auto _ : state)
    for (int32_t slot = 1; slot <= kSlotCount; ++slot) SaveSlot(slot, "bench");
  std::vector<uint8_t> bytes;
  platform::ReadWholeFile(folder + u"/save.dat", bytes);
  state.counters["file_bytes"] = double(bytes.size());
  platform::RemoveTree(folder);
}

// Argument 0: on disk; 1: on a tmpfs. One save or load per run, 100 runs, the median reported.
BENCHMARK(BM_SaveSlot)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Repetitions(100)
    ->ReportAggregatesOnly(true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSlot)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Repetitions(100)
    ->ReportAggregatesOnly(true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileSizeAfter99Slots)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
