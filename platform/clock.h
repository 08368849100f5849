// Time: the millisecond timer, the performance counter and sleeping, through a replaceable clock.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t Milliseconds() = 0;      // wraps after 49.7 days, like the multimedia timer
  virtual uint64_t Counter() = 0;           // performance counter ticks
  virtual uint64_t CounterFrequency() = 0;  // ticks per second
  virtual void Sleep(uint32_t ms) = 0;
};

// The steady host clock; the default.
Clock& SystemClock();

// The clock slot (the null rule of every slot is in platform/service.h): it holds the system
// clock until a clock is installed (the headless backend's virtual one), and null puts the
// system clock back. Returns the previous clock, never null. Not owned.
Clock* SetClock(Clock* clock);
Clock& GetClock();

inline uint32_t TimeMs() {
  return GetClock().Milliseconds();
}
inline uint64_t PerfCounter() {
  return GetClock().Counter();
}
inline uint64_t PerfFrequency() {
  return GetClock().CounterFrequency();
}
inline void SleepMs(uint32_t ms) {
  GetClock().Sleep(ms);
}

// A clock that moves only when told to; Sleep advances it. Counter ticks are microseconds.
// The count is atomic: the sound thread reads the time while the test's thread moves it.
class VirtualClock : public Clock {
 public:
  uint32_t Milliseconds() override { return static_cast<uint32_t>(m_Micros / 1000); }
  uint64_t Counter() override { return m_Micros; }
  uint64_t CounterFrequency() override { return 1000000; }
  void Sleep(uint32_t ms) override { m_Micros += uint64_t(ms) * 1000; }
  void Advance(uint32_t ms) { m_Micros += uint64_t(ms) * 1000; }
  void AdvanceMicros(uint64_t us) { m_Micros += us; }
  void SetMilliseconds(uint64_t ms) { m_Micros = ms * 1000; }

 private:
  std::atomic<uint64_t> m_Micros{0};
};

}  // namespace platform
