#include "support/flush_counter.h"

#include <dlfcn.h>

#include <atomic>

namespace {

std::atomic<int> count{0};

template <class Fn>
Fn next(const char* name) {
    return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int fdatasync(int fd) {
    static const auto real = next<int (*)(int)>("fdatasync");
    ++count;
    return real(fd);
}

extern "C" int fsync(int fd) {
    static const auto real = next<int (*)(int)>("fsync");
    ++count;
    return real(fd);
}

namespace qbtest {

int flushes() { return count; }

}  // namespace qbtest
