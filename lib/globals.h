// The process-wide objects: an ordered registry of start and stop steps, and the four pools.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "lib/pool.h"

// The order in which the process-wide objects are built; they are torn down in reverse.
// Each subsystem adds the steps for its own objects (AddGlobalStep) before StartGlobals;
// the foundation library's pools and ACT records are always present.
enum GlobalOrder : int {
  kGlobalImageHistory = 1,
  kGlobalScriptHistory = 2,
  kGlobalExprPool = 3,
  kGlobalArgPool = 4,
  kGlobalVarPool = 5,
  kGlobalLiveVariables = 6,
  kGlobalSnapshotVariables = 7,
  kGlobalScreenStrings = 8,  // 8 and 9
  kGlobalLayoutArrays = 10,  // 10 and 11
  kGlobalStatePool = 12,
  kGlobalACTRecords = 13,
  kGlobalMatrices = 14,  // 14 to 19
};

// Adds (or, for a name already present, replaces) a step. Steps start in increasing order,
// steps of equal order in the order they were added. A step added while the globals are
// started is started at once, so it is stopped before everything started earlier.
void AddGlobalStep(int order, const std::string& name, std::function<void()> start, std::function<void()> stop);
void RemoveGlobalStep(const std::string& name);

// Starts every step in order. A start that throws stops the ones already started (in
// reverse) and the error goes on to the caller. Does nothing when already started.
void StartGlobals();
// Runs the stop of every started step, last started first.
void StopGlobals();
// StopGlobals then StartGlobals: every object back to its fresh state (tests).
void ResetGlobals();
bool GlobalsStarted();
// Names of the started steps in start order (empty when stopped).
std::vector<std::string> StartedGlobals();

// The four fixed-block pools (4096 blocks a chunk). Their blocks are sized by the records their
// users keep in them: every user registers its record at start-up, before the pools are built,
// from sizeof in its own code (RegisterPoolRecordOf<T>), and a pool's blocks take the largest
// size and alignment registered for it. Building a pool no user registered is an error. A
// record registered after its pool was built rebuilds the pool when none of its blocks is in
// use, and is refused with the error object when some are (their records would not fit).
enum class GlobalPool { Expr, Arg, Var, State };
void RegisterPoolRecord(GlobalPool pool, size_t size, size_t alignment);
template <typename T>
void RegisterPoolRecordOf(GlobalPool pool) {
  RegisterPoolRecord(pool, sizeof(T), alignof(T));
}
// Forgets every registered record (tests); pools already built keep their blocks.
void ClearPoolRecords();
constexpr size_t kGlobalPoolBlocks = 4096;

// The pools; one that is asked for while the globals are stopped is made on the spot (so a
// test that needs one pool alone does not need the whole start-up). StartGlobals always
// makes each pool afresh, and StopGlobals releases them.
MemoryPool& g_ExprPool();   // expression nodes
MemoryPool& g_ArgPool();    // argument cells
MemoryPool& g_VarPool();    // script variables
MemoryPool& g_StatePool();  // game statements
