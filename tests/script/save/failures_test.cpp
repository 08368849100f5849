// The save file when things go wrong: files that are not ours, a lock held by another process,
// a folder that cannot hold the file, failing steps and writes rolled back, and a save killed at
// random moments.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "savefixture.h"
#include "script/save/savestore.h"

namespace {

using savetest::SaveTest;

class SaveFailures : public SaveTest {
 protected:
  void Write(const std::u16string& path, const std::string& bytes) {
    ASSERT_TRUE(platform::WriteWholeFileAtomic(path, bytes.data(), bytes.size()));
  }
  std::string Read(const std::u16string& path) {
    std::vector<uint8_t> b;
    EXPECT_TRUE(platform::ReadWholeFile(path, b));
    return std::string(b.begin(), b.end());
  }
};

// ---- Files that are not ours ---------------------------------------------------------------------

TEST_F(SaveFailures, AFileThatIsNotOursIsKeptUnderANewNameAndANewOneMade) {
  std::mt19937 random(7);
  std::string noise(5000, '\0');
  for (char& c : noise) c = char(random());
  struct Case {
    const char* what;
    std::string bytes;  // written as save.dat; empty: made by SQL
    const char* sql;
  };
  const Case cases[] = {
      {"random bytes", noise, nullptr},
      {"a text file", "save data, but not ours", nullptr},
      {"a database of other tables", "", "CREATE TABLE other (x);"},
      {"our tables with other columns", "",
       "CREATE TABLE global (id INTEGER PRIMARY KEY, name TEXT); CREATE TABLE entry (id INTEGER PRIMARY KEY);"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::RemoveFile(DbPath());
    platform::RemoveFile(DbPath() + u".old");
    if (c.sql) {
      Change(c.sql);
    } else {
      Write(DbPath(), c.bytes);
    }
    const std::string before = Read(DbPath());
    SaveSlot(1, "new");
    EXPECT_EQ(Read(DbPath() + u".old"), before) << "the old file is kept whole";
    EXPECT_EQ(Numbers(), std::vector<int>{1});
  }
  EXPECT_EQ(Boxes().size(), 1u) << "the player is told once";
  // A second foreign file beside a kept one takes the next name.
  Write(DbPath(), "again");
  SaveSlot(2, "");
  EXPECT_EQ(Read(DbPath() + u".old2"), "again");
}

TEST_F(SaveFailures, AnEmptyFileAndADatabaseMissingGlobalRowsAreOurs) {
  Write(DbPath(), "");
  ScriptStateGroup_App group(table);
  LoadGlobalData(&group);
  EXPECT_FALSE(platform::PathExists(DbPath() + u".old"));
  EXPECT_EQ(Query("SELECT length(value_bin) FROM global WHERE name='COMMON';").at(0), "2308");
  Change("DELETE FROM global WHERE name='ALBUM';");
  SaveGlobalData(&group);
  EXPECT_EQ(Query("SELECT name FROM global ORDER BY name;"), (std::vector<std::string>{"ALBUM", "COMMON", "SCENE"}));
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(SaveFailures, ATruncatedFileIsKeptAsideAndTheGameGoesOn) {
  for (int slot = 1; slot <= 20; ++slot) SaveSlot(slot, "");
  std::string bytes = Read(DbPath());
  ASSERT_GT(bytes.size(), 100000u);
  platform::RemoveFile(DbPath());
  Write(DbPath(), bytes.substr(0, bytes.size() / 2));
  SetSaveFolder(folder);  // a new run: the file is checked again
  SaveSlot(1, "after");
  EXPECT_TRUE(platform::PathExists(DbPath() + u".old"));
  EXPECT_EQ(Numbers(), std::vector<int>{1});
  EXPECT_EQ(Query("PRAGMA integrity_check;").at(0), "ok");
}

// ---- Opening ----------------------------------------------------------------------------------------

TEST_F(SaveFailures, AFailedOpenRaisesAndLeavesTheCountAsBefore) {
  SetSaveFolder(folder + u"/missing/folder");
  try {
    SlotExists(1);
    FAIL() << "no error";
  } catch (const ExceptionHandle& e) {
    EXPECT_EQ(std::u16string(e.m_Message), u"セーブファイルを開けません\n");
    EXPECT_EQ(std::u16string(e.m_Source), u"script/scr_gui");
  }
  EXPECT_EQ(g_SaveDB.Nesting(), 0);
  SetSaveFolder(folder);
  EXPECT_FALSE(SlotExists(1)) << "the next operation opens the file again";
}

TEST_F(SaveFailures, AFileLockedElsewhereGivesUpWithinSecondsAndWorksOnceFree) {
  SaveSlot(1, "");
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(DbPath8().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(SaveSlot(2, ""), ExceptionHandle);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 10.0);
  EXPECT_EQ(g_SaveDB.Nesting(), 0);
  sqlite3_exec(other, "ROLLBACK;", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  SaveSlot(2, "");
  EXPECT_EQ(Numbers(), (std::vector<int>{1, 2}));
  EXPECT_FALSE(platform::PathExists(DbPath() + u".old")) << "a locked file is never taken for a foreign one";
}

// ---- Rollback -----------------------------------------------------------------------------------

// A step that fails inside the ring, after the oldest quick save was deleted.
TEST_F(SaveFailures, AQuickSaveFailingHalfwayLeavesTheRingAsItWas) {
  for (int i = 0; i < 9; ++i) QuickSave();
  const std::vector<std::string> before =
      Query("SELECT quote(header) || quote(value_data) FROM entry ORDER BY number;");
  Change(
      "CREATE TRIGGER fail BEFORE UPDATE OF number ON entry WHEN NEW.number = 95 "
      "BEGIN SELECT RAISE(ABORT, 'disk trouble'); END;");
  EXPECT_THROW(QuickSave(), ExceptionHandle);
  EXPECT_EQ(Numbers(), (std::vector<int>{91, 92, 93, 94, 95, 96, 97, 98, 99}));
  EXPECT_EQ(Query("SELECT quote(header) || quote(value_data) FROM entry ORDER BY number;"), before);

  // Through the game's service: a box captioned "エラー", no success, and play goes on.
  SaveStore store(folder, nullptr);
  EXPECT_FALSE(store.QuickSave());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].caption, u"エラー");
  EXPECT_EQ(Boxes()[0].text, u"disk trouble");
  EXPECT_EQ(Numbers().size(), 9u);
}

// Operations inside a caller's own bracket share its transaction: one failing step undoes all.
TEST_F(SaveFailures, AStepFailingInsideAnOuterBracketRollsTheWholeBracketBack) {
  SaveSlot(1, "before");
  g_SaveDB.Open();
  SetComment(1, "changed");
  SaveSlot(2, "");
  EXPECT_THROW(LoadSlot(50), ExceptionHandle);
  EXPECT_EQ(g_SaveDB.Nesting(), 1) << "the caller's bracket is still open";
  g_SaveDB.Close();
  EXPECT_EQ(Numbers(), std::vector<int>{1});
  SAVEHEADER h;
  ReadSlotHeader(1, &h);
  EXPECT_STREQ(h.m_Comment, "before");
  // A bracket whose steps all worked commits them.
  g_SaveDB.Open();
  SetComment(1, "changed");
  g_SaveDB.Close();
  ReadSlotHeader(1, &h);
  EXPECT_STREQ(h.m_Comment, "changed");
}

// A VFS over the default one whose writes fail with a chosen code while it is armed: a read-only
// or a full disk, whoever runs the tests.
struct FailingFile {
  sqlite3_file base;
  sqlite3_file* real;
};
int g_WriteFailure = SQLITE_OK;
sqlite3_vfs* g_RealVfs = nullptr;
sqlite3_io_methods g_FailingMethods;

sqlite3_file* Real(sqlite3_file* f) {
  return reinterpret_cast<FailingFile*>(f)->real;
}
int FailingWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
  if (g_WriteFailure != SQLITE_OK) return g_WriteFailure == SQLITE_FULL ? SQLITE_FULL : SQLITE_IOERR_WRITE;
  return Real(f)->pMethods->xWrite(Real(f), data, amount, offset);
}
int FailingOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
  auto* file = reinterpret_cast<FailingFile*>(f);
  file->real = reinterpret_cast<sqlite3_file*>(file + 1);
  if (g_WriteFailure == SQLITE_READONLY && (flags & SQLITE_OPEN_READWRITE)) {
    // A read-only medium: files open for reading only, so the first write is refused.
    flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
  }
  const int rc = g_RealVfs->xOpen(g_RealVfs, name, file->real, flags, outFlags);
  if (rc != SQLITE_OK) {
    f->pMethods = nullptr;
    return rc;
  }
  g_FailingMethods = *file->real->pMethods;
  g_FailingMethods.iVersion = 1;
  g_FailingMethods.xWrite = FailingWrite;
  g_FailingMethods.xClose = [](sqlite3_file* f) { return Real(f)->pMethods->xClose(Real(f)); };
  g_FailingMethods.xRead = [](sqlite3_file* f, void* d, int n, sqlite3_int64 o) {
    return Real(f)->pMethods->xRead(Real(f), d, n, o);
  };
  g_FailingMethods.xTruncate = [](sqlite3_file* f, sqlite3_int64 n) {
    return g_WriteFailure != SQLITE_OK ? SQLITE_IOERR_TRUNCATE : Real(f)->pMethods->xTruncate(Real(f), n);
  };
  g_FailingMethods.xSync = [](sqlite3_file* f, int fl) { return Real(f)->pMethods->xSync(Real(f), fl); };
  g_FailingMethods.xFileSize = [](sqlite3_file* f, sqlite3_int64* n) {
    return Real(f)->pMethods->xFileSize(Real(f), n);
  };
  g_FailingMethods.xLock = [](sqlite3_file* f, int l) { return Real(f)->pMethods->xLock(Real(f), l); };
  g_FailingMethods.xUnlock = [](sqlite3_file* f, int l) { return Real(f)->pMethods->xUnlock(Real(f), l); };
  g_FailingMethods.xCheckReservedLock = [](sqlite3_file* f, int* r) {
    return Real(f)->pMethods->xCheckReservedLock(Real(f), r);
  };
  g_FailingMethods.xFileControl = [](sqlite3_file* f, int op, void* a) {
    return Real(f)->pMethods->xFileControl(Real(f), op, a);
  };
  g_FailingMethods.xSectorSize = [](sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); };
  g_FailingMethods.xDeviceCharacteristics = [](sqlite3_file* f) {
    return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
  };
  f->pMethods = &g_FailingMethods;
  return SQLITE_OK;
}

class SaveDiskFailures : public SaveFailures, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    g_RealVfs = sqlite3_vfs_find(nullptr);
    m_Vfs = *g_RealVfs;
    m_Vfs.zName = "failing";
    m_Vfs.szOsFile = int(sizeof(FailingFile)) + g_RealVfs->szOsFile;
    m_Vfs.xOpen = FailingOpen;
    m_Vfs.pNext = nullptr;
    ASSERT_EQ(sqlite3_vfs_register(&m_Vfs, 1), SQLITE_OK);
  }
  void TearDown() override {
    g_WriteFailure = SQLITE_OK;
    sqlite3_vfs_unregister(&m_Vfs);
    sqlite3_vfs_register(g_RealVfs, 1);
  }
  sqlite3_vfs m_Vfs{};
};

TEST_P(SaveDiskFailures, ASaveThatCannotBeWrittenRaisesAndTheFileKeepsTheOldSaves) {
  g_SavedVariables.Set(u"N", 1);
  SaveSlot(1, "old");
  for (int i = 0; i < 3; ++i) QuickSave();
  const std::vector<std::string> before =
      Query("SELECT quote(number) || quote(header) || quote(value_data) FROM entry;");

  g_WriteFailure = GetParam();
  g_SavedVariables.Set(u"N", 2);
  EXPECT_THROW(SaveSlot(1, "new"), ExceptionHandle);
  EXPECT_EQ(g_SaveDB.Nesting(), 0);
  EXPECT_THROW(QuickSave(), ExceptionHandle);
  ScriptStateGroup_App group(table);
  EXPECT_THROW(SaveGlobalData(&group), ExceptionHandle);
  SaveStore store(folder, nullptr);
  EXPECT_FALSE(store.QuickSave());
  EXPECT_EQ(Boxes().size(), 1u);
  g_WriteFailure = SQLITE_OK;

  EXPECT_EQ(Query("SELECT quote(number) || quote(header) || quote(value_data) FROM entry;"), before);
  EXPECT_EQ(Query("PRAGMA integrity_check;").at(0), "ok");
  LoadSlot(1);
  EXPECT_EQ(Var(u"N"), 1);
  EXPECT_FALSE(platform::PathExists(DbPath() + u".old")) << "a failing disk is not a foreign file";
}

INSTANTIATE_TEST_SUITE_P(ReadOnlyAndFull, SaveDiskFailures, ::testing::Values(SQLITE_READONLY, SQLITE_FULL));

// ---- Killed while saving ------------------------------------------------------------------------

// Every slot's comment and its variable "N" carry the number of the save that wrote them; the
// ring's slots hold numbers that fall from 91 upward.
[[noreturn]] void SaveForever(int32_t seed) {
  for (int32_t n = seed * 100000;; ++n) {
    g_SavedVariables.Clear();
    for (int v = 0; v < 50; ++v) g_SavedVariables.Set(u"V" + SjisToWide(std::to_string(v)), v);
    g_SavedVariables.Set(u"N", n);
    try {
      SaveSlot(1 + n % 5, std::to_string(n).c_str());
      if (n % 3 == 0) {
        // One transaction: the ring turns and its newest save gets its number, or neither.
        SaveDBScope db;
        ::QuickSave();
        ::SetComment(91, std::to_string(n).c_str());
        db.Commit();
      }
    } catch (...) {
      _exit(3);
    }
  }
}

TEST_F(SaveFailures, AProcessKilledWhileSavingLeavesEverySlotWholeOldOrNew) {
  g_SavedVariables.Set(u"N", 0);
  SaveSlot(1, "0");
  std::mt19937 random(20261210);
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE(round);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveForever(round + 1);
    std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 60000)(random)));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child saved without an error until it was killed";

    ASSERT_EQ(Query("PRAGMA integrity_check;").at(0), "ok");
    EXPECT_TRUE(Query("SELECT number FROM entry WHERE number=100;").empty()) << "no ring left half-turned";
    int32_t previous = INT32_MAX;
    for (int slot : Numbers()) {
      SAVEHEADER h;
      ReadSlotHeader(slot, &h);
      LoadSlot(slot);
      ASSERT_EQ(std::to_string(Var(u"N")), std::string(h.m_Comment)) << "slot " << slot << " is one save";
      if (slot >= 91) {
        EXPECT_LT(Var(u"N"), previous) << "the ring is in order at " << slot;
        previous = Var(u"N");
      }
    }
  }
}

}  // namespace
