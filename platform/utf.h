// UTF-8 <-> UTF-16 conversion for the boundary with the host (paths, log output).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Invalid sequences become U+FFFD; a lone surrogate is encoded as is (WTF-8 style)
// so that any wide name survives a round trip through the file system.
std::string WideToUtf8(std::u16string_view text);
std::u16string Utf8ToWide(std::string_view text);

}  // namespace platform
