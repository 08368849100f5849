// The host text boundary: damaged UTF-8 from file names and text files.
#include "platform/utf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8, DamagedSequencesLoseNothingAfterThem) {
  struct Case {
    std::string in;
    std::u16string want;
  };
  const Case cases[] = {
      {"a\xE3"
       "b",
       u"a\uFFFDb"},  // a three-byte lead with one byte left
      {"\xF0\x9F"
       "a",
       u"\uFFFDa"},                 // a four-byte lead with two bytes left
      {"x\xE3\x81", u"x\uFFFD"},    // cut at the very end: one replacement
      {"\xE3\x81\x82", u"\u3042"},  // whole
      {"\xC3(", u"\uFFFD("},        // a bad continuation byte
      {"\x80z", u"\uFFFDz"},        // a stray continuation byte
  };
  for (const Case& c : cases) {
    std::u16string got = platform::Utf8ToWide(c.in);
    EXPECT_EQ(got, c.want) << "input of " << c.in.size() << " bytes, got " << platform::WideToUtf8(got);
  }
}

}  // namespace
