// The script reader and the lexer: line counting, text joining and the command names.
#include "textscript/lexer.h"

#include <array>
#include <cstring>
#include <iterator>
#include <string_view>

#include "lib/sjis.h"
#include "textscript/scripterror.h"
#include "textscript/sjistext.h"

namespace TextScript {

namespace {

bool IsDigit(int c) {
  return c >= '0' && c <= '9';
}
bool IsAlpha(int c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool IsIdent(int c) {
  return IsAlpha(c) || IsDigit(c) || c == '_' || c == '@';
}

struct CommandName {
  const char* name;
  int token;
};

// In lookup order.
const CommandName kCommands[] = {
    {"GRP", TOKEN_GRP},   {"CHR", TOKEN_CHR},   {"CHL", TOKEN_CHL}, {"LAB", TOKEN_LAB}, {"WAV", TOKEN_WAV},
    {"PST", TOKEN_PST},   {"SEL", TOKEN_SEL},   {"RMS", TOKEN_RMS}, {"CLM", TOKEN_CLM}, {"LGR", TOKEN_LGR},
    {"VOI", TOKEN_VOI},   {"FLS", TOKEN_FLS},   {"JMP", TOKEN_JMP}, {"RJP", TOKEN_RJP}, {"PJP", TOKEN_PJP},
    {"RSP", TOKEN_RSP},   {"RST", TOKEN_RST},   {"RSX", TOKEN_RSX}, {"SFS", TOKEN_SFS}, {"DON", TOKEN_DON},
    {"DOF", TOKEN_DOF},   {"TOF", TOKEN_TOF},   {"IVG", TOKEN_IVG}, {"SSL", TOKEN_SSL}, {"END", TOKEN_END0},
    {"END1", TOKEN_END1}, {"END2", TOKEN_END2}, {"SED", TOKEN_SED}, {"DGR", TOKEN_DGR}, {"S1A", TOKEN_S1A},
    {"S1B", TOKEN_S1B},   {"S1M", TOKEN_S1M},   {"S2A", TOKEN_S2A}, {"S2B", TOKEN_S2B}, {"S2M", TOKEN_S2M},
    {nullptr, 0},
};

// The names are at most four characters, so each is compared as one packed word.
constexpr uint32_t Pack(std::string_view s) {
  uint32_t v = 0;
  for (char c : s) v = v << 8 | static_cast<uint8_t>(c);
  return v;
}

int LookupCommand(const std::string& upper) {
  if (upper.empty() || upper.size() > 4) return 0;
  static const auto table = [] {
    struct Entry {
      uint32_t packed;
      int token;
    };
    std::array<Entry, std::size(kCommands) - 1> t{};
    for (size_t i = 0; kCommands[i].name; ++i) t[i] = {Pack(kCommands[i].name), kCommands[i].token};
    return t;
  }();
  const uint32_t key = Pack(upper);
  for (const auto& e : table)
    if (e.packed == key) return e.token;
  return 0;
}

void Upper(std::string& s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

// The bytes up to the line end or the end of the text; the LF is given back.
void ReadLineRest(ScriptReader& r, std::string& out) {
  int c;
  while ((c = r.Getc()) != 0 && c != '\n') out += static_cast<char>(c);
  r.Ungetc(c);
}

// One or more text lines: a following line joins when its first byte is a Shift-JIS lead
// byte, unless it opens with the full-width number sign (a page separator of its own).
int LexText(ScriptReader& r, TokenValue& value) {
  std::string buf;
  for (;;) {
    int c;
    while ((c = r.Getc()) != 0 && c != '\n') buf += static_cast<char>(c);
    if (c == 0) {
      r.Ungetc('\n');
      break;
    }
    const int n = r.Getc();
    if (IsSjisLeadByte(static_cast<uint8_t>(n))) {
      if (n == 0x81) {
        const int n2 = r.Getc();
        r.Ungetc(n2);
        if (n2 == 0x94) {
          r.Ungetc(n);
          r.Ungetc('\n');
          break;
        }
      }
      r.Ungetc(n);
      buf += '\n';
      continue;
    }
    r.Ungetc(n);
    r.Ungetc('\n');
    break;
  }
  value.text = WString(ScriptTextToWide(buf));
  return TOKEN_TEXT;
}

}  // namespace

WString WidenAscii(const std::string& narrow, bool upper) {
  WString w;
  w.resize(narrow.size());
  for (size_t i = 0; i < narrow.size(); ++i) {
    char16_t c = static_cast<uint8_t>(narrow[i]);
    if (upper && c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    w[i] = c;
  }
  return w;
}

void ScriptReader::Reset(const void* data, size_t size) {
  m_pStart = static_cast<const uint8_t*>(data);
  m_pEnd = m_pStart ? m_pStart + size : nullptr;
  m_pCur = m_pStart;
  if (m_pStart && size > 128 && m_pStart[0] == 0) m_pCur = m_pStart + 128;
  m_PushCount = 0;
  m_Line = 1;
}

int ScriptReader::Getc() {
  if (m_PushCount > 0) {
    const int c = m_PushBack[--m_PushCount];
    if (c == '\n') ++m_Line;
    return c;
  }
  if (m_pCur >= m_pEnd) return 0;
  int c = *m_pCur;
  if (c == 0) return 0;  // the end: never read past it
  ++m_pCur;
  if (c == '\r') {
    if (m_pCur < m_pEnd && *m_pCur == '\n') ++m_pCur;
    c = '\n';
  }
  if (c == '\n') ++m_Line;
  return c;
}

void ScriptReader::Ungetc(int c) {
  // The end of the text is never consumed, so giving it back needs no room.
  if (c == 0) return;
  if (m_PushCount >= static_cast<int32_t>(sizeof m_PushBack)) return;  // never more than three are pending
  m_PushBack[m_PushCount++] = static_cast<uint8_t>(c);
  if (c == '\n') --m_Line;
}

int ScriptReader::GetcComment() {
  const int c = Getc();
  if (c != '/') return c;
  const int n = Getc();
  if (n != '/') {
    Ungetc(n);
    return '/';
  }
  int d;
  while ((d = Getc()) != 0 && d != '\n') {
  }
  return d;  // the line end goes on to the reader
}

void ScriptReader::SkipBlanks(bool comments) {
  int c;
  while ((c = Get(comments)) == ' ' || c == '\t') {
  }
  Ungetc(c);
}

void ScriptReader::SkipSpace(bool comments) {
  int c;
  while ((c = Get(comments)) == ' ' || c == '\t' || c == '\n') {
  }
  Ungetc(c);
}

bool ScriptReader::SkipLine(bool comments) {
  int c;
  while ((c = Get(comments)) != 0 && c != '\n') {
  }
  return c == '\n';  // a NUL is never consumed, so it needs no giving back
}

void ScriptReader::ReadDigits(std::string& out, bool comments) {
  out.clear();
  int c;
  while (IsDigit(c = Get(comments)))
    if (out.size() < kTokenLimit) out += static_cast<char>(c);
  Ungetc(c);
}

void ScriptReader::ReadIdent(std::string& out, bool comments) {
  out.clear();
  int c;
  while (IsIdent(c = Get(comments)))
    if (out.size() < kTokenLimit) out += static_cast<char>(c);
  Ungetc(c);
}

int ScriptLex(ScriptReader& r, TokenValue& value) {
  std::string narrow;
  for (;;) {
    r.SkipBlanks();
    int c = r.Getc();
    if (c == 0) return TOKEN_END;
    if (c == 0x81) {
      const int n = r.Getc();
      if (n == 0x94) {
        ReadLineRest(r, narrow);
        std::u16string w = ScriptTextToWide(narrow);
        if (w.size() > kTokenLimit) w.resize(kTokenLimit);
        value.text = WString(std::move(w));
        return TOKEN_SHARP_LINE;
      }
      r.Ungetc(n);
    }
    if (IsSjisLeadByte(static_cast<uint8_t>(c))) {
      r.Ungetc(c);
      return LexText(r, value);
    }
    if (c == '\n') return TOKEN_NEWLINE;
    if (c == '@') return TOKEN_AT;
    if (c == '/') {
      const int n = r.Getc();
      if (n != '/') {
        r.Ungetc(n);
        return '/';
      }
      const int t = r.Getc();
      if (t != '/') {
        // A remark: the line end stays, so the line still yields its NEWLINE.
        r.Ungetc(t);
        if (r.SkipLine()) r.Ungetc('\n');
        continue;
      }
      ReadLineRest(r, narrow);
      if (narrow.size() > kTokenLimit) narrow.resize(kTokenLimit);
      value.text = WidenAscii(narrow, false);
      return TOKEN_SLASH_LINE;
    }
    if (c == '.') {
      const int n = r.Getc();
      if (IsAlpha(n) || n == '_') {
        r.Ungetc(n);
        r.ReadIdent(narrow);
        Upper(narrow);
        if (const int token = LookupCommand(narrow)) return token;
        throw ScriptError2(r.m_Line, u"コマンド名が違います。");
      }
      c = n;  // the point is dropped
      if (!IsDigit(c)) return c;
    }
    if (IsDigit(c)) {
      r.Ungetc(c);
      r.ReadDigits(narrow);
      value.text = WidenAscii(narrow, false);
      return TOKEN_WORD;
    }
    if (IsAlpha(c)) {
      r.Ungetc(c);
      r.ReadIdent(narrow);
      value.text = WidenAscii(narrow, true);
      return TOKEN_WORD;
    }
    return c;
  }
}

}  // namespace TextScript
