// The host clock (steady_clock) and the clock switch.
#include "platform/clock.h"

#include <chrono>
#include <thread>

#include "platform/service.h"

namespace platform {
namespace {

class HostClock final : public Clock {
 public:
  uint32_t Milliseconds() override {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  uint64_t Counter() override {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count());
  }
  uint64_t CounterFrequency() override { return 1000000000ull; }
  void Sleep(uint32_t ms) override {
    if (ms == 0)
      std::this_thread::yield();
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
};

ServiceSlot<Clock>& ClockSlot() {
  static ServiceSlot<Clock> slot("clock", &SystemClock());
  return slot;
}

}  // namespace

Clock& SystemClock() {
  static HostClock clock;
  return clock;
}

Clock* SetClock(Clock* clock) {
  return ClockSlot().Set(clock);
}

Clock& GetClock() {
  return *ClockSlot().Get();
}

}  // namespace platform
