// COM-style reference counting without COM: the interface root, the full base with an
// optional outer object, the light one-interface template, and an interface holder.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/assert.h"

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);

// A 128-bit interface identifier.
struct InterfaceId {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
  friend bool operator==(const InterfaceId& a, const InterfaceId& b) {
    return std::memcmp(&a, &b, sizeof(InterfaceId)) == 0;
  }
};

// The root of every shared interface: QueryInterface, AddRef, Release, then the destructor.
struct IUnknown {
  static constexpr InterfaceId kIid{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  virtual HRESULT QueryInterface(const InterfaceId& id, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

// The full base: forwards to an outer (aggregating) object when there is one.
template <typename Base = IUnknown>
class CComBaseT : public Base {
 public:
  explicit CComBaseT(IUnknown* outer = nullptr) : m_pOuter(outer) {}

  HRESULT QueryInterface(const InterfaceId& id, void** out) override {
    if (m_pOuter) return m_pOuter->QueryInterface(id, out);
    return InternalQueryInterface(id, out);
  }
  uint32_t AddRef() override { return m_pOuter ? m_pOuter->AddRef() : InternalAddRef(); }
  uint32_t Release() override { return m_pOuter ? m_pOuter->Release() : InternalRelease(); }

  virtual HRESULT InternalQueryInterface(const InterfaceId& id, void** out) {
    (void)id;
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  virtual uint32_t InternalAddRef() { return static_cast<uint32_t>(++m_RefCount); }
  virtual uint32_t InternalRelease() {
    int32_t current = m_RefCount.load();
    do {
      if (current == 0) return 0;  // already dead: nothing to release
    } while (!m_RefCount.compare_exchange_weak(current, current - 1));
    if (current - 1 == 0) {
      delete this;
      return 0;
    }
    return static_cast<uint32_t>(current - 1);
  }

  int32_t RefCount() const { return m_RefCount.load(); }

 protected:
  ~CComBaseT() override = default;

  IUnknown* m_pOuter;
  std::atomic<int32_t> m_RefCount{1};
};

// The light base over one interface I. QueryInterface is the implementing class's.
template <typename I>
class CComImpl : public I {
 public:
  uint32_t AddRef() override { return static_cast<uint32_t>(++m_RefCount); }
  uint32_t Release() override {
    int32_t current = m_RefCount.load();
    do {
      if (current == 0) {
        // One Release too many: report it and leave the object alone.
        platform::ReportAssertion("0", "lib/combase", 33);
        return 0;
      }
    } while (!m_RefCount.compare_exchange_weak(current, current - 1));
    if (current - 1 == 0) {
      delete this;
      return 0;
    }
    return static_cast<uint32_t>(current - 1);
  }

  int32_t RefCount() const { return m_RefCount.load(); }

 protected:
  ~CComImpl() override = default;
  std::atomic<int32_t> m_RefCount{1};
};

// Holds one reference to an interface. Attach takes over the creator's reference
// (no AddRef); copies AddRef; destruction and Reset Release.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T* attach) : m_p(attach) {}
  ComRef(const ComRef& other) : m_p(other.m_p) {
    if (m_p) m_p->AddRef();
  }
  ComRef(ComRef&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  ComRef& operator=(ComRef other) {
    std::swap(m_p, other.m_p);
    return *this;
  }
  ~ComRef() { Reset(); }

  static ComRef AddRefOf(T* p) {
    if (p) p->AddRef();
    return ComRef(p);
  }

  void Attach(T* p) {
    Reset();
    m_p = p;
  }
  T* Detach() { return std::exchange(m_p, nullptr); }
  void Reset() {
    if (T* p = std::exchange(m_p, nullptr)) p->Release();
  }
  T* Get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  // For out-parameters: releases what is held and hands out the slot.
  T** Put() {
    Reset();
    return &m_p;
  }

 private:
  T* m_p = nullptr;
};
