// POSIX implementation of the well-known folders.
#include "platform/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"
#include "platform/utf.h"

namespace platform {

std::u16string ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return u"./";
  std::string dir = exe.parent_path().string();
  if (dir.empty() || dir.back() != '/') dir += '/';
  return Utf8ToWide(dir);
}

// Reads XDG_DOCUMENTS_DIR from the user-dirs file, as xdg-user-dir does.
static std::string XdgDocuments(const std::string& home) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string file = (config && *config ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_DOCUMENTS_DIR=";
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    const std::string homeVar = "$HOME";
    if (value.rfind(homeVar, 0) == 0) value = home + value.substr(homeVar.size());
    if (!value.empty() && value[0] == '/') return value;
  }
  return {};
}

std::u16string DocumentsFolder() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) return {};
  std::string docs = XdgDocuments(home);
  if (docs.empty()) docs = std::string(home) + "/Documents";
  return Utf8ToWide(docs);
}

bool EnsureFolder(std::u16string_view path) {
  std::error_code ec;
  const std::filesystem::path p(HostPath(path));
  std::filesystem::create_directories(p, ec);
  return std::filesystem::is_directory(p, ec);
}

bool SetCurrentFolder(std::u16string_view path) {
  return ::chdir(HostPath(path).c_str()) == 0;
}

std::u16string MakeTempFolder(std::u16string_view prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + HostPath(prefix) + "XXXXXX";
  if (!::mkdtemp(templ.data())) return {};
  return Utf8ToWide(templ);
}

bool RemoveTree(std::u16string_view path) {
  std::error_code ec;
  std::filesystem::remove_all(std::filesystem::path(HostPath(path)), ec);
  return !ec;
}

}  // namespace platform
