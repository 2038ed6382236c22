// A named, per-user marker that one process holds for its whole life: the single-instance guard.
// It is an advisory lock on a file in the user's runtime folder, so the operating system releases
// it when the holder ends in any way, a crash included, and a stale marker never blocks a start.
#pragma once

#include <string_view>

namespace runtime {

enum class NamedLock {
    Acquired,      // this process holds it now, until it ends
    HeldElsewhere, // another process holds it
    Unavailable,   // no lock could be made (no writable runtime folder)
};

NamedLock acquireNamedLock(std::string_view name);

}  // namespace runtime
