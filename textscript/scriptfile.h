// Compiling a script and reading "iv.txt" straight from an archive member.
#pragma once

#include <string_view>

struct IArchive;

namespace TextScript {

class ScriptStateGroup;

// Reads the member whole and compiles it into the group under the member's name; the
// member's length bounds the text. False (nothing compiled) when the member cannot be read;
// compile errors leave as the error object, as from ScriptStateGroup::Compile.
bool CompileArchiveScript(ScriptStateGroup& group, IArchive* archive, std::u16string_view name);

// Reads the member whole into the group's jump and judge tables. False when it cannot be
// read; a format error leaves as ScriptError2, as from ScriptStateGroup::ReadIVTables.
bool ReadArchiveIVTables(ScriptStateGroup& group, IArchive* archive, std::u16string_view name);

}  // namespace TextScript
