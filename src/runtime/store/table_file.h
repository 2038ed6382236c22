// One open table file: the SQLite connection to its .edb (with the .edt companion attached as
// "edt" when the table has memo fields) and an in-memory copy of every record, loaded and
// verified at open. Reads come from memory; every change goes to SQLite in one transaction
// over both files, and memory follows only once that transaction has committed, so a failed
// write leaves the table, on disk and in memory, as it was.
//
// File layout (both files are SQLite databases; see table_file.cpp for their journal modes):
//   .edb  qb_table   one row: magic, format version, file id, protection (salt, Argon2id
//                    limits, key-check value; NULL when unprotected)
//         qb_fields  pos -> name, type, width
//         qb_records k (INTEGER PRIMARY KEY, never changes), deleted mark, f<pos> per non-memo
//                    field. Record number n is the n-th row in key order.
//   .edt  qb_memo_file one row: magic, format version, the file id of its .edb, or NULL for a
//                    blank companion that has not met its table yet
//         qb_memos   mk = k * 256 + pos -> memo text; exactly one row per record and memo field
// A protected file stores every value as nonce || ciphertext || tag, sealed with associated
// data (file id, record key, field position), so values cannot be moved between records,
// fields or files unnoticed.
#pragma once

#include <sqlite3.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/store/crypto.h"
#include "runtime/store/store.h"

namespace runtime::store::detail {

void setLastError(std::string text);

struct Protection {
    KdfParams params;
    KeyPtr key;
    bool on() const { return key != nullptr; }
};

enum class CompanionMode { WithTable, None, Blank };

std::string companionPath(const std::string& path);
std::string storeNameOf(const std::string& path);
bool validateFields(const std::vector<FieldDef>& fields, std::string& error);
// Writes a new table file (and, for WithTable, its bound companion when a field is a memo);
// never replaces an existing file. The files appear complete or not at all.
bool createTableFiles(const std::string& path, const std::vector<FieldDef>& fields,
                      const Protection& protection, CompanionMode mode, std::string& error);
// A blank memo companion: it binds to the first table that opens with it.
bool createBlankCompanion(const std::string& edtPath, std::string& error);
// Deletes the file and its journal and log; true when none of the three is left.
bool deleteWithSideFiles(const std::string& path);
// Removes from `folder` the super-journals no journal names any more and the copies that an
// interrupted createTableFiles left, with their journals: files of this user's only, each proved
// by its name and its content to be of this kind. Answers how many files went.
int removeInterruptedLeftovers(const std::string& folder);

// Why an open or a probe was refused, and the file (a table file or its companion) it was about.
struct Refusal {
    OpenFailure why = OpenFailure::Damaged;
    std::string file;
};

// Whether the file on disk is protected; nullopt (with `error`) for a missing or damaged file.
std::optional<bool> probeProtected(const std::string& path, std::string& error, Refusal& refusal);

class TableFile final : public Table {
public:
    // Null with `error` and `refusal` on any failure.
    static std::unique_ptr<TableFile> open(const std::string& path, std::optional<std::string_view> password,
                                           std::string& error, Refusal& refusal);
    ~TableFile() override;

    const std::string& storeName() const override { return storeName_; }
    const std::string& path() const override { return path_; }
    const std::vector<FieldDef>& fields() const override { return fields_; }
    int recordCount() const override { return static_cast<int>(rows_.size()); }
    Value read(int number, int fieldPosition) const override;
    bool write(int number, int fieldPosition, const Value& value) override;
    bool isDeleted(int number) const override;
    int addObserver(std::function<void()> onChange) override;
    void removeObserver(int id) override;

    // 0-based field index, -1 when there is none by that name.
    int fieldIndex(std::string_view name) const;
    const Value& cell(int number, int index) const { return rows_[number - 1].values[index]; }
    // The first record numbered `from` or later, not marked deleted, whose date field `index`
    // falls on the same civil day as `day`; 0 when there is none.
    int firstOnDay(int index, DateTime day, int from) const;

    // The cursor: 1..recordCount(), recordCount() + 1 after the last record.
    int cursor() const { return cursor_; }
    void setCursor(int number) { cursor_ = number; }

    bool addRecords(const std::vector<std::vector<Value>>& records);
    // Cells by 0-based field index; all or none are written.
    bool writeCells(int number, const std::vector<std::pair<int, Value>>& cells);
    bool markDeleted(int number);
    bool pack();
    bool setPassword(std::string_view password);
    // Re-seals every table given (and its companion) under the password, or unprotects them
    // all with an empty one, in one commit over all their files: all or none.
    static bool setPasswordTogether(const std::vector<TableFile*>& tables, std::string_view password);
    bool copyStructure(const std::string& newPath);
    bool isProtected() const { return protection_.on(); }

private:
    struct Row {
        int64_t key = 0;
        bool deleted = false;
        std::vector<Value> values;
    };
    TableFile() = default;
    bool load(std::optional<std::string_view> password, std::string& error, Refusal& refusal);
    // Where a reading of the files failed, in the order an open checks them.
    enum class Stage { Companion, Records, Memos };
    struct Failure {
        Stage stage;
        std::string error;
        Refusal refusal;
    };
    // Checks the companion and reads every record and memo: plain values decoded and verified,
    // those of a `sealed` file kept sealed for unsealRecords and unsealMemos. Stops at the first
    // thing it cannot take; what it read before stays.
    std::optional<Failure> readFiles(bool sealed);
    bool readRecords(bool sealed, std::string& error);
    bool readMemos(bool sealed, std::string& error);
    // Unseal, and so verify, every value read, on several threads; a failure names the first
    // record that failed.
    std::optional<Failure> unsealRecords();
    std::optional<Failure> unsealMemos();
    // The 0-based indexes of the memo fields, or of all the others.
    std::vector<int> fieldsOfKind(bool memo) const;
    std::string badField(std::size_t row, int index) const;
    std::string badMemo(std::size_t row) const;
    bool bindCompanion(std::string& error);
    bool hasMemo() const;
    // The files a change writes: the table file, the companion, or both. A one-off change to the
    // table file (a delete mark, which a pack follows) commits in whatever mode the file is in.
    enum Files { kTableFile = 1, kCompanion = 2, kBothFiles = 3, kTableFileOnce = 4 };
    // Runs `body` inside one transaction that writes `files`; false (with the reason as the last
    // error) when the body or the commit fails, after rolling back. A change to both files
    // commits in rollback-journal mode, a change to one on that file's write-ahead log.
    template <class Body>
    bool transaction(Files files, Body body);
    // Re-seals the header, every record and every memo under `next`, through `db` where this
    // table's files are attached as `tableSchema` and `memoSchema`.
    bool reseal(sqlite3* db, const std::string& tableSchema, const std::string& memoSchema,
                const Protection& next);
    // The connection: opened (in rollback-journal mode) with the companion attached, or closed
    // so that another connection may take the files.
    bool connect(std::string& error);
    void disconnect();
    bool useJournalMode(Files files, const char* mode);
    sqlite3_stmt* statement(const std::string& sql);
    bool bindValue(sqlite3_stmt* stmt, int index, int64_t key, int fieldIndex, const Value& value,
                   const Protection& protection, sqlite3* db = nullptr);
    bool storeCells(const Row& row, const std::vector<std::pair<int, Value>>& cells,
                    const Protection& protection);
    bool insertRow(const Row& row);
    void notify();
    bool failWrite(int rc, sqlite3* db = nullptr);

    sqlite3* db_ = nullptr;
    std::string path_, edtPath_, storeName_, fileId_;
    std::vector<FieldDef> fields_;
    std::vector<Row> rows_;
    int cursor_ = 1;
    bool blankCompanion_ = false;  // at open: the companion binds to this table once it is read
    std::size_t memosRead_ = 0;    // at open: memo values read, record by record
    Protection protection_;
    std::map<std::string, sqlite3_stmt*> statements_;
    std::map<int, std::function<void()>> observers_;
    // Per date field index: (civil day, record number) of every record, in that order. Built on
    // the first lookup; appends extend it, anything else that moves or redates records drops it.
    mutable std::map<int, std::vector<std::pair<long long, int>>> dayIndex_;
    int nextObserver_ = 1;
    // Per file (table file, companion): kLogMode or kRollbackMode once known to be in it.
    const char* journalMode_[2] = {nullptr, nullptr};
    std::string error_;  // the reason of the last failed step, for the caller's last error
};

}  // namespace runtime::store::detail
