// Locks and threads: a recursive lock (the critical section the engine uses) and a worker thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

class RecursiveLock {
 public:
  void Lock() { m_Mutex.lock(); }
  bool TryLock() { return m_Mutex.try_lock(); }
  void Unlock() { m_Mutex.unlock(); }
  // For std::lock_guard / std::unique_lock.
  void lock() { Lock(); }
  bool try_lock() { return TryLock(); }
  void unlock() { Unlock(); }

 private:
  std::recursive_mutex m_Mutex;
};

class LockGuard {
 public:
  explicit LockGuard(RecursiveLock& lock) : m_Lock(lock) { m_Lock.Lock(); }
  ~LockGuard() { m_Lock.Unlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;

 private:
  RecursiveLock& m_Lock;
};

enum class ThreadPriority { Normal, AboveNormal, Highest };

// A joinable worker. The priority is a best-effort hint: raised where the host allows it,
// silently left normal where it does not.
class Thread {
 public:
  Thread() = default;
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  bool Start(std::function<void()> body, ThreadPriority priority = ThreadPriority::Normal);
  void Join();
  bool Joinable() const { return m_Thread.joinable(); }

 private:
  std::thread m_Thread;
};

void YieldThread();

}  // namespace platform
