// Service slots: the process-wide places where a backend or the game installs a service.
#pragma once

#include <atomic>
#include <stdexcept>
#include <string>

namespace platform {

// The rule every service slot follows (the clock, the message boxes and the glyph source here;
// the frame step, the message frame and the message services of the script language):
//
// - A service that has a sensible default (the system clock; message boxes that go to the log
//   and take their default button; a frame step that lets frames pass without waiting) is in
//   its slot from the start. Installing null puts the default back, so the slot's getter never
//   returns null and nobody tests for it.
// - A service without one (glyphs, the message frame, the message services) leaves its slot
//   empty until installed, and installing null empties it again. Using an empty slot raises
//   MissingServiceError naming the service: drawing no text, skipping every wait or losing the
//   player's name would only hide that the program was put together without it.
//
// Every setter returns what the slot held before (its default, for a slot that has one), so an
// installer can put it back. Slots are safe to read from any thread.

// A service was used while its slot was empty: the program was wired without it.
class MissingServiceError : public std::logic_error {
 public:
  explicit MissingServiceError(const std::string& service)
      : std::logic_error("no " + service + " is installed"), m_Service(service) {}
  const std::string& Service() const { return m_Service; }

 private:
  std::string m_Service;
};

// One slot. fallback is the default service (not owned), or null for a slot without one.
template <typename T>
class ServiceSlot {
 public:
  ServiceSlot(const char* name, T* fallback) : m_Name(name), m_pDefault(fallback), m_pService(fallback) {}
  ServiceSlot(const ServiceSlot&) = delete;
  ServiceSlot& operator=(const ServiceSlot&) = delete;

  T* Set(T* service) { return m_pService.exchange(service ? service : m_pDefault, std::memory_order_acq_rel); }
  // The installed service; raises MissingServiceError when the slot is empty.
  T* Get() const {
    T* service = m_pService.load(std::memory_order_acquire);
    if (!service) throw MissingServiceError(m_Name);
    return service;
  }

 private:
  const char* m_Name;
  T* const m_pDefault;
  std::atomic<T*> m_pService;
};

}  // namespace platform
