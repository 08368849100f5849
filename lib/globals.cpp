// The process-wide objects: the ordered start and stop registry, the pools and the ACT records.
#include "lib/globals.h"

#include <algorithm>
#include <memory>

#include "lib/act.h"
#include "lib/error.h"

namespace {

struct Step {
  int order;
  std::string name;
  std::function<void()> start;
  std::function<void()> stop;
  uint64_t serial;
};

struct PoolSlot {
  const char16_t* name;
  size_t size = 0;  // 0: no user registered a record yet
  size_t alignment = 1;
  std::unique_ptr<MemoryPool> pool;
};

struct Registry {
  std::vector<Step> steps;
  std::vector<Step> started;  // in start order
  uint64_t nextSerial = 0;
  bool isStarted = false;
  bool builtinsAdded = false;
  PoolSlot pools[4] = {{u"expression-node pool", 0, 1, nullptr},
                       {u"argument-cell pool", 0, 1, nullptr},
                       {u"variable pool", 0, 1, nullptr},
                       {u"game-statement pool", 0, 1, nullptr}};
};

// Never destroyed: the tables whose records live in the pools are objects of other files,
// destroyed at exit in an order this file cannot see, and must find their pools still there.
Registry& Reg() {
  static Registry* registry = new Registry;
  return *registry;
}

PoolSlot& Slot(GlobalPool pool) {
  return Reg().pools[static_cast<int>(pool)];
}

void MakePool(GlobalPool pool) {
  PoolSlot& slot = Slot(pool);
  if (slot.size == 0)
    ThrowException(u"lib/globals.cpp", __LINE__, 0, 0,
                   u"%s: no record is registered for it (its users register their records before the pools are built)",
                   slot.name);
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

void RegisterPoolRecord(GlobalPool pool, size_t size, size_t alignment) {
  PoolSlot& slot = Slot(pool);
  const size_t newSize = std::max(slot.size, size);
  const size_t newAlignment = std::max(slot.alignment, alignment);
  const MemoryPool* built = slot.pool.get();
  const bool grows = built && (newSize > built->BlockSize() || newAlignment > built->Alignment());
  if (grows && built->LiveBlocks() != 0)
    ThrowException(u"lib/globals.cpp", __LINE__, 0, 0,
                   u"%s: cannot take %d-byte records while %d of its blocks of %d bytes are in use "
                   u"(register the record before the pools are built)",
                   slot.name, static_cast<int>(size), static_cast<int>(built->LiveBlocks()),
                   static_cast<int>(built->BlockSize()));
  slot.size = newSize;
  slot.alignment = newAlignment;
  if (grows) MakePool(pool);
}

void ClearPoolRecords() {
  for (PoolSlot& slot : Reg().pools) {
    slot.size = 0;
    slot.alignment = 1;
  }
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
