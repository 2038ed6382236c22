// What a crash leaves beside table files, and how it is settled. A table file and its journal and
// log are one unit: they are deleted together, and a journal or log is never left where a new
// file of that name would take it for its own.
//
// A file's journal, found before the file is opened, is one of:
//
//   journal                                           what it is          settled by
//   empty, or its header zeroed                       spent               removal
//   naming a super-journal that no longer exists      spent: the change   removal
//                                                     it belongs to
//                                                     committed
//   any other                                         hot                 SQLite's roll back, then
//                                                                         the file is rewritten
//
// SQLite leaves the second kind for good: it neither rolls it back nor empties it, and it holds
// the old pages of a change that committed, plain values among them when the change protected
// the file. The roll back of the third kind restores every page the change had journaled, but
// not the free pages the change reused, which SQLite does not journal, so values of the change
// (plain ones, when it removed a protection) would stay in them: VACUUM rewrites the file from
// its live pages (settleJournal).
//
// A super-journal holds only the names of the journals of one commit over several files. Once
// no journal names it, nothing will ever read it; SQLite removes it itself only when a roll back
// runs through it (removeInterruptedLeftovers).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <regex>

#include "runtime/base/files.h"
#include "runtime/store/table_file_internal.h"

namespace runtime::store::detail {
namespace {

constexpr unsigned char kJournalMagic[8] = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
constexpr const char* kSideFiles[] = {"-journal", "-wal"};

// Anything under that name, a link included.
bool present(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// A regular file of this user's, not a link.
bool ownFile(const std::string& path, struct stat& st) {
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid();
}

std::string readAt(int fd, off_t offset, std::size_t n) {
    std::string out(n, '\0');
    const ssize_t got = ::pread(fd, out.data(), n, offset);
    out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return out;
}

uint32_t bigEndian(const std::string& four) {
    uint32_t v = 0;
    for (unsigned char c : four) v = (v << 8) | c;
    return v;
}

enum class JournalState { None, Spent, Hot };

// The super-journal a journal names, as SQLite records it at the journal's end: the name, its
// length and checksum, and the journal magic. Empty when the journal names none.
std::string superJournalNamed(int fd, off_t size) {
    if (size < 16) return {};
    const std::string tail = readAt(fd, size - 16, 16);
    if (tail.size() != 16 || std::memcmp(tail.data() + 8, kJournalMagic, 8) != 0) return {};
    const uint32_t length = bigEndian(tail.substr(0, 4));
    uint32_t checksum = bigEndian(tail.substr(4, 4));
    if (length == 0 || length > 4096 || length > static_cast<uint64_t>(size) - 16) return {};
    const std::string name = readAt(fd, size - 16 - static_cast<off_t>(length), length);
    if (name.size() != length) return {};
    for (char c : name) checksum -= static_cast<uint32_t>(c);
    if (checksum != 0) return {};
    return name.substr(0, name.find('\0'));
}

JournalState journalState(const std::string& journal) {
    const int fd = ::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return JournalState::None;
    struct stat st {};
    JournalState state = JournalState::Hot;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        state = JournalState::None;
    } else {
        const std::string first = readAt(fd, 0, 1);
        const std::string super = superJournalNamed(fd, st.st_size);
        if (first.empty() || first[0] == 0 || (!super.empty() && !present(super)))
            state = JournalState::Spent;
    }
    ::close(fd);
    return state;
}

// Whether the journal at `journal` names the super-journal `super` (the same file).
bool namesSuperJournal(const std::string& journal, const struct stat& super) {
    const int fd = ::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    std::string named;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) named = superJournalNamed(fd, st.st_size);
    ::close(fd);
    struct stat target {};
    return !named.empty() && ::stat(named.c_str(), &target) == 0 && target.st_dev == super.st_dev &&
           target.st_ino == super.st_ino;
}

// Whether `path` names an entry of the folder `folder` is.
bool inFolder(const std::string& path, const struct stat& folder) {
    const std::size_t slash = path.rfind('/');
    struct stat parent {};
    return slash != std::string::npos && ::stat(path.substr(0, slash + 1).c_str(), &parent) == 0 &&
           parent.st_dev == folder.st_dev && parent.st_ino == folder.st_ino;
}

bool startsWith(const std::string& bytes, const void* prefix, std::size_t n) {
    return bytes.size() >= n && std::memcmp(bytes.data(), prefix, n) == 0;
}

// A copy being built, as createTableFiles leaves it when interrupted: nothing yet, or a file of
// ours. Its journal: nothing yet, or a journal.
bool isOurCopy(const std::string& path, bool journal) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    const std::string head = readAt(fd, 0, 72);
    ::close(fd);
    if (head.empty()) return true;
    if (journal) return startsWith(head, kJournalMagic, 8) || head[0] == 0;
    static const char kSqliteHeader[] = "SQLite format 3";
    if (head.size() < 72 || !startsWith(head, kSqliteHeader, sizeof kSqliteHeader)) return false;
    const int appId = static_cast<int>(bigEndian(head.substr(68, 4)));
    return appId == kTableAppId || appId == kMemoAppId;
}

}  // namespace

bool settleJournal(const std::string& path) {
    const std::string journal = path + "-journal";
    switch (journalState(journal)) {
        case JournalState::None: return true;
        case JournalState::Spent: return ::unlink(journal.c_str()) == 0;
        case JournalState::Hot: break;
    }
    sqlite3* db = nullptr;
    // The first read rolls the change back; VACUUM then leaves only live pages in the file.
    int rc = openConnection(path, &db, SQLITE_OPEN_READWRITE, kRollbackMode);
    if (rc == SQLITE_OK) rc = execSql(db, "SELECT count(*) FROM main.sqlite_schema");
    if (rc == SQLITE_OK) rc = execSql(db, "VACUUM main");
    closeConnection(db);
    removeSpentJournal(path);
    return rc == SQLITE_OK;
}

bool deleteWithSideFiles(const std::string& path) {
    bool gone = ::unlink(path.c_str()) == 0 || errno == ENOENT;
    for (const char* side : kSideFiles) {
        const std::string file = path + side;
        gone = (::unlink(file.c_str()) == 0 || errno == ENOENT) && gone;
    }
    return gone;
}

bool clearStaleSideFiles(const std::string& path, std::string& error) {
    for (const char* side : kSideFiles) {
        const std::string file = path + side;
        off_t size = 0;
        if (!present(file)) continue;
        if (fileSize(file, size) && size == 0 && ::unlink(file.c_str()) == 0) continue;
        error = "文件旁有不属于它的日志文件，无法新建：" + file;
        return false;
    }
    return true;
}

int removeInterruptedLeftovers(const std::string& folder) {
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (dir == nullptr) return 0;
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
    ::closedir(dir);
    // SQLite names a super-journal after the commit's first file: "-mj", six hexadecimal digits,
    // a 9 and two more. A copy is named by createTableFiles: ".new-" and twelve.
    static const std::regex superJournal(R"((.+\.edb)-mj[0-9A-F]{6}9[0-9A-F]{2})");
    static const std::regex copy(R"(.+\.ed[bt]\.new-[0-9a-f]{12}(-journal)?)");
    static const std::regex journalOfOurs(R"(.+\.ed[bt](\.new-[0-9a-f]{12})?-journal)");
    int removed = 0;
    // The copies first, then their journals: a journal goes only with its copy.
    std::vector<std::string> journals;
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        struct stat st {};
        std::smatch m;
        if (!ownFile(path, st) || !std::regex_match(name, m, copy)) continue;
        if (m[1].matched) {
            journals.push_back(path);
        } else if (isOurCopy(path, false) && ::unlink(path.c_str()) == 0) {
            ++removed;
        }
    }
    for (const std::string& path : journals) {
        if (!present(path.substr(0, path.size() - 8)) && isOurCopy(path, true) &&
            ::unlink(path.c_str()) == 0) {
            ++removed;
        }
    }
    for (const std::string& name : names) {
        const std::string path = prefix + name;
        struct stat st {};
        if (!ownFile(path, st)) continue;
        if (!std::regex_match(name, superJournal)) continue;
        // Its journals, NUL-separated: each one of ours in this folder, none naming it any more.
        struct stat ours {};
        bool orphan = ::stat(prefix.c_str(), &ours) == 0;
        const std::string list = readFile(path);
        for (std::size_t at = 0; orphan && at < list.size();) {
            const std::size_t end = std::min(list.find('\0', at), list.size());
            const std::string child = list.substr(at, end - at);
            at = end + 1;
            if (child.empty()) continue;
            orphan = std::regex_match(child.substr(child.rfind('/') + 1), journalOfOurs) &&
                     inFolder(child, ours) && !namesSuperJournal(child, st);
        }
        if (orphan && ::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

}  // namespace runtime::store::detail
