// The SQLite connection and statement wrappers: ownership, a bounded busy retry, assertions.
#include "lib/sqlite.h"

#include "platform/assert.h"
#include "platform/clock.h"

namespace {

constexpr const char* kSource = "lib/sqlite";
constexpr int kOpenLine = 52;
constexpr int kExecuteLine = 80;
constexpr int kCommitLine = 86;
constexpr int kPrepareLine = 169;

int ExecuteChecked(sqlite3* db, const char* sql, int line) {
  if (!db) {
    platform::ReportAssertion("m_pDB", kSource, line);
    return SQLITE_MISUSE;
  }
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

}  // namespace

SQLite3::SQLite3() = default;

SQLite3::~SQLite3() {
  Close();
}

HRESULT SQLite3::InternalQueryInterface(const InterfaceId& id, void** out) {
  if (!out) return E_NOINTERFACE;
  if (id == IUnknown::kIid || id == kIid) {
    *out = static_cast<IUnknown*>(this);
    InternalAddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

int SQLite3::Open(const char16_t* path) {
  if (m_pDB != nullptr) {
    // A second open would lose the first connection: report it and close the old one.
    platform::ReportAssertion("m_pDB == NULL", kSource, kOpenLine);
    Close();
  }
  if (!path) return SQLITE_MISUSE;
  const int rc = sqlite3_open16(path, &m_pDB);
  if (m_pDB) sqlite3_busy_timeout(m_pDB, m_BusyTimeoutMs);
  return rc;
}

int SQLite3::Execute(const char* sql) {
  return ExecuteChecked(m_pDB, sql, kExecuteLine);
}

int SQLite3::Begin() {
  return ExecuteChecked(m_pDB, "BEGIN;", kExecuteLine);
}

int SQLite3::Commit() {
  return ExecuteChecked(m_pDB, "COMMIT;", kCommitLine);
}

int SQLite3::Close() {
  if (!m_pDB) return SQLITE_OK;
  // close_v2 defers the real close while statements are still alive, so none is left
  // pointing at a freed connection.
  const int rc = sqlite3_close_v2(m_pDB);
  m_pDB = nullptr;
  return rc;
}

void SQLite3::SetBusyTimeout(int ms) {
  m_BusyTimeoutMs = ms < 0 ? 0 : ms;
  if (m_pDB) sqlite3_busy_timeout(m_pDB, m_BusyTimeoutMs);
}

int SQLite3::Prepare(SQLite3Statement** out, const char16_t* sql, int byteLength, const void** tail) {
  if (!out) return SQLITE_MISUSE;
  *out = nullptr;
  SQLite3Statement* statement = new SQLite3Statement(this);
  const int rc = statement->Prepare(sql, byteLength, tail);
  if (rc != SQLITE_OK) {
    statement->Release();
    return rc;
  }
  *out = statement;
  return SQLITE_OK;
}

SQLite3Statement::SQLite3Statement(SQLite3* owner, IUnknown* outer)
    : CComBaseT<IUnknown>(outer), m_pOwner(ComRef<SQLite3>::AddRefOf(owner)) {}

SQLite3Statement::~SQLite3Statement() {
  Finalize();
}

HRESULT SQLite3Statement::InternalQueryInterface(const InterfaceId& id, void** out) {
  if (!out) return E_NOINTERFACE;
  if (id == IUnknown::kIid || id == kIid) {
    *out = static_cast<IUnknown*>(this);
    InternalAddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

int SQLite3Statement::Prepare(const char16_t* sql, int byteLength, const void** tail) {
  if (m_pStmt != nullptr) {
    // Preparing over a live statement would leak it: report it and finalize the old one.
    platform::ReportAssertion("m_pStmt==NULL", kSource, kPrepareLine);
    Finalize();
  }
  if (tail) *tail = nullptr;
  sqlite3* db = m_pOwner ? m_pOwner->Handle() : nullptr;
  if (!db || !sql) return SQLITE_MISUSE;
  return sqlite3_prepare16_v2(db, sql, byteLength, &m_pStmt, tail);
}

int SQLite3Statement::Step() {
  if (!m_pStmt) return SQLITE_MISUSE;
  int rc = sqlite3_step(m_pStmt);
  // The connection's busy timeout does the waiting inside each step; a few more tries
  // cover the cases where the library reports busy at once, and then the error goes back.
  for (int retry = 0; rc == SQLITE_BUSY && retry < kBusyRetries; ++retry) {
    platform::SleepMs(1);
    rc = sqlite3_step(m_pStmt);
  }
  return rc;
}

int SQLite3Statement::Finalize() {
  if (!m_pStmt) return SQLITE_OK;
  sqlite3_clear_bindings(m_pStmt);
  const int rc = sqlite3_finalize(m_pStmt);
  m_pStmt = nullptr;
  return rc;
}
