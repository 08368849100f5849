// The headless backend's folders: everything under one temporary root, so no test writes to
// the user's own folders.
#include <filesystem>

#include "platform/files.h"
#include "platform/headless/headless.h"
#include "platform/utf.h"

namespace platform::headless {

HeadlessFolders::~HeadlessFolders() {
  if (m_OwnsRoot) RemoveTree(m_Root);
}

void HeadlessFolders::SetRoot(std::u16string root) {
  if (m_OwnsRoot) RemoveTree(m_Root);
  m_OwnsRoot = false;
  m_Root = std::move(root);
  if (m_Root.empty() || m_Root.back() != u'/') m_Root += u'/';
  platform::EnsureFolder(m_Root + u"program");
}

const std::u16string& HeadlessFolders::Root() {
  if (m_Root.empty()) {
    const std::u16string temp = MakeTempFolder(u"varn-headless-");
    // Without a temporary folder every folder lies in one that cannot be made, never in "/".
    SetRoot(temp.empty() ? u"/nonexistent/varn-headless" : temp);
    m_OwnsRoot = !temp.empty();
  }
  return m_Root;
}

std::u16string HeadlessFolders::ProgramFolder() {
  return Root() + u"program/";
}

std::u16string HeadlessFolders::DocumentsFolder() {
  return Root() + u"Documents";
}

bool HeadlessFolders::EnsureFolder(std::u16string_view path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path root = fs::absolute(fs::path(HostPath(Root())), ec).lexically_normal();
  const fs::path wanted = fs::absolute(fs::path(HostPath(path)), ec).lexically_normal();
  if (ec) return false;
  // Inside the root: the root's components are a prefix of the path's.
  auto r = root.begin(), w = wanted.begin();
  for (; r != root.end() && !r->empty(); ++r, ++w)
    if (w == wanted.end() || *r != *w) return false;
  return platform::EnsureFolder(path);
}

}  // namespace platform::headless
