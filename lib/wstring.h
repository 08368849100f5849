// The program's wide string (UTF-16, char16_t) with printf-style formatting under the
// original platform's wide rules: %s is a wide string, %hs a narrow Shift-JIS one.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

// A UTF-16 string. It is a std::u16string with the formatting and conversion helpers
// the engine uses everywhere; copies are cheap enough for this program's sizes.
class WString : public std::u16string {
 public:
  using std::u16string::u16string;
  WString() = default;
  WString(const std::u16string& s) : std::u16string(s) {}
  WString(std::u16string&& s) : std::u16string(std::move(s)) {}
  WString(std::u16string_view s) : std::u16string(s) {}

  // Formats with the wide printf rules (see FormatWideV).
  static WString Format(const char16_t* format, ...);
  static WString FormatV(const char16_t* format, va_list args);
  void AppendFormat(const char16_t* format, ...);

  // Shift-JIS (code page 932) in and out.
  static WString FromSjis(std::string_view sjis);
  std::string ToSjis() const;
  // UTF-8 in and out (host text: paths, logs, source literals).
  static WString FromUtf8(std::string_view utf8);
  std::string ToUtf8() const;

  const char16_t* c() const { return c_str(); }
  bool IsEmpty() const { return empty(); }
};

// Formats into a std::u16string. Conversions: %s (const char16_t*), %hs (const char*,
// Shift-JIS), %ls/%ws (wide), %c (a UTF-16 unit, promoted to int), %hc (a narrow char),
// %d %i %u %x %X %o (int; h, hh, l, ll, z modifiers), %p (pointer, 8 upper-case hex
// digits per 32 bits), %f %e %g (double), %%, widths and precisions (also '*'),
// and the '-', '0', '+', ' ' and '#' flags. A null %s prints "(null)".
std::u16string FormatWideV(const char16_t* format, va_list args);
std::u16string FormatWide(const char16_t* format, ...);

// Copies text into a fixed buffer of capacity units (terminator included), cutting it
// when it is longer. Returns the number of units copied (without the terminator).
size_t CopyWideTruncated(char16_t* out, size_t capacity, std::u16string_view text);

// Length of a NUL-terminated wide text.
size_t WideLength(const char16_t* text);
