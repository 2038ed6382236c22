// The table file engine's commit protocol, and the record changes that go through it. See
// table_file.h for the layout, table_file_internal.h for the engine's other parts.
//
// Typing rewrites one memo (or one record) per key, so a change to one file
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
// a power cut. The program ends with its tables open, so a log or a journal may outlive the
// process: a table file is deleted together with them, and a new file never takes the name's old
// ones for its own (deleteTableFile, createTableFiles). A write of the values a record already
// holds commits nothing at all: showing a day writes its text back, which must cost no flush
// (writeCells).
//
// What holds after a crash at any point, once each file has been opened again: every change, and
// every protection change over several tables, is wholly there or wholly not; and while a table
// is protected, no file of the table (neither it, its companion, nor their journals and logs)
// holds one of its values in plain bytes. Values are sealed before they reach SQLite, so a change
// made under protection never writes one. A protection change does: the journal of setting it
// holds the plain pages until the change commits, and removing it writes plain values that its
// roll back leaves in the free pages it reused. SQLite repairs neither case, so the file's journal
// is settled before the file is read (table_file_recovery.cpp): a journal whose commit went
// through is removed, and a file rolled back is rewritten from its live pages.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "runtime/base/text.h"
#include "runtime/store/log_vfs.h"
#include "runtime/store/table_file_internal.h"

namespace runtime::store::detail {

std::string columnBytes(sqlite3_stmt* s, int i) {
    const void* p = sqlite3_column_blob(s, i);
    const int n = sqlite3_column_bytes(s, i);
    return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
}

bool fileSize(const std::string& path, off_t& size) {
    struct stat st {};
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

int configureSchema(sqlite3* db, const std::string& schema, const char* journalMode) {
    std::string sql = "PRAGMA " + schema + ".synchronous=FULL; PRAGMA " + schema +
                      ".secure_delete=ON; PRAGMA " + schema +
                      ".journal_size_limit=" + std::to_string(kLogSizeLimit) + ";";
    if (journalMode) sql += "PRAGMA " + schema + ".journal_mode=" + journalMode + ";";
    return execSql(db, sql.c_str());
}

bool switchJournalMode(sqlite3* db, const std::string& schema, const char* mode) {
    Stmt s(db, "PRAGMA " + schema + ".journal_mode=" + mode);
    return s.rc == SQLITE_OK && sqlite3_step(s.s) == SQLITE_ROW &&
           std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(s.s, 0))) == mode;
}

int openConnection(const std::string& path, sqlite3** db, int flags, const char* journalMode) {
    *db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), db, flags | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, logVfsName());
    if (rc != SQLITE_OK) return rc;
    sqlite3_db_config(*db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(*db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(*db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(*db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    // Exclusive locking, set before the first read: the files stay locked between transactions,
    // a journal stays open, and a write-ahead log keeps its index in this process's memory.
    const std::string setup =
        "PRAGMA temp_store=MEMORY; PRAGMA cell_size_check=ON; PRAGMA mmap_size=0;"
        " PRAGMA locking_mode=EXCLUSIVE; PRAGMA wal_autocheckpoint=" +
        std::to_string(kCheckpointPages);
    rc = execSql(*db, setup.c_str());
    if (rc == SQLITE_OK) rc = configureSchema(*db, "main", journalMode);
    return rc;
}

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

std::string sqliteReason(sqlite3* db) {
    if (!db) return "无法打开";
    switch (sqlite3_extended_errcode(db) & 0xFF) {
        case SQLITE_NOTADB: return "不是数据库文件";
        case SQLITE_CORRUPT: return "文件内容已损坏";
        case SQLITE_CANTOPEN: return "无法打开文件";
        case SQLITE_IOERR: return "读写文件出错";
        case SQLITE_FULL: return "磁盘空间不足";
        case SQLITE_READONLY:
        case SQLITE_PERM: return "文件只读";
        case SQLITE_BUSY:
        case SQLITE_LOCKED: return "文件正被占用";
        default: return sqlite3_errmsg(db);
    }
}

bool readAppId(sqlite3* db, const std::string& schema, int expected, std::string& detail) {
    Stmt s(db, "PRAGMA " + schema + ".application_id");
    if (s.rc != SQLITE_OK || sqlite3_step(s.s) != SQLITE_ROW) {
        detail = sqliteReason(db);
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
        case FieldType::Memo: out = std::get<std::string>(v); break;
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
        case FieldType::Memo: out = std::move(plain); return true;
    }
    return false;
}

long long civilDay(const Value& v) {
    const CivilTime c = toCivil(valueDate(v));
    return daysFromCivil(c.year, c.month, c.day);
}

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
        sqlite3_stmt* s =
            statement(memo ? "UPDATE edt.qb_memos SET v=?1 WHERE mk=?2"
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
        // Compared as the plain values memory holds: a sealed value never compares equal on disk.
        if (v != rows_[number - 1].values[i]) normalized.emplace_back(i, std::move(v));
    }
    if (normalized.empty()) return true;
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

}  // namespace runtime::store::detail
