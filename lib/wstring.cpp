// Wide printf-style formatting and the WString helpers.
#include "lib/wstring.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "lib/sjis.h"
#include "platform/utf.h"

namespace {

struct Spec {
  bool left = false, zero = false, plus = false, space = false, alt = false;
  int width = -1;
  int precision = -1;
};

void Pad(std::u16string& out, size_t count, char16_t c) {
  out.append(count, c);
}

// Writes body with the width and '-' rules; zero padding goes after any sign or prefix.
void Emit(std::u16string& out, const Spec& spec, std::u16string_view prefix, std::u16string_view body, bool numeric) {
  const size_t len = prefix.size() + body.size();
  const size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
  const size_t pad = width > len ? width - len : 0;
  if (spec.left) {
    out += prefix;
    out += body;
    Pad(out, pad, u' ');
  } else if (spec.zero && numeric) {
    out += prefix;
    Pad(out, pad, u'0');
    out += body;
  } else {
    Pad(out, pad, u' ');
    out += prefix;
    out += body;
  }
}

std::u16string Digits(uint64_t value, unsigned base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char buf[72];
  int n = 0;
  do {
    buf[n++] = set[value % base];
    value /= base;
  } while (value);
  std::u16string s;
  while (n) s += static_cast<char16_t>(buf[--n]);
  return s;
}

}  // namespace

std::u16string FormatWideV(const char16_t* format, va_list args) {
  std::u16string out;
  if (!format) return out;
  for (const char16_t* p = format; *p; ++p) {
    if (*p != u'%') {
      out += *p;
      continue;
    }
    ++p;
    if (*p == u'%') {
      out += u'%';
      continue;
    }
    Spec spec;
    for (;; ++p) {
      if (*p == u'-')
        spec.left = true;
      else if (*p == u'0')
        spec.zero = true;
      else if (*p == u'+')
        spec.plus = true;
      else if (*p == u' ')
        spec.space = true;
      else if (*p == u'#')
        spec.alt = true;
      else
        break;
    }
    if (*p == u'*') {
      spec.width = va_arg(args, int);
      if (spec.width < 0) {
        spec.left = true;
        spec.width = -spec.width;
      }
      ++p;
    } else {
      while (*p >= u'0' && *p <= u'9') spec.width = (spec.width < 0 ? 0 : spec.width) * 10 + (*p++ - u'0');
    }
    if (*p == u'.') {
      ++p;
      spec.precision = 0;
      if (*p == u'*') {
        spec.precision = va_arg(args, int);
        ++p;
      } else {
        while (*p >= u'0' && *p <= u'9') spec.precision = spec.precision * 10 + (*p++ - u'0');
      }
    }
    // Length modifiers: h (narrow for s/c, short for integers), hh, l, ll, I64, z, w.
    int size = 0;  // -2 hh, -1 h, 0 int, 1 long, 2 long long, 3 size_t
    bool narrow = false, wide = false;
    for (;;) {
      if (*p == u'h') {
        narrow = true;
        size = size == -1 ? -2 : -1;
        ++p;
      } else if (*p == u'l') {
        wide = true;
        size = size == 1 ? 2 : 1;
        ++p;
      } else if (*p == u'w') {
        wide = true;
        ++p;
      } else if (*p == u'z') {
        size = 3;
        ++p;
      } else if (p[0] == u'I' && p[1] == u'6' && p[2] == u'4') {
        size = 2;
        p += 3;
      } else {
        break;
      }
    }
    const char16_t conv = *p;
    if (!conv) break;
    switch (conv) {
      case u's':
      case u'S': {
        // The original platform's wide rules: %s and %ls are wide, %hs is narrow;
        // %S is the opposite width of %s, so narrow here.
        const bool isNarrow = narrow || (conv == u'S' && !wide);
        std::u16string text;
        if (isNarrow) {
          const char* s = va_arg(args, const char*);
          if (!s)
            text = u"(null)";
          else if (spec.precision >= 0)
            text = SjisToWide(std::string_view(s, strnlen(s, static_cast<size_t>(spec.precision))));
          else
            text = SjisToWide(s);
        } else {
          const char16_t* s = va_arg(args, const char16_t*);
          if (!s)
            text = u"(null)";
          else
            text = s;
        }
        if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision))
          text.resize(static_cast<size_t>(spec.precision));
        Emit(out, spec, u"", text, false);
        break;
      }
      case u'c':
      case u'C': {
        const int v = va_arg(args, int);
        std::u16string text;
        if (narrow || (conv == u'C' && !wide)) {
          const char c = static_cast<char>(v);
          text = SjisToWide(std::string_view(&c, 1));
        } else {
          text = std::u16string(1, static_cast<char16_t>(v));
        }
        Emit(out, spec, u"", text, false);
        break;
      }
      case u'd':
      case u'i':
      case u'u':
      case u'x':
      case u'X':
      case u'o': {
        const bool isSigned = conv == u'd' || conv == u'i';
        uint64_t magnitude = 0;
        bool negative = false;
        if (isSigned) {
          int64_t v;
          switch (size) {
            case -2:
              v = static_cast<signed char>(va_arg(args, int));
              break;
            case -1:
              v = static_cast<short>(va_arg(args, int));
              break;
            case 1:
              v = va_arg(args, long);
              break;
            case 2:
              v = va_arg(args, long long);
              break;
            case 3:
              v = static_cast<int64_t>(va_arg(args, size_t));
              break;
            default:
              v = va_arg(args, int);
              break;
          }
          negative = v < 0;
          magnitude = negative ? (~static_cast<uint64_t>(v) + 1) : static_cast<uint64_t>(v);
        } else {
          switch (size) {
            case -2:
              magnitude = static_cast<unsigned char>(va_arg(args, unsigned));
              break;
            case -1:
              magnitude = static_cast<unsigned short>(va_arg(args, unsigned));
              break;
            case 1:
              magnitude = va_arg(args, unsigned long);
              break;
            case 2:
              magnitude = va_arg(args, unsigned long long);
              break;
            case 3:
              magnitude = va_arg(args, size_t);
              break;
            default:
              magnitude = va_arg(args, unsigned);
              break;
          }
        }
        const unsigned base = (conv == u'x' || conv == u'X') ? 16 : conv == u'o' ? 8 : 10;
        std::u16string body = Digits(magnitude, base, conv == u'X');
        if (spec.precision >= 0) {
          if (spec.precision == 0 && magnitude == 0) body.clear();
          if (body.size() < static_cast<size_t>(spec.precision))
            body.insert(0, static_cast<size_t>(spec.precision) - body.size(), u'0');
        }
        std::u16string prefix;
        if (negative)
          prefix = u"-";
        else if (isSigned && spec.plus)
          prefix = u"+";
        else if (isSigned && spec.space)
          prefix = u" ";
        if (spec.alt && magnitude != 0) {
          if (base == 16)
            prefix += conv == u'X' ? u"0X" : u"0x";
          else if (base == 8 && (body.empty() || body[0] != u'0'))
            body.insert(0, 1, u'0');
        }
        Spec s = spec;
        if (spec.precision >= 0) s.zero = false;
        Emit(out, s, prefix, body, true);
        break;
      }
      case u'p': {
        const uintptr_t v = reinterpret_cast<uintptr_t>(va_arg(args, void*));
        std::u16string body = Digits(v, 16, true);
        const size_t digits = sizeof(void*) * 2;
        if (body.size() < digits) body.insert(0, digits - body.size(), u'0');
        Emit(out, spec, u"", body, false);
        break;
      }
      case u'f':
      case u'F':
      case u'e':
      case u'E':
      case u'g':
      case u'G':
      case u'a':
      case u'A': {
        const double v = va_arg(args, double);
        char fmt[16];
        int k = 0;
        fmt[k++] = '%';
        if (spec.left) fmt[k++] = '-';
        if (spec.zero) fmt[k++] = '0';
        if (spec.plus) fmt[k++] = '+';
        if (spec.space) fmt[k++] = ' ';
        if (spec.alt) fmt[k++] = '#';
        fmt[k++] = '*';
        fmt[k++] = '.';
        fmt[k++] = '*';
        fmt[k++] = static_cast<char>(conv);
        fmt[k] = 0;
        char buf[512];
        std::snprintf(buf, sizeof buf, fmt, spec.width < 0 ? 0 : spec.width, spec.precision < 0 ? 6 : spec.precision,
                      v);
        for (const char* c = buf; *c; ++c) out += static_cast<char16_t>(*c);
        break;
      }
      case u'n': {
        (void)va_arg(args, int*);  // never written: a format string must not store
        break;
      }
      default:
        // An unknown conversion is copied as written.
        out += u'%';
        out += conv;
        break;
    }
  }
  return out;
}

std::u16string FormatWide(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::u16string s = FormatWideV(format, args);
  va_end(args);
  return s;
}

WString WString::Format(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  WString s(FormatWideV(format, args));
  va_end(args);
  return s;
}

WString WString::FormatV(const char16_t* format, va_list args) {
  return WString(FormatWideV(format, args));
}

void WString::AppendFormat(const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  append(FormatWideV(format, args));
  va_end(args);
}

WString WString::FromSjis(std::string_view sjis) {
  return WString(SjisToWide(sjis));
}
std::string WString::ToSjis() const {
  return WideToSjis(*this);
}
WString WString::FromUtf8(std::string_view utf8) {
  return WString(platform::Utf8ToWide(utf8));
}
std::string WString::ToUtf8() const {
  return platform::WideToUtf8(*this);
}

size_t CopyWideTruncated(char16_t* out, size_t capacity, std::u16string_view text) {
  if (!out || capacity == 0) return 0;
  const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  for (size_t i = 0; i < n; ++i) out[i] = text[i];
  out[n] = 0;
  return n;
}

size_t WideLength(const char16_t* text) {
  if (!text) return 0;
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}
