// Tests of the COM-style bases, the interface holder, the counted pointer and the single owner.
#include "lib/combase.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "lib/sharedptr.h"
#include "platform/assert.h"

namespace {

struct IThing : IUnknown {
  static constexpr InterfaceId kIid{0x1234, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  virtual int Value() = 0;
};

class Thing : public CComImpl<IThing> {
 public:
  explicit Thing(int* destroyed) : m_pDestroyed(destroyed) {}
  HRESULT QueryInterface(const InterfaceId& id, void** out) override {
    if (id == IUnknown::kIid || id == IThing::kIid) {
      AddRef();
      *out = static_cast<IThing*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  int Value() override { return 42; }

 private:
  ~Thing() override { ++*m_pDestroyed; }
  int* m_pDestroyed;
};

struct AssertCounter {
  std::vector<std::string> reports;
  platform::AssertHook previous;
  AssertCounter() {
    previous = platform::SetAssertHook([this](const platform::AssertionReport& r) {
      reports.push_back(std::string(r.expression) + "@" + r.source + ":" + std::to_string(r.line));
    });
  }
  ~AssertCounter() { platform::SetAssertHook(previous); }
};

TEST(CComImpl, CountsAndReportsOneReleaseTooMany) {
  int destroyed = 0;
  AssertCounter asserts;
  auto* thing = new Thing(&destroyed);
  EXPECT_EQ(thing->AddRef(), 2u);
  EXPECT_EQ(thing->Release(), 1u);
  void* out = nullptr;
  EXPECT_EQ(thing->QueryInterface(IThing::kIid, &out), S_OK);
  EXPECT_EQ(out, static_cast<IThing*>(thing));
  EXPECT_EQ(thing->Release(), 1u);
  EXPECT_EQ(thing->Release(), 0u);
  EXPECT_EQ(destroyed, 1);
  EXPECT_TRUE(asserts.reports.empty());
}

// The over-release check runs on a live object whose count already reached 0 by other means;
// a class that keeps itself alive shows it without touching freed memory.
class Immortal : public CComImpl<IThing> {
 public:
  HRESULT QueryInterface(const InterfaceId&, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  int Value() override { return 0; }
  void DropToZero() { m_RefCount = 0; }
  ~Immortal() override = default;
};

TEST(CComImpl, ReleaseAtZeroAssertsAndDestroysNothing) {
  AssertCounter asserts;
  auto obj = std::make_unique<Immortal>();
  obj->DropToZero();
  EXPECT_EQ(obj->Release(), 0u);
  EXPECT_EQ(obj->Release(), 0u);
  EXPECT_EQ(asserts.reports, (std::vector<std::string>{"0@lib/combase:33", "0@lib/combase:33"}));
  EXPECT_EQ(obj->RefCount(), 0);
}

class Inner : public CComBaseT<> {
 public:
  Inner(IUnknown* outer, int* destroyed) : CComBaseT<>(outer), m_pDestroyed(destroyed) {}

 private:
  ~Inner() override { ++*m_pDestroyed; }
  int* m_pDestroyed;
};

TEST(CComBaseT, ForwardsToTheOuterObjectOrCountsItself) {
  int destroyedOuter = 0, destroyedInner = 0;
  auto* outer = new Thing(&destroyedOuter);
  auto* inner = new Inner(outer, &destroyedInner);
  EXPECT_EQ(inner->AddRef(), 2u) << "AddRef goes to the outer object";
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(inner->QueryInterface(IThing::kIid, &out), S_OK);
  EXPECT_EQ(out, static_cast<IThing*>(outer));
  EXPECT_EQ(inner->Release(), 2u);
  EXPECT_EQ(inner->Release(), 1u);
  EXPECT_EQ(inner->InternalQueryInterface(IThing::kIid, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(inner->InternalRelease(), 0u);
  EXPECT_EQ(destroyedInner, 1);
  EXPECT_EQ(outer->Release(), 0u);
  EXPECT_EQ(destroyedOuter, 1);

  auto* alone = new Inner(nullptr, &destroyedInner);
  EXPECT_EQ(alone->AddRef(), 2u);
  EXPECT_EQ(alone->Release(), 1u);
  EXPECT_EQ(alone->Release(), 0u);
  EXPECT_EQ(destroyedInner, 2);
}

TEST(ComRef, AttachTakesOverCopiesAddRef) {
  int destroyed = 0;
  {
    ComRef<IThing> a(new Thing(&destroyed));
    ComRef<IThing> b = a;
    EXPECT_EQ(b->Value(), 42);
    a.Reset();
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);
}

// A view-like object released through its own Release.
struct Sprite {
  static inline int released = 0;
  void Release() {
    ++released;
    delete this;
  }
};

struct Point {
  int x, y;
  static inline int destroyed = 0;
  ~Point() { ++destroyed; }
};

TEST(SharedPtr, LastCopyDisposesThroughTheDeleter) {
  Sprite::released = 0;
  {
    SharedPtr<Sprite> a(new Sprite);
    static_assert(std::is_same_v<default_deleter_t<Sprite>, release_deleter<Sprite>>);
    SharedPtr<Sprite> b = a;
    SharedPtr<Sprite> c;
    c = b;
    EXPECT_EQ(a.UseCount(), 3);
    a.Release();
    b.Release();
    EXPECT_EQ(Sprite::released, 0);
    EXPECT_EQ(c.UseCount(), 1);
  }
  EXPECT_EQ(Sprite::released, 1);

  Point::destroyed = 0;
  {
    SharedPtr<Point> points(new Point[3]{{1, 2}, {3, 4}, {5, 6}});
    EXPECT_EQ(points[2].x, 5);
    SharedPtr<Point> moved = std::move(points);
    EXPECT_FALSE(points.HasControlBlock());
  }
  EXPECT_EQ(Point::destroyed, 3) << "the array is deleted whole";

  SharedPtr<Point> none(nullptr);
  EXPECT_FALSE(none.HasControlBlock());
  SharedPtr<Point> copy = none;
  EXPECT_EQ(copy.UseCount(), 0);
  copy.Release();
}

TEST(Deleters, CloneKeepsTypeAndValue) {
  deleter_impl<Point, array_deleter<Point>, int> d(5);
  std::unique_ptr<deleter_base> clone(d.Clone());
  auto* typed = dynamic_cast<deleter_impl<Point, array_deleter<Point>, int>*>(clone.get());
  ASSERT_NE(typed, nullptr);
  EXPECT_EQ(typed->Value(), 5);
  clone->Dispose(nullptr);  // a null array is nothing to delete
}

TEST(ScopedHolder, ResetDisposesOnce) {
  Sprite::released = 0;
  ScopedHolder<Sprite> holder(new Sprite);
  holder.Reset();
  holder.Reset();
  EXPECT_EQ(Sprite::released, 1);
  holder.Set(new Sprite);
  ScopedHolder<Sprite> other = std::move(holder);
  EXPECT_FALSE(holder);
  other.Set(nullptr);
  EXPECT_EQ(Sprite::released, 2);
}

}  // namespace
