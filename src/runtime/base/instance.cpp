#include "runtime/base/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "runtime/base/files.h"

namespace runtime {
namespace {

// The user's runtime folder, when the session has one; empty otherwise.
std::string runtimeFolder() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (!xdg || *xdg != '/' || ::stat(xdg, &st) != 0) return {};
    return xdg;
}

// A folder of this user's that no one else may write into (a link to one is the user's choice).
bool ownFolder(const std::string& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

NamedLock acquireNamedLock(std::string_view name, const std::string& fallbackFolder, std::string& place) {
    place = runtimeFolder();
    if (place.empty()) {
        place = fallbackFolder;
        makeFolderPrivate(place);
    }
    if (!ownFolder(place)) return NamedLock::ForeignPlace;
    const std::string path = place + "/" + std::string(name) + ".lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    if (fd < 0) return errno == ELOOP ? NamedLock::ForeignPlace : NamedLock::Unavailable;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        return NamedLock::ForeignPlace;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return NamedLock::Acquired;  // fd stays open: the lock lives on
    const int err = errno;
    ::close(fd);
    return err == EWOULDBLOCK ? NamedLock::HeldElsewhere : NamedLock::Unavailable;
}

}  // namespace runtime
