// Tests of compiling a script and reading "iv.txt" from a folder archive.
#include "textscript/scriptfile.h"

#include <gtest/gtest.h>

#include "archive/archive.h"
#include "lib/sjis.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

namespace {

TEST(ScriptFile, CompilesAndReadsMembersOfAnArchive) {
  TextScript::RegisterScriptGlobals();
  const std::u16string folder = platform::MakeTempFolder(u"scriptfile");
  ASSERT_FALSE(folder.empty());
  const std::string script = WideToSjis(u"\n.LAB top\nこんにちは\n");
  const std::string iv = "top\n";
  ASSERT_TRUE(platform::WriteWholeFileAtomic(folder + u"/scene.txt", script.data(), script.size()));
  ASSERT_TRUE(platform::WriteWholeFileAtomic(folder + u"/iv.txt", iv.data(), iv.size()));
  ASSERT_TRUE(platform::WriteWholeFileAtomic(folder + u"/empty.txt", "", 0));
  {
    ComRef<IArchive> archive(OpenDirArchive(folder));
    ASSERT_TRUE(archive);
    TextScript::ScriptStateGroup g;
    EXPECT_TRUE(TextScript::ReadArchiveIVTables(g, archive.Get(), u"IV.TXT"));
    EXPECT_TRUE(TextScript::CompileArchiveScript(g, archive.Get(), u"scene.txt"));
    EXPECT_EQ(g.Count(), 4);
    EXPECT_EQ(g.m_FileName, u"scene.txt");
    EXPECT_EQ(g.DispatchIV(0), g.First());

    TextScript::ScriptStateGroup empty;
    EXPECT_TRUE(TextScript::CompileArchiveScript(empty, archive.Get(), u"empty.txt"));
    EXPECT_EQ(empty.Count(), 1) << "an empty member compiles to the RETURN alone";
    TextScript::ScriptStateGroup none;
    EXPECT_FALSE(TextScript::CompileArchiveScript(none, archive.Get(), u"missing.txt"));
    EXPECT_EQ(none.Count(), 0);
  }
  g_Variables.Clear();
  platform::RemoveTree(folder);
}

}  // namespace
