// Script files by name: the member test and the whole read of a scenario file.
#include "script/scriptfile.h"

#include <string_view>

#include "archive/archive.h"
#include "lib/error.h"

bool ArchiveMemberExists(IArchive* archive, const char16_t* name, char16_t* path, size_t pathSize) {
  const std::u16string_view n = name ? std::u16string_view(name) : std::u16string_view();
  if (path) {
    if (pathSize == 0) return false;
    path[0] = 0;
    if (n.size() >= pathSize) return false;
  }
  const bool exists = archive && archive->Exists(n);
  if (path && (exists || n.find_first_of(u"/\\") != std::u16string_view::npos)) {
    n.copy(path, n.size());
    path[n.size()] = 0;
  }
  return exists;
}

char* LoadScriptFile(IArchive* scriptArchive, const char16_t* name, uint32_t* size) {
  char16_t path[kScriptPathSize];
  if (ArchiveMemberExists(scriptArchive, name, path, kScriptPathSize)) {
    uint32_t length = 0;
    if (void* text = ReadArchiveTextFile(scriptArchive, path, nullptr, &length)) {
      if (size) *size = length;
      return static_cast<char*>(text);
    }
  }
  ThrowException(u"script/scr_gui", __LINE__, 0, 0, u"Script: file not found '%s'", name ? name : u"");
}
