// Intrusive lists: elements carry their links and their owning list; plus plain record chains.
#pragma once

#include <cstdint>

// Two families with the same layout and behaviour: ListNode/ListGroup (iv entries, file
// histories) and DoubleListNode/DoubleListGroup (statements). A node removes itself from
// its group when destroyed; a group destroys its nodes with `delete` (through the node's
// virtual destructor, so a class with its own operator delete, a pooled record for one,
// gets it), so nodes put into a group must be heap records. A group is itself a node and
// can hang in another group.
//
// The links are plain fields: a chain handed to InsertBefore is one node or several
// already linked through m_pNext.

class ListGroup;

class ListNode {
 public:
  ListNode() = default;
  virtual ~ListNode();
  ListNode(const ListNode&) = delete;
  ListNode& operator=(const ListNode&) = delete;

  ListNode* m_pPrev = nullptr;
  ListNode* m_pNext = nullptr;
  ListGroup* m_pOwner = nullptr;
};

class ListGroup : public ListNode {
 public:
  ListGroup() = default;
  ~ListGroup() override;

  // Links the chain in before pos (appends it when pos is null); every node of the chain
  // gets this group as owner. Returns the chain's last node.
  ListNode* InsertBefore(ListNode* pos, ListNode* chain);
  // Unlinks node and returns it; null (and nothing changes) when the group is empty, the
  // node is null or it belongs to another group.
  ListNode* Remove(ListNode* node);
  // 0 = first, 1 = second, ...; -1 = last, -2 = the one before, ...; null out of range.
  ListNode* At(int index) const;
  // Destroys every node, first to last.
  void DeleteAll();

  ListNode* m_pFirst = nullptr;
  ListNode* m_pLast = nullptr;
  int32_t m_Count = 0;
};

class DoubleListGroup;

class DoubleListNode {
 public:
  DoubleListNode() = default;
  virtual ~DoubleListNode();
  DoubleListNode(const DoubleListNode&) = delete;
  DoubleListNode& operator=(const DoubleListNode&) = delete;

  DoubleListNode* m_pPrev = nullptr;
  DoubleListNode* m_pNext = nullptr;
  DoubleListGroup* m_pOwner = nullptr;
};

class DoubleListGroup : public DoubleListNode {
 public:
  DoubleListGroup() = default;
  ~DoubleListGroup() override;

  DoubleListNode* InsertBefore(DoubleListNode* pos, DoubleListNode* chain);
  // As ListGroup::Remove: a node of another group (or none) is refused with null.
  DoubleListNode* Remove(DoubleListNode* node);
  void DeleteAll();

  DoubleListNode* m_pFirst = nullptr;
  DoubleListNode* m_pLast = nullptr;
  int32_t m_Count = 0;
};

// Typed views of the two families: N is the element class, G the list class.
template <typename N, typename G>
class CListNode : public ListNode {
 public:
  N* Prev() const { return static_cast<N*>(m_pPrev); }
  N* Next() const { return static_cast<N*>(m_pNext); }
  G* Owner() const { return static_cast<G*>(m_pOwner); }
};

template <typename G, typename N, typename Base = ListGroup>
class CListGroup : public Base {
 public:
  N* First() const { return static_cast<N*>(this->m_pFirst); }
  N* Last() const { return static_cast<N*>(this->m_pLast); }
  N* At(int index) const { return static_cast<N*>(ListGroup::At(index)); }
  int32_t Count() const { return this->m_Count; }
  N* Insert(N* pos, N* chain) { return static_cast<N*>(this->InsertBefore(pos, chain)); }
  N* Append(N* chain) { return static_cast<N*>(this->InsertBefore(nullptr, chain)); }
  N* Remove(N* node) { return static_cast<N*>(ListGroup::Remove(node)); }
};

template <typename N, typename G>
class CDoubleListNode : public DoubleListNode {
 public:
  N* Prev() const { return static_cast<N*>(m_pPrev); }
  N* Next() const { return static_cast<N*>(m_pNext); }
  G* Owner() const { return static_cast<G*>(m_pOwner); }
};

template <typename G, typename N>
class CDoubleListGroup : public DoubleListGroup {
 public:
  N* First() const { return static_cast<N*>(m_pFirst); }
  N* Last() const { return static_cast<N*>(m_pLast); }
  int32_t Count() const { return m_Count; }
  N* Insert(N* pos, N* chain) { return static_cast<N*>(InsertBefore(pos, chain)); }
  N* Append(N* chain) { return static_cast<N*>(InsertBefore(nullptr, chain)); }
  N* Remove(N* node) { return static_cast<N*>(DoubleListGroup::Remove(node)); }
};

// Plain chains: records whose first pointer-sized word is the next record (0 ends it).
// Appends record at the end of chain (record's own next word is left as it is); returns the
// chain's first record, which is record itself when the chain was empty.
void* ChainAppend(void* chain, void* record);
// The n-th record (0 = first), or null when the chain is shorter or n is negative.
void* ChainNth(void* chain, int n);

template <typename T>
T* ChainAppend(T* chain, T* record) {
  return static_cast<T*>(ChainAppend(static_cast<void*>(chain), static_cast<void*>(record)));
}
template <typename T>
T* ChainNth(T* chain, int n) {
  return static_cast<T*>(ChainNth(static_cast<void*>(chain), n));
}
