// The counted pointer and the single-owner holder, both freeing through a deleter object.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>

// Says how to free what a holder keeps. Slots: destructor, Dispose, Clone.
class deleter_base {
 public:
  virtual ~deleter_base() = default;
  virtual void Dispose(void* p) = 0;
  virtual deleter_base* Clone() const = 0;  // a new deleter of the same type; the caller owns it
};

// Frees through the object's own Release (views, sprites).
template <typename T>
struct release_deleter {
  void operator()(T* p) const {
    if (p) p->Release();
  }
};

// Frees an array made with new[].
template <typename T>
struct array_deleter {
  void operator()(T* p) const { delete[] p; }
};

// A deleter for T with policy D and one integer (0 when made by the holders, kept by Clone).
template <typename T, typename D, typename I = int>
class deleter_impl : public deleter_base {
 public:
  explicit deleter_impl(I value = I()) : m_Value(value) {}
  void Dispose(void* p) override { m_Policy(static_cast<T*>(p)); }
  deleter_base* Clone() const override { return new deleter_impl(m_Value); }
  I Value() const { return m_Value; }

 private:
  [[no_unique_address]] D m_Policy{};
  I m_Value;
};

// The policy a holder of T uses unless told otherwise: objects with a Release of their own
// go back through it; anything else is held as an array.
template <typename T>
using default_deleter_t = std::conditional_t < requires(T* p) {
  p->Release();
}
, release_deleter<T>, array_deleter < T >> ;

// A pointer shared by count. The control block holds the count and the deleter; a null
// pointer has no control block, and its copies and releases touch nothing.
template <typename T, typename D = default_deleter_t<T>>
class SharedPtr {
 public:
  SharedPtr() = default;
  explicit SharedPtr(T* p) { Attach(p); }
  SharedPtr(const SharedPtr& other) : m_p(other.m_p), m_pBlock(other.m_pBlock) {
    if (m_pBlock) m_pBlock->count.fetch_add(1);
  }
  SharedPtr(SharedPtr&& other) noexcept
      : m_p(std::exchange(other.m_p, nullptr)), m_pBlock(std::exchange(other.m_pBlock, nullptr)) {}
  SharedPtr& operator=(SharedPtr other) noexcept {
    std::swap(m_p, other.m_p);
    std::swap(m_pBlock, other.m_pBlock);
    return *this;
  }
  ~SharedPtr() { Release(); }

  // Drops this holder's share; the last share disposes the pointer through the deleter.
  void Release() {
    ControlBlock* block = std::exchange(m_pBlock, nullptr);
    T* p = std::exchange(m_p, nullptr);
    if (block && block->count.fetch_sub(1) == 1) {
      if (p) block->deleter->Dispose(p);
      delete block;
    }
  }
  void Reset(T* p = nullptr) {
    Release();
    Attach(p);
  }

  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  T& operator*() const { return *m_p; }
  T& operator[](size_t i) const { return m_p[i]; }
  explicit operator bool() const { return m_p != nullptr; }
  // The number of holders sharing the pointer (0 for a null one).
  int32_t UseCount() const { return m_pBlock ? m_pBlock->count.load() : 0; }
  bool HasControlBlock() const { return m_pBlock != nullptr; }

 private:
  struct ControlBlock {
    std::atomic<int32_t> count{1};
    std::unique_ptr<deleter_base> deleter;
  };
  void Attach(T* p) {
    if (!p) return;
    auto block = std::make_unique<ControlBlock>();
    block->deleter = std::make_unique<deleter_impl<T, D, int>>(0);
    m_pBlock = block.release();  // owned by the count from here on
    m_p = p;
  }

  T* m_p = nullptr;
  ControlBlock* m_pBlock = nullptr;
};

// A single owner {pointer, deleter}: Reset disposes the pointer through the deleter (when
// both exist), clears the pointer and destroys the deleter.
template <typename T, typename D = default_deleter_t<T>>
class ScopedHolder {
 public:
  ScopedHolder() = default;
  explicit ScopedHolder(T* p) { Set(p); }
  ScopedHolder(const ScopedHolder&) = delete;
  ScopedHolder& operator=(const ScopedHolder&) = delete;
  ScopedHolder(ScopedHolder&& other) noexcept
      : m_p(std::exchange(other.m_p, nullptr)), m_pDeleter(std::move(other.m_pDeleter)) {}
  ScopedHolder& operator=(ScopedHolder&& other) noexcept {
    if (this != &other) {
      Reset();
      m_p = std::exchange(other.m_p, nullptr);
      m_pDeleter = std::move(other.m_pDeleter);
    }
    return *this;
  }
  ~ScopedHolder() { Reset(); }

  void Reset() {
    if (m_p && m_pDeleter) m_pDeleter->Dispose(m_p);
    m_p = nullptr;
    m_pDeleter.reset();
  }
  // Disposes what is held and takes p.
  void Set(T* p) {
    Reset();
    if (!p) return;
    m_pDeleter = std::make_unique<deleter_impl<T, D, int>>(0);
    m_p = p;
  }
  // Gives up ownership without disposing.
  T* Detach() {
    m_pDeleter.reset();
    return std::exchange(m_p, nullptr);
  }

  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  T& operator[](size_t i) const { return m_p[i]; }
  explicit operator bool() const { return m_p != nullptr; }

 private:
  T* m_p = nullptr;
  std::unique_ptr<deleter_base> m_pDeleter;
};
