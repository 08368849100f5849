// Fuzzes the command-line tokenizer's reading of response-file bytes, and of the same text
// as a command line (with '@' taken out, so that no file is opened).
#include <cstddef>
#include <cstdint>
#include <string>

#include "lib/tokenizer.h"

static volatile size_t g_Sink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t total = 0;
  {
    ArgTokenizer t(u"tail");
    t.OpenResponseData(data, size);
    while (const char16_t* arg = t.Next()) total += std::u16string(arg).size();
  }
  std::u16string line = DecodeResponseText(data, size);
  for (char16_t& c : line)
    if (c == u'@') c = u'a';
  ArgTokenizer t(line);
  while (const char16_t* arg = t.Next()) total += std::u16string(arg).size();
  g_Sink = total;
  return 0;
}
