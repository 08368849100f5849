// Intrusive lists: linking, unlinking, indexing and tear-down shared by the two families.
#include "lib/list.h"

#include <cstring>

namespace {

template <typename Node, typename Group>
Node* InsertChain(Group& group, Node* pos, Node* chain) {
  if (!chain) return nullptr;
  // Own every node of the chain and find its end.
  Node* last = chain;
  for (Node* n = chain;; n = n->m_pNext) {
    n->m_pOwner = &group;
    ++group.m_Count;
    last = n;
    if (!n->m_pNext) break;
    n->m_pNext->m_pPrev = n;
  }
  if (pos && pos->m_pOwner != &group) pos = nullptr;  // a foreign position appends
  if (!pos) {
    chain->m_pPrev = group.m_pLast;
    last->m_pNext = nullptr;
    if (group.m_pLast)
      group.m_pLast->m_pNext = chain;
    else
      group.m_pFirst = chain;
    group.m_pLast = last;
  } else {
    chain->m_pPrev = pos->m_pPrev;
    last->m_pNext = pos;
    if (pos->m_pPrev)
      pos->m_pPrev->m_pNext = chain;
    else
      group.m_pFirst = chain;
    pos->m_pPrev = last;
  }
  return last;
}

template <typename Node, typename Group>
Node* RemoveNode(Group& group, Node* node) {
  if (group.m_Count == 0 || !node || node->m_pOwner != &group) return nullptr;
  if (node->m_pPrev)
    node->m_pPrev->m_pNext = node->m_pNext;
  else
    group.m_pFirst = node->m_pNext;
  if (node->m_pNext)
    node->m_pNext->m_pPrev = node->m_pPrev;
  else
    group.m_pLast = node->m_pPrev;
  node->m_pPrev = nullptr;
  node->m_pNext = nullptr;
  node->m_pOwner = nullptr;
  --group.m_Count;
  return node;
}

template <typename Group>
void DestroyNodes(Group& group) {
  // Each node's destructor removes it, so the first node is always the next to go.
  while (group.m_Count > 0 && group.m_pFirst) {
    delete group.m_pFirst;
  }
}

}  // namespace

ListNode::~ListNode() {
  if (m_pOwner) m_pOwner->Remove(this);
}

ListGroup::~ListGroup() {
  DeleteAll();
}

ListNode* ListGroup::InsertBefore(ListNode* pos, ListNode* chain) {
  return InsertChain(*this, pos, chain);
}

ListNode* ListGroup::Remove(ListNode* node) {
  return RemoveNode(*this, node);
}

void ListGroup::DeleteAll() {
  DestroyNodes(*this);
}

ListNode* ListGroup::At(int index) const {
  // Position from the first node; -1 is the last.
  int64_t pos = index >= 0 ? int64_t(index) : int64_t(m_Count) + index;
  if (pos < 0 || pos >= m_Count) return nullptr;
  ListNode* n;
  if (pos <= int64_t(m_Count) / 2) {
    n = m_pFirst;
    for (int64_t i = 0; n && i < pos; ++i) n = n->m_pNext;
  } else {
    n = m_pLast;
    for (int64_t i = m_Count - 1; n && i > pos; --i) n = n->m_pPrev;
  }
  return n;
}

DoubleListNode::~DoubleListNode() {
  if (m_pOwner) m_pOwner->Remove(this);
}

DoubleListGroup::~DoubleListGroup() {
  DeleteAll();
}

DoubleListNode* DoubleListGroup::InsertBefore(DoubleListNode* pos, DoubleListNode* chain) {
  return InsertChain(*this, pos, chain);
}

DoubleListNode* DoubleListGroup::Remove(DoubleListNode* node) {
  return RemoveNode(*this, node);
}

void DoubleListGroup::DeleteAll() {
  DestroyNodes(*this);
}

namespace {

void* NextOf(void* record) {
  void* next;
  std::memcpy(&next, record, sizeof next);
  return next;
}

}  // namespace

void* ChainAppend(void* chain, void* record) {
  if (!chain) return record;
  void* last = chain;
  while (void* next = NextOf(last)) last = next;
  std::memcpy(last, &record, sizeof record);
  return chain;
}

void* ChainNth(void* chain, int n) {
  if (n < 0) return nullptr;
  void* r = chain;
  for (int i = 0; r && i < n; ++i) r = NextOf(r);
  return r;
}
