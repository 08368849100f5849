// Compiling a script and reading "iv.txt" straight from an archive member.
#include "textscript/scriptfile.h"

#include "archive/archive.h"
#include "textscript/statement.h"

namespace TextScript {

namespace {

bool ReadMember(IArchive* archive, std::u16string_view name, ArchiveBuffer& data, uint32_t& size) {
  size = 0;
  if (!archive) return false;
  // The text form of the read, so an empty member still gives a buffer (of its one NUL).
  data.reset(static_cast<uint8_t*>(ReadArchiveTextFile(archive, name, nullptr, &size)));
  return data != nullptr;
}

}  // namespace

bool CompileArchiveScript(ScriptStateGroup& group, IArchive* archive, std::u16string_view name) {
  ArchiveBuffer data;
  uint32_t size = 0;
  if (!ReadMember(archive, name, data, size)) return false;
  group.Compile(data.get(), size, name);
  return true;
}

bool ReadArchiveIVTables(ScriptStateGroup& group, IArchive* archive, std::u16string_view name) {
  ArchiveBuffer data;
  uint32_t size = 0;
  if (!ReadMember(archive, name, data, size)) return false;
  group.ReadIVTables(data.get(), size);
  return true;
}

}  // namespace TextScript
