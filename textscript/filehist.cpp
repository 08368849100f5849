// File histories: case-blind lookup and appending of bare file names.
#include "textscript/filehist.h"

#include "lib/utility.h"
#include "textscript/variables.h"

namespace TextScript {

int FILEHISTGROUP::Find(std::u16string_view name) const {
  for (FILEHISTNODE* n = First(); n; n = n->Next())
    if (EqualNoCase(n->m_Name, name)) return 1;
  return 0;
}

int FILEHISTGROUP::Add(std::u16string_view name) {
  if (Find(name)) return 1;
  Append(new FILEHISTNODE(name));
  return 0;
}

WString BareFileName(std::u16string_view path) {
  WString full(path);
  WString out;
  ReplacePathParts(out, full.c(), u"", u"", nullptr, u"");
  return out;
}

void RecordImageHistory(std::u16string_view path) {
  g_ImageHistory.Add(BareFileName(path));
}

}  // namespace TextScript
