// Files and folders. Whole-file writes go through a temporary file in the same folder, fsync and
// rename, so a crash leaves either the old file or the new one, never a torn one. The writer
// holds an exclusive flock on its temporary file from its creation to the rename: a temporary
// file that nobody holds is the left-over of a killed write, and removeStaleWriteTemporaries may
// take it away, even while another process of ours writes beside it.
#include "runtime/base/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>  // renameat2, popen
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace runtime {

namespace {
std::string& runDirectoryOverride() {
    static std::string folder;
    return folder;
}
}  // namespace

void setRunDirectoryForTesting(std::string folder) { runDirectoryOverride() = std::move(folder); }

std::string getRunDirectory() {
    if (!runDirectoryOverride().empty()) return runDirectoryOverride();
    std::string buf(4096, '\0');
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return ".";
    buf.resize(static_cast<std::size_t>(n));
    std::size_t slash = buf.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "";
    return buf.substr(0, slash);
}

namespace {
// Our folder, a real one (no link), closed to everyone else; one that is ours but open to others
// (made by an older build, or changed by hand) is closed again. Checked through the opened folder
// itself, so that a link swapped in after the check is never followed.
bool isPrivateFolder(const std::string& dir) {
    ::mkdir(dir.c_str(), 0700);  // the umask can only take rights away
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    if (ok && (st.st_mode & 07777) != 0700) ok = ::fchmod(fd, 0700) == 0;
    ::close(fd);
    return ok;
}

// The home folder: $HOME, else the account's.
std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home == '/') return home;
    const passwd* account = ::getpwuid(::geteuid());
    return account && account->pw_dir ? account->pw_dir : "/";
}

// What `xdg-user-dir DOCUMENTS` answers; empty when it cannot be run or answers no folder.
std::string xdgDocumentsFolder() {
    FILE* answer = ::popen("xdg-user-dir DOCUMENTS 2>/dev/null", "r");
    if (!answer) return {};
    std::string folder;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, answer)) > 0;) folder.append(buf, n);
    if (::pclose(answer) != 0) return {};
    while (!folder.empty() && (folder.back() == '\n' || folder.back() == '/')) folder.pop_back();
    return folder.size() > 1 && folder.front() == '/' ? folder : std::string();
}

// Makes the folder and the folders above it that are missing; true when it is there.
bool makeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    }
    ::mkdir(folder.c_str(), 0700);
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string documentsFolder() {
    std::string folder = xdgDocumentsFolder();
    if (folder.empty() || !makeFolders(folder)) folder = homeFolder();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder == "/" ? folder : folder + "/";
}
}  // namespace

std::string getSpecialFolderPath(int kind) {
    if (kind == kSpecialFolderDocuments) return documentsFolder();
    if (kind != kSpecialFolderTemp) return {};
    // The runtime folder is the user's alone already; the shared temporary folder needs the user
    // id in our folder's name, so that users do not meet (and block) each other there.
    std::string dir;
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg == '/' && ::access(xdg, W_OK | X_OK) == 0) {
        dir = std::string(xdg) + "/quillarbor-temp";
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string base = (tmp && *tmp) ? tmp : "/tmp";
        while (base.size() > 1 && base.back() == '/') base.pop_back();
        dir = base + "/quillarbor-temp-" + std::to_string(::geteuid());
    }
    return isPrivateFolder(dir) ? dir + "/" : std::string();
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string readFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            out.clear();
            break;
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

namespace {
bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Whether `path` still names the file open as `fd`.
bool namesOpenFile(const std::string& path, int fd) {
    struct stat byPath {
    }, byFd{};
    return ::lstat(path.c_str(), &byPath) == 0 && ::fstat(fd, &byFd) == 0 && byPath.st_dev == byFd.st_dev &&
           byPath.st_ino == byFd.st_ino;
}

constexpr std::string_view kTempMark = ".tmp-";
constexpr std::size_t kTempLetters = 6;  // mkostemp's XXXXXX

// The name without its ".tmp-XXXXXX" ending; empty when the name does not end so.
std::string_view writtenName(std::string_view name) {
    const std::size_t tail = kTempMark.size() + kTempLetters;
    if (name.size() <= tail || name.substr(name.size() - tail, kTempMark.size()) != kTempMark) return {};
    const std::string_view letters = name.substr(name.size() - kTempLetters);
    const bool alnum = std::all_of(letters.begin(), letters.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
    return alnum ? name.substr(0, name.size() - tail) : std::string_view();
}
}  // namespace

bool writeFile(const std::string& path, std::string_view bytes) {
    if (path.empty()) return false;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        temp = path + std::string(kTempMark) + "XXXXXX";
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) return false;
        // A clean-up may have taken the file between its creation and our lock: then take another.
        // Where the file system has no flock, the write goes on unguarded.
        if (::flock(fd, LOCK_EX) != 0 || namesOpenFile(temp, fd)) break;
        ::close(fd);
        fd = -1;
        if (attempt == 3) return false;
    }
    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    // Keep the mode a plain file gets, not mkostemp's 0600.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    // Renamed while the lock is held; closing releases it.
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    ::close(fd);
    if (!ok) return false;
    int dir = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

int removeStaleWriteTemporaries(const std::string& folder, const std::vector<std::string>& names) {
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (dir == nullptr) return 0;
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view written = writtenName(entry->d_name);
        if (written.empty()) continue;
        if (!names.empty() && std::find(names.begin(), names.end(), written) == names.end()) continue;
        const std::string path = prefix + entry->d_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // Only a file of ours that no write holds, and still the file under that name.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && namesOpenFile(path, fd) && ::unlink(path.c_str()) == 0) {
            ++removed;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

bool deleteFile(const std::string& path) { return !path.empty() && ::unlink(path.c_str()) == 0; }

bool moveFileNoReplace(const std::string& from, const std::string& to) {
    if (from.empty() || to.empty()) return false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    // File systems without the flag: a hard link refuses an existing name just the same.
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

bool makeFilePrivate(const std::string& path) {
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return ok;
}

bool makeFolderPrivate(const std::string& path) {
    if (path.empty()) return false;
    ::mkdir(path.c_str(), 0700);
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
    if (ok && (st.st_mode & 077) != 0) ok = ::fchmod(fd, st.st_mode & 0700) == 0;
    ::close(fd);
    return ok;
}

int makeFilesPrivate(const std::string& folder) {
    DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (dir == nullptr) return 0;
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    int tightened = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const int fd =
            ::open((prefix + entry->d_name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
            (st.st_mode & 077) != 0 && ::fchmod(fd, st.st_mode & 0600) == 0) {
            ++tightened;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return tightened;
}

bool createDirectory(const std::string& path) { return !path.empty() && ::mkdir(path.c_str(), 0777) == 0; }

void sleepMilliseconds(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace runtime
