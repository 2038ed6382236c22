// The table file engine: creating, opening (with full verification), and changing table files.
// See table_file.h for the layout.
//
// The commit protocol. Typing rewrites one memo (or one record) per key, so a change to one file
// must be durable after a single flush, and changes to both files, or to several tables at once,
// must be all-or-nothing after a crash at any point. The two needs get two journal modes:
//
//   change                                   files written        journal mode at commit
//   write of memo fields alone, or of        one                  write-ahead log: one fdatasync
//     record fields alone; binding a                              of the log per commit
//     blank companion
//   delete mark (a pack follows)             table file           whichever mode it is in
//   add of records with memos; a write of    table + companion    rollback journal (TRUNCATE) on
//     both kinds of field; pack                                   both: SQLite's super-journal
//                                                                 commits the two files at once
//   protection change (one or more tables)   every table and      rollback journal on all of them
//                                            companion            in one connection (see
//                                                                 setPasswordTogether)
//
// Write-ahead logs of attached files commit one by one, so a two-file change in WAL mode could
// leave a memo without its record; ordering the writes and repairing at open would instead have
// to loosen the open-time check that every memo belongs to a record, and a protection change
// cannot be ordered at all. So a two-file change first puts both files in rollback-journal mode
// (leaving WAL checkpoints the log into the file), and a one-file change puts the file it writes
// back on the log (transaction, useJournalMode). SQLite makes each switch crash-safe: every crash cut is
// a WAL-mode file with a log to replay or a rollback-mode file with a hot journal (and perhaps a
// super-journal) to roll back, and SQLite repairs either when the file is next opened. Typing on
// a day that has its record stays on the log; the day's first key and emptying it pay the
// switches. Files at rest (opened, closed) are in rollback-journal mode, as a read-only medium
// needs them.
//
// Exclusive locking keeps the WAL index in private memory (no -shm file) and the files locked
// between transactions. The log is checkpointed by SQLite after the commit that brings it past
// kCheckpointPages (about a hundred keystrokes apart on a 20 KB day, more on a shorter one), and
// cut back to kLogSizeLimit afterwards, so it never grows without bound. The log is laid out ahead
// of its frames (log_vfs.cpp), so a commit writes inside the file rather than lengthening it, and
// its one flush carries no change of length. Closing checkpoints and removes it, and removes the
// spent journals exclusive locking leaves. synchronous=FULL everywhere: a completed commit survives
// a power cut. Values are sealed before they reach SQLite, so neither the log nor a journal ever
// holds a protected value in plain bytes.
#include "runtime/store/table_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "runtime/base/text.h"
#include "runtime/store/log_vfs.h"

namespace runtime::store::detail {
namespace {

constexpr const char* kTableMagic = "Quillarbor table";
constexpr const char* kMemoMagic = "Quillarbor memo";
constexpr int kFormatVersion = 1;
constexpr int kTableAppId = 0x51424442;  // "QBDB"
constexpr int kMemoAppId = 0x51424454;   // "QBDT"
constexpr int kMaxFields = 255;
constexpr int kMaxTextWidth = 65535;
constexpr int64_t kMaxKey = int64_t{1} << 54;  // mk = k * 256 + pos stays far from overflow
constexpr std::string_view kKeyCheckText = "Quillarbor key check";
constexpr const char* kLogMode = "wal";
constexpr const char* kRollbackMode = "truncate";
constexpr int kCheckpointPages = 1000;
constexpr int kLogSizeLimit = 4 << 20;

class Stmt {
public:
    Stmt(sqlite3* db, const std::string& sql) { rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr); }
    ~Stmt() { sqlite3_finalize(s); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    sqlite3_stmt* s = nullptr;
    int rc = SQLITE_OK;
};

std::string columnBytes(sqlite3_stmt* s, int i) {
    const void* p = sqlite3_column_blob(s, i);
    const int n = sqlite3_column_bytes(s, i);
    return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
}

bool fileSize(const std::string& path, off_t& size) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = st.st_size;
    return true;
}

bool hasMemoField(const std::vector<FieldDef>& fields) {
    for (const FieldDef& f : fields) {
        if (f.type == FieldType::Memo) return true;
    }
    return false;
}

std::string damaged(const std::string& path, const std::string& detail) {
    return "表文件已损坏：" + path + "（" + detail + "）";
}

int execSql(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// Durability and hygiene settings, per attached database: a PRAGMA without a schema name sets
// the main file only. A null journal mode leaves the file's own.
int configureSchema(sqlite3* db, const std::string& schema, const char* journalMode) {
    std::string sql = "PRAGMA " + schema + ".synchronous=FULL; PRAGMA " + schema + ".secure_delete=ON; PRAGMA " +
                      schema + ".journal_size_limit=" + std::to_string(kLogSizeLimit) + ";";
    if (journalMode) sql += "PRAGMA " + schema + ".journal_mode=" + journalMode + ";";
    return execSql(db, sql.c_str());
}

// The journal mode of `schema` after asking for `mode`: SQLite answers with the mode it keeps.
bool switchJournalMode(sqlite3* db, const std::string& schema, const char* mode) {
    Stmt s(db, "PRAGMA " + schema + ".journal_mode=" + mode);
    return s.rc == SQLITE_OK && sqlite3_step(s.s) == SQLITE_ROW &&
           std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(s.s, 0))) == mode;
}

// Opens a connection that never creates the file and ignores anything clever a hostile file may
// carry (triggers, views, untrusted schema functions).
int openConnection(const std::string& path, sqlite3** db, int flags, const char* journalMode) {
    *db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), db, flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, logVfsName());
    if (rc != SQLITE_OK) return rc;
    sqlite3_db_config(*db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(*db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(*db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(*db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    // Exclusive locking, set before the first read: the files stay locked between transactions,
    // a journal stays open, and a write-ahead log keeps its index in this process's memory.
    const std::string setup = "PRAGMA temp_store=MEMORY; PRAGMA cell_size_check=ON; PRAGMA mmap_size=0;"
                              " PRAGMA locking_mode=EXCLUSIVE; PRAGMA wal_autocheckpoint=" +
                              std::to_string(kCheckpointPages);
    rc = execSql(*db, setup.c_str());
    if (rc == SQLITE_OK) rc = configureSchema(*db, "main", journalMode);
    return rc;
}

// A commit in exclusive locking mode leaves its journal behind, empty or with a zeroed header:
// nothing SQLite would roll back. Once the connection is closed such a journal goes.
void removeSpentJournal(const std::string& path) {
    const std::string journal = path + "-journal";
    const int fd = ::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    char first = 0;
    const ssize_t n = ::read(fd, &first, 1);
    ::close(fd);
    if (n == 0 || (n == 1 && first == 0)) ::unlink(journal.c_str());
}

void closeConnection(sqlite3*& db) {
    if (db) sqlite3_close_v2(db);
    db = nullptr;
}

bool readAppId(sqlite3* db, const std::string& schema, int expected, std::string& detail) {
    Stmt s(db, "PRAGMA " + schema + ".application_id");
    if (s.rc != SQLITE_OK || sqlite3_step(s.s) != SQLITE_ROW) {
        detail = sqlite3_errmsg(db);
        return false;
    }
    if (sqlite3_column_int(s.s, 0) != expected) {
        detail = "不是本程序的表文件";
        return false;
    }
    return true;
}

std::string encodePlain(const FieldDef& f, const Value& v) {
    std::string out;
    switch (f.type) {
        case FieldType::DateTime: {
            const double d = std::get<DateTime>(v).days;
            out.resize(sizeof d);
            std::memcpy(out.data(), &d, sizeof d);
            break;
        }
        case FieldType::Integer: {
            const int32_t i = std::get<int32_t>(v);
            out.resize(sizeof i);
            std::memcpy(out.data(), &i, sizeof i);
            break;
        }
        case FieldType::Text:
        case FieldType::Memo:
            out = std::get<std::string>(v);
            break;
    }
    return out;
}

bool decodePlain(const FieldDef& f, std::string&& plain, Value& out) {
    switch (f.type) {
        case FieldType::DateTime: {
            double d = 0;
            if (plain.size() != sizeof d) return false;
            std::memcpy(&d, plain.data(), sizeof d);
            if (!std::isfinite(d)) return false;
            out = DateTime{d};
            return true;
        }
        case FieldType::Integer: {
            int32_t i = 0;
            if (plain.size() != sizeof i) return false;
            std::memcpy(&i, plain.data(), sizeof i);
            out = i;
            return true;
        }
        case FieldType::Text:
            if (getTextLength(plain) > f.width) return false;
            out = std::move(plain);
            return true;
        case FieldType::Memo:
            out = std::move(plain);
            return true;
    }
    return false;
}

// The civil day a date value falls on, as a day number: equal for two values exactly when their
// year, month and day are. The empty value reads as the zero date, as everywhere.
long long civilDay(const Value& v) {
    const CivilTime c = toCivil(valueDate(v));
    return daysFromCivil(c.year, c.month, c.day);
}

// Brings a caller's value into the field's type; a text is cut to the field's width.
bool normalize(const FieldDef& f, const Value& in, Value& out, std::string& error) {
    const bool empty = std::holds_alternative<std::monostate>(in);
    switch (f.type) {
        case FieldType::DateTime:
            if (empty) {
                out = DateTime{};
                return true;
            }
            if (const auto* d = std::get_if<DateTime>(&in); d && std::isfinite(d->days)) {
                out = *d;
                return true;
            }
            if (const auto* i = std::get_if<int32_t>(&in)) {
                out = DateTime{static_cast<double>(*i)};
                return true;
            }
            break;
        case FieldType::Integer:
            if (empty) {
                out = int32_t{0};
                return true;
            }
            if (const auto* i = std::get_if<int32_t>(&in)) {
                out = *i;
                return true;
            }
            break;
        case FieldType::Text:
        case FieldType::Memo:
            if (empty) {
                out = std::string();
                return true;
            }
            if (const auto* s = std::get_if<std::string>(&in)) {
                out = f.type == FieldType::Text ? cutToWidth(*s, f.width) : *s;
                return true;
            }
            break;
    }
    error = "字段“" + f.name + "”的值类型不符";
    return false;
}

bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

void syncFolderOf(const std::string& path) {
    std::string dir = std::filesystem::path(path).parent_path().string();
    if (dir.empty()) dir = ".";
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

std::string hex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

void removeFileAndJournal(const std::string& path) {
    ::unlink(path.c_str());
    ::unlink((path + "-journal").c_str());
}

std::string creationFailure(sqlite3* db, const std::string& path) {
    const int err = db ? sqlite3_system_errno(db) : errno;
    if (err == ENOSPC) return "磁盘空间不足，无法创建 " + path;
    if (err == EROFS || err == EACCES) return "文件夹只读，无法创建 " + path;
    return "无法创建 " + path + (db ? std::string("（") + sqlite3_errmsg(db) + "）" : std::string());
}

// Builds a complete file at `tmp` by running `body` in one transaction.
template <class Body>
bool buildFile(const std::string& tmp, const std::string& finalPath, Body body, std::string& error) {
    sqlite3* db = nullptr;
    int rc = openConnection(tmp, &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, kRollbackMode);
    if (rc == SQLITE_OK) rc = execSql(db, "BEGIN IMMEDIATE");
    if (rc == SQLITE_OK) rc = body(db);
    if (rc == SQLITE_OK) rc = execSql(db, "COMMIT");
    if (rc != SQLITE_OK) error = creationFailure(db, finalPath);
    closeConnection(db);
    if (rc != SQLITE_OK) removeFileAndJournal(tmp);
    ::unlink((tmp + "-journal").c_str());
    return rc == SQLITE_OK;
}

int writeMemoHeader(sqlite3* db, const std::string* fileId) {
    int rc = execSql(db,
                     "PRAGMA main.application_id=1363297364;"
                     "CREATE TABLE qb_memo_file(id INTEGER PRIMARY KEY CHECK(id=1), magic TEXT NOT NULL,"
                     " version INTEGER NOT NULL, file_id BLOB);"
                     "CREATE TABLE qb_memos(mk INTEGER PRIMARY KEY, v NOT NULL);");
    if (rc != SQLITE_OK) return rc;
    Stmt s(db, "INSERT INTO qb_memo_file VALUES(1, ?1, ?2, ?3)");
    if (s.rc != SQLITE_OK) return s.rc;
    sqlite3_bind_text(s.s, 1, kMemoMagic, -1, SQLITE_STATIC);
    sqlite3_bind_int(s.s, 2, kFormatVersion);
    if (fileId) sqlite3_bind_blob(s.s, 3, fileId->data(), static_cast<int>(fileId->size()), SQLITE_TRANSIENT);
    rc = sqlite3_step(s.s);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

std::string keyCheckValue(const Protection& p, std::string_view fileId) {
    return seal(*p.key, kKeyCheckText, associatedData(fileId, 0, 0, SealKind::KeyCheck));
}

int writeTableHeader(sqlite3* db, const std::vector<FieldDef>& fields, const std::string& fileId,
                     const Protection& protection) {
    std::string columns;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].type != FieldType::Memo) columns += ", f" + std::to_string(i + 1);
    }
    const std::string schema =
        "PRAGMA main.application_id=1363297346;"
        "CREATE TABLE qb_table(id INTEGER PRIMARY KEY CHECK(id=1), magic TEXT NOT NULL, version INTEGER NOT NULL,"
        " file_id BLOB NOT NULL, salt BLOB, opslimit INTEGER, memlimit INTEGER, key_check BLOB);"
        "CREATE TABLE qb_fields(pos INTEGER PRIMARY KEY, name TEXT NOT NULL, type INTEGER NOT NULL,"
        " width INTEGER NOT NULL);"
        "CREATE TABLE qb_records(k INTEGER PRIMARY KEY, deleted INTEGER NOT NULL" +
        columns + ");";
    int rc = execSql(db, schema.c_str());
    if (rc != SQLITE_OK) return rc;
    {
        Stmt s(db, "INSERT INTO qb_table VALUES(1, ?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        if (s.rc != SQLITE_OK) return s.rc;
        sqlite3_bind_text(s.s, 1, kTableMagic, -1, SQLITE_STATIC);
        sqlite3_bind_int(s.s, 2, kFormatVersion);
        sqlite3_bind_blob(s.s, 3, fileId.data(), static_cast<int>(fileId.size()), SQLITE_TRANSIENT);
        if (protection.on()) {
            const std::string check = keyCheckValue(protection, fileId);
            sqlite3_bind_blob(s.s, 4, protection.params.salt.data(), static_cast<int>(protection.params.salt.size()),
                              SQLITE_TRANSIENT);
            sqlite3_bind_int64(s.s, 5, static_cast<sqlite3_int64>(protection.params.opslimit));
            sqlite3_bind_int64(s.s, 6, static_cast<sqlite3_int64>(protection.params.memlimit));
            sqlite3_bind_blob(s.s, 7, check.data(), static_cast<int>(check.size()), SQLITE_TRANSIENT);
        }
        rc = sqlite3_step(s.s);
        if (rc != SQLITE_DONE) return rc;
    }
    Stmt f(db, "INSERT INTO qb_fields VALUES(?1, ?2, ?3, ?4)");
    if (f.rc != SQLITE_OK) return f.rc;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        sqlite3_bind_int(f.s, 1, static_cast<int>(i + 1));
        sqlite3_bind_text(f.s, 2, fields[i].name.data(), static_cast<int>(fields[i].name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int(f.s, 3, static_cast<int>(fields[i].type));
        sqlite3_bind_int(f.s, 4, fields[i].type == FieldType::Text ? fields[i].width : 0);
        rc = sqlite3_step(f.s);
        if (rc != SQLITE_DONE) return rc;
        sqlite3_reset(f.s);
    }
    return SQLITE_OK;
}

}  // namespace

std::string companionPath(const std::string& path) {
    return std::filesystem::path(path).replace_extension(".edt").string();
}

std::string storeNameOf(const std::string& path) { return std::filesystem::path(path).stem().string(); }

bool validateFields(const std::vector<FieldDef>& fields, std::string& error) {
    if (fields.empty() || fields.size() > static_cast<std::size_t>(kMaxFields)) {
        error = "字段个数须在 1 到 255 之间";
        return false;
    }
    std::set<std::string> names;
    for (const FieldDef& f : fields) {
        if (f.name.empty() || !names.insert(f.name).second) {
            error = "字段名为空或重复：" + f.name;
            return false;
        }
        if (static_cast<int>(f.type) < 0 || static_cast<int>(f.type) > static_cast<int>(FieldType::Memo)) {
            error = "字段“" + f.name + "”的类型无效";
            return false;
        }
        if (f.type == FieldType::Text && (f.width < 1 || f.width > kMaxTextWidth)) {
            error = "文本字段“" + f.name + "”的长度无效";
            return false;
        }
    }
    return true;
}

bool createTableFiles(const std::string& path, const std::vector<FieldDef>& fields, const Protection& protection,
                      CompanionMode mode, std::string& error) {
    if (!cryptoReady()) {
        error = "加密库无法初始化";
        return false;
    }
    if (!validateFields(fields, error)) return false;
    const bool withCompanion = mode != CompanionMode::None && hasMemoField(fields);
    const std::string edt = companionPath(path);
    struct stat st{};
    if (::lstat(path.c_str(), &st) == 0) {
        error = "文件已存在：" + path;
        return false;
    }
    if (withCompanion && ::lstat(edt.c_str(), &st) == 0) {
        error = "备注文件已存在：" + edt;
        return false;
    }
    const std::string fileId = randomBytes(kFileIdBytes);
    const std::string suffix = ".new-" + hex(randomBytes(6));
    const std::string tmpEdb = path + suffix, tmpEdt = edt + suffix;
    if (!buildFile(
            tmpEdb, path, [&](sqlite3* db) { return writeTableHeader(db, fields, fileId, protection); }, error)) {
        return false;
    }
    if (withCompanion) {
        const std::string* bound = mode == CompanionMode::Blank ? nullptr : &fileId;
        if (!buildFile(
                tmpEdt, edt, [&](sqlite3* db) { return writeMemoHeader(db, bound); }, error)) {
            removeFileAndJournal(tmpEdb);
            return false;
        }
    }
    // The table first: a table whose companion is missing gets a blank one at the next start,
    // while a companion without its table would block creating the table again.
    if (!renameNoReplace(tmpEdb, path)) {
        error = (errno == EEXIST ? "文件已存在：" : "无法创建 ") + path;
        removeFileAndJournal(tmpEdb);
        if (withCompanion) removeFileAndJournal(tmpEdt);
        return false;
    }
    if (withCompanion && !renameNoReplace(tmpEdt, edt)) {
        error = (errno == EEXIST ? "备注文件已存在：" : "无法创建 ") + edt;
        removeFileAndJournal(tmpEdt);
        ::unlink(path.c_str());
        syncFolderOf(path);
        return false;
    }
    syncFolderOf(path);
    return true;
}

bool createBlankCompanion(const std::string& edtPath, std::string& error) {
    struct stat st{};
    if (::lstat(edtPath.c_str(), &st) == 0) {
        error = "备注文件已存在：" + edtPath;
        return false;
    }
    const std::string tmp = edtPath + ".new-" + hex(randomBytes(6));
    if (!buildFile(
            tmp, edtPath, [&](sqlite3* db) { return writeMemoHeader(db, nullptr); }, error)) {
        return false;
    }
    if (!renameNoReplace(tmp, edtPath)) {
        error = (errno == EEXIST ? "备注文件已存在：" : "无法创建 ") + edtPath;
        removeFileAndJournal(tmp);
        return false;
    }
    syncFolderOf(edtPath);
    return true;
}

std::optional<bool> probeProtected(const std::string& path, std::string& error) {
    off_t size = 0;
    if (!fileSize(path, size)) {
        error = "文件不存在：" + path;
        return std::nullopt;
    }
    if (size == 0) {
        error = damaged(path, "文件为空");
        return std::nullopt;
    }
    sqlite3* db = nullptr;
    // Read-write, so that a hot journal left by a crash is rolled back before we look.
    int rc = openConnection(path, &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        closeConnection(db);
        rc = openConnection(path, &db, SQLITE_OPEN_READONLY, nullptr);
    }
    std::optional<bool> result;
    std::string detail;
    if (rc == SQLITE_OK && readAppId(db, "main", kTableAppId, detail)) {
        Stmt s(db, "SELECT magic, salt FROM main.qb_table WHERE id=1");
        if (s.rc == SQLITE_OK && sqlite3_step(s.s) == SQLITE_ROW &&
            sqlite3_column_type(s.s, 0) == SQLITE_TEXT && columnBytes(s.s, 0) == kTableMagic) {
            result = sqlite3_column_type(s.s, 1) != SQLITE_NULL;
        } else {
            detail = "文件头无效";
        }
    } else if (detail.empty()) {
        detail = db ? sqlite3_errmsg(db) : "无法打开";
    }
    closeConnection(db);
    removeSpentJournal(path);
    if (!result) error = damaged(path, detail);
    return result;
}

// ---------------------------------------------------------------------------------------------

std::unique_ptr<TableFile> TableFile::open(const std::string& path, std::optional<std::string_view> password,
                                           std::string& error) {
    if (!cryptoReady()) {
        error = "加密库无法初始化";
        return nullptr;
    }
    off_t size = 0;
    if (!fileSize(path, size)) {
        error = "文件不存在：" + path;
        return nullptr;
    }
    if (size == 0) {
        error = damaged(path, "文件为空");
        return nullptr;
    }
    std::unique_ptr<TableFile> t(new TableFile);
    t->path_ = path;
    t->storeName_ = storeNameOf(path);
    const int rc = openConnection(path, &t->db_, SQLITE_OPEN_READWRITE, kRollbackMode);
    if (rc != SQLITE_OK) {
        error = damaged(path, t->db_ ? sqlite3_errmsg(t->db_) : "无法打开");
        return nullptr;
    }
    if (!t->load(password, error)) return nullptr;
    return t;
}

TableFile::~TableFile() { disconnect(); }

void TableFile::disconnect() {
    for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
    statements_.clear();
    if (!db_) return;
    // Files at rest are in rollback-journal mode, which a read-only medium can still open.
    useJournalMode(kBothFiles, kRollbackMode);
    closeConnection(db_);
    removeSpentJournal(path_);
    if (!edtPath_.empty()) removeSpentJournal(edtPath_);
}

// The files were verified at open; here they only come back after another connection let go.
bool TableFile::connect(std::string& error) {
    journalMode_[0] = journalMode_[1] = nullptr;
    int rc = openConnection(path_, &db_, SQLITE_OPEN_READWRITE, kRollbackMode);
    if (rc == SQLITE_OK && hasMemo()) {
        Stmt a(db_, "ATTACH DATABASE ?1 AS edt");
        rc = a.rc;
        if (rc == SQLITE_OK) {
            sqlite3_bind_text(a.s, 1, edtPath_.c_str(), -1, SQLITE_TRANSIENT);
            rc = sqlite3_step(a.s) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db_);
        }
        if (rc == SQLITE_OK) rc = configureSchema(db_, "edt", kRollbackMode);
    }
    if (rc == SQLITE_OK) {
        useJournalMode(kBothFiles, kRollbackMode);
        return true;
    }
    error = "无法重新打开表文件：" + path_ + (db_ ? std::string("（") + sqlite3_errmsg(db_) + "）" : std::string());
    closeConnection(db_);
    return false;
}

bool TableFile::hasMemo() const { return hasMemoField(fields_); }

bool TableFile::load(std::optional<std::string_view> password, std::string& error) {
    std::string detail;
    if (!readAppId(db_, "main", kTableAppId, detail)) {
        error = damaged(path_, detail);
        return false;
    }
    KdfParams params;
    std::string keyCheck;
    {
        Stmt h(db_, "SELECT magic, version, file_id, salt, opslimit, memlimit, key_check FROM main.qb_table WHERE id=1");
        if (h.rc != SQLITE_OK || sqlite3_step(h.s) != SQLITE_ROW) {
            error = damaged(path_, "缺少文件头");
            return false;
        }
        if (sqlite3_column_type(h.s, 0) != SQLITE_TEXT || columnBytes(h.s, 0) != kTableMagic ||
            sqlite3_column_type(h.s, 1) != SQLITE_INTEGER || sqlite3_column_type(h.s, 2) != SQLITE_BLOB ||
            sqlite3_column_bytes(h.s, 2) != static_cast<int>(kFileIdBytes)) {
            error = damaged(path_, "文件头无效");
            return false;
        }
        if (sqlite3_column_int64(h.s, 1) != kFormatVersion) {
            error = "表文件的格式版本不受支持：" + path_;
            return false;
        }
        fileId_ = columnBytes(h.s, 2);
        if (sqlite3_column_type(h.s, 3) != SQLITE_NULL) {
            if (sqlite3_column_type(h.s, 3) != SQLITE_BLOB || sqlite3_column_type(h.s, 4) != SQLITE_INTEGER ||
                sqlite3_column_type(h.s, 5) != SQLITE_INTEGER || sqlite3_column_type(h.s, 6) != SQLITE_BLOB) {
                error = damaged(path_, "加密参数无效");
                return false;
            }
            params.salt = columnBytes(h.s, 3);
            params.opslimit = static_cast<uint64_t>(sqlite3_column_int64(h.s, 4));
            params.memlimit = static_cast<uint64_t>(sqlite3_column_int64(h.s, 5));
            keyCheck = columnBytes(h.s, 6);
            if (!kdfParamsAcceptable(params)) {
                error = damaged(path_, "加密参数无效");
                return false;
            }
        }
    }
    {
        Stmt f(db_, "SELECT pos, name, type, width FROM main.qb_fields ORDER BY pos");
        if (f.rc != SQLITE_OK) {
            error = damaged(path_, "缺少字段表");
            return false;
        }
        int rc;
        while ((rc = sqlite3_step(f.s)) == SQLITE_ROW) {
            FieldDef d;
            const int64_t pos = sqlite3_column_int64(f.s, 0);
            const int64_t type = sqlite3_column_int64(f.s, 2);
            const int64_t width = sqlite3_column_int64(f.s, 3);
            if (pos != static_cast<int64_t>(fields_.size()) + 1 || sqlite3_column_type(f.s, 1) != SQLITE_TEXT ||
                sqlite3_column_type(f.s, 2) != SQLITE_INTEGER || sqlite3_column_type(f.s, 3) != SQLITE_INTEGER ||
                type < 0 || type > static_cast<int64_t>(FieldType::Memo) || width < 0 || width > kMaxTextWidth ||
                (type != static_cast<int64_t>(FieldType::Text) && width != 0) ||
                fields_.size() >= static_cast<std::size_t>(kMaxFields)) {
                error = damaged(path_, "字段定义无效");
                return false;
            }
            d.name = columnBytes(f.s, 1);
            d.type = static_cast<FieldType>(type);
            d.width = static_cast<int>(width);
            fields_.push_back(std::move(d));
        }
        if (rc != SQLITE_DONE || !validateFields(fields_, detail)) {
            error = damaged(path_, rc != SQLITE_DONE ? sqlite3_errmsg(db_) : "字段定义无效");
            return false;
        }
    }
    if (!params.salt.empty()) {
        if (!password || password->empty()) {
            error = "表文件已加密，需要密码：" + path_;
            return false;
        }
        std::string kdfError;
        KeyPtr key = deriveKey(*password, params, kdfError);
        if (!key) {
            error = kdfError + "：" + path_;
            return false;
        }
        std::string plain;
        if (!unseal(*key, keyCheck, associatedData(fileId_, 0, 0, SealKind::KeyCheck), plain) ||
            plain != kKeyCheckText) {
            error = "密码错误：" + path_;
            return false;
        }
        protection_.params = params;
        protection_.key = std::move(key);
    }
    bool blankCompanion = false;
    if (hasMemo()) {
        edtPath_ = companionPath(path_);
        off_t size = 0;
        if (!fileSize(edtPath_, size)) {
            error = "缺少备注文件：" + edtPath_;
            return false;
        }
        if (size == 0) {
            error = "备注文件已损坏：" + edtPath_ + "（文件为空）";
            return false;
        }
        Stmt a(db_, "ATTACH DATABASE ?1 AS edt");
        if (a.rc == SQLITE_OK) sqlite3_bind_text(a.s, 1, edtPath_.c_str(), -1, SQLITE_TRANSIENT);
        if (a.rc != SQLITE_OK || sqlite3_step(a.s) != SQLITE_DONE ||
            configureSchema(db_, "edt", kRollbackMode) != SQLITE_OK || !readAppId(db_, "edt", kMemoAppId, detail)) {
            error = "备注文件已损坏：" + edtPath_ + "（" + (detail.empty() ? sqlite3_errmsg(db_) : detail) + "）";
            return false;
        }
        Stmt h(db_, "SELECT magic, version, file_id FROM edt.qb_memo_file WHERE id=1");
        if (h.rc != SQLITE_OK || sqlite3_step(h.s) != SQLITE_ROW || sqlite3_column_type(h.s, 0) != SQLITE_TEXT ||
            columnBytes(h.s, 0) != kMemoMagic || sqlite3_column_type(h.s, 1) != SQLITE_INTEGER ||
            sqlite3_column_int64(h.s, 1) != kFormatVersion) {
            error = "备注文件已损坏：" + edtPath_ + "（文件头无效）";
            return false;
        }
        blankCompanion = sqlite3_column_type(h.s, 2) == SQLITE_NULL;
        if (!blankCompanion && columnBytes(h.s, 2) != fileId_) {
            error = "备注文件与表文件不匹配：" + edtPath_;
            return false;
        }
    }
    useJournalMode(kBothFiles, kRollbackMode);
    if (!loadRecords(error) || !loadMemos(blankCompanion, error)) return false;
    if (blankCompanion && !bindCompanion(error)) return false;
    return true;
}

bool TableFile::loadRecords(std::string& error) {
    std::string sql = "SELECT k, deleted";
    std::vector<int> stored;  // field indexes held in qb_records, in column order
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].type != FieldType::Memo) {
            sql += ", f" + std::to_string(i + 1);
            stored.push_back(static_cast<int>(i));
        }
    }
    sql += " FROM main.qb_records ORDER BY k";
    Stmt s(db_, sql);
    if (s.rc != SQLITE_OK) {
        error = damaged(path_, "记录表与字段定义不符");
        return false;
    }
    int rc;
    std::string plain;
    while ((rc = sqlite3_step(s.s)) == SQLITE_ROW) {
        Row row;
        row.key = sqlite3_column_int64(s.s, 0);
        const int64_t deleted = sqlite3_column_int64(s.s, 1);
        if (row.key < 1 || row.key > kMaxKey || sqlite3_column_type(s.s, 1) != SQLITE_INTEGER ||
            (deleted != 0 && deleted != 1)) {
            error = damaged(path_, "记录标记无效");
            return false;
        }
        row.deleted = deleted == 1;
        row.values.resize(fields_.size(), std::string());
        for (std::size_t c = 0; c < stored.size(); ++c) {
            const int i = stored[c];
            const FieldDef& f = fields_[i];
            const int col = static_cast<int>(c) + 2;
            const int type = sqlite3_column_type(s.s, col);
            bool ok = false;
            if (protection_.on()) {
                ok = type == SQLITE_BLOB &&
                     unseal(*protection_.key, columnBytes(s.s, col),
                            associatedData(fileId_, row.key, i + 1, SealKind::Field), plain) &&
                     decodePlain(f, std::move(plain), row.values[i]);
            } else if (f.type == FieldType::DateTime && type == SQLITE_FLOAT) {
                const double d = sqlite3_column_double(s.s, col);
                ok = std::isfinite(d);
                row.values[i] = DateTime{d};
            } else if (f.type == FieldType::Integer && type == SQLITE_INTEGER) {
                const int64_t v = sqlite3_column_int64(s.s, col);
                ok = v >= INT32_MIN && v <= INT32_MAX;
                row.values[i] = static_cast<int32_t>(v);
            } else if (f.type == FieldType::Text && type == SQLITE_TEXT) {
                ok = decodePlain(f, columnBytes(s.s, col), row.values[i]);
            }
            if (!ok) {
                error = damaged(path_, "第 " + std::to_string(rows_.size() + 1) + " 条记录的“" + f.name + "”无效");
                return false;
            }
        }
        rows_.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        error = damaged(path_, sqlite3_errmsg(db_));
        return false;
    }
    return true;
}

bool TableFile::loadMemos(bool blankCompanion, std::string& error) {
    if (!hasMemo()) return true;
    const std::string bad = "备注文件已损坏：" + edtPath_;
    Stmt s(db_, "SELECT mk, v FROM edt.qb_memos ORDER BY mk");
    if (s.rc != SQLITE_OK) {
        error = bad + "（缺少备注表）";
        return false;
    }
    int rc = sqlite3_step(s.s);
    if (blankCompanion) {
        if (rc == SQLITE_DONE) return true;
        error = bad + "（空白备注文件中有内容）";
        return false;
    }
    std::string plain;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        Row& row = rows_[r];
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (fields_[i].type != FieldType::Memo) continue;
            const int64_t mk = row.key * 256 + static_cast<int64_t>(i + 1);
            if (rc != SQLITE_ROW || sqlite3_column_type(s.s, 0) != SQLITE_INTEGER ||
                sqlite3_column_int64(s.s, 0) != mk) {
                error = rc == SQLITE_ROW || rc == SQLITE_DONE
                            ? bad + "（备注与记录不对应，第 " + std::to_string(r + 1) + " 条记录）"
                            : bad + "（" + sqlite3_errmsg(db_) + "）";
                return false;
            }
            const int type = sqlite3_column_type(s.s, 1);
            bool ok;
            if (protection_.on()) {
                ok = type == SQLITE_BLOB &&
                     unseal(*protection_.key, columnBytes(s.s, 1),
                            associatedData(fileId_, row.key, static_cast<int>(i + 1), SealKind::Memo), plain) &&
                     decodePlain(fields_[i], std::move(plain), row.values[i]);
            } else {
                ok = type == SQLITE_TEXT && decodePlain(fields_[i], columnBytes(s.s, 1), row.values[i]);
            }
            if (!ok) {
                error = bad + "（第 " + std::to_string(r + 1) + " 条记录的备注无效）";
                return false;
            }
            rc = sqlite3_step(s.s);
        }
    }
    if (rc != SQLITE_DONE) {
        error = rc == SQLITE_ROW ? bad + "（有不属于任何记录的备注）" : bad + "（" + sqlite3_errmsg(db_) + "）";
        return false;
    }
    return true;
}

// A blank companion meets its table: it takes the table's file id and an empty memo for every
// record, in one transaction.
bool TableFile::bindCompanion(std::string& error) {
    const bool ok = transaction(kCompanion, [&] {
        sqlite3_stmt* h = statement("UPDATE edt.qb_memo_file SET file_id=?1 WHERE id=1");
        if (!h) return false;
        sqlite3_bind_blob(h, 1, fileId_.data(), static_cast<int>(fileId_.size()), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(h);
        sqlite3_reset(h);
        if (rc != SQLITE_DONE) return failWrite(rc);
        sqlite3_stmt* m = statement("INSERT INTO edt.qb_memos(mk, v) VALUES(?1, ?2)");
        if (!m) return false;
        for (const Row& row : rows_) {
            for (std::size_t i = 0; i < fields_.size(); ++i) {
                if (fields_[i].type != FieldType::Memo) continue;
                sqlite3_bind_int64(m, 1, row.key * 256 + static_cast<int64_t>(i + 1));
                if (!bindValue(m, 2, row.key, static_cast<int>(i), row.values[i], protection_)) return false;
                const int step = sqlite3_step(m);
                sqlite3_reset(m);
                if (step != SQLITE_DONE) return failWrite(step);
            }
        }
        return true;
    });
    if (!ok) error = error_;
    return ok;
}

// Puts each of `files` in `mode`: true when all of them are in it.
bool TableFile::useJournalMode(Files files, const char* mode) {
    bool ok = true;
    for (int f = 0; f < 2; ++f) {
        if (!(files & (1 << f)) || (f == 1 && !hasMemo()) || journalMode_[f] == mode) continue;
        journalMode_[f] = nullptr;
        if (switchJournalMode(db_, f == 0 ? "main" : "edt", mode)) {
            journalMode_[f] = mode;
        } else {
            ok = false;
        }
    }
    return ok;
}

// A deferred BEGIN: only the files a change actually writes join its commit, so a memo write
// commits the .edt's log alone. A change to both files first puts both in rollback-journal mode,
// where the commit over the two is atomic; the next one-file change puts that file back on the
// log, and only that file. A file that cannot take the log (a read-only medium, say) commits
// one-file changes in rollback mode: slower, just as safe.
template <class Body>
bool TableFile::transaction(Files files, Body body) {
    if (!db_) {
        error_ = "表文件未能打开：" + path_;
        return false;
    }
    if (files == kBothFiles && hasMemo()) {
        if (!useJournalMode(kBothFiles, kRollbackMode)) {
            return failWrite(sqlite3_errcode(db_) == SQLITE_OK ? SQLITE_ERROR : sqlite3_errcode(db_));
        }
    } else if (files != kTableFileOnce) {
        useJournalMode(files, kLogMode);
    }
    bool ok = false;
    int rc = execSql(db_, "BEGIN");
    if (rc != SQLITE_OK) {
        failWrite(rc);
    } else if (body()) {
        rc = execSql(db_, "COMMIT");
        ok = rc == SQLITE_OK || failWrite(rc);
    }
    if (!ok && !sqlite3_get_autocommit(db_)) execSql(db_, "ROLLBACK");
    return ok;
}

sqlite3_stmt* TableFile::statement(const std::string& sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) return it->second;
    sqlite3_stmt* s = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(s);
        failWrite(rc);
        return nullptr;
    }
    statements_.emplace(sql, s);
    return s;
}

bool TableFile::failWrite(int rc, sqlite3* db) {
    if (!db) db = db_;
    const int primary = rc & 0xFF;
    const int err = db ? sqlite3_system_errno(db) : 0;
    const std::string detail = std::string("（") + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) + "）";
    if (primary == SQLITE_FULL || err == ENOSPC) {
        error_ = "磁盘空间不足，未能写入 " + path_ + detail;
    } else if (primary == SQLITE_READONLY || err == EROFS || err == EACCES || err == EPERM) {
        error_ = "文件只读，未能写入 " + path_ + detail;
    } else if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) {
        error_ = "表文件已损坏，未能写入 " + path_ + detail;
    } else if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
        error_ = "表文件正被占用，未能写入 " + path_ + detail;
    } else {
        error_ = "写入表文件失败：" + path_ + detail;
    }
    return false;
}

bool TableFile::bindValue(sqlite3_stmt* stmt, int index, int64_t key, int fieldIndex, const Value& value,
                          const Protection& protection, sqlite3* db) {
    const FieldDef& f = fields_[fieldIndex];
    int rc;
    if (protection.on()) {
        const std::string sealed =
            seal(*protection.key, encodePlain(f, value),
                 associatedData(fileId_, key, fieldIndex + 1,
                                f.type == FieldType::Memo ? SealKind::Memo : SealKind::Field));
        rc = sqlite3_bind_blob64(stmt, index, sealed.data(), sealed.size(), SQLITE_TRANSIENT);
    } else if (f.type == FieldType::DateTime) {
        rc = sqlite3_bind_double(stmt, index, std::get<DateTime>(value).days);
    } else if (f.type == FieldType::Integer) {
        rc = sqlite3_bind_int(stmt, index, std::get<int32_t>(value));
    } else {
        const std::string& s = std::get<std::string>(value);
        rc = sqlite3_bind_text64(stmt, index, s.data(), s.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    return rc == SQLITE_OK || failWrite(rc, db);
}

bool TableFile::storeCells(const Row& row, const std::vector<std::pair<int, Value>>& cells,
                           const Protection& protection) {
    for (const auto& [i, value] : cells) {
        const bool memo = fields_[i].type == FieldType::Memo;
        sqlite3_stmt* s = statement(memo ? "UPDATE edt.qb_memos SET v=?1 WHERE mk=?2"
                                         : "UPDATE main.qb_records SET f" + std::to_string(i + 1) + "=?1 WHERE k=?2");
        if (!s) return false;
        if (!bindValue(s, 1, row.key, i, value, protection)) return false;
        sqlite3_bind_int64(s, 2, memo ? row.key * 256 + i + 1 : row.key);
        const int rc = sqlite3_step(s);
        if (rc != SQLITE_DONE) {
            failWrite(rc);
            sqlite3_reset(s);
            return false;
        }
        sqlite3_reset(s);
        if (sqlite3_changes(db_) != 1) {
            error_ = "表文件已损坏，未能写入 " + path_ + "（记录不在文件中）";
            return false;
        }
    }
    return true;
}

bool TableFile::insertRow(const Row& row) {
    std::string columns = "k, deleted", params = "?1, 0";
    int n = 1;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].type == FieldType::Memo) continue;
        columns += ", f" + std::to_string(i + 1);
        params += ", ?" + std::to_string(++n);
    }
    sqlite3_stmt* s = statement("INSERT INTO main.qb_records(" + columns + ") VALUES(" + params + ")");
    if (!s) return false;
    sqlite3_bind_int64(s, 1, row.key);
    n = 1;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].type == FieldType::Memo) continue;
        if (!bindValue(s, ++n, row.key, static_cast<int>(i), row.values[i], protection_)) return false;
    }
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) return failWrite(rc);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].type != FieldType::Memo) continue;
        sqlite3_stmt* m = statement("INSERT INTO edt.qb_memos(mk, v) VALUES(?1, ?2)");
        if (!m) return false;
        sqlite3_bind_int64(m, 1, row.key * 256 + static_cast<int64_t>(i + 1));
        if (!bindValue(m, 2, row.key, static_cast<int>(i), row.values[i], protection_)) return false;
        rc = sqlite3_step(m);
        sqlite3_reset(m);
        if (rc != SQLITE_DONE) return failWrite(rc);
    }
    return true;
}

void TableFile::notify() {
    const auto observers = observers_;  // an observer may add or remove observers
    for (const auto& [id, onChange] : observers) {
        if (onChange) onChange();
    }
}

Value TableFile::read(int number, int fieldPosition) const {
    if (number < 1 || number > recordCount() || fieldPosition < 1 ||
        fieldPosition > static_cast<int>(fields_.size())) {
        return {};
    }
    return rows_[number - 1].values[fieldPosition - 1];
}

bool TableFile::write(int number, int fieldPosition, const Value& value) {
    if (fieldPosition < 1 || fieldPosition > static_cast<int>(fields_.size())) {
        setLastError("没有第 " + std::to_string(fieldPosition) + " 个字段：" + storeName_);
        return false;
    }
    return writeCells(number, {{fieldPosition - 1, value}});
}

int TableFile::firstOnDay(int index, DateTime day, int from) const {
    auto built = dayIndex_.find(index);
    if (built == dayIndex_.end()) {
        std::vector<std::pair<long long, int>> days;
        days.reserve(rows_.size());
        for (int n = 1; n <= recordCount(); ++n) days.emplace_back(civilDay(rows_[n - 1].values[index]), n);
        std::sort(days.begin(), days.end());
        built = dayIndex_.emplace(index, std::move(days)).first;
    }
    const long long wanted = civilDay(Value{day});
    const auto& days = built->second;
    for (auto at = std::lower_bound(days.begin(), days.end(), std::pair{wanted, from});
         at != days.end() && at->first == wanted; ++at) {
        if (!rows_[at->second - 1].deleted) return at->second;
    }
    return 0;
}

bool TableFile::isDeleted(int number) const {
    return number >= 1 && number <= recordCount() && rows_[number - 1].deleted;
}

int TableFile::addObserver(std::function<void()> onChange) {
    observers_.emplace(nextObserver_, std::move(onChange));
    return nextObserver_++;
}

void TableFile::removeObserver(int id) { observers_.erase(id); }

int TableFile::fieldIndex(std::string_view name) const {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

bool TableFile::addRecords(const std::vector<std::vector<Value>>& records) {
    std::vector<Row> added;
    added.reserve(records.size());
    int64_t next = rows_.empty() ? 1 : rows_.back().key + 1;
    for (const auto& values : records) {
        if (values.size() > fields_.size()) {
            setLastError("值的个数多于字段数：" + storeName_);
            return false;
        }
        if (next > kMaxKey) {
            setLastError("记录编号已用尽：" + storeName_);
            return false;
        }
        Row row;
        row.key = next++;
        row.values.resize(fields_.size());
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (!normalize(fields_[i], i < values.size() ? values[i] : Value{}, row.values[i], error_)) {
                setLastError(error_);
                return false;
            }
        }
        added.push_back(std::move(row));
    }
    if (added.empty()) return true;
    if (!transaction(kBothFiles, [&] {
            for (const Row& row : added) {
                if (!insertRow(row)) return false;
            }
            return true;
        })) {
        setLastError(error_);
        return false;
    }
    for (Row& row : added) {
        rows_.push_back(std::move(row));
        for (auto& [index, days] : dayIndex_) {
            const std::pair<long long, int> entry{civilDay(rows_.back().values[index]), recordCount()};
            days.insert(std::upper_bound(days.begin(), days.end(), entry), entry);
        }
    }
    notify();
    return true;
}

bool TableFile::writeCells(int number, const std::vector<std::pair<int, Value>>& cells) {
    if (number < 1 || number > recordCount()) {
        setLastError("没有当前记录：" + storeName_);
        return false;
    }
    std::vector<std::pair<int, Value>> normalized;
    normalized.reserve(cells.size());
    for (const auto& [i, value] : cells) {
        if (i < 0 || i >= static_cast<int>(fields_.size())) {
            setLastError("没有这个字段：" + storeName_);
            return false;
        }
        Value v;
        if (!normalize(fields_[i], value, v, error_)) {
            setLastError(error_);
            return false;
        }
        normalized.emplace_back(i, std::move(v));
    }
    bool memo = false, record = false;
    for (const auto& [i, v] : normalized) (fields_[i].type == FieldType::Memo ? memo : record) = true;
    Row& row = rows_[number - 1];
    const Files files = memo && record ? kBothFiles : memo ? kCompanion : kTableFile;
    if (!transaction(files, [&] { return storeCells(row, normalized, protection_); })) {
        setLastError(error_);
        return false;
    }
    for (auto& [i, v] : normalized) {
        row.values[i] = std::move(v);
        dayIndex_.erase(i);
    }
    notify();
    return true;
}

bool TableFile::markDeleted(int number) {
    if (number < 1 || number > recordCount()) {
        setLastError("没有当前记录：" + storeName_);
        return false;
    }
    Row& row = rows_[number - 1];
    if (row.deleted) return true;
    if (!transaction(kTableFileOnce, [&] {
            sqlite3_stmt* s = statement("UPDATE main.qb_records SET deleted=1 WHERE k=?1");
            if (!s) return false;
            sqlite3_bind_int64(s, 1, row.key);
            const int rc = sqlite3_step(s);
            sqlite3_reset(s);
            return rc == SQLITE_DONE || failWrite(rc);
        })) {
        setLastError(error_);
        return false;
    }
    row.deleted = true;
    notify();
    return true;
}

bool TableFile::pack() {
    std::vector<int64_t> gone;
    for (const Row& row : rows_) {
        if (row.deleted) gone.push_back(row.key);
    }
    if (gone.empty()) return true;
    if (!transaction(kBothFiles, [&] {
            if (const int rc = execSql(db_, "DELETE FROM main.qb_records WHERE deleted=1"); rc != SQLITE_OK) {
                return failWrite(rc);
            }
            if (!hasMemo()) return true;
            sqlite3_stmt* s = statement("DELETE FROM edt.qb_memos WHERE mk BETWEEN ?1 AND ?2");
            if (!s) return false;
            for (int64_t key : gone) {
                sqlite3_bind_int64(s, 1, key * 256);
                sqlite3_bind_int64(s, 2, key * 256 + 255);
                const int rc = sqlite3_step(s);
                sqlite3_reset(s);
                if (rc != SQLITE_DONE) return failWrite(rc);
            }
            return true;
        })) {
        setLastError(error_);
        return false;
    }
    std::erase_if(rows_, [](const Row& row) { return row.deleted; });
    dayIndex_.clear();
    notify();
    return true;
}

bool TableFile::setPassword(std::string_view password) { return setPasswordTogether({this}, password); }

bool TableFile::reseal(sqlite3* db, const std::string& tableSchema, const std::string& memoSchema,
                       const Protection& next) {
    Stmt h(db, "UPDATE " + tableSchema + ".qb_table SET salt=?1, opslimit=?2, memlimit=?3, key_check=?4 WHERE id=1");
    if (h.rc != SQLITE_OK) return failWrite(h.rc, db);
    if (next.on()) {
        const std::string check = keyCheckValue(next, fileId_);
        sqlite3_bind_blob(h.s, 1, next.params.salt.data(), static_cast<int>(next.params.salt.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int64(h.s, 2, static_cast<sqlite3_int64>(next.params.opslimit));
        sqlite3_bind_int64(h.s, 3, static_cast<sqlite3_int64>(next.params.memlimit));
        sqlite3_bind_blob(h.s, 4, check.data(), static_cast<int>(check.size()), SQLITE_TRANSIENT);
    }
    int rc = sqlite3_step(h.s);
    if (rc != SQLITE_DONE) return failWrite(rc, db);
    std::string sets;
    int columns = 0;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].type == FieldType::Memo) continue;
        sets += std::string(columns ? ", " : "") + "f" + std::to_string(i + 1) + "=?" + std::to_string(columns + 2);
        ++columns;
    }
    Stmt r(db, columns ? "UPDATE " + tableSchema + ".qb_records SET " + sets + " WHERE k=?1" : "SELECT 1");
    Stmt m(db, hasMemo() ? "UPDATE " + memoSchema + ".qb_memos SET v=?1 WHERE mk=?2" : "SELECT 1");
    if (r.rc != SQLITE_OK || m.rc != SQLITE_OK) return failWrite(r.rc != SQLITE_OK ? r.rc : m.rc, db);
    for (const Row& row : rows_) {
        if (columns) {
            sqlite3_bind_int64(r.s, 1, row.key);
            int n = 1;
            for (std::size_t i = 0; i < fields_.size(); ++i) {
                if (fields_[i].type == FieldType::Memo) continue;
                if (!bindValue(r.s, ++n, row.key, static_cast<int>(i), row.values[i], next, db)) return false;
            }
            rc = sqlite3_step(r.s);
            sqlite3_reset(r.s);
            if (rc != SQLITE_DONE) return failWrite(rc, db);
        }
        for (std::size_t i = 0; i < fields_.size(); ++i) {
            if (fields_[i].type != FieldType::Memo) continue;
            if (!bindValue(m.s, 1, row.key, static_cast<int>(i), row.values[i], next, db)) return false;
            sqlite3_bind_int64(m.s, 2, row.key * 256 + static_cast<int64_t>(i + 1));
            rc = sqlite3_step(m.s);
            sqlite3_reset(m.s);
            if (rc != SQLITE_DONE) return failWrite(rc, db);
            if (sqlite3_changes(db) != 1) {
                error_ = "表文件已损坏，未能写入 " + path_ + "（备注不在文件中）";
                return false;
            }
        }
    }
    return true;
}

// A protection change re-seals every value of every table given, and the stores must never be
// left some under the old password and some under the new one: the start-up asks the diary
// file alone, so a mixed state locks the user out. The tables' own connections let go of their
// files, and one connection attaches all of them (the first table file as main, up to five
// tables with companions within SQLite's ten attached files) in rollback-journal mode: SQLite
// then commits the transaction through a super-journal in the data folder, which makes the
// commit over every file a single point: a crash before it rolls every file back at its next
// open, a crash after it leaves every file new. An intent record of our own would need its own
// roll-forward for sealed values we could not recompute without the key; SQLite already has one.
// The tables then reconnect in write-ahead-log mode; memory follows only a committed change.
bool TableFile::setPasswordTogether(const std::vector<TableFile*>& tables, std::string_view password) {
    Protection next;
    if (!password.empty()) {
        next.params = paramsForPassword(password);
        std::string kdfError;
        next.key = deriveKey(password, next.params, kdfError);
        if (!next.key) {
            setLastError(kdfError);
            return false;
        }
    }
    std::vector<TableFile*> changing;
    for (TableFile* t : tables) {
        const bool same = next.on() ? t->protection_.on() && next.key == t->protection_.key : !t->protection_.on();
        if (!same && std::find(changing.begin(), changing.end(), t) == changing.end()) changing.push_back(t);
    }
    if (changing.empty()) return true;
    if (changing.size() > 5) {
        setLastError("一次更改密码的表太多");
        return false;
    }
    for (TableFile* t : changing) t->disconnect();
    TableFile* first = changing.front();
    sqlite3* db = nullptr;
    std::string error;
    int rc = openConnection(first->path_, &db, SQLITE_OPEN_READWRITE, kRollbackMode);
    const auto attach = [&](const std::string& file, const std::string& schema) {
        if (rc != SQLITE_OK) return;
        Stmt a(db, "ATTACH DATABASE ?1 AS " + schema);
        rc = a.rc;
        if (rc != SQLITE_OK) return;
        sqlite3_bind_text(a.s, 1, file.c_str(), -1, SQLITE_TRANSIENT);
        rc = sqlite3_step(a.s) == SQLITE_DONE ? SQLITE_OK : sqlite3_extended_errcode(db);
        if (rc == SQLITE_OK) rc = configureSchema(db, schema, kRollbackMode);
        if (rc == SQLITE_OK && !switchJournalMode(db, schema, kRollbackMode)) rc = SQLITE_ERROR;
    };
    const auto schemaOf = [](std::size_t i, const char* kind) { return std::string(kind) + std::to_string(i); };
    if (rc == SQLITE_OK && !switchJournalMode(db, "main", kRollbackMode)) rc = SQLITE_ERROR;
    for (std::size_t i = 0; i < changing.size(); ++i) {
        if (i > 0) attach(changing[i]->path_, schemaOf(i, "t"));
        if (changing[i]->hasMemo()) attach(changing[i]->edtPath_, schemaOf(i, "m"));
    }
    bool ok = rc == SQLITE_OK || first->failWrite(rc, db);
    if (ok) {
        rc = execSql(db, "BEGIN");
        ok = rc == SQLITE_OK || first->failWrite(rc, db);
    }
    for (std::size_t i = 0; ok && i < changing.size(); ++i) {
        ok = changing[i]->reseal(db, i == 0 ? "main" : schemaOf(i, "t"), schemaOf(i, "m"), next);
        if (!ok) error = changing[i]->error_;
    }
    if (ok) {
        rc = execSql(db, "COMMIT");
        ok = rc == SQLITE_OK || first->failWrite(rc, db);
    }
    if (!ok && error.empty()) error = first->error_;
    if (db && !sqlite3_get_autocommit(db)) execSql(db, "ROLLBACK");
    closeConnection(db);
    for (TableFile* t : changing) {
        removeSpentJournal(t->path_);
        if (t->hasMemo()) removeSpentJournal(t->edtPath_);
        std::string reconnectError;
        if (!t->connect(reconnectError) && error.empty()) error = reconnectError;
    }
    if (!ok) {
        setLastError(error);
        return false;
    }
    for (TableFile* t : changing) t->protection_ = next;
    for (TableFile* t : changing) t->notify();
    if (!error.empty()) {
        setLastError(error);
        return false;
    }
    return true;
}

bool TableFile::copyStructure(const std::string& newPath) {
    std::string error;
    if (!createTableFiles(newPath, fields_, protection_, CompanionMode::WithTable, error)) {
        setLastError(error);
        return false;
    }
    return true;
}

}  // namespace runtime::store::detail
