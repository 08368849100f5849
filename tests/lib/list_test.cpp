// Tests of the intrusive lists (both families, typed views) and of plain record chains.
#include "lib/list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<int>* g_Destroyed = nullptr;

class Entry;
class Entries : public CListGroup<Entries, Entry> {};
class Entry : public CListNode<Entry, Entries> {
 public:
  explicit Entry(int v) : value(v) {}
  ~Entry() override {
    if (g_Destroyed) g_Destroyed->push_back(value);
  }
  int value;
};

class Stmt;
class Stmts : public CDoubleListGroup<Stmts, Stmt> {};
class Stmt : public CDoubleListNode<Stmt, Stmts> {
 public:
  explicit Stmt(int v) : value(v) {}
  ~Stmt() override {
    if (g_Destroyed) g_Destroyed->push_back(value);
  }
  int value;
};

// Walks the group both ways and checks owner, links and count agree.
template <typename G>
std::string Contents(const G& g) {
  std::string forward, backward;
  int n = 0;
  for (auto* e = g.First(); e; e = e->Next()) {
    EXPECT_EQ(e->Owner(), &g);
    forward += std::to_string(e->value);
    ++n;
  }
  for (auto* e = g.Last(); e; e = e->Prev()) backward.insert(0, std::to_string(e->value));
  EXPECT_EQ(forward, backward) << "forward and backward links disagree";
  EXPECT_EQ(n, g.Count());
  if (g.First()) {
    EXPECT_EQ(g.First()->Prev(), nullptr);
  }
  if (g.Last()) {
    EXPECT_EQ(g.Last()->Next(), nullptr);
  }
  return forward;
}

template <typename G, typename N>
void InsertAndRemove() {
  G g;
  // A chain of three already linked by next.
  N* a = new N(1);
  N* b = new N(2);
  N* c = new N(3);
  a->m_pNext = b;
  b->m_pNext = c;
  EXPECT_EQ(g.Insert(nullptr, a), c) << "InsertBefore returns the chain's last node";
  EXPECT_EQ(Contents(g), "123");
  g.Insert(a, new N(0));  // before the first
  g.Insert(c, new N(9));  // before the last
  g.Append(new N(4));
  EXPECT_EQ(Contents(g), "012934");

  // Destroying a member leaves the group consistent.
  delete b;
  EXPECT_EQ(Contents(g), "01934");

  // Remove unlinks and hands the node back; a node of another group is refused.
  G other;
  N* foreign = new N(7);
  other.Append(foreign);
  EXPECT_EQ(g.Remove(foreign), nullptr);
  EXPECT_EQ(Contents(other), "7");
  EXPECT_EQ(g.Remove(nullptr), nullptr);
  EXPECT_EQ(g.Remove(c), c);
  EXPECT_EQ(c->m_pOwner, nullptr);
  EXPECT_EQ(c->m_pNext, nullptr);
  EXPECT_EQ(Contents(g), "0194");
  delete c;
  G empty;
  EXPECT_EQ(empty.Remove(a), nullptr);

  // Destroying the group destroys the nodes first to last.
  std::vector<int> destroyed;
  g_Destroyed = &destroyed;
  {
    G doomed;
    for (int i = 1; i <= 4; ++i) doomed.Append(new N(i));
  }
  g_Destroyed = nullptr;
  EXPECT_EQ(destroyed, (std::vector<int>{1, 2, 3, 4}));
}

TEST(ListGroup, InsertRemoveDestroy) {
  InsertAndRemove<Entries, Entry>();
}
TEST(DoubleListGroup, InsertRemoveDestroy) {
  InsertAndRemove<Stmts, Stmt>();
}

TEST(ListGroup, AtCountsFromEitherEnd) {
  Entries g;
  for (int i = 0; i < 20; ++i) g.Append(new Entry(i));
  struct Case {
    int index;
    int expected;  // -1: none
  } cases[] = {{0, 0}, {5, 5}, {15, 15}, {19, 19}, {20, -1}, {-1, 19}, {-2, 18}, {-20, 0}, {-21, -1}};
  for (const Case& c : cases) {
    Entry* e = g.At(c.index);
    if (c.expected < 0)
      EXPECT_EQ(e, nullptr) << "index " << c.index;
    else
      EXPECT_TRUE(e && e->value == c.expected) << "index " << c.index << " gave " << (e ? e->value : -1);
  }
  Entries empty;
  EXPECT_EQ(empty.At(0), nullptr);
  EXPECT_EQ(empty.At(-1), nullptr);
}

TEST(ListGroup, GroupInsideAGroupLeavesItWhenDestroyed) {
  class Outer : public ListGroup {};
  Outer outer;
  auto* inner = new Entries;
  inner->Append(new Entry(1));
  outer.InsertBefore(nullptr, inner);
  EXPECT_EQ(outer.m_Count, 1);
  delete inner;
  EXPECT_EQ(outer.m_Count, 0);
  EXPECT_EQ(outer.m_pFirst, nullptr);
}

TEST(Chain, AppendAndNth) {
  struct Cell {
    Cell* next;
    int value;
  };
  Cell cells[3] = {{nullptr, 10}, {nullptr, 11}, {nullptr, 12}};
  Cell* chain = nullptr;
  chain = ChainAppend(chain, &cells[0]);
  EXPECT_EQ(chain, &cells[0]) << "an empty chain starts with the record";
  EXPECT_EQ(ChainAppend(chain, &cells[1]), &cells[0]);
  ChainAppend(chain, &cells[2]);
  EXPECT_EQ(cells[0].next, &cells[1]);
  EXPECT_EQ(cells[1].next, &cells[2]);
  EXPECT_EQ(ChainNth(chain, 0), &cells[0]);
  EXPECT_EQ(ChainNth(chain, 2), &cells[2]);
  EXPECT_EQ(ChainNth(chain, 3), nullptr);
  EXPECT_EQ(ChainNth(chain, -1), nullptr);
  EXPECT_EQ(ChainNth<Cell>(nullptr, 0), nullptr);
}

}  // namespace
