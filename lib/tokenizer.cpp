// The command-line tokenizer and the decoding of its response files.
#include "lib/tokenizer.h"

#include <atomic>
#include <cstdlib>
#include <vector>

#include "lib/sjis.h"
#include "lib/wstring.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "platform/utf.h"

namespace {

void DefaultExit(int code) {
  std::exit(code);
}

std::atomic<ArgTokenizer::ExitHook> g_ExitHook{&DefaultExit};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    uint32_t cp;
    if (b >= 0xC2 && b <= 0xDF) {
      len = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      len = 3;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      len = 4;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (n - i < len) return false;
    for (size_t k = 1; k < len; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
    if (cp >= 0xD800 && cp <= 0xDFFF) return false;
    i += len;
  }
  return true;
}

// Text mode: CR LF reads as LF; the text stops at a NUL.
std::u16string ToTextMode(const std::u16string& raw) {
  std::u16string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    const char16_t c = raw[i];
    if (c == 0) break;
    if (c == u'\r' && i + 1 < raw.size() && raw[i + 1] == u'\n') continue;
    out += c;
  }
  return out;
}

constexpr bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

// Collects one argument from text starting at pos. In a response file a line end also
// separates arguments and ends a quoted part.
bool ReadArgument(const std::u16string& text, size_t& pos, bool fromFile, std::u16string& out) {
  const size_t n = text.size();
  auto isSeparator = [fromFile](char16_t c) { return IsBlank(c) || (fromFile && c == u'\n'); };
  while (pos < n && isSeparator(text[pos])) ++pos;
  if (pos >= n) return false;
  out.clear();
  while (pos < n && !isSeparator(text[pos])) {
    const char16_t c = text[pos];
    if (c == u'"') {
      ++pos;
      while (pos < n && text[pos] != u'"' && !(fromFile && text[pos] == u'\n')) out += text[pos++];
      if (pos < n && text[pos] == u'"') ++pos;
    } else if (c == u'\\' && pos + 1 < n && text[pos + 1] == u'"') {
      out += u'"';
      pos += 2;
    } else {
      out += c;
      ++pos;
    }
  }
  return true;
}

}  // namespace

std::u16string DecodeResponseText(const uint8_t* data, size_t size) {
  if (!data) size = 0;
  std::u16string raw;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    raw.reserve((size - 2) / 2);
    for (size_t i = 2; i + 1 < size; i += 2) raw += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  } else if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    raw = platform::Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data) + 3, size - 3));
  } else if (IsValidUtf8(data, size)) {
    raw = platform::Utf8ToWide(std::string_view(reinterpret_cast<const char*>(data), size));
  } else {
    raw = SjisToWide(std::string_view(reinterpret_cast<const char*>(data), size));
  }
  return ToTextMode(raw);
}

ArgTokenizer::ArgTokenizer(std::u16string_view text) : m_Text(text.substr(0, text.find(u'\0'))) {}

ArgTokenizer::ArgTokenizer(const char16_t* text)
    : ArgTokenizer(text ? std::u16string_view(text) : std::u16string_view()) {}

ArgTokenizer::~ArgTokenizer() = default;

ArgTokenizer::ExitHook ArgTokenizer::SetExitHook(ExitHook hook) {
  return g_ExitHook.exchange(hook ? hook : &DefaultExit);
}

void ArgTokenizer::OpenResponseData(const uint8_t* data, size_t size) {
  m_File = DecodeResponseText(data, size);
  m_FilePos = 0;
  m_State = kFile;
}

bool ArgTokenizer::ReadFromText() {
  return ReadArgument(m_Text, m_Pos, false, m_Buffer);
}

bool ArgTokenizer::ReadFromFile() {
  return ReadArgument(m_File, m_FilePos, true, m_Buffer);
}

const char16_t* ArgTokenizer::Next() {
  for (;;) {
    if (m_State == kFinished) return nullptr;
    if (m_State == kFile) {
      if (ReadFromFile()) return m_Buffer.c_str();
      m_File.clear();
      m_FilePos = 0;
      m_State = kText;
      continue;
    }
    if (!ReadFromText()) {
      m_State = kFinished;
      return nullptr;
    }
    if (m_Buffer.empty() || m_Buffer[0] != u'@') return m_Buffer.c_str();

    const std::u16string name = m_Buffer.substr(1);
    std::vector<uint8_t> bytes;
    if (!platform::IsRegularFile(name) || !platform::ReadWholeFile(name, bytes)) {
      platform::ShowMessageBox(WString::Format(u"File not found '%s'", name.c_str()), u"Error",
                               platform::MsgButtons::Ok, platform::MsgIcon::Warning);
      g_ExitHook.load()(1);
      m_State = kFinished;
      return nullptr;
    }
    OpenResponseData(bytes.data(), bytes.size());
  }
}
