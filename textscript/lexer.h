// The script reader (bytes, line count, push-back) and the lexer that cuts it into tokens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "lib/wstring.h"

namespace TextScript {

// The parser's terminal codes. Any other byte is returned as its own value.
enum ScriptToken : int {
  TOKEN_END = 0,
  TOKEN_WORD = 258,
  TOKEN_TEXT = 259,
  TOKEN_NEWLINE = 260,
  TOKEN_SEL = 262,
  TOKEN_RMS = 263,
  TOKEN_CLM = 264,
  TOKEN_GRP = 265,
  TOKEN_CHR = 266,
  TOKEN_CHL = 267,
  TOKEN_LGR = 268,
  TOKEN_WAV = 269,
  TOKEN_VOI = 270,
  TOKEN_JMP = 271,
  TOKEN_RJP = 272,
  TOKEN_PJP = 273,
  TOKEN_PST = 274,
  TOKEN_RSP = 275,
  TOKEN_RST = 276,
  TOKEN_RSX = 277,
  TOKEN_SFS = 278,
  TOKEN_DON = 279,
  TOKEN_DOF = 280,
  TOKEN_TOF = 281,
  TOKEN_IVG = 282,
  TOKEN_SSL = 283,
  TOKEN_END0 = 284,  // .END
  TOKEN_END1 = 285,
  TOKEN_END2 = 286,
  TOKEN_SED = 287,
  TOKEN_DGR = 288,
  TOKEN_LAB = 289,
  TOKEN_SHARP_LINE = 290,  // a line opened by the full-width number sign
  TOKEN_SLASH_LINE = 291,  // a line opened by "///"
  TOKEN_AT = 292,
  TOKEN_FLS = 293,
  TOKEN_S1A = 294,
  TOKEN_S1B = 295,
  TOKEN_S1M = 296,
  TOKEN_S2A = 297,
  TOKEN_S2B = 298,
  TOKEN_S2M = 299,
};

// Identifiers, numbers and the line rests keep at most this many characters; the rest of an
// over-long one is read and dropped.
constexpr size_t kTokenLimit = 1023;

// Reads a byte buffer of known length. A NUL byte or the end of the buffer ends the text, and
// reading never moves past it. CR LF and a lone CR read as LF; every LF counts a line.
class ScriptReader {
 public:
  // Starts on a buffer. When it is longer than 128 bytes and its first byte is 0, the first
  // 128 bytes are a header and the text begins after them.
  void Reset(const void* data, size_t size);

  int Getc();
  void Ungetc(int c);
  // Getc where "//" runs to the end of the line (the line end is still read); a single '/'
  // is itself.
  int GetcComment();

  // Skips spaces and tabs.
  void SkipBlanks(bool comments = false);
  // Skips spaces, tabs and line ends.
  void SkipSpace(bool comments = false);
  // Reads through the end of the line (a NUL is given back). True when an LF was read.
  bool SkipLine(bool comments = false);
  // Digits (0-9), then an identifier (letters, digits, '_' and '@'), into out (cut at the limit).
  void ReadDigits(std::string& out, bool comments = false);
  void ReadIdent(std::string& out, bool comments = false);

  int32_t m_Line = 1;

 private:
  int Get(bool comments) { return comments ? GetcComment() : Getc(); }

  const uint8_t* m_pStart = nullptr;
  const uint8_t* m_pCur = nullptr;
  const uint8_t* m_pEnd = nullptr;
  uint8_t m_PushBack[4] = {};
  int32_t m_PushCount = 0;
};

// The value of a WORD or TEXT token, and the line rest of the two line tokens.
struct TokenValue {
  WString text;
};

// Returns the next token of the reader; WORD and TEXT values (and the line rests of 290 and
// 291) go to value. Throws ScriptError2 "コマンド名が違います。" for an unknown command name.
int ScriptLex(ScriptReader& reader, TokenValue& value);

// The widened upper-cased ASCII of an identifier or number.
WString WidenAscii(const std::string& narrow, bool upper);

}  // namespace TextScript
