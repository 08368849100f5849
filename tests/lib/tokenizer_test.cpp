// The command-line tokenizer: quoting, long arguments, response files and their encodings.
#include "lib/tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/sjis.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/utf.h"

namespace {

std::vector<std::string> Drain(ArgTokenizer& t) {
  std::vector<std::string> out;
  while (const char16_t* arg = t.Next()) out.push_back(platform::WideToUtf8(arg));
  return out;
}

std::vector<std::string> Split(const std::u16string& text) {
  ArgTokenizer t(text);
  return Drain(t);
}

std::vector<std::string> SplitFile(const std::string& bytes) {
  ArgTokenizer t(u"");
  t.OpenResponseData(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return Drain(t);
}

using Args = std::vector<std::string>;

TEST(ArgTokenizer, QuotingRules) {
  struct Case {
    std::u16string text;
    Args want;
  };
  const Case cases[] = {
      {u"-W \"a b\" c", {"-W", "a b", "c"}},
      {u"a\\\"b", {"a\"b"}},
      {u"a\\b \\\\\"c", {"a\\b", "\\\"c"}},  // a backslash before anything but a quote stays
      {u"x\"y z\"w", {"xy zw"}},
      {u"\"\"x\"\"", {"x"}},
      {u"\"\"", {""}},  // an empty argument is still one
      {u"\"open to the end", {"open to the end"}},
      {u"  \t a\tb  ", {"a", "b"}},
      {u"", {}},
      {u" \t ", {}},
      {u"漢字 \"か な\"", {"漢字", "か な"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Split(c.text), c.want) << platform::WideToUtf8(c.text);

  ArgTokenizer empty(static_cast<const char16_t*>(nullptr));
  EXPECT_EQ(empty.Next(), nullptr);
  EXPECT_EQ(empty.Next(), nullptr);
}

TEST(ArgTokenizer, ArgumentsOfAnyLengthStayWhole) {
  const std::string plain(1000, 'p');
  const std::string quoted(300, 'q');
  const std::u16string text = platform::Utf8ToWide(plain + " \"" + quoted + " " + quoted + "\" end");
  EXPECT_EQ(Split(text), (Args{plain, quoted + " " + quoted, "end"}));
  EXPECT_EQ(SplitFile(plain + "\n" + quoted), (Args{plain, quoted}));
}

TEST(ArgTokenizer, ResponseFileRules) {
  struct Case {
    std::string bytes;
    Args want;
  };
  const Case cases[] = {
      {"-A -B\r\nc \"d e\"\r\n", {"-A", "-B", "c", "d e"}},
      {"\"open\nnext", {"open", "next"}},  // a quoted part ends at the line end
      {"a\tb\n\n  \n c", {"a", "b", "c"}},
      {"@inner.txt", {"@inner.txt"}},            // not expanded again
      {"x\ry", {"x\ry"}},                        // a lone CR is an ordinary character
      {std::string("a b\0c d", 7), {"a", "b"}},  // the text ends at a NUL
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitFile(c.bytes), c.want) << c.bytes;
}

TEST(ArgTokenizer, ResponseFileEncodings) {
  const std::u16string want = u"-Oオプション ｱｲ";
  std::string utf16 = "\xFF\xFE";
  for (char16_t u : want + u"\r\n") {
    utf16 += static_cast<char>(u & 0xFF);
    utf16 += static_cast<char>(u >> 8);
  }
  const std::string utf8 = platform::WideToUtf8(want);
  const Args expected{platform::WideToUtf8(u"-Oオプション"), platform::WideToUtf8(u"ｱｲ")};
  EXPECT_EQ(SplitFile(utf16), expected) << "UTF-16LE with its mark";
  EXPECT_EQ(SplitFile("\xEF\xBB\xBF" + utf8), expected) << "UTF-8 with its mark";
  EXPECT_EQ(SplitFile(utf8), expected) << "UTF-8";
  EXPECT_EQ(SplitFile(WideToSjis(want)), expected) << "Shift-JIS";
  EXPECT_EQ(SplitFile(utf16 + "\x41"), expected) << "an odd last byte of UTF-16 is dropped";
}

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override { m_Dir = platform::MakeTempFolder(u"varn-tok-") + u"/"; }
  void TearDown() override { platform::RemoveTree(m_Dir); }
  std::u16string Write(const std::u16string& name, const std::string& data) {
    const std::u16string path = m_Dir + name;
    EXPECT_TRUE(platform::WriteWholeFileAtomic(path, data.data(), data.size()));
    return path;
  }
  std::u16string m_Dir;
};

TEST_F(TempDir, ResponseFileTakesThePlaceOfItsArgument) {
  const std::u16string path = Write(u"args.rsp", "-a -b\r\n\"c d\" e\r\n");
  ArgTokenizer t(u"first @" + path + u" last");
  EXPECT_EQ(Drain(t), (Args{"first", "-a", "-b", "c d", "e", "last"}));

  const std::u16string empty = Write(u"empty.rsp", "");
  ArgTokenizer t2(u"@" + empty + u" @" + path);
  EXPECT_EQ(Drain(t2), (Args{"-a", "-b", "c d", "e"}));
}

// Records the boxes shown and answers them with their default button.
class BoxRecorder : public platform::MessageBoxService {
 public:
  BoxRecorder() : m_Previous(platform::SetMessageBoxService(this)) {}
  ~BoxRecorder() override { platform::SetMessageBoxService(m_Previous); }
  platform::MsgResult Show(const platform::MessageBoxRequest& request) override {
    boxes.push_back(request);
    return platform::DefaultAnswer(request);
  }
  std::vector<platform::MessageBoxRequest> boxes;

 private:
  platform::MessageBoxService* m_Previous;
};

int g_ExitCode = -1;
int g_ExitCalls = 0;
void RecordExit(int code) {
  g_ExitCode = code;
  ++g_ExitCalls;
}

TEST_F(TempDir, MissingResponseFileShowsTheBoxAndExits) {
  BoxRecorder boxes;
  g_ExitCode = -1;
  g_ExitCalls = 0;
  ArgTokenizer::SetExitHook(&RecordExit);
  const std::u16string missing = m_Dir + u"nope.rsp";
  ArgTokenizer t(u"before @" + missing + u" after");
  EXPECT_EQ(platform::WideToUtf8(t.Next()), "before");
  EXPECT_EQ(t.Next(), nullptr);
  EXPECT_EQ(t.Next(), nullptr);
  ArgTokenizer folder(u"@" + m_Dir);  // a folder is not a response file
  EXPECT_EQ(folder.Next(), nullptr);
  ArgTokenizer::SetExitHook(nullptr);

  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, u"File not found '" + missing + u"'");
  EXPECT_EQ(boxes.boxes[0].caption, u"Error");
  EXPECT_EQ(boxes.boxes[0].buttons, platform::MsgButtons::Ok);
  EXPECT_EQ(boxes.boxes[0].icon, platform::MsgIcon::Warning);
  EXPECT_EQ(g_ExitCalls, 2);
  EXPECT_EQ(g_ExitCode, 1);
}

TEST(ArgTokenizerDeath, MissingResponseFileEndsTheProgramWithCode1) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ArgTokenizer t(u"@/nonexistent/varn-no-such-file");
        t.Next();
      },
      ::testing::ExitedWithCode(1), "");
}

}  // namespace
