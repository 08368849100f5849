// Shift-JIS (code page 932) conversion through iconv's "CP932".
#include "lib/sjis.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

// One converter per direction and thread: iconv descriptors carry state and are not
// safe to share between threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : m_Cd(iconv_open(to, from)) {}
  ~Converter() {
    if (m_Cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_Cd);
  }
  bool Ok() const { return m_Cd != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() {
    iconv(m_Cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    return m_Cd;
  }

 private:
  iconv_t m_Cd;
};

Converter& ToWide() {
  thread_local Converter c("UTF-16LE", "CP932");
  return c;
}
Converter& ToSjis() {
  thread_local Converter c("CP932", "UTF-16LE");
  return c;
}

// Converts one complete unit of input (1 or 2 bytes); returns units produced (0 = failure).
size_t ConvertChunk(iconv_t cd, const char* in, size_t inLen, char16_t* out, size_t outUnits) {
  char* inp = const_cast<char*>(in);
  size_t inLeft = inLen;
  char* outp = reinterpret_cast<char*>(out);
  size_t outLeft = outUnits * 2;
  const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
  if (r == static_cast<size_t>(-1) || inLeft != 0) return 0;
  return (outUnits * 2 - outLeft) / 2;
}

}  // namespace

std::u16string SjisToWide(std::string_view sjis) {
  std::u16string out;
  out.reserve(sjis.size());
  Converter& conv = ToWide();
  if (!conv.Ok()) {
    for (unsigned char c : sjis) out += c < 0x80 ? static_cast<char16_t>(c) : u'\u30FB';
    return out;
  }
  iconv_t cd = conv.Get();
  size_t i = 0;
  while (i < sjis.size()) {
    const uint8_t b = static_cast<uint8_t>(sjis[i]);
    if (b < 0x80) {  // ASCII fast path
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    const size_t len = (IsSjisLeadByte(b) && i + 1 < sjis.size()) ? 2 : 1;
    char16_t units[4];
    size_t n = ConvertChunk(cd, sjis.data() + i, len, units, 4);
    if (n == 0) {
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      out += u'\u30FB';
      i += 1;
      continue;
    }
    out.append(units, n);
    i += len;
  }
  return out;
}

std::string WideToSjis(std::u16string_view wide) {
  std::string out;
  out.reserve(wide.size() * 2);
  Converter& conv = ToSjis();
  iconv_t cd = conv.Ok() ? conv.Get() : nullptr;
  size_t i = 0;
  while (i < wide.size()) {
    const char16_t c = wide[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    size_t len = (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) ? 2 : 1;
    char buf[8];
    bool ok = false;
    if (cd) {
      char* inp = reinterpret_cast<char*>(const_cast<char16_t*>(wide.data() + i));
      size_t inLeft = len * 2;
      char* outp = buf;
      size_t outLeft = sizeof buf;
      const size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
      if (r != static_cast<size_t>(-1) && inLeft == 0) {
        out.append(buf, sizeof buf - outLeft);
        ok = true;
      } else {
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
      }
    }
    if (!ok) out += '?';
    i += len;
  }
  return out;
}

bool IsSjisRepresentable(std::u16string_view wide) {
  Converter& conv = ToSjis();
  if (!conv.Ok()) return false;
  iconv_t cd = conv.Get();
  size_t i = 0;
  while (i < wide.size()) {
    const char16_t c = wide[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    const size_t len = (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size()) ? 2 : 1;
    char buf[8];
    char* inp = reinterpret_cast<char*>(const_cast<char16_t*>(wide.data() + i));
    size_t inLeft = len * 2;
    char* outp = buf;
    size_t outLeft = sizeof buf;
    if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) return false;
    i += len;
  }
  return true;
}

int MultiByteToWide(char16_t* out, int outSize, const char* in, int inSize) {
  if (!in) return 0;
  const size_t len = inSize < 0 ? std::strlen(in) : static_cast<size_t>(inSize);
  const std::u16string wide = SjisToWide(std::string_view(in, len));
  if (outSize <= 0) return static_cast<int>(wide.size());
  const size_t n = wide.size() < static_cast<size_t>(outSize) ? wide.size() : static_cast<size_t>(outSize);
  for (size_t i = 0; i < n; ++i) out[i] = wide[i];
  return static_cast<int>(n);
}
