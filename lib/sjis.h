// Shift-JIS (code page 932) <-> UTF-16 through iconv, and the lead-byte test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// True for a first byte of a Shift-JIS double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsSjisLeadByte(uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Converts Shift-JIS to UTF-16. Bytes that do not convert become U+30FB ('・')
// one byte at a time, so a damaged text still converts whole.
std::u16string SjisToWide(std::string_view sjis);

// Converts UTF-16 to Shift-JIS. Characters that code page 932 cannot hold become '?'.
std::string WideToSjis(std::u16string_view wide);

// True when every character of the text has a Shift-JIS form.
bool IsSjisRepresentable(std::u16string_view wide);

// The platform conversion from the ANSI code page: converts inSize bytes (or up to
// the first NUL when inSize is negative) into at most outSize units. Returns the
// number of units written; with outSize 0, the number of units needed.
int MultiByteToWide(char16_t* out, int outSize, const char* in, int inSize);
