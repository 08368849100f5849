// The save dialog over 99 used slots of an in-memory store: the time to open it (list, comment
// and thumbnail of the offered slot) and the time of one selection change.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "lib/sjis.h"
#include "platform/headless/headless.h"
#include "script/dialogs/dialogs.h"
#include "script/dialogs/templates.h"
#include "tests/script/dialogs/memorystore.h"

namespace {

using Action = platform::headless::DialogAction;
using Clock = std::chrono::steady_clock;

struct Bench {
  Bench() : backend(platform::headless::CreateBackend()) {
    for (int32_t n = 1; n <= 99; ++n)
      store.Put(n, WideToSjis(u"第" + std::u16string(1, char16_t(u'０' + n % 10)) + u"章の途中から"));
    SetDialogServices(DialogServices{backend->hdialogs, &store, nullptr});
    g_LastSaveSlot = 40;
  }
  ~Bench() { SetDialogServices(DialogServices{}); }
  std::unique_ptr<platform::headless::HeadlessBackend> backend;
  dialogtest::MemorySlotStore store;
};

void BM_OpenSaveDialog99Slots(benchmark::State& state) {
  Bench b;
  for (auto _ : state) {
    Clock::time_point opened;
    const Clock::time_point start = Clock::now();
    b.backend->hdialogs->Script({Action::Inspect([&](const platform::DialogState&) { opened = Clock::now(); })});
    benchmark::DoNotOptimize(SaveLoadDialog(SAVELOAD_SAVE));
    state.SetIterationTime(std::chrono::duration<double>(opened - start).count());
    b.store.calls.clear();
  }
}
BENCHMARK(BM_OpenSaveDialog99Slots)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(100)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

void BM_ChangeSelection99Slots(benchmark::State& state) {
  Bench b;
  int32_t line = 0;
  for (auto _ : state) {
    Clock::time_point before, after;
    line = (line + 37) % 99;
    if (line == 40) line = 41;  // the offered line: choosing it again changes nothing
    b.backend->hdialogs->Script({Action::Inspect([&](const platform::DialogState&) { before = Clock::now(); }),
                                 Action(Action::Choose, IDC_SLOTLIST, {}, line),
                                 Action::Inspect([&](const platform::DialogState&) { after = Clock::now(); })});
    benchmark::DoNotOptimize(SaveLoadDialog(SAVELOAD_SAVE));
    state.SetIterationTime(std::chrono::duration<double>(after - before).count());
    b.store.calls.clear();
  }
}
BENCHMARK(BM_ChangeSelection99Slots)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(100)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
