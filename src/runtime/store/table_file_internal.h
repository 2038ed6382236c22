// What the parts of the table file engine share: the format's constants, the SQLite connection as
// every part opens it, and the value codecs. Included by table_file*.cpp alone.
//
//   table_file.cpp          the commit protocol: journal modes, transactions, record changes
//   table_file_create.cpp   new table files and companions, and asking a closed file about itself
//   table_file_open.cpp     opening with full verification, and reconnecting
//   table_file_protect.cpp  protection changes over several tables in one commit
//   table_file_recovery.cpp what a crash leaves beside the files, and how it is settled
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/store/table_file.h"

namespace runtime::store::detail {

inline constexpr const char* kTableMagic = "Quillarbor table";
inline constexpr const char* kMemoMagic = "Quillarbor memo";
inline constexpr int kFormatVersion = 1;
inline constexpr int kTableAppId = 0x51424442;  // "QBDB"
inline constexpr int kMemoAppId = 0x51424454;   // "QBDT"
inline constexpr int kMaxFields = 255;
inline constexpr int kMaxTextWidth = 65535;
inline constexpr int64_t kMaxKey = int64_t{1} << 54;  // mk = k * 256 + pos stays far from overflow
inline constexpr std::string_view kKeyCheckText = "Quillarbor key check";
inline constexpr const char* kLogMode = "wal";
inline constexpr const char* kRollbackMode = "truncate";
inline constexpr int kCheckpointPages = 1000;
inline constexpr int kLogSizeLimit = 4 << 20;

class Stmt {
public:
    Stmt(sqlite3* db, const std::string& sql) { rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr); }
    ~Stmt() { sqlite3_finalize(s); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    sqlite3_stmt* s = nullptr;
    int rc = SQLITE_OK;
};

std::string columnBytes(sqlite3_stmt* s, int i);
// A regular file's size; false for anything else or nothing.
bool fileSize(const std::string& path, off_t& size);
bool hasMemoField(const std::vector<FieldDef>& fields);
std::string damaged(const std::string& path, const std::string& detail);
int execSql(sqlite3* db, const char* sql);

// Durability and hygiene settings, per attached database: a PRAGMA without a schema name sets
// the main file only. A null journal mode leaves the file's own.
int configureSchema(sqlite3* db, const std::string& schema, const char* journalMode);
// The journal mode of `schema` after asking for `mode`: SQLite answers with the mode it keeps.
bool switchJournalMode(sqlite3* db, const std::string& schema, const char* mode);
// Opens a connection that never creates the file (unless `flags` asks) and ignores anything
// clever a hostile file may carry (triggers, views, untrusted schema functions).
int openConnection(const std::string& path, sqlite3** db, int flags, const char* journalMode);
void closeConnection(sqlite3*& db);
// A commit in exclusive locking mode leaves its journal behind, empty or with a zeroed header:
// nothing SQLite would roll back. Once the connection is closed such a journal goes.
void removeSpentJournal(const std::string& path);
// The reason SQLite gives for the last failure on `db` (null: it could not be opened), in the
// user's words where there are some.
std::string sqliteReason(sqlite3* db);
bool readAppId(sqlite3* db, const std::string& schema, int expected, std::string& detail);

// A value as the bytes that are sealed, and back; false for bytes that are no value of the field.
std::string encodePlain(const FieldDef& f, const Value& v);
bool decodePlain(const FieldDef& f, std::string&& plain, Value& out);
// The civil day a date value falls on, as a day number: equal for two values exactly when their
// year, month and day are. The empty value reads as the zero date, as everywhere.
long long civilDay(const Value& v);
// Brings a caller's value into the field's type; a text is cut to the field's width.
bool normalize(const FieldDef& f, const Value& in, Value& out, std::string& error);

// Settles the journal a crash may have left beside the closed file at `path`, before the file is
// read: a spent one is removed, a hot one rolled back and the file rewritten from its live pages.
// False when a hot journal could not be settled (the open that follows then reports why).
bool settleJournal(const std::string& path);
// Before a new file takes the name `path`: an empty journal or log there belongs to no file and
// goes; one with content would be taken for the new file's own, so it refuses (with `error`).
bool clearStaleSideFiles(const std::string& path, std::string& error);
// The sealed key-check value a protected table file's header carries.
std::string keyCheckValue(const Protection& p, std::string_view fileId);

}  // namespace runtime::store::detail
