// The host's folders: the program's, the XDG documents folder, creation, temporary folders.
#include "platform/folders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/utf.h"

namespace platform {

namespace {

// The value of one line of the user-dirs file: "$HOME/..." or an absolute path, in double quotes
// or bare, with backslash escapes; empty for anything else.
std::string UserDirValue(std::string_view raw, const std::string& home) {
  std::string value;
  const bool quoted = !raw.empty() && raw.front() == '"';
  if (quoted) raw.remove_prefix(1);
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (quoted && c == '"') break;
    if (!quoted && (c == ' ' || c == '\t' || c == '#')) break;
    if (c == '\\' && i + 1 < raw.size()) c = raw[++i];
    value += c;
  }
  constexpr std::string_view kHome = "$HOME";
  if (value.compare(0, kHome.size(), kHome) == 0 && (value.size() == kHome.size() || value[kHome.size()] == '/'))
    return home + value.substr(kHome.size());
  return !value.empty() && value.front() == '/' ? value : std::string();
}

// XDG_DOCUMENTS_DIR from the user-dirs file (in XDG_CONFIG_HOME, else ~/.config), as the shell
// that sources the file would see it: the last assignment counts.
std::string XdgDocuments(const std::string& home) {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string folder = config && config[0] == '/' ? std::string(config) : home + "/.config";
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(Utf8ToWide(folder + "/user-dirs.dirs"), bytes)) return {};
  const std::string text(bytes.begin(), bytes.end());
  constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
  std::string found;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    pos = end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.substr(0, kKey.size()) != kKey) continue;
    line.remove_prefix(kKey.size());
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    found = UserDirValue(line, home);
  }
  return found;
}

class HostFolders final : public FolderService {
 public:
  std::u16string ProgramFolder() override {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return u"./";
    std::string dir = exe.parent_path().string();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return Utf8ToWide(dir);
  }

  std::u16string DocumentsFolder() override {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    std::string docs = XdgDocuments(home);
    if (docs.empty()) docs = std::string(home) + "/Documents";
    return Utf8ToWide(docs);
  }

  bool EnsureFolder(std::u16string_view path) override { return platform::EnsureFolder(path); }
};

}  // namespace

std::unique_ptr<FolderService> CreateHostFolderService() {
  return std::make_unique<HostFolders>();
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
