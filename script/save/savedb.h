// The save database "save.dat": its two tables, the statements run on them, the records stored
// in its blobs (read and written field by field, little-endian) and the store that opens it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lib/combase.h"
#include "script/scene.h"

class SQLite3;
class SQLite3Statement;
class VariableTable;

// ---- Records ---------------------------------------------------------------------------------

constexpr size_t kCommentSize = 36;       // narrow text with its terminator
constexpr size_t kSaveHeaderSize = 56;    // the part of a slot record the slot list shows
constexpr size_t kThumbnailOffset = 60;   // the thumbnail's header within a slot record
constexpr size_t kThumbnailSize = 65576;  // its 40-byte header and its 65536-byte pixel area
constexpr size_t kThumbnailPixelArea = 65536;
constexpr size_t kSceneStateOffset = 65636;  // the five resume buffers
constexpr size_t kSaveDataSize = 65796;
constexpr int32_t kThumbnailWidth = 140;
constexpr int32_t kThumbnailHeight = 105;
constexpr size_t kReadFlagBytes = 2048;
constexpr size_t kCommonNameUnits = 64;
constexpr size_t kCommonSize = 2308;

// The local time of a save: eight unsigned 16-bit values.
struct SYSTEMTIME {
  uint16_t wYear = 0;
  uint16_t wMonth = 0;
  uint16_t wDayOfWeek = 0;
  uint16_t wDay = 0;
  uint16_t wHour = 0;
  uint16_t wMinute = 0;
  uint16_t wSecond = 0;
  uint16_t wMilliseconds = 0;
};

// The first 56 bytes of a slot record: a word written 0, the comment, the time.
struct SAVEHEADER {
  uint32_t m_Reserved = 0;
  char m_Comment[kCommentSize] = {};  // Shift-JIS; always terminated once read
  SYSTEMTIME m_Time;
};

// A slot's header blob.
struct SAVEDATA2 {
  SAVEHEADER m_Header;
  uint32_t m_ResumePage = 0;                 // the page statement the saving run was on
  uint8_t m_Thumbnail[kThumbnailSize] = {};  // 40-byte bitmap header, then the pixel area
  SCENESTATE m_Scene[kSceneBuffers] = {};    // background, characters, music, two effects
};

// The global row "COMMON".
struct COMMONDATA {
  uint32_t m_LastSlot = 0;
  char16_t m_FamilyName[kCommonNameUnits] = {};
  char16_t m_GivenName[kCommonNameUnits] = {};
  uint8_t m_ReadFlags[kReadFlagBytes] = {};
};

// kSaveDataSize bytes. A resume buffer goes in as one C string from its state byte, the rest of
// its 32 bytes zero.
std::vector<uint8_t> EncodeSaveData(const SAVEDATA2& record);
// False unless size is kSaveDataSize. The comment and the resume buffers are copied within their
// fields, terminated or not; the comment is always terminated afterwards.
bool DecodeSaveData(const uint8_t* data, size_t size, SAVEDATA2* out);
// The first kSaveHeaderSize bytes; false when fewer are given.
bool DecodeSaveHeader(const uint8_t* data, size_t size, SAVEHEADER* out);

std::vector<uint8_t> EncodeCommon(const COMMONDATA& common);
// False unless size is kCommonSize. Both names are terminated afterwards.
bool DecodeCommon(const uint8_t* data, size_t size, COMMONDATA* out);

// Each name and a zero byte, then one more zero byte. An empty name is left out: it would end the
// list early.
std::vector<uint8_t> EncodeNameList(const std::vector<std::string>& names);
// Names up to the first empty one or the end of the data; a last name without its terminator is
// dropped.
std::vector<std::string> DecodeNameList(const uint8_t* data, size_t size);

// One variable of a variable blob: the Shift-JIS name and the value word.
using SavedVariable = std::pair<std::string, int32_t>;
// The table in its order: the Shift-JIS name, a zero byte and the 32-bit value word (0 for a
// string variable), then one zero byte. A variable without a name is left out.
std::vector<uint8_t> EncodeVariables(const VariableTable& table);
// The items up to the closing zero byte; an item cut off by the end of the data ends the list.
std::vector<SavedVariable> DecodeVariables(const uint8_t* data, size_t size);

// ---- The store ---------------------------------------------------------------------------------

// How long a step waits for a file another process holds before the operation gives up.
constexpr int kSaveBusyTimeoutMs = 1000;

// One open of the file for the program. Open and Close nest: the outermost pair is one
// transaction. When an error leaves an operation (Abort, or a Close after a nested Abort) the
// outermost transaction is rolled back, so the file holds what it held before the operation.
class SaveDB {
 public:
  SaveDB();
  ~SaveDB();
  SaveDB(const SaveDB&) = delete;
  SaveDB& operator=(const SaveDB&) = delete;

  // The folder "save.dat" lives in (start-up's choice); the path is the folder and "/save.dat".
  void SetFolder(std::u16string_view folder);
  const std::u16string& Folder() const { return m_Folder; }
  std::u16string Path() const;

  // Raises "セーブファイルを開けません\n" when the file cannot be opened, and the database's own
  // message when it is busy beyond the timeout; the count is as before then. A file that is not
  // a database of ours is kept under a new name and a new one is made.
  void Open();
  // Commits at the outermost level (or rolls back after an Abort); a failed commit is rolled
  // back and raised.
  void Close();
  // The way out of an error: like Close, but the outermost level rolls back. Never raises.
  void Abort() noexcept;

  int32_t Nesting() const { return m_Nesting; }
  // True when the open that began the current transaction created the tables.
  bool CreatedTables() const { return m_Created; }
  SQLite3* Connection() const { return m_pDB; }

  // The statements (all between Open and Close).
  void CreateTables();
  void WriteCommon(const std::vector<uint8_t>& blob);
  // False when the row's blob is NULL; otherwise the blob's bytes.
  bool ReadCommon(std::vector<uint8_t>* out);
  void WriteSceneList(const std::vector<uint8_t>& blob);
  bool ReadSceneList(std::vector<uint8_t>* out);
  void WriteAlbumList(const std::vector<uint8_t>& blob);
  bool ReadAlbumList(std::vector<uint8_t>* out);
  bool EntryExists(int32_t slot);
  void MoveEntry(int32_t from, int32_t to);
  void WriteHeader(int32_t slot, const SAVEDATA2& record);
  void ReadHeader(int32_t slot, SAVEDATA2* out);
  // The first kSaveHeaderSize bytes and the thumbnail area of the slot's header (out holds
  // kThumbnailSize bytes); both raise as ReadHeader does.
  void ReadHeaderStart(int32_t slot, SAVEHEADER* out);
  void ReadThumbnail(int32_t slot, uint8_t* out);
  // Nothing when the slot is empty. comment is Shift-JIS; at most 35 bytes are kept.
  void SetComment(int32_t slot, const char* comment);
  void ClearBacklog(int32_t slot);
  void DeleteEntry(int32_t slot);
  void WriteValueData(int32_t slot, const VariableTable& table);
  // Raises when the slot has no row; a NULL blob gives no variables.
  std::vector<SavedVariable> ReadValueData(int32_t slot);
  // The 0-based index of the lowest of slots 91 to 99 that holds a row, or -1.
  int32_t FindNewestQuickSave();

 private:
  [[noreturn]] void RaiseDatabaseError(int line);
  [[noreturn]] void RaiseRecordError(int line, const char16_t* what, int32_t slot, size_t size);
  ComRef<SQLite3Statement> Prepare(const char16_t* sql, int line);
  // SQLITE_ROW: true; SQLITE_DONE: false; anything else raises.
  bool StepRow(SQLite3Statement& statement, int line);
  void StepDone(SQLite3Statement& statement, int line);
  void Exec(const char16_t* sql, int line);
  bool SelectBlob(const char16_t* sql, int32_t slot, bool bindSlot, std::vector<uint8_t>* out, bool* isNull, int line);
  void UpdateGlobal(const char16_t* sql, const std::vector<uint8_t>& blob, int line);
  bool ReadGlobal(const char16_t* sql, std::vector<uint8_t>* out, int line);
  void SelectHeaderBlob(int32_t slot, std::vector<uint8_t>* out, int line);

  // Opening at the outermost level.
  void OpenConnection();
  void CloseConnection() noexcept;
  // The transaction rolled back and the connection closed.
  void RollBack() noexcept;
  // Ours (with both tables), Empty (no tables: ours to fill), Foreign, or Failed (an error that
  // says nothing about the file, such as a lock held elsewhere).
  enum class FileKind { Ours, Empty, Foreign, Failed };
  FileKind Examine();
  void InsertMissingGlobalRows();
  void KeepForeignFile();

  std::u16string m_Folder;
  int32_t m_Nesting = 0;
  SQLite3* m_pDB = nullptr;
  bool m_Failed = false;
  bool m_Created = false;
  bool m_Checked = false;  // the file's pages were checked once in this process
  bool m_ForeignShown = false;
};

// The program's store.
extern SaveDB g_SaveDB;

// Open at construction, Close on Commit; Abort when left by an error.
class SaveDBScope {
 public:
  explicit SaveDBScope(SaveDB& db = g_SaveDB) : m_DB(db) { m_DB.Open(); }
  ~SaveDBScope() {
    if (!m_Done) m_DB.Abort();
  }
  SaveDBScope(const SaveDBScope&) = delete;
  SaveDBScope& operator=(const SaveDBScope&) = delete;
  void Commit() {
    m_Done = true;
    m_DB.Close();
  }

 private:
  SaveDB& m_DB;
  bool m_Done = false;
};
