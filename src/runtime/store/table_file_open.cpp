// Opening a table file: every header, field definition, record and memo is read and verified
// (and unsealed, when the file is protected) before the table is handed out, so a damaged or
// foreign file is refused at open rather than met halfway through a change.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <system_error>
#include <thread>
#include <variant>
#include <vector>

#include "runtime/store/table_file_internal.h"

namespace runtime::store::detail {

std::unique_ptr<TableFile> TableFile::open(const std::string& path, std::optional<std::string_view> password,
                                           std::string& error, Refusal& refusal) {
    refusal = {OpenFailure::Damaged, path};
    if (!cryptoReady()) {
        error = "加密库无法初始化";
        refusal.why = OpenFailure::Other;
        return nullptr;
    }
    off_t size = 0;
    settleJournal(path);
    if (fileSize(companionPath(path), size)) settleJournal(companionPath(path));
    if (!fileSize(path, size)) {
        error = "文件不存在：" + path;
        refusal.why = OpenFailure::Missing;
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
        error = damaged(path, sqliteReason(t->db_));
        return nullptr;
    }
    if (!t->load(password, error, refusal)) return nullptr;
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
    error = "无法重新打开表文件：" + path_ +
            (db_ ? std::string("（") + sqlite3_errmsg(db_) + "）" : std::string());
    closeConnection(db_);
    return false;
}

bool TableFile::hasMemo() const { return hasMemoField(fields_); }

bool TableFile::load(std::optional<std::string_view> password, std::string& error, Refusal& refusal) {
    std::string detail;
    if (!readAppId(db_, "main", kTableAppId, detail)) {
        error = damaged(path_, detail);
        return false;
    }
    KdfParams params;
    std::string keyCheck;
    {
        Stmt h(db_,
               "SELECT magic, version, file_id, salt, opslimit, memlimit, key_check"
               " FROM main.qb_table WHERE id=1");
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
            refusal.why = OpenFailure::Other;
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
            if (pos != static_cast<int64_t>(fields_.size()) + 1 ||
                sqlite3_column_type(f.s, 1) != SQLITE_TEXT || sqlite3_column_type(f.s, 2) != SQLITE_INTEGER ||
                sqlite3_column_type(f.s, 3) != SQLITE_INTEGER || type < 0 ||
                type > static_cast<int64_t>(FieldType::Memo) || width < 0 || width > kMaxTextWidth ||
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
            error = damaged(path_, rc != SQLITE_DONE ? sqliteReason(db_) : "字段定义无效");
            return false;
        }
    }
    const bool sealed = !params.salt.empty();
    if (sealed && (!password || password->empty())) {
        error = "表文件已加密，需要密码：" + path_;
        refusal.why = OpenFailure::PasswordNeeded;
        return false;
    }
    // The key is derived while the files are read: the two take about as long, and the values
    // need the key only once they are all in memory. What the reading meets is told after the key
    // check, as it was when the key came first.
    struct {
        KeyPtr key;
        std::string error;
    } derived;
    std::jthread deriving;
    if (sealed) {
        auto derive = [&] { derived.key = deriveKey(*password, params, derived.error); };
        try {
            deriving = std::jthread(derive);
        } catch (const std::system_error&) {
            derive();
        }
    }
    std::optional<Failure> reading = readFiles(sealed);
    if (sealed) {
        if (deriving.joinable()) deriving.join();
        if (!derived.key) {
            error = derived.error + "：" + path_;
            refusal.why = OpenFailure::Other;
            return false;
        }
        std::string plain;
        if (!unseal(*derived.key, keyCheck, associatedData(fileId_, 0, 0, SealKind::KeyCheck), plain) ||
            plain != kKeyCheckText) {
            error = "密码错误：" + path_;
            refusal.why = OpenFailure::WrongPassword;
            return false;
        }
        protection_.params = params;
        protection_.key = std::move(derived.key);
    }
    // The reasons in the order a reading record by record would meet them: a record's values
    // before a later record's, the records before the memos.
    auto refuse = [&](Failure failure) {
        error = std::move(failure.error);
        refusal = std::move(failure.refusal);
        return false;
    };
    if (reading && reading->stage == Stage::Companion) return refuse(std::move(*reading));
    if (std::optional<Failure> f = unsealRecords()) return refuse(std::move(*f));
    if (reading && reading->stage == Stage::Records) return refuse(std::move(*reading));
    if (std::optional<Failure> f = unsealMemos()) return refuse(std::move(*f));
    if (reading) return refuse(std::move(*reading));
    refusal = {OpenFailure::Other, edtPath_};
    if (blankCompanion_ && !bindCompanion(error)) return false;
    return true;
}

std::optional<TableFile::Failure> TableFile::readFiles(bool sealed) {
    auto fail = [&](Stage stage, std::string error, const std::string& file) {
        return Failure{stage, std::move(error), {OpenFailure::Damaged, file}};
    };
    std::string detail;
    if (hasMemo()) {
        edtPath_ = companionPath(path_);
        off_t size = 0;
        if (!fileSize(edtPath_, size)) {
            return Failure{Stage::Companion, "缺少备注文件：" + edtPath_, {OpenFailure::Missing, edtPath_}};
        }
        if (size == 0)
            return fail(Stage::Companion, "备注文件已损坏：" + edtPath_ + "（文件为空）", edtPath_);
        Stmt a(db_, "ATTACH DATABASE ?1 AS edt");
        if (a.rc == SQLITE_OK) sqlite3_bind_text(a.s, 1, edtPath_.c_str(), -1, SQLITE_TRANSIENT);
        if (a.rc != SQLITE_OK || sqlite3_step(a.s) != SQLITE_DONE ||
            configureSchema(db_, "edt", kRollbackMode) != SQLITE_OK ||
            !readAppId(db_, "edt", kMemoAppId, detail)) {
            return fail(
                Stage::Companion,
                "备注文件已损坏：" + edtPath_ + "（" + (detail.empty() ? sqliteReason(db_) : detail) + "）",
                edtPath_);
        }
        Stmt h(db_, "SELECT magic, version, file_id FROM edt.qb_memo_file WHERE id=1");
        if (h.rc != SQLITE_OK || sqlite3_step(h.s) != SQLITE_ROW ||
            sqlite3_column_type(h.s, 0) != SQLITE_TEXT || columnBytes(h.s, 0) != kMemoMagic ||
            sqlite3_column_type(h.s, 1) != SQLITE_INTEGER || sqlite3_column_int64(h.s, 1) != kFormatVersion) {
            return fail(Stage::Companion, "备注文件已损坏：" + edtPath_ + "（文件头无效）", edtPath_);
        }
        blankCompanion_ = sqlite3_column_type(h.s, 2) == SQLITE_NULL;
        if (!blankCompanion_ && columnBytes(h.s, 2) != fileId_) {
            return fail(Stage::Companion, "备注文件与表文件不匹配：" + edtPath_, edtPath_);
        }
    }
    useJournalMode(kBothFiles, kRollbackMode);
    std::string error;
    if (!readRecords(sealed, error)) return fail(Stage::Records, std::move(error), path_);
    if (!readMemos(sealed, error)) return fail(Stage::Memos, std::move(error), edtPath_);
    return std::nullopt;
}

std::vector<int> TableFile::fieldsOfKind(bool memo) const {
    std::vector<int> indexes;
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        if ((fields_[i].type == FieldType::Memo) == memo) indexes.push_back(static_cast<int>(i));
    }
    return indexes;
}

bool TableFile::readRecords(bool sealed, std::string& error) {
    std::string sql = "SELECT k, deleted";
    const std::vector<int> stored = fieldsOfKind(false);  // held in qb_records, in column order
    for (const int i : stored) sql += ", f" + std::to_string(i + 1);
    sql += " FROM main.qb_records ORDER BY k";
    Stmt s(db_, sql);
    if (s.rc != SQLITE_OK) {
        error = damaged(path_, "记录表与字段定义不符");
        return false;
    }
    int rc;
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
            if (sealed) {
                // Kept sealed for unsealRecords; anything but a sealed value fails there, in order.
                ok = true;
                if (type == SQLITE_BLOB) {
                    row.values[i] = columnBytes(s.s, col);
                } else {
                    row.values[i] = std::monostate{};
                }
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
                error = badField(rows_.size(), i);
                return false;
            }
        }
        rows_.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        error = damaged(path_, sqliteReason(db_));
        return false;
    }
    return true;
}

bool TableFile::readMemos(bool sealed, std::string& error) {
    if (!hasMemo()) return true;
    const std::string bad = "备注文件已损坏：" + edtPath_;
    Stmt s(db_, "SELECT mk, v FROM edt.qb_memos ORDER BY mk");
    if (s.rc != SQLITE_OK) {
        error = bad + "（缺少备注表）";
        return false;
    }
    int rc = sqlite3_step(s.s);
    if (blankCompanion_) {
        if (rc == SQLITE_DONE) return true;
        error = bad + "（空白备注文件中有内容）";
        return false;
    }
    const std::vector<int> memos = fieldsOfKind(true);
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        Row& row = rows_[r];
        for (const int i : memos) {
            const int64_t mk = row.key * 256 + static_cast<int64_t>(i + 1);
            if (rc != SQLITE_ROW || sqlite3_column_type(s.s, 0) != SQLITE_INTEGER ||
                sqlite3_column_int64(s.s, 0) != mk) {
                error = rc == SQLITE_ROW || rc == SQLITE_DONE
                            ? bad + "（备注与记录不对应，第 " + std::to_string(r + 1) + " 条记录）"
                            : bad + "（" + sqliteReason(db_) + "）";
                return false;
            }
            const int type = sqlite3_column_type(s.s, 1);
            if (sealed) {
                // Kept sealed for unsealMemos, as the records' values are.
                if (type == SQLITE_BLOB) {
                    row.values[i] = columnBytes(s.s, 1);
                } else {
                    row.values[i] = std::monostate{};
                }
            } else if (type != SQLITE_TEXT || !decodePlain(fields_[i], columnBytes(s.s, 1), row.values[i])) {
                error = badMemo(r);
                return false;
            }
            ++memosRead_;
            rc = sqlite3_step(s.s);
        }
    }
    if (rc != SQLITE_DONE) {
        error = rc == SQLITE_ROW ? bad + "（有不属于任何记录的备注）" : bad + "（" + sqliteReason(db_) + "）";
        return false;
    }
    return true;
}

std::string TableFile::badField(std::size_t row, int index) const {
    return damaged(path_, "第 " + std::to_string(row + 1) + " 条记录的“" + fields_[index].name + "”无效");
}

std::string TableFile::badMemo(std::size_t row) const {
    return "备注文件已损坏：" + edtPath_ + "（第 " + std::to_string(row + 1) + " 条记录的备注无效）";
}

namespace {

// Runs check(k, spare) for k = 0 .. count - 1 and answers the least k whose check failed, or
// count; `spare` is a buffer each part keeps for its checks.
// The range is cut into consecutive parts, one per processor up to kMaxParts: unsealing a
// protected table's every value is work for the processor, not the disk. A part stops at its
// first failure; a part whose thread cannot start is run here.
template <class Check>
std::size_t firstFailure(std::size_t count, const Check& check) {
    constexpr std::size_t kMaxParts = 8, kLeastPart = 1024;
    const std::size_t processors = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t parts = std::clamp<std::size_t>(count / kLeastPart, 1, std::min(processors, kMaxParts));
    std::vector<std::size_t> failed(parts, count);
    auto run = [&](std::size_t part) {
        std::string spare;
        const std::size_t end = count * (part + 1) / parts;
        for (std::size_t k = count * part / parts; k < end; ++k) {
            if (!check(k, spare)) {
                failed[part] = k;
                return;
            }
        }
    };
    std::vector<std::jthread> threads;
    for (std::size_t part = 1; part < parts; ++part) {
        try {
            threads.emplace_back(run, part);
        } catch (const std::system_error&) {
            run(part);
        }
    }
    run(0);
    threads.clear();  // joins
    return *std::min_element(failed.begin(), failed.end());
}

// Unseals the sealed value `cell` holds into the value of field `f`; false (the cell then holds
// anything) when it is no sealed value of that field. `spare` lends its buffer to the plain value
// and takes the sealed value's for the next call, so a cell costs no allocation.
bool unsealCell(const SecretKey& key, const FieldDef& f, std::string_view associated, Value& cell,
                std::string& spare) {
    auto* sealed = std::get_if<std::string>(&cell);
    if (!sealed) return false;
    std::string bytes = std::move(*sealed);
    const bool ok = unseal(key, bytes, associated, spare) && decodePlain(f, std::move(spare), cell);
    spare = std::move(bytes);
    return ok;
}

}  // namespace

std::optional<TableFile::Failure> TableFile::unsealRecords() {
    if (!protection_.on()) return std::nullopt;
    const std::vector<int> stored = fieldsOfKind(false);
    if (stored.empty()) return std::nullopt;
    const std::size_t count = rows_.size() * stored.size();
    const std::size_t failed = firstFailure(count, [&](std::size_t k, std::string& spare) {
        Row& row = rows_[k / stored.size()];
        const int i = stored[k % stored.size()];
        return unsealCell(*protection_.key, fields_[i],
                          associatedData(fileId_, row.key, i + 1, SealKind::Field), row.values[i], spare);
    });
    if (failed == count) return std::nullopt;
    return Failure{Stage::Records,
                   badField(failed / stored.size(), stored[failed % stored.size()]),
                   {OpenFailure::Damaged, path_}};
}

std::optional<TableFile::Failure> TableFile::unsealMemos() {
    if (!protection_.on() || blankCompanion_) return std::nullopt;
    const std::vector<int> memos = fieldsOfKind(true);
    if (memos.empty()) return std::nullopt;
    const std::size_t count = memosRead_;
    const std::size_t failed = firstFailure(count, [&](std::size_t k, std::string& spare) {
        Row& row = rows_[k / memos.size()];
        const int i = memos[k % memos.size()];
        return unsealCell(*protection_.key, fields_[i],
                          associatedData(fileId_, row.key, i + 1, SealKind::Memo), row.values[i], spare);
    });
    if (failed == count) return std::nullopt;
    return Failure{Stage::Memos, badMemo(failed / memos.size()), {OpenFailure::Damaged, edtPath_}};
}

}  // namespace runtime::store::detail
