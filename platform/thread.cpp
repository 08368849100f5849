// Worker threads with a best-effort priority hint.
#include "platform/thread.h"

#include <pthread.h>
#include <sched.h>

namespace platform {

Thread::~Thread() {
  Join();
}

bool Thread::Start(std::function<void()> body, ThreadPriority priority) {
  if (m_Thread.joinable()) return false;
  try {
    m_Thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  if (priority != ThreadPriority::Normal) {
    // Real-time classes need privileges a player rarely has; failing here is fine.
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_RR);
    pthread_setschedparam(m_Thread.native_handle(), SCHED_RR, &param);
  }
  return true;
}

void Thread::Join() {
  if (m_Thread.joinable() && m_Thread.get_id() != std::this_thread::get_id()) m_Thread.join();
}

void YieldThread() {
  std::this_thread::yield();
}

}  // namespace platform
