// The save database: record layouts, the nested open with one transaction per outermost
// operation, rollback on every error, and the check that the file is ours.
#include "script/save/savedb.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

#include "lib/bytes.h"
#include "lib/error.h"
#include "lib/sjis.h"
#include "lib/sqlite.h"
#include "platform/assert.h"
#include "platform/files.h"
#include "platform/msgbox.h"
#include "textscript/variables.h"

SaveDB g_SaveDB;

namespace {

constexpr const char16_t* kSource = u"script/scr_gui";
constexpr const char16_t* kCannotOpen = u"セーブファイルを開けません\n";
// BEGIN and COMMIT each wait the busy timeout this many times before the operation gives up.
constexpr int kLockAttempts = 3;

// A file that is not a database, or not a sound one.
bool Damaged(int rc) {
  rc &= 0xFF;
  return rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT || rc == SQLITE_FORMAT;
}

// ---- Field helpers -------------------------------------------------------------------------------

void StoreSystemTime(uint8_t* p, const SYSTEMTIME& t) {
  const uint16_t v[8] = {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
  for (int i = 0; i < 8; ++i) StoreLE16(p + 2 * i, v[i]);
}

SYSTEMTIME LoadSystemTime(const uint8_t* p) {
  SYSTEMTIME t;
  t.wYear = LoadLE16(p);
  t.wMonth = LoadLE16(p + 2);
  t.wDayOfWeek = LoadLE16(p + 4);
  t.wDay = LoadLE16(p + 6);
  t.wHour = LoadLE16(p + 8);
  t.wMinute = LoadLE16(p + 10);
  t.wSecond = LoadLE16(p + 12);
  t.wMilliseconds = LoadLE16(p + 14);
  return t;
}

// A C string of at most size bytes (its terminator included when there is room).
size_t BoundedLength(const void* p, size_t size) {
  const void* nul = std::memchr(p, 0, size);
  return nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - static_cast<const uint8_t*>(p)) : size;
}

void StoreHeader(uint8_t* p, const SAVEHEADER& h) {
  StoreLE32(p, h.m_Reserved);
  const size_t n = std::min(BoundedLength(h.m_Comment, kCommentSize), kCommentSize - 1);
  std::memcpy(p + 4, h.m_Comment, n);
  StoreSystemTime(p + 40, h.m_Time);
}

void LoadHeader(const uint8_t* p, SAVEHEADER* h) {
  h->m_Reserved = LoadLE32(p);
  std::memcpy(h->m_Comment, p + 4, kCommentSize);
  h->m_Comment[kCommentSize - 1] = 0;
  h->m_Time = LoadSystemTime(p + 40);
}

void StoreUnits(uint8_t* p, const char16_t* units, size_t count) {
  const size_t n = std::min(std::char_traits<char16_t>::length(units), count - 1);
  for (size_t i = 0; i < n; ++i) StoreLE16(p + 2 * i, units[i]);
}

void LoadUnits(const uint8_t* p, char16_t* units, size_t count) {
  for (size_t i = 0; i < count; ++i) units[i] = LoadLE16(p + 2 * i);
  units[count - 1] = 0;
}

}  // namespace

// ---- Records -----------------------------------------------------------------------------------

std::vector<uint8_t> EncodeSaveData(const SAVEDATA2& r) {
  std::vector<uint8_t> out(kSaveDataSize, 0);
  StoreHeader(out.data(), r.m_Header);
  StoreLE32(out.data() + 56, r.m_ResumePage);
  std::memcpy(out.data() + kThumbnailOffset, r.m_Thumbnail, kThumbnailSize);
  for (int i = 0; i < kSceneBuffers; ++i) {
    const auto* state = reinterpret_cast<const uint8_t*>(&r.m_Scene[i]);
    const size_t n = BoundedLength(state, sizeof(SCENESTATE));
    std::memcpy(out.data() + kSceneStateOffset + 32 * i, state, n);
  }
  return out;
}

bool DecodeSaveData(const uint8_t* data, size_t size, SAVEDATA2* out) {
  if (!data || size != kSaveDataSize) return false;
  LoadHeader(data, &out->m_Header);
  out->m_ResumePage = LoadLE32(data + 56);
  std::memcpy(out->m_Thumbnail, data + kThumbnailOffset, kThumbnailSize);
  for (int i = 0; i < kSceneBuffers; ++i) {
    const uint8_t* p = data + kSceneStateOffset + 32 * i;
    SCENESTATE& s = out->m_Scene[i];
    s = SCENESTATE{};
    // One C string from the state byte, never beyond the buffer's 32 bytes.
    const size_t n = BoundedLength(p, sizeof(SCENESTATE));
    if (n > 0) s.m_State = p[0];
    if (n > 1) std::memcpy(s.m_Name, p + 1, n - 1);
  }
  return true;
}

bool DecodeSaveHeader(const uint8_t* data, size_t size, SAVEHEADER* out) {
  if (!data || size < kSaveHeaderSize) return false;
  LoadHeader(data, out);
  return true;
}

std::vector<uint8_t> EncodeCommon(const COMMONDATA& c) {
  std::vector<uint8_t> out(kCommonSize, 0);
  StoreLE32(out.data(), c.m_LastSlot);
  StoreUnits(out.data() + 4, c.m_FamilyName, kCommonNameUnits);
  StoreUnits(out.data() + 132, c.m_GivenName, kCommonNameUnits);
  std::memcpy(out.data() + 260, c.m_ReadFlags, kReadFlagBytes);
  return out;
}

bool DecodeCommon(const uint8_t* data, size_t size, COMMONDATA* out) {
  if (!data || size != kCommonSize) return false;
  out->m_LastSlot = LoadLE32(data);
  LoadUnits(data + 4, out->m_FamilyName, kCommonNameUnits);
  LoadUnits(data + 132, out->m_GivenName, kCommonNameUnits);
  std::memcpy(out->m_ReadFlags, data + 260, kReadFlagBytes);
  return true;
}

std::vector<uint8_t> EncodeNameList(const std::vector<std::string>& names) {
  std::vector<uint8_t> out;
  for (const std::string& name : names) {
    const size_t n = BoundedLength(name.data(), name.size());
    if (n == 0) continue;
    out.insert(out.end(), name.begin(), name.begin() + static_cast<ptrdiff_t>(n));
    out.push_back(0);
  }
  out.push_back(0);
  return out;
}

std::vector<std::string> DecodeNameList(const uint8_t* data, size_t size) {
  std::vector<std::string> names;
  size_t at = 0;
  while (data && at < size) {
    const size_t n = BoundedLength(data + at, size - at);
    if (n == 0 || at + n == size) break;  // the end of the list, or a name cut off
    names.emplace_back(reinterpret_cast<const char*>(data + at), n);
    at += n + 1;
  }
  return names;
}

std::vector<uint8_t> EncodeVariables(const VariableTable& table) {
  std::vector<uint8_t> out;
  out.reserve(table.Count() * 12 + 1);
  for (const auto& [hash, v] : table) {
    (void)hash;
    const std::string name = WideToSjis(std::u16string_view(v->m_Name.c()));
    if (name.empty()) continue;
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    // A string variable's word is 0: the blob holds values, never addresses.
    const uint32_t word = v->m_Type == ScriptVariable::kInteger ? static_cast<uint32_t>(v->m_Value) : 0;
    uint8_t le[4];
    StoreLE32(le, word);
    out.insert(out.end(), le, le + 4);
  }
  out.push_back(0);
  return out;
}

std::vector<SavedVariable> DecodeVariables(const uint8_t* data, size_t size) {
  std::vector<SavedVariable> items;
  size_t at = 0;
  while (data && at < size) {
    const size_t n = BoundedLength(data + at, size - at);
    if (n == 0) break;
    if (size - at - n < 5) {
      DebugPrintf(u"save: the variable data ends inside an item (%u bytes left)\n", unsigned(size - at));
      break;
    }
    items.emplace_back(std::string(reinterpret_cast<const char*>(data + at), n), LoadLE32s(data + at + n + 1));
    at += n + 5;
  }
  return items;
}

// ---- The store ---------------------------------------------------------------------------------

SaveDB::SaveDB() = default;

SaveDB::~SaveDB() {
  CloseConnection();
}

void SaveDB::SetFolder(std::u16string_view folder) {
  m_Folder = std::u16string(folder);
  m_Checked = false;
}

std::u16string SaveDB::Path() const {
  if (m_Folder.empty()) return u"save.dat";
  const char16_t last = m_Folder.back();
  return m_Folder + (last == u'/' || last == u'\\' ? u"save.dat" : u"/save.dat");
}

void SaveDB::Open() {
  if (m_Nesting > 0) {
    ++m_Nesting;
    return;
  }
  m_Nesting = 1;
  try {
    OpenConnection();
  } catch (...) {
    CloseConnection();
    m_Nesting = 0;
    throw;
  }
}

void SaveDB::Close() {
  if (m_Nesting <= 0) {
    platform::ReportAssertion("m_Nesting > 0", "script/scr_gui", __LINE__);
    return;
  }
  if (--m_Nesting > 0) return;
  if (m_Failed || !m_pDB) {
    // A step inside failed: the whole transaction goes, as its error already said.
    RollBack();
    return;
  }
  int rc = SQLITE_BUSY;
  for (int i = 0; i < kLockAttempts && rc == SQLITE_BUSY; ++i) rc = m_pDB->Commit();
  if (rc != SQLITE_OK) {
    const std::u16string message = static_cast<const char16_t*>(sqlite3_errmsg16(m_pDB->Handle()));
    sqlite3_exec(m_pDB->Handle(), "ROLLBACK;", nullptr, nullptr, nullptr);
    CloseConnection();
    ThrowException(kSource, __LINE__, 0, 0, u"%s", message.c_str());
  }
  CloseConnection();
}

void SaveDB::Abort() noexcept {
  if (m_Nesting <= 0) return;
  m_Failed = true;
  if (--m_Nesting > 0) return;
  RollBack();
}

void SaveDB::RollBack() noexcept {
  if (m_pDB && !sqlite3_get_autocommit(m_pDB->Handle()))
    sqlite3_exec(m_pDB->Handle(), "ROLLBACK;", nullptr, nullptr, nullptr);
  CloseConnection();
}

void SaveDB::CloseConnection() noexcept {
  if (!m_pDB) return;
  m_pDB->Close();
  m_pDB->Release();
  m_pDB = nullptr;
  m_Failed = false;
}

void SaveDB::OpenConnection() {
  m_Failed = false;
  m_Created = false;
  const std::u16string path = Path();
  for (int attempt = 0; attempt < 2; ++attempt) {
    m_pDB = new SQLite3();
    m_pDB->SetBusyTimeout(kSaveBusyTimeoutMs);
    if (m_pDB->Open(path.c_str()) != SQLITE_OK) {
      DebugPrintf(u"save: %s cannot be opened: %s\n", path.c_str(),
                  m_pDB->Handle() ? static_cast<const char16_t*>(sqlite3_errmsg16(m_pDB->Handle())) : u"");
      CloseConnection();
      ThrowException(kSource, __LINE__, 0, 0, kCannotOpen);
    }
    int rc = SQLITE_BUSY;
    // IMMEDIATE takes the write lock now, so a file held by another process waits here within
    // the busy timeout instead of failing halfway through the operation.
    for (int i = 0; i < kLockAttempts && rc == SQLITE_BUSY; ++i) rc = m_pDB->Execute("BEGIN IMMEDIATE;");
    FileKind kind = FileKind::Foreign;
    if (rc == SQLITE_OK) {
      kind = Examine();
    } else if (!Damaged(rc)) {
      RaiseDatabaseError(__LINE__);
    }
    switch (kind) {
      case FileKind::Ours:
        InsertMissingGlobalRows();
        return;
      case FileKind::Empty:
        CreateTables();
        m_Created = true;
        return;
      case FileKind::Failed:
        RaiseDatabaseError(__LINE__);
      case FileKind::Foreign:
        break;
    }
    sqlite3_exec(m_pDB->Handle(), "ROLLBACK;", nullptr, nullptr, nullptr);
    CloseConnection();
    KeepForeignFile();
  }
  ThrowException(kSource, __LINE__, 0, 0, kCannotOpen);
}

namespace {

// Runs a query and collects its first column as text; the library's code (SQLITE_DONE when it
// ran to the end).
int QueryColumn(sqlite3* db, const char* sql, std::vector<std::string>* out) {
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  if (rc != SQLITE_OK) return rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(stmt, 0);
    out->emplace_back(text ? reinterpret_cast<const char*>(text) : "");
  }
  sqlite3_finalize(stmt);
  return rc;
}

}  // namespace

SaveDB::FileKind SaveDB::Examine() {
  sqlite3* db = m_pDB->Handle();
  if (!m_Checked) {
    std::vector<std::string> result;
    const int rc = QueryColumn(db, "PRAGMA quick_check;", &result);
    if (rc != SQLITE_DONE) return Damaged(rc) ? FileKind::Foreign : FileKind::Failed;
    if (result.size() != 1 || result[0] != "ok") return FileKind::Foreign;
    m_Checked = true;
  }
  std::vector<std::string> objects;
  int rc = QueryColumn(db,
                       "SELECT type || ' ' || name FROM sqlite_master WHERE type IN ('table','view') AND name NOT "
                       "LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY name;",
                       &objects);
  if (rc != SQLITE_DONE) return Damaged(rc) ? FileKind::Foreign : FileKind::Failed;
  if (objects.empty()) return FileKind::Empty;
  if (objects != std::vector<std::string>{"table entry", "table global"}) return FileKind::Foreign;
  struct Expected {
    const char* sql;
    std::vector<std::string> columns;
  };
  const Expected tables[] = {
      {"SELECT name FROM pragma_table_info('global');", {"id", "name", "value_text", "value_bin"}},
      {"SELECT name FROM pragma_table_info('entry');", {"id", "number", "header", "backlog", "value_data"}},
  };
  for (const Expected& t : tables) {
    std::vector<std::string> columns;
    rc = QueryColumn(db, t.sql, &columns);
    if (rc != SQLITE_DONE) return Damaged(rc) ? FileKind::Foreign : FileKind::Failed;
    if (columns != t.columns) return FileKind::Foreign;
  }
  return FileKind::Ours;
}

void SaveDB::KeepForeignFile() {
  const std::u16string path = Path();
  std::u16string kept;
  for (int n = 1; n < 1000 && kept.empty(); ++n) {
    std::u16string candidate = path + (n == 1 ? std::u16string(u".old") : u".old" + SjisToWide(std::to_string(n)));
    if (!platform::PathExists(candidate)) kept = std::move(candidate);
  }
  std::vector<uint8_t> bytes;
  if (kept.empty() || !platform::ReadWholeFile(path, bytes) ||
      !platform::WriteWholeFileAtomic(kept, bytes.data(), bytes.size())) {
    DebugPrintf(u"save: %s is not a save file and could not be set aside\n", path.c_str());
    ThrowException(kSource, __LINE__, 0, 0, kCannotOpen);
  }
  // A journal left beside the old file belongs to it, never to the new one.
  const std::u16string journal = path + u"-journal";
  std::vector<uint8_t> journalBytes;
  if (platform::ReadWholeFile(journal, journalBytes)) {
    platform::WriteWholeFileAtomic(kept + u"-journal", journalBytes.data(), journalBytes.size());
    platform::RemoveFile(journal);
  }
  if (!platform::RemoveFile(path)) {
    DebugPrintf(u"save: %s could not be replaced\n", path.c_str());
    ThrowException(kSource, __LINE__, 0, 0, kCannotOpen);
  }
  const std::u16string text = FormatWide(
      u"セーブファイル %s はこのゲームのものではないか壊れているため、%s "
      u"として残し、新しいセーブファイルを作りました。",
      path.c_str(), kept.c_str());
  DebugPrintf(u"save: %s\n", text.c_str());
  if (!m_ForeignShown) {
    m_ForeignShown = true;
    platform::ShowMessageBox(text, u"エラー", platform::MsgButtons::Ok, platform::MsgIcon::Warning);
  }
  m_Checked = false;
}

// ---- Statements ----------------------------------------------------------------------------------

void SaveDB::RaiseDatabaseError(int line) {
  const char16_t* message = m_pDB && m_pDB->Handle() ? static_cast<const char16_t*>(sqlite3_errmsg16(m_pDB->Handle()))
                                                     : u"the save file is not open";
  ThrowException(kSource, line, 0, 0, u"%s", message);
}

void SaveDB::RaiseRecordError(int line, const char16_t* what, int32_t slot, size_t size) {
  ThrowException(kSource, line, 0, 0, u"%s (slot %d, %u bytes)", what, slot, unsigned(size));
}

ComRef<SQLite3Statement> SaveDB::Prepare(const char16_t* sql, int line) {
  if (!m_pDB) {
    platform::ReportAssertion("m_pDB", "script/scr_gui", line);
    RaiseDatabaseError(line);
  }
  ComRef<SQLite3Statement> statement;
  if (m_pDB->Prepare(statement.Put(), sql, -1, nullptr) != SQLITE_OK) RaiseDatabaseError(line);
  return statement;
}

bool SaveDB::StepRow(SQLite3Statement& statement, int line) {
  const int rc = statement.Step();
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  RaiseDatabaseError(line);
}

void SaveDB::StepDone(SQLite3Statement& statement, int line) {
  if (statement.Step() != SQLITE_DONE) RaiseDatabaseError(line);
}

void SaveDB::Exec(const char16_t* sql, int line) {
  ComRef<SQLite3Statement> s = Prepare(sql, line);
  StepDone(*s.Get(), line);
}

namespace {

const uint8_t kNoBytes[1] = {0};

void BindBlob(SQLite3Statement& s, int index, const std::vector<uint8_t>& blob) {
  // A zero-length blob is still a blob, never NULL.
  sqlite3_bind_blob(s.Handle(), index, blob.empty() ? kNoBytes : blob.data(), static_cast<int>(blob.size()),
                    SQLITE_STATIC);
}

void CopyColumn(SQLite3Statement& s, std::vector<uint8_t>* out, bool* isNull) {
  const bool null = sqlite3_column_type(s.Handle(), 0) == SQLITE_NULL;
  const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(s.Handle(), 0));
  const int n = sqlite3_column_bytes(s.Handle(), 0);
  if (out) out->assign(p, p + (p && n > 0 ? n : 0));
  if (isNull) *isNull = null;
}

}  // namespace

void SaveDB::CreateTables() {
  Exec(u"CREATE TABLE global (id INTEGER PRIMARY KEY, name TEXT, value_text TEXT, value_bin BLOB);", __LINE__);
  Exec(u"CREATE TABLE entry (id INTEGER PRIMARY KEY, number INTEGER, header BLOB, backlog BLOB, value_data BLOB);",
       __LINE__);
  for (const char16_t* name : {u"SCENE", u"ALBUM", u"COMMON"}) {
    ComRef<SQLite3Statement> s = Prepare(u"INSERT INTO global(name) VALUES(?);", __LINE__);
    sqlite3_bind_text16(s->Handle(), 1, name, -1, SQLITE_STATIC);
    StepDone(*s.Get(), __LINE__);
  }
}

void SaveDB::InsertMissingGlobalRows() {
  std::vector<std::string> names;
  if (QueryColumn(m_pDB->Handle(), "SELECT name FROM global;", &names) != SQLITE_DONE) RaiseDatabaseError(__LINE__);
  for (const char16_t* name : {u"SCENE", u"ALBUM", u"COMMON"}) {
    if (std::find(names.begin(), names.end(), WideToSjis(name)) != names.end()) continue;
    ComRef<SQLite3Statement> s = Prepare(u"INSERT INTO global(name) VALUES(?);", __LINE__);
    sqlite3_bind_text16(s->Handle(), 1, name, -1, SQLITE_STATIC);
    StepDone(*s.Get(), __LINE__);
  }
}

void SaveDB::UpdateGlobal(const char16_t* sql, const std::vector<uint8_t>& blob, int line) {
  ComRef<SQLite3Statement> s = Prepare(sql, line);
  BindBlob(*s.Get(), 1, blob);
  StepDone(*s.Get(), line);
}

bool SaveDB::ReadGlobal(const char16_t* sql, std::vector<uint8_t>* out, int line) {
  ComRef<SQLite3Statement> s = Prepare(sql, line);
  if (!StepRow(*s.Get(), line)) ThrowException(kSource, line, 0, 0, u"%s", u"the global data has no row");
  bool null = false;
  CopyColumn(*s.Get(), out, &null);
  return !null;
}

void SaveDB::WriteCommon(const std::vector<uint8_t>& blob) {
  UpdateGlobal(u"UPDATE global SET value_bin=? WHERE name='COMMON';", blob, __LINE__);
}
bool SaveDB::ReadCommon(std::vector<uint8_t>* out) {
  return ReadGlobal(u"SELECT value_bin FROM global WHERE name='COMMON';", out, __LINE__);
}
void SaveDB::WriteSceneList(const std::vector<uint8_t>& blob) {
  UpdateGlobal(u"UPDATE global SET value_bin=? WHERE name='SCENE';", blob, __LINE__);
}
bool SaveDB::ReadSceneList(std::vector<uint8_t>* out) {
  return ReadGlobal(u"SELECT value_bin FROM global WHERE name='SCENE';", out, __LINE__);
}
void SaveDB::WriteAlbumList(const std::vector<uint8_t>& blob) {
  UpdateGlobal(u"UPDATE global SET value_bin=? WHERE name='ALBUM';", blob, __LINE__);
}
bool SaveDB::ReadAlbumList(std::vector<uint8_t>* out) {
  return ReadGlobal(u"SELECT value_bin FROM global WHERE name='ALBUM';", out, __LINE__);
}

bool SaveDB::EntryExists(int32_t slot) {
  ComRef<SQLite3Statement> s = Prepare(u"SELECT number FROM entry WHERE number=?;", __LINE__);
  sqlite3_bind_int(s->Handle(), 1, slot);
  return StepRow(*s.Get(), __LINE__);
}

void SaveDB::MoveEntry(int32_t from, int32_t to) {
  if (!EntryExists(from)) return;
  ComRef<SQLite3Statement> s = Prepare(u"UPDATE entry SET number=? WHERE number=?;", __LINE__);
  sqlite3_bind_int(s->Handle(), 1, to);
  sqlite3_bind_int(s->Handle(), 2, from);
  StepDone(*s.Get(), __LINE__);
}

void SaveDB::WriteHeader(int32_t slot, const SAVEDATA2& record) {
  const std::vector<uint8_t> blob = EncodeSaveData(record);
  bool exists = false;
  {
    ComRef<SQLite3Statement> s = Prepare(u"SELECT header FROM entry WHERE number=?;", __LINE__);
    sqlite3_bind_int(s->Handle(), 1, slot);
    exists = StepRow(*s.Get(), __LINE__);
  }
  if (exists) {
    ComRef<SQLite3Statement> s = Prepare(u"UPDATE entry SET header=? WHERE number=?;", __LINE__);
    BindBlob(*s.Get(), 1, blob);
    sqlite3_bind_int(s->Handle(), 2, slot);
    StepDone(*s.Get(), __LINE__);
  } else {
    ComRef<SQLite3Statement> s = Prepare(u"INSERT INTO entry(number,header) VALUES(?,?);", __LINE__);
    sqlite3_bind_int(s->Handle(), 1, slot);
    BindBlob(*s.Get(), 2, blob);
    StepDone(*s.Get(), __LINE__);
  }
}

void SaveDB::SelectHeaderBlob(int32_t slot, std::vector<uint8_t>* out, int line) {
  ComRef<SQLite3Statement> s = Prepare(u"SELECT header FROM entry WHERE number=?;", line);
  sqlite3_bind_int(s->Handle(), 1, slot);
  if (!StepRow(*s.Get(), line)) RaiseRecordError(line, u"セーブデータがありません", slot, 0);
  CopyColumn(*s.Get(), out, nullptr);
  if (out->size() != kSaveDataSize) RaiseRecordError(line, u"セーブデータが壊れています", slot, out->size());
}

void SaveDB::ReadHeader(int32_t slot, SAVEDATA2* out) {
  std::vector<uint8_t> blob;
  SelectHeaderBlob(slot, &blob, __LINE__);
  DecodeSaveData(blob.data(), blob.size(), out);
}

void SaveDB::ReadHeaderStart(int32_t slot, SAVEHEADER* out) {
  std::vector<uint8_t> blob;
  SelectHeaderBlob(slot, &blob, __LINE__);
  DecodeSaveHeader(blob.data(), blob.size(), out);
}

void SaveDB::ReadThumbnail(int32_t slot, uint8_t* out) {
  std::vector<uint8_t> blob;
  SelectHeaderBlob(slot, &blob, __LINE__);
  std::memcpy(out, blob.data() + kThumbnailOffset, kThumbnailSize);
}

void SaveDB::SetComment(int32_t slot, const char* comment) {
  std::vector<uint8_t> blob;
  {
    ComRef<SQLite3Statement> s = Prepare(u"SELECT header FROM entry WHERE number=?;", __LINE__);
    sqlite3_bind_int(s->Handle(), 1, slot);
    if (!StepRow(*s.Get(), __LINE__)) return;
    CopyColumn(*s.Get(), &blob, nullptr);
  }
  if (blob.size() != kSaveDataSize) {
    // A record of another size is left as it is rather than written over in part.
    platform::ReportAssertion("size == sizeof(SAVEDATA2)", "script/scr_gui", __LINE__);
    return;
  }
  std::memset(blob.data() + 4, 0, kCommentSize);
  if (comment) std::memcpy(blob.data() + 4, comment, std::min(std::strlen(comment), kCommentSize - 1));
  ComRef<SQLite3Statement> s = Prepare(u"UPDATE entry SET header=? WHERE number=?;", __LINE__);
  BindBlob(*s.Get(), 1, blob);
  sqlite3_bind_int(s->Handle(), 2, slot);
  StepDone(*s.Get(), __LINE__);
}

void SaveDB::ClearBacklog(int32_t slot) {
  ComRef<SQLite3Statement> s = Prepare(u"UPDATE entry SET backlog=? WHERE number=?;", __LINE__);
  sqlite3_bind_int(s->Handle(), 2, slot);
  StepDone(*s.Get(), __LINE__);
}

void SaveDB::DeleteEntry(int32_t slot) {
  ComRef<SQLite3Statement> s = Prepare(u"DELETE FROM entry WHERE number=?;", __LINE__);
  sqlite3_bind_int(s->Handle(), 1, slot);
  StepDone(*s.Get(), __LINE__);
}

void SaveDB::WriteValueData(int32_t slot, const VariableTable& table) {
  const std::vector<uint8_t> blob = EncodeVariables(table);
  ComRef<SQLite3Statement> s = Prepare(u"UPDATE entry SET value_data=? WHERE number=?;", __LINE__);
  BindBlob(*s.Get(), 1, blob);
  sqlite3_bind_int(s->Handle(), 2, slot);
  StepDone(*s.Get(), __LINE__);
}

std::vector<SavedVariable> SaveDB::ReadValueData(int32_t slot) {
  ComRef<SQLite3Statement> s = Prepare(u"SELECT value_data FROM entry WHERE number=?;", __LINE__);
  sqlite3_bind_int(s->Handle(), 1, slot);
  if (!StepRow(*s.Get(), __LINE__)) RaiseRecordError(__LINE__, u"セーブデータがありません", slot, 0);
  std::vector<uint8_t> blob;
  CopyColumn(*s.Get(), &blob, nullptr);
  return DecodeVariables(blob.data(), blob.size());
}

int32_t SaveDB::FindNewestQuickSave() {
  for (int32_t n = 91; n <= 99; ++n) {
    ComRef<SQLite3Statement> s = Prepare(u"SELECT header FROM entry WHERE number=?;", __LINE__);
    sqlite3_bind_int(s->Handle(), 1, n);
    if (StepRow(*s.Get(), __LINE__)) return n - 1;
  }
  return -1;
}
