// Creating table files and companions, and asking a closed file whether it is protected. A new
// file is built complete under a temporary name beside its final one and renamed into place, so
// it appears whole or not at all.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <set>

#include "runtime/store/table_file_internal.h"

namespace runtime::store::detail {
namespace {

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

std::string creationFailure(sqlite3* db, const std::string& path) {
    const int err = db ? sqlite3_system_errno(db) : errno;
    if (err == ENOSPC) return "磁盘空间不足，无法创建 " + path;
    if (err == EROFS || err == EACCES) return "文件夹只读，无法创建 " + path;
    return "无法创建 " + path + (db ? std::string("（") + sqlite3_errmsg(db) + "）" : std::string());
}

// Builds a complete file at `tmp` by running `body` in one transaction. The file is its owner's
// alone from the start, and so is its journal, which SQLite makes with the file's mode.
template <class Body>
bool buildFile(const std::string& tmp, const std::string& finalPath, Body body, std::string& error) {
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = creationFailure(nullptr, finalPath);
        return false;
    }
    ::close(fd);
    sqlite3* db = nullptr;
    int rc = openConnection(tmp, &db, SQLITE_OPEN_READWRITE, kRollbackMode);
    if (rc == SQLITE_OK) rc = execSql(db, "BEGIN IMMEDIATE");
    if (rc == SQLITE_OK) rc = body(db);
    if (rc == SQLITE_OK) rc = execSql(db, "COMMIT");
    if (rc != SQLITE_OK) error = creationFailure(db, finalPath);
    closeConnection(db);
    if (rc != SQLITE_OK) deleteWithSideFiles(tmp);
    ::unlink((tmp + "-journal").c_str());
    return rc == SQLITE_OK;
}

int writeMemoHeader(sqlite3* db, const std::string* fileId) {
    const std::string header =
        "PRAGMA main.application_id=" + std::to_string(kMemoAppId) +
        ";CREATE TABLE qb_memo_file(id INTEGER PRIMARY KEY CHECK(id=1), magic TEXT NOT NULL,"
        " version INTEGER NOT NULL, file_id BLOB);"
        "CREATE TABLE qb_memos(mk INTEGER PRIMARY KEY, v NOT NULL);";
    int rc = execSql(db, header.c_str());
    if (rc != SQLITE_OK) return rc;
    Stmt s(db, "INSERT INTO qb_memo_file VALUES(1, ?1, ?2, ?3)");
    if (s.rc != SQLITE_OK) return s.rc;
    sqlite3_bind_text(s.s, 1, kMemoMagic, -1, SQLITE_STATIC);
    sqlite3_bind_int(s.s, 2, kFormatVersion);
    if (fileId) sqlite3_bind_blob(s.s, 3, fileId->data(), static_cast<int>(fileId->size()), SQLITE_TRANSIENT);
    rc = sqlite3_step(s.s);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int writeTableHeader(sqlite3* db, const std::vector<FieldDef>& fields, const std::string& fileId,
                     const Protection& protection) {
    std::string columns;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].type != FieldType::Memo) columns += ", f" + std::to_string(i + 1);
    }
    const std::string schema =
        "PRAGMA main.application_id=" + std::to_string(kTableAppId) +
        ";CREATE TABLE qb_table(id INTEGER PRIMARY KEY CHECK(id=1), magic TEXT NOT NULL,"
        " version INTEGER NOT NULL,"
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
            sqlite3_bind_blob(s.s, 4, protection.params.salt.data(),
                              static_cast<int>(protection.params.salt.size()), SQLITE_TRANSIENT);
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
        sqlite3_bind_text(f.s, 2, fields[i].name.data(), static_cast<int>(fields[i].name.size()),
                          SQLITE_TRANSIENT);
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

bool createTableFiles(const std::string& path, const std::vector<FieldDef>& fields,
                      const Protection& protection, CompanionMode mode, std::string& error) {
    if (!cryptoReady()) {
        error = "加密库无法初始化";
        return false;
    }
    if (!validateFields(fields, error)) return false;
    const bool withCompanion = mode != CompanionMode::None && hasMemoField(fields);
    const std::string edt = companionPath(path);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        error = "文件已存在：" + path;
        return false;
    }
    if (withCompanion && ::lstat(edt.c_str(), &st) == 0) {
        error = "备注文件已存在：" + edt;
        return false;
    }
    if (!clearStaleSideFiles(path, error) || (withCompanion && !clearStaleSideFiles(edt, error)))
        return false;
    const std::string fileId = randomBytes(kFileIdBytes);
    const std::string suffix = ".new-" + hex(randomBytes(6));
    const std::string tmpEdb = path + suffix, tmpEdt = edt + suffix;
    if (!buildFile(
            tmpEdb, path, [&](sqlite3* db) { return writeTableHeader(db, fields, fileId, protection); },
            error)) {
        return false;
    }
    if (withCompanion) {
        const std::string* bound = mode == CompanionMode::Blank ? nullptr : &fileId;
        if (!buildFile(
                tmpEdt, edt, [&](sqlite3* db) { return writeMemoHeader(db, bound); }, error)) {
            deleteWithSideFiles(tmpEdb);
            return false;
        }
    }
    // The table first: a table whose companion is missing gets a blank one at the next start,
    // while a companion without its table would block creating the table again.
    if (!renameNoReplace(tmpEdb, path)) {
        error = (errno == EEXIST ? "文件已存在：" : "无法创建 ") + path;
        deleteWithSideFiles(tmpEdb);
        if (withCompanion) deleteWithSideFiles(tmpEdt);
        return false;
    }
    if (withCompanion && !renameNoReplace(tmpEdt, edt)) {
        error = (errno == EEXIST ? "备注文件已存在：" : "无法创建 ") + edt;
        deleteWithSideFiles(tmpEdt);
        ::unlink(path.c_str());
        syncFolderOf(path);
        return false;
    }
    syncFolderOf(path);
    return true;
}

bool createBlankCompanion(const std::string& edtPath, std::string& error) {
    struct stat st {};
    if (::lstat(edtPath.c_str(), &st) == 0) {
        error = "备注文件已存在：" + edtPath;
        return false;
    }
    if (!clearStaleSideFiles(edtPath, error)) return false;
    const std::string tmp = edtPath + ".new-" + hex(randomBytes(6));
    if (!buildFile(
            tmp, edtPath, [&](sqlite3* db) { return writeMemoHeader(db, nullptr); }, error)) {
        return false;
    }
    if (!renameNoReplace(tmp, edtPath)) {
        error = (errno == EEXIST ? "备注文件已存在：" : "无法创建 ") + edtPath;
        deleteWithSideFiles(tmp);
        return false;
    }
    syncFolderOf(edtPath);
    return true;
}

std::optional<bool> probeProtected(const std::string& path, std::string& error, Refusal& refusal) {
    refusal = {OpenFailure::Damaged, path};
    settleJournal(path);
    off_t size = 0;
    if (!fileSize(path, size)) {
        error = "文件不存在：" + path;
        refusal.why = OpenFailure::Missing;
        return std::nullopt;
    }
    if (size == 0) {
        error = damaged(path, "文件为空");
        return std::nullopt;
    }
    sqlite3* db = nullptr;
    // Read-write, so that a hot journal that could not be settled is still rolled back before we look.
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
        detail = sqliteReason(db);
    }
    closeConnection(db);
    removeSpentJournal(path);
    if (!result) error = damaged(path, detail);
    return result;
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
