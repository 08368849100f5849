// The ACT frame-task scheduler: the record array, its free list, the level roots and the walk.
#include "lib/act.h"

#include <cstring>

#include "lib/error.h"

namespace {

ACT g_Records[kACTRecords];
bool g_InUse[kACTRecords];
uint32_t g_Serial[kACTRecords];  // bumped whenever a record is freed, to tell a reused record from its old task
ACT* g_pFree = nullptr;
ACT* g_Levels[kACTLevels];

// One RunACT in progress over a parent's children. Killing or freeing tasks during the walk
// adjusts every walk over the same parent, so it never steps into a removed record.
struct Walk {
  ACT* parent;
  ACT* next = nullptr;  // the child to run next
  ACT* last = nullptr;  // the child after which the walk stops
  bool done = true;
  bool parentFreed = false;
  Walk* outer;
};
Walk* g_pWalks = nullptr;

struct WalkScope {
  Walk walk;
  explicit WalkScope(ACT* parent) : walk{parent, nullptr, nullptr, true, false, nullptr} {
    walk.outer = g_pWalks;
    g_pWalks = &walk;
  }
  ~WalkScope() { g_pWalks = walk.outer; }
  WalkScope(const WalkScope&) = delete;
  WalkScope& operator=(const WalkScope&) = delete;
};

int IndexOf(const ACT* act) {
  if (!act) return -1;
  auto addr = reinterpret_cast<uintptr_t>(act);
  auto base = reinterpret_cast<uintptr_t>(&g_Records[0]);
  if (addr < base || addr >= base + sizeof g_Records) return -1;
  if ((addr - base) % sizeof(ACT) != 0) return -1;
  return static_cast<int>((addr - base) / sizeof(ACT));
}

bool IsLive(const ACT* act) {
  int i = IndexOf(act);
  return i >= 0 && g_InUse[i];
}

// A live task and the incarnation it had when noted: a callback may free a record and a
// MakeACT may hand it out again before the caller looks at it next.
struct Incarnation {
  ACT* act;
  uint32_t serial = 0;
  explicit Incarnation(ACT* a) : act(a) {
    int i = IndexOf(a);
    if (i >= 0) serial = g_Serial[i];
  }
  bool Alive() const {
    int i = IndexOf(act);
    return i >= 0 && g_InUse[i] && g_Serial[i] == serial;
  }
};

bool IsLevelRoot(const ACT* act) {
  for (ACT* level : g_Levels) {
    if (level == act) return true;
  }
  return false;
}

void ClearRecord(ACT* act) {
  std::memset(static_cast<void*>(act), 0, sizeof(ACT));
}

int32_t Send(ACT* act, uint32_t message, uintptr_t a, uintptr_t b) {
  if (!IsLive(act) || !act->m_pProc) return 0;
  return act->m_pProc(act, message, a, b);
}

// Takes the first free record, or null.
ACT* TakeFree() {
  ACT* act = g_pFree;
  if (!act) return nullptr;
  g_pFree = act->m_pNext;
  ClearRecord(act);
  g_InUse[IndexOf(act)] = true;
  return act;
}

// Clears a live record and puts it at the head of the free list (so it is reused first).
void ReleaseRecord(ACT* act) {
  if (!IsLive(act)) return;
  for (Walk* w = g_pWalks; w; w = w->outer) {
    if (w->parent == act) {
      w->parentFreed = true;
      w->done = true;
    }
  }
  for (ACT*& level : g_Levels) {
    if (level == act) level = nullptr;
  }
  ClearRecord(act);
  g_InUse[IndexOf(act)] = false;
  ++g_Serial[IndexOf(act)];
  act->m_pNext = g_pFree;
  g_pFree = act;
}

// Unlinks child from parent's ring, keeping every walk over that parent on live records.
// A record that is not in the ring leaves it unchanged.
void Unlink(ACT* parent, ACT* child) {
  ACT* last = parent->m_pLastChild;
  if (!last) return;
  ACT* pred = nullptr;
  ACT* cur = last;
  for (int i = 0; i <= kACTRecords; ++i) {
    if (cur->m_pNext == child) {
      pred = cur;
      break;
    }
    cur = cur->m_pNext;
    if (!cur || cur == last) break;
  }
  if (!pred) return;
  const bool only = pred == child;
  for (Walk* w = g_pWalks; w; w = w->outer) {
    if (w->parent != parent || w->done) continue;
    if (only || (w->next == child && w->last == child)) {
      w->done = true;
    } else if (w->next == child) {
      w->next = child->m_pNext;
    } else if (w->last == child) {
      w->last = pred;
    }
  }
  if (only) {
    parent->m_pLastChild = nullptr;
  } else {
    pred->m_pNext = child->m_pNext;
    if (last == child) parent->m_pLastChild = pred;
  }
}

}  // namespace

void ResetACTRecords() {
  std::memset(static_cast<void*>(g_Records), 0, sizeof g_Records);
  std::memset(g_InUse, 0, sizeof g_InUse);
  for (uint32_t& serial : g_Serial) ++serial;
  g_pFree = nullptr;
  for (ACT*& level : g_Levels) level = nullptr;
  // Walks in progress keep their frames; they only ever stop early from here on.
  for (Walk* w = g_pWalks; w; w = w->outer) {
    w->done = true;
    w->parentFreed = true;
  }
}

void InitACT() {
  ResetACTRecords();
  for (int i = 0; i < kACTRecords; ++i) g_Records[i].m_pNext = i + 1 < kACTRecords ? &g_Records[i + 1] : nullptr;
  g_pFree = &g_Records[0];
  for (ACT*& level : g_Levels) {
    level = TakeFree();
    if (!level) ThrowException(u"act.cpp", 224, 0, 0, u"MakeACT: Empty Memory!!");
    level->m_Flags = ACTFLAG_RUN;
  }
}

ACT* MakeACT(ACTPROC proc, uintptr_t user) {
  ACT* act = TakeFree();
  if (!act) {
    ThrowException(u"act.cpp", 224, 0, 0, u"MakeACT: Empty Memory!!");
  }
  act->m_pProc = proc;
  act->m_User = user;
  act->m_Flags = ACTFLAG_RUN;
  act->m_Result = 0;
  Send(act, ACTMSG_CREATE, 0, 0);
  return act;
}

void AddACT(int level, ACT* act) {
  if (level < 0 || level >= kACTLevels) return;
  ACT* root = g_Levels[level];
  if (!root || !IsLive(act) || IsLevelRoot(act)) return;
  // A task hangs in one ring only: take it out of the one it is in first.
  if (act->m_pParent) Unlink(act->m_pParent, act);
  if (ACT* last = root->m_pLastChild) {
    act->m_pNext = last->m_pNext;
    last->m_pNext = act;
  } else {
    act->m_pNext = act;
  }
  root->m_pLastChild = act;
  act->m_pParent = root;
  Send(act, ACTMSG_ATTACH, 0, 0);
}

void RunACT(ACT* act) {
  if (!IsLive(act)) return;
  // Registered before the first message, so that freeing act from any callback ends the walk.
  WalkScope scope(act);
  Walk& w = scope.walk;
  Send(act, ACTMSG_RUN, 0, 0);
  if (!w.parentFreed && act->m_pLastChild) {
    w.last = act->m_pLastChild;
    w.next = w.last->m_pNext;
    w.done = false;
  }
  while (!w.done) {
    ACT* child = w.next;
    if (child == w.last)
      w.done = true;
    else
      w.next = child->m_pNext;
    if (child->m_Flags & ACTFLAG_RUN) RunACT(child);
  }
  if (!w.parentFreed) Send(act, ACTMSG_AFTER_CHILDREN, 0, 0);
}

void RunACTLevels(int from, int to) {
  if (to == -1) to = kACTLevels - 1;
  if (from < 0) from = 0;
  for (int level = from; level <= to && level < kACTLevels; ++level) {
    if (g_Levels[level]) RunACT(g_Levels[level]);
  }
}

int32_t SendACT(ACT* act, uint32_t message, uintptr_t a, uintptr_t b) {
  return Send(act, message, a, b);
}

void KillACT(ACT* act) {
  if (!IsLive(act)) return;
  const Incarnation self(act);
  while (ACT* child = act->m_pLastChild) {
    const Incarnation kid(child);
    KillACT(child);
    if (!self.Alive()) return;  // a callback freed act itself meanwhile
    if (kid.Alive()) {
      // A child that did not name act as its parent is unlinked here, so the loop ends.
      if (act->m_pLastChild == child) Unlink(act, child);
      ReleaseRecord(child);
    }
  }
  if (ACT* parent = act->m_pParent) {
    Send(parent, ACTMSG_CHILD_REMOVED, reinterpret_cast<uintptr_t>(act), 0);
    if (!self.Alive()) return;
    if (act->m_pParent == parent && IsLive(parent)) Unlink(parent, act);
    act->m_pParent = nullptr;
    act->m_pNext = nullptr;
  }
  Send(act, ACTMSG_DESTROY, 0, 0);
}

int FreeACT(ACT* act) {
  if (!IsLive(act)) return 0;
  KillACT(act);
  ReleaseRecord(act);
  return 0;
}

void KillAllACT() {
  for (int level = 0; level < kACTLevels; ++level) {
    if (ACT* root = g_Levels[level]) {
      KillACT(root);
      ReleaseRecord(root);
      g_Levels[level] = nullptr;
    }
  }
}

ACT* GetACTLevel(int level) {
  return level >= 0 && level < kACTLevels ? g_Levels[level] : nullptr;
}

int CountFreeACT() {
  int n = 0;
  for (ACT* a = g_pFree; a && n <= kACTRecords; a = a->m_pNext) ++n;
  return n;
}
