// The SQLite wrapper: ownership between connection and statements, assertions, busy handling.
#include "lib/sqlite.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/assert.h"
#include "platform/folders.h"
#include "platform/utf.h"

namespace {

struct Reports {
  Reports() {
    platform::SetAssertHook([this](const platform::AssertionReport& r) {
      seen.push_back(std::string(r.expression) + "@" + r.source + ":" + std::to_string(r.line));
    });
  }
  ~Reports() { platform::SetAssertHook(nullptr); }
  std::vector<std::string> seen;
};

// A connection that says when it is destroyed.
class ProbeDB : public SQLite3 {
 public:
  explicit ProbeDB(bool* destroyed) : m_Destroyed(destroyed) {}

 protected:
  ~ProbeDB() override { *m_Destroyed = true; }

 private:
  bool* m_Destroyed;
};

class SqliteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Dir = platform::MakeTempFolder(u"varn-sql-");
    ASSERT_FALSE(m_Dir.empty());
    m_Path = m_Dir + u"/save.dat";
  }
  void TearDown() override { platform::RemoveTree(m_Dir); }

  // Prepares and steps one statement to its end; returns the last step's code.
  static int Run(SQLite3* db, const char16_t* sql) {
    ComRef<SQLite3Statement> st;
    const int rc = db->Prepare(st.Put(), sql, -1, nullptr);
    if (rc != SQLITE_OK) return rc;
    int step;
    while ((step = st->Step()) == SQLITE_ROW) {
    }
    return step;
  }

  std::u16string m_Dir;
  std::u16string m_Path;
};

TEST_F(SqliteTest, OpenPrepareStepAndRead) {
  ComRef<SQLite3> db(new SQLite3);
  ASSERT_EQ(db->Open(m_Path.c_str()), SQLITE_OK);
  EXPECT_EQ(db->Begin(), SQLITE_OK);
  EXPECT_EQ(Run(db.Get(), u"CREATE TABLE t(n INTEGER, b BLOB);"), SQLITE_DONE);

  ComRef<SQLite3Statement> ins;
  ASSERT_EQ(db->Prepare(ins.Put(), u"INSERT INTO t VALUES(?, ?);", -1, nullptr), SQLITE_OK);
  const unsigned char blob[3] = {1, 2, 3};
  for (int n : {7, 9}) {
    sqlite3_reset(ins->Handle());
    sqlite3_bind_int(ins->Handle(), 1, n);
    sqlite3_bind_blob(ins->Handle(), 2, blob, n == 7 ? 3 : 1, nullptr);
    EXPECT_EQ(ins->Step(), SQLITE_DONE);
  }
  EXPECT_EQ(db->Commit(), SQLITE_OK);

  // One statement object reused after Finalize, as the store creates its tables.
  ComRef<SQLite3Statement> sel;
  ASSERT_EQ(db->Prepare(sel.Put(), u"SELECT n, b FROM t ORDER BY n;", -1, nullptr), SQLITE_OK);
  ASSERT_EQ(sel->Step(), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(sel->Handle(), 0), 7);
  EXPECT_EQ(sqlite3_column_bytes(sel->Handle(), 1), 3);
  EXPECT_EQ(sel->Finalize(), SQLITE_OK);
  EXPECT_EQ(sel->Handle(), nullptr);
  const void* tail = nullptr;
  const char16_t sql[] = u"SELECT count(*) FROM t; SELECT 1;";
  ASSERT_EQ(sel->Prepare(sql, -1, &tail), SQLITE_OK);
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(tail)), u" SELECT 1;");
  ASSERT_EQ(sel->Step(), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(sel->Handle(), 0), 2);
  EXPECT_EQ(sel->Step(), SQLITE_DONE);
}

TEST_F(SqliteTest, InvalidSqlLeavesNoStatementAlive) {
  bool destroyed = false;
  ComRef<SQLite3> db(new ProbeDB(&destroyed));
  ASSERT_EQ(db->Open(m_Path.c_str()), SQLITE_OK);
  SQLite3Statement* st = reinterpret_cast<SQLite3Statement*>(0x1);
  EXPECT_EQ(db->Prepare(&st, u"SELEKT nonsense;", -1, nullptr), SQLITE_ERROR);
  EXPECT_EQ(st, nullptr);
  EXPECT_EQ(db->RefCount(), 1) << "the failed statement must have released its connection";
  db.Reset();
  EXPECT_TRUE(destroyed);
}

TEST_F(SqliteTest, LastStatementClosesTheConnection) {
  bool destroyed = false;
  ComRef<SQLite3> db(new ProbeDB(&destroyed));
  ASSERT_EQ(db->Open(m_Path.c_str()), SQLITE_OK);
  ComRef<SQLite3Statement> st;
  ASSERT_EQ(db->Prepare(st.Put(), u"SELECT 42;", -1, nullptr), SQLITE_OK);
  EXPECT_EQ(db->RefCount(), 2);
  db.Reset();  // the store lets go of the connection first
  EXPECT_FALSE(destroyed);
  ASSERT_EQ(st->Step(), SQLITE_ROW) << "the statement keeps its connection usable";
  EXPECT_EQ(sqlite3_column_int(st->Handle(), 0), 42);
  st.Reset();
  EXPECT_TRUE(destroyed);
}

TEST_F(SqliteTest, QueryInterfaceAnswersOwnIdentifiers) {
  ComRef<SQLite3> db(new SQLite3);
  ComRef<SQLite3Statement> st(new SQLite3Statement(db.Get()));
  struct Case {
    IUnknown* object;
    InterfaceId id;
    HRESULT want;
  };
  const InterfaceId other{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
  const Case cases[] = {
      {db.Get(), IUnknown::kIid, S_OK},
      {db.Get(), SQLite3::kIid, S_OK},
      {db.Get(), SQLite3Statement::kIid, E_NOINTERFACE},
      {st.Get(), SQLite3Statement::kIid, S_OK},
      {st.Get(), IUnknown::kIid, S_OK},
      {st.Get(), other, E_NOINTERFACE},
  };
  for (const Case& c : cases) {
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(c.object->QueryInterface(c.id, &out), c.want);
    if (c.want == S_OK) {
      EXPECT_EQ(out, static_cast<void*>(c.object));
      c.object->Release();
    } else {
      EXPECT_EQ(out, nullptr);
    }
  }
  EXPECT_EQ(db->RefCount(), 2);  // its own holder and the statement
  EXPECT_EQ(st->RefCount(), 1);
}

TEST_F(SqliteTest, MisuseIsReportedWithTheSourceLines) {
  Reports reports;
  ComRef<SQLite3> db(new SQLite3);
  EXPECT_NE(db->Execute("BEGIN;"), SQLITE_OK);
  EXPECT_NE(db->Commit(), SQLITE_OK);
  ComRef<SQLite3Statement> orphan;
  EXPECT_EQ(db->Prepare(orphan.Put(), u"SELECT 1;", -1, nullptr), SQLITE_MISUSE);
  ASSERT_EQ(db->Open(m_Path.c_str()), SQLITE_OK);
  EXPECT_EQ(db->Open(m_Path.c_str()), SQLITE_OK);  // reported; the first connection is closed, not lost
  ComRef<SQLite3Statement> st;
  ASSERT_EQ(db->Prepare(st.Put(), u"SELECT 1;", -1, nullptr), SQLITE_OK);
  EXPECT_EQ(st->Prepare(u"SELECT 2;", -1, nullptr), SQLITE_OK);  // reported; the old one is finalized
  ASSERT_EQ(st->Step(), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st->Handle(), 0), 2);
  EXPECT_EQ(reports.seen, (std::vector<std::string>{"m_pDB@lib/sqlite:80", "m_pDB@lib/sqlite:86",
                                                    "m_pDB == NULL@lib/sqlite:52", "m_pStmt==NULL@lib/sqlite:169"}));
}

TEST_F(SqliteTest, LockedDatabaseGivesBusyAfterABoundedWait) {
  ComRef<SQLite3> db(new SQLite3);
  ASSERT_EQ(db->Open(m_Path.c_str()), SQLITE_OK);
  ASSERT_EQ(Run(db.Get(), u"CREATE TABLE t(n);"), SQLITE_DONE);
  db->SetBusyTimeout(30);
  ComRef<SQLite3Statement> ins;
  ASSERT_EQ(db->Prepare(ins.Put(), u"INSERT INTO t VALUES(1);", -1, nullptr), SQLITE_OK);

  // Another connection (another process, in the game) holds the write lock.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open16(m_Path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ins->Step(), SQLITE_BUSY);
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_GE(waited.count(), 30) << "the step should have waited for the lock";
  EXPECT_LT(waited.count(), 5000) << "the step must give up";

  ASSERT_EQ(sqlite3_exec(other, "COMMIT;", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  EXPECT_EQ(ins->Step(), SQLITE_DONE) << "once the lock is gone the same statement goes through";
}

}  // namespace
