// Shift-JIS script text to UTF-16, with the code page's answers kept for reuse.
#pragma once

#include <string>
#include <string_view>

namespace TextScript {

// The same result as SjisToWide (the code page 932 conversion), but each character's
// conversion is asked of the converter once per process and then looked up: scripts are
// megabytes of Japanese text, and one conversion call per character dominates a compile.
std::u16string ScriptTextToWide(std::string_view sjis);

}  // namespace TextScript
