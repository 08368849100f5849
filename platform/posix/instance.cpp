// The single-instance lock over flock(2) on a file in the user's runtime folder.
#include "platform/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/utf.h"

namespace platform {

namespace {

class FlockInstanceLock : public InstanceLock {
 public:
  explicit FlockInstanceLock(int fd) : m_Fd(fd) {}
  ~FlockInstanceLock() override {
    flock(m_Fd, LOCK_UN);
    close(m_Fd);
  }

 private:
  int m_Fd;
};

// Where the lock file may live, best first.
std::vector<std::string> LockFolders() {
  std::vector<std::string> out;
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) out.push_back(run);
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) out.push_back(tmp);
  out.push_back("/tmp");
  return out;
}

// Holds nothing: stands in when no folder can hold the lock file.
class NoInstanceLock : public InstanceLock {};

}  // namespace

std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::u16string& name) {
  // Only the name's safe characters go into the file name.
  std::string safe;
  for (char c : WideToUtf8(name)) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    safe.push_back(ok ? c : '_');
  }
  const std::string file = "/" + safe + "-" + std::to_string(getuid()) + ".lock";
  for (const std::string& folder : LockFolders()) {
    const int fd = open((folder + file).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) continue;  // a folder that is missing or not ours: try the next
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      // Only a lock another process holds means another copy runs.
      const bool held = errno == EWOULDBLOCK;
      close(fd);
      if (held) return nullptr;
      continue;
    }
    return std::make_unique<FlockInstanceLock>(fd);
  }
  // Nowhere to keep the lock: the game still runs rather than taking the failure for a
  // second copy and quietly exiting.
  return std::make_unique<NoInstanceLock>();
}

}  // namespace platform
