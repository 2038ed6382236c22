// Protection changes: every value of every table given is sealed anew under one password, or
// unsealed, in a single commit over all their files.
#include <algorithm>

#include "runtime/store/table_file_internal.h"

namespace runtime::store::detail {

std::string keyCheckValue(const Protection& p, std::string_view fileId) {
    return seal(*p.key, kKeyCheckText, associatedData(fileId, 0, 0, SealKind::KeyCheck));
}

bool TableFile::setPassword(std::string_view password) { return setPasswordTogether({this}, password); }

bool TableFile::reseal(sqlite3* db, const std::string& tableSchema, const std::string& memoSchema,
                       const Protection& next) {
    Stmt h(db, "UPDATE " + tableSchema +
                   ".qb_table SET salt=?1, opslimit=?2, memlimit=?3, key_check=?4 WHERE id=1");
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
        sets += std::string(columns ? ", " : "") + "f" + std::to_string(i + 1) + "=?" +
                std::to_string(columns + 2);
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
// The tables then reconnect, their files at rest in rollback-journal mode; memory follows only a
// committed change.
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
        const bool same =
            next.on() ? t->protection_.on() && next.key == t->protection_.key : !t->protection_.on();
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
    const auto schemaOf = [](std::size_t i, const char* kind) {
        return std::string(kind) + std::to_string(i);
    };
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

}  // namespace runtime::store::detail
