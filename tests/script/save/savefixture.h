// The save store on a fresh temporary folder beside the headless game, and direct looks into the
// file with the library itself.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/headless/headless.h"
#include "script/layout.h"
#include "script/save/options.h"
#include "script/save/savedb.h"
#include "script/save/slots.h"
#include "tests/script/gamefixture.h"

namespace savetest {

class SaveTest : public scripttest::GameTest {
 protected:
  SaveTest() {
    folder = platform::MakeTempFolder(u"varn-save-");
    SetSaveFolder(folder);
    SetThumbnailArchive(nullptr);
    ResetGlobalData();
    ClearSceneStates();
    g_StartPage = -1;
    g_AlbumNames = std::make_unique<std::vector<std::string>>();
    stack.backend->hboxes->Clear();
  }
  ~SaveTest() override {
    EXPECT_EQ(g_SaveDB.Nesting(), 0) << "every operation closes its bracket";
    SetThumbnailArchive(nullptr);
    SetSaveFolder(u"");
    g_AlbumNames.reset();
    ClearSceneStates();
    ResetGlobalData();
    platform::RemoveTree(folder);
  }

  static void ResetGlobalData() {
    g_LastSaveSlot = -1;
    std::memset(g_ReadFlags, 0, sizeof g_ReadFlags);
    std::memset(g_FamilyName, 0, sizeof g_FamilyName);
    std::memset(g_GivenName, 0, sizeof g_GivenName);
  }

  std::u16string DbPath() const { return folder + u"/save.dat"; }
  std::string DbPath8() const { return platform::HostPath(DbPath()); }

  // The first column of every row of a query on the file, as bytes (NULL: "<null>").
  std::vector<std::string> Query(const std::string& sql) const {
    std::vector<std::string> rows;
    sqlite3* db = nullptr;
    // Read-write, as the next start of the game opens it: a journal a killed save left is rolled back.
    EXPECT_EQ(sqlite3_open_v2(DbPath8().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
    while (s && sqlite3_step(s) == SQLITE_ROW) {
      const int type = sqlite3_column_type(s, 0);
      if (type == SQLITE_NULL) {
        rows.push_back("<null>");
      } else if (type != SQLITE_BLOB) {
        // The file's texts are UTF-16 (it is made through the wide open): read them as UTF-8.
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        rows.emplace_back(text ? text : "");
      } else {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(s, 0));
        rows.emplace_back(p ? p : "", size_t(sqlite3_column_bytes(s, 0)));
      }
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return rows;
  }
  // Runs SQL that changes the file.
  void Change(const std::string& sql) const {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(DbPath8().c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << sql;
    sqlite3_free(error);
    sqlite3_close(db);
  }
  std::vector<int> Numbers() const {
    std::vector<int> out;
    for (const std::string& n : Query("SELECT CAST(number AS TEXT) FROM entry ORDER BY number;"))
      out.push_back(std::stoi(n));
    return out;
  }

  const std::vector<platform::MessageBoxRequest>& Boxes() const { return stack.backend->hboxes->Shown(); }

  std::u16string folder;
};

}  // namespace savetest
