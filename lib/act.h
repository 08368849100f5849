// The ACT frame-task scheduler: callback records in 16 levels run once per frame, no heap.
#pragma once

#include <cstdint>

struct ACT;

// A task's callback: (task, message, a, b) → result. a and b are pointer-sized so that
// message 3 can pass the removed child and modules can pass their own pointers.
using ACTPROC = int32_t (*)(ACT* act, uint32_t message, uintptr_t a, uintptr_t b);

// Messages the scheduler sends.
enum : uint32_t {
  ACTMSG_CREATE = 1,         // MakeACT
  ACTMSG_DESTROY = 2,        // KillACT
  ACTMSG_CHILD_REMOVED = 3,  // to the parent; a = the child
  ACTMSG_ATTACH = 4,         // AddACT
  ACTMSG_RUN = 5,            // once per frame, before the children
  ACTMSG_AFTER_CHILDREN = 6,
  ACTMSG_FINISH = 0x8000,  // a waiter's request to finish at once
};

constexpr uint32_t ACTFLAG_RUN = 0x1;    // run this task (set at creation)
constexpr int32_t ACT_RESULT_DONE = -1;  // a finished task sets its result word to this
constexpr int kACTRecords = 128;
constexpr int kACTLevels = 16;

// One task. The children of a record form a ring through m_pNext; m_pLastChild's next is
// the first child. In a free record m_pNext is the next free record.
struct ACT {
  ACT* m_pParent;
  ACT* m_pNext;
  ACT* m_pLastChild;
  ACTPROC m_pProc;
  uintptr_t m_User;  // the creator's parameter (often a pointer to the task's state)
  uint32_t m_Reserved;
  uint32_t m_Flags;
  int32_t m_Result;
};

// Clears all records, links them into the free list and takes the 16 level roots from it.
void InitACT();
// A fresh task (not attached yet); sends it message 1. Throws "MakeACT: Empty Memory!!"
// when no record is free.
ACT* MakeACT(ACTPROC proc, uintptr_t user);
// Appends act as the last child of level root `level` (0 to 15) and sends it message 4.
void AddACT(int level, ACT* act);
// Message 5, then the children whose run bit is set (first to last, each with its own
// tree), then message 6. Callbacks may kill or free any task meanwhile, siblings included.
void RunACT(ACT* act);
// RunACT of each existing level root from `from` to `to` (-1 = 15).
void RunACTLevels(int from, int to);
// The callback's result, or 0 without a callback (or for a record that is not a live task).
int32_t SendACT(ACT* act, uint32_t message, uintptr_t a, uintptr_t b);
// Destroys the children (last to first, each subtree first), detaches act from its parent
// (which gets message 3) and sends act message 2. The record stays allocated.
void KillACT(ACT* act);
// KillACT, then the record goes back to the free list. A record that is already free (or
// not a task record at all) is left alone. Returns 0.
int FreeACT(ACT* act);
// Kills every level with its tasks and returns the roots; InitACT starts again.
void KillAllACT();

// The root of a level, or null (before InitACT, after KillAllACT, or out of range).
ACT* GetACTLevel(int level);
// Number of records on the free list.
int CountFreeACT();
// Back to the state before InitACT: every record zeroed, no free list, no levels.
void ResetACTRecords();
