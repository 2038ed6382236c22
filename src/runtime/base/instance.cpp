#include "runtime/base/instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace runtime {
namespace {

std::string lockFolder() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && *xdg && ::access(xdg, W_OK) == 0) return xdg;
    std::string dir = "/tmp/quillarbor-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    struct stat st{};
    // Refuse a folder someone else made for us: it could hand our lock to them.
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return {};
    return dir;
}

}  // namespace

NamedLock acquireNamedLock(std::string_view name) {
    std::string folder = lockFolder();
    if (folder.empty()) return NamedLock::Unavailable;
    std::string path = folder + "/" + std::string(name) + ".lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return NamedLock::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return NamedLock::Acquired;  // fd stays open: the lock lives on
    int err = errno;
    ::close(fd);
    return err == EWOULDBLOCK ? NamedLock::HeldElsewhere : NamedLock::Unavailable;
}

}  // namespace runtime
