// Splits the command line into arguments, with quoting and "@file" response files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Reads arguments one at a time. An argument that begins with '@' names a response
// file whose arguments are read in its place; the arguments inside a response file are
// returned as they are (an '@' there is not expanded again).
//
// Quoting: a double quote opens a part that runs to the next double quote (blanks
// inside it stay, the quotes are dropped); \" gives a quote; a backslash before
// anything else is kept. Arguments have no length limit.
class ArgTokenizer {
 public:
  explicit ArgTokenizer(std::u16string_view text);
  explicit ArgTokenizer(const char16_t* text);  // null reads as an empty text
  ~ArgTokenizer();
  ArgTokenizer(const ArgTokenizer&) = delete;
  ArgTokenizer& operator=(const ArgTokenizer&) = delete;

  // The next argument, or null when all are read. The text lives in the tokenizer
  // and stays valid until the next call.
  const char16_t* Next();

  // Makes the given response-file bytes the current source: their arguments come
  // next, then the rest of the text. Next uses this after reading an "@" file.
  void OpenResponseData(const uint8_t* data, size_t size);

  // A missing response file shows a box and then ends the program with code 1 through
  // this hook (std::exit by default). When a hook returns, the tokenizer is finished
  // and Next returns null. Returns the previous hook; null restores the default.
  using ExitHook = void (*)(int code);
  static ExitHook SetExitHook(ExitHook hook);

 private:
  enum State { kFinished = 0, kText = 1, kFile = 2 };

  bool ReadFromText();
  bool ReadFromFile();

  std::u16string m_Buffer;  // the current argument
  std::u16string m_Text;    // the command line
  size_t m_Pos = 0;
  int m_State = kText;
  std::u16string m_File;  // the open response file's text
  size_t m_FilePos = 0;
};

// Decodes a response file's bytes as the program reads them: UTF-16LE when they begin
// with the byte-order mark FF FE; else UTF-8 when they begin with its mark EF BB BF or
// are valid UTF-8 throughout; else Shift-JIS. CR LF becomes LF (a lone CR stays), and
// the text ends at the first NUL character, as a C string would.
std::u16string DecodeResponseText(const uint8_t* data, size_t size);
