// The process-wide objects: the ordered start and stop registry, the pools and the ACT records.
#include "lib/globals.h"

#include <algorithm>
#include <memory>

#include "lib/act.h"

namespace {

struct Step {
  int order;
  std::string name;
  std::function<void()> start;
  std::function<void()> stop;
  uint64_t serial;
};

struct PoolSlot {
  size_t size;
  size_t alignment;
  std::unique_ptr<MemoryPool> pool;
};

struct Registry {
  std::vector<Step> steps;
  std::vector<Step> started;  // in start order
  uint64_t nextSerial = 0;
  bool isStarted = false;
  bool builtinsAdded = false;
  // The 32-bit records held 24, 12, 16 and 32 bytes; doubled, every pointer-sized field fits.
  PoolSlot pools[4] = {{48, 8, nullptr}, {24, 8, nullptr}, {32, 8, nullptr}, {64, 8, nullptr}};
};

Registry& Reg() {
  static Registry registry;
  return registry;
}

PoolSlot& Slot(GlobalPool pool) {
  return Reg().pools[static_cast<int>(pool)];
}

void MakePool(GlobalPool pool) {
  PoolSlot& slot = Slot(pool);
  slot.pool = std::make_unique<MemoryPool>(slot.size, kGlobalPoolBlocks, slot.alignment);
}

void DropPool(GlobalPool pool) {
  Slot(pool).pool.reset();
}

void AddStep(Registry& r, Step step) {
  step.serial = r.nextSerial++;
  auto it = std::find_if(r.steps.begin(), r.steps.end(), [&](const Step& s) { return s.name == step.name; });
  if (it != r.steps.end())
    *it = std::move(step);
  else
    r.steps.push_back(std::move(step));
}

void AddBuiltins(Registry& r) {
  if (r.builtinsAdded) return;
  r.builtinsAdded = true;
  auto pool = [&](int order, const char* name, GlobalPool p) {
    AddStep(r, Step{order, name, [p] { MakePool(p); }, [p] { DropPool(p); }, 0});
  };
  pool(kGlobalExprPool, "expression-node pool", GlobalPool::Expr);
  pool(kGlobalArgPool, "argument-cell pool", GlobalPool::Arg);
  pool(kGlobalVarPool, "variable pool", GlobalPool::Var);
  pool(kGlobalStatePool, "game-statement pool", GlobalPool::State);
  AddStep(r, Step{kGlobalACTRecords, "ACT records", [] { ResetACTRecords(); }, [] { ResetACTRecords(); }, 0});
}

void StopStarted(Registry& r) {
  while (!r.started.empty()) {
    Step step = std::move(r.started.back());
    r.started.pop_back();
    if (step.stop) step.stop();
  }
}

}  // namespace

void AddGlobalStep(int order, const std::string& name, std::function<void()> start, std::function<void()> stop) {
  Registry& r = Reg();
  AddBuiltins(r);
  Step step{order, name, std::move(start), std::move(stop), 0};
  if (r.isStarted) {
    if (step.start) step.start();
    r.started.push_back(step);
  }
  AddStep(r, std::move(step));
}

void RemoveGlobalStep(const std::string& name) {
  Registry& r = Reg();
  std::erase_if(r.steps, [&](const Step& s) { return s.name == name; });
}

void StartGlobals() {
  Registry& r = Reg();
  AddBuiltins(r);
  if (r.isStarted) return;
  std::vector<Step> order = r.steps;
  std::stable_sort(order.begin(), order.end(), [](const Step& a, const Step& b) {
    return a.order != b.order ? a.order < b.order : a.serial < b.serial;
  });
  try {
    for (Step& step : order) {
      if (step.start) step.start();
      r.started.push_back(step);
    }
  } catch (...) {
    StopStarted(r);
    throw;
  }
  r.isStarted = true;
}

void StopGlobals() {
  Registry& r = Reg();
  StopStarted(r);
  r.isStarted = false;
}

void ResetGlobals() {
  StopGlobals();
  StartGlobals();
}

bool GlobalsStarted() {
  return Reg().isStarted;
}

std::vector<std::string> StartedGlobals() {
  std::vector<std::string> names;
  for (const Step& s : Reg().started) names.push_back(s.name);
  return names;
}

void SetPoolRecord(GlobalPool pool, size_t size, size_t alignment) {
  PoolSlot& slot = Slot(pool);
  slot.size = size;
  slot.alignment = alignment;
  // A pool already made keeps serving its blocks until the next start.
}

namespace {

MemoryPool& PoolOf(GlobalPool pool) {
  PoolSlot& slot = Slot(pool);
  if (!slot.pool) MakePool(pool);
  return *slot.pool;
}

}  // namespace

MemoryPool& g_ExprPool() {
  return PoolOf(GlobalPool::Expr);
}
MemoryPool& g_ArgPool() {
  return PoolOf(GlobalPool::Arg);
}
MemoryPool& g_VarPool() {
  return PoolOf(GlobalPool::Var);
}
MemoryPool& g_StatePool() {
  return PoolOf(GlobalPool::State);
}
