// Reference-counted ownership over an SQLite connection and the statements prepared on it.
#pragma once

#include <sqlite3.h>

#include <cstdint>

#include "lib/combase.h"

class SQLite3Statement;

// One open connection. Statements keep it alive: it closes when the last of the
// connection's owners and statements has released it.
class SQLite3 : public CComBaseT<IUnknown> {
 public:
  static constexpr InterfaceId kIid{0x5a3c1e07, 0x41d2, 0x4b8e, {0x9a, 0x13, 0x62, 0x0c, 0x7f, 0xd4, 0x21, 0x05}};

  // A waiting writer gives up after about this long per step attempt (see SetBusyTimeout).
  static constexpr int kDefaultBusyTimeoutMs = 1000;

  SQLite3();

  HRESULT InternalQueryInterface(const InterfaceId& id, void** out) override;

  // Opens (or creates) the database file; returns the library's code (0 success).
  int Open(const char16_t* path);
  // Runs SQL without a callback; returns the library's code.
  int Execute(const char* sql);
  // "BEGIN;" after opening and "COMMIT;" before closing.
  int Begin();
  int Commit();
  // Closes the connection now (statements still alive keep it usable until they go).
  int Close();

  // Creates a statement over this connection and prepares sql (UTF-16, byteLength bytes
  // or -1 for up to the terminating zero). On success *out holds the new statement
  // (count 1) and 0 is returned; otherwise *out is null and the library's code returned.
  int Prepare(SQLite3Statement** out, const char16_t* sql, int byteLength, const void** tail);

  // How long a step waits for a lock held by another connection before it retries
  // (at most SQLite3Statement::kBusyRetries times) and then reports SQLITE_BUSY.
  void SetBusyTimeout(int ms);
  int BusyTimeout() const { return m_BusyTimeoutMs; }

  sqlite3* Handle() const { return m_pDB; }

 protected:
  ~SQLite3() override;

 private:
  sqlite3* m_pDB = nullptr;
  int m_BusyTimeoutMs = kDefaultBusyTimeoutMs;
};

// One prepared statement; holds a counted reference to its connection.
class SQLite3Statement : public CComBaseT<IUnknown> {
 public:
  static constexpr InterfaceId kIid{0x5a3c1e08, 0x41d2, 0x4b8e, {0x9a, 0x13, 0x62, 0x0c, 0x7f, 0xd4, 0x21, 0x05}};

  // A locked database is stepped again this many times (each after the connection's
  // busy timeout) before SQLITE_BUSY is returned, so the game never waits forever.
  static constexpr int kBusyRetries = 2;

  explicit SQLite3Statement(SQLite3* owner, IUnknown* outer = nullptr);

  HRESULT InternalQueryInterface(const InterfaceId& id, void** out) override;

  // Prepares sql on the owner's connection; returns the library's code.
  int Prepare(const char16_t* sql, int byteLength, const void** tail);
  // Steps; SQLITE_ROW (100), SQLITE_DONE (101) or an error.
  int Step();
  // Clears the bindings and finalizes the statement so that it can be prepared again.
  // Use this, never sqlite3_finalize on Handle(), which the destructor would repeat.
  int Finalize();

  sqlite3_stmt* Handle() const { return m_pStmt; }
  SQLite3* Owner() const { return m_pOwner.Get(); }

 protected:
  ~SQLite3Statement() override;

 private:
  sqlite3_stmt* m_pStmt = nullptr;
  ComRef<SQLite3> m_pOwner;
};
