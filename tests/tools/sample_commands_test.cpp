// The sample story uses every command the game's executor answers: the built "_start.txt"
// compiled with the game's own compiler, its statement codes set against the command table.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "archive/archive.h"
#include "platform/utf.h"
#include "script/executor.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

namespace {

std::string ReadMember(IArchive* archive, const char16_t* name) {
  uint32_t size = 0;
  ArchiveBuffer buffer(static_cast<uint8_t*>(ReadArchiveTextFile(archive, name, nullptr, &size)));
  return buffer ? std::string(reinterpret_cast<const char*>(buffer.get()), size) : std::string();
}

TEST(SampleCommands, TheStoryUsesEveryCommandTheExecutorAnswers) {
  TextScript::RegisterScriptGlobals();
  g_Variables.Clear();
  IArchive* archive = OpenArchive(platform::Utf8ToWide(SAMPLE_DATA_DIR "/script.pux"));
  ASSERT_TRUE(archive) << "the build makes " SAMPLE_DATA_DIR "/script.pux";
  const std::string iv = ReadMember(archive, u"iv.txt");
  const std::string script = ReadMember(archive, u"_start.txt");
  archive->Release();
  ASSERT_FALSE(script.empty());

  TextScript::ScriptStateGroup group;
  group.ReadIVTables(iv.data(), iv.size());
  ASSERT_EQ(group.Compile(script.data(), script.size(), u"_start.txt"), 0);

  std::set<int> used;
  int run = 0;  // the length of the current run of RJP statements
  for (TextScript::ScriptStateNode* n = group.First(); n; n = n->Next()) {
    used.insert(n->m_Type);
    if (n->m_Type == TextScript::STMT_RJP) {
      ++run;
      continue;
    }
    EXPECT_TRUE(run == 0 || run == 3) << "line " << n->m_Line << ": a random jump of " << run << " targets";
    run = 0;
  }
  EXPECT_EQ(run, 0) << "the story ends in a random jump";

  // The game's table answers its own commands; the language's own ones answer the rest.
  AppCommandTable table;
  RegisterGameCommands(table);
  const TextScript::CommandTable<TextScript::ScriptStateNode>& core = TextScript::CoreCommands();
  int answered = 0;
  for (int code = 0; code < int(AppCommandTable::kCodes); ++code) {
    if (!table.Find(uint8_t(code)) && !core.Find(uint8_t(code))) continue;
    ++answered;
    EXPECT_TRUE(used.count(code)) << "statement code " << code << " is never used by the story";
  }
  EXPECT_GT(answered, 30) << "the tables were filled";
  g_Variables.Clear();
}

}  // namespace
