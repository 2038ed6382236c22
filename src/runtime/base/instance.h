// A named, per-user marker that one process holds for its whole life: the single-instance guard.
// It is an advisory lock on a file, so the operating system releases it when the holder ends in
// any way, a crash included, and a stale marker never blocks a start.
//
// The lock file lies where no other user can put a file of theirs first: in the user's runtime
// folder ($XDG_RUNTIME_DIR), or, without one, in the folder the caller names (the program's data
// folder, then the guard is per program folder). A place that is not the user's own, a folder
// another user owns or may write into, or a lock file of another user's or a link, is refused:
// whoever owns it could hold the lock for us.
#pragma once

#include <string>
#include <string_view>

namespace runtime {

enum class NamedLock {
    Acquired,       // this process holds it now, until it ends
    HeldElsewhere,  // another process holds it
    ForeignPlace,   // the place for the lock is not the user's own
    Unavailable,    // no lock could be made (no writable folder)
};

// `place` receives the folder the lock was looked for in.
NamedLock acquireNamedLock(std::string_view name, const std::string& fallbackFolder, std::string& place);

}  // namespace runtime
