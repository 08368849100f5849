// The single-instance lock: a second copy of the game finds the name taken and exits at once.
#pragma once

#include <memory>
#include <string>

namespace platform {

class InstanceLock {
 public:
  virtual ~InstanceLock() = default;
};

// Takes the lock for `name` (per user). Null when another process holds it. The lock is held
// until the returned object is destroyed (or the process ends, however it ends). Where no
// folder can hold a lock file the object holds nothing, and the game runs unguarded.
std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::u16string& name);

}  // namespace platform
