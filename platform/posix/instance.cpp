// The single-instance lock over flock(2) on a file in the user's runtime folder.
#include "platform/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

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

std::string LockFolder() {
  if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) return run;
  if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) return tmp;
  return "/tmp";
}

}  // namespace

std::unique_ptr<InstanceLock> AcquireInstanceLock(const std::u16string& name) {
  // Only the name's safe characters go into the file name.
  std::string safe;
  for (char c : WideToUtf8(name)) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    safe.push_back(ok ? c : '_');
  }
  const std::string path = LockFolder() + "/" + safe + "-" + std::to_string(getuid()) + ".lock";
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<FlockInstanceLock>(fd);
}

}  // namespace platform
