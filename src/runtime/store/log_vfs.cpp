// A write-ahead log grows by one frame per commit. Appending grows the file, and then the flush
// that makes the commit durable has to make the new length durable too: on ext4 that costs about
// twice an overwrite in place, more where the length change needs a journal commit of its own.
// Typing commits at every key, and every day's first key starts a fresh log (the two-file commit
// leaves write-ahead mode), so most keystrokes would pay it.
//
// So the log is laid out ahead of its frames in zero-filled stretches: the write that passes the
// end of the laid-out part first fills the next stretch with zeros, and the commit's own flush
// carries them, once per stretch. Zeros are written, not allocated: an allocated but unwritten
// block costs the same metadata update at its first write. SQLite reads the zeros after the last
// frame as the end of the log, as it reads the stale frames a restarted log leaves behind (their
// checksums do not chain), so recovery after a crash is unchanged. The stretch adds at most
// kStretch to a log that is checkpointed and cut back to its limit.
#include "runtime/store/log_vfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <mutex>

namespace runtime::store::detail {
namespace {

constexpr sqlite3_int64 kStretch = 256 * 1024;
constexpr int kZeroBlock = 64 * 1024;

sqlite3_vfs logVfs;

// A log file: our methods first, then the system's methods for it and the system file's state.
struct LogFile {
    sqlite3_file base;
    const sqlite3_io_methods* methods;  // the system file's own
    sqlite3_int64 laidOut;              // bytes from 0 that exist in the file (frames or zeros)
    sqlite3_file* system() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

LogFile* logFile(sqlite3_file* f) { return reinterpret_cast<LogFile*>(f); }
sqlite3_vfs* systemVfs() { return static_cast<sqlite3_vfs*>(logVfs.pAppData); }

int layOut(LogFile* f, sqlite3_int64 end) {
    if (end <= f->laidOut) return SQLITE_OK;
    sqlite3_int64 size = 0;
    if (const int rc = f->methods->xFileSize(f->system(), &size); rc != SQLITE_OK) return rc;
    f->laidOut = std::max(f->laidOut, size);
    if (end <= f->laidOut) return SQLITE_OK;
    static const char zeros[kZeroBlock] = {};
    const sqlite3_int64 target = (end + kStretch - 1) / kStretch * kStretch;
    for (sqlite3_int64 at = f->laidOut; at < target;) {
        const int amount = static_cast<int>(std::min<sqlite3_int64>(kZeroBlock, target - at));
        if (const int rc = f->methods->xWrite(f->system(), zeros, amount, at); rc != SQLITE_OK) return rc;
        at += amount;
    }
    f->laidOut = target;
    return SQLITE_OK;
}

int logClose(sqlite3_file* f) { return logFile(f)->methods->xClose(logFile(f)->system()); }
int logRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset) {
    return logFile(f)->methods->xRead(logFile(f)->system(), buffer, amount, offset);
}
int logWrite(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset) {
    // A write whose stretch could not be laid out is still made as asked: the stretch only
    // saves time, and the write itself reports a full disk.
    layOut(logFile(f), offset + amount);
    return logFile(f)->methods->xWrite(logFile(f)->system(), buffer, amount, offset);
}
int logTruncate(sqlite3_file* f, sqlite3_int64 size) {
    LogFile* log = logFile(f);
    const int rc = log->methods->xTruncate(log->system(), size);
    log->laidOut = rc == SQLITE_OK ? std::min(log->laidOut, size) : 0;
    return rc;
}
int logSync(sqlite3_file* f, int flags) { return logFile(f)->methods->xSync(logFile(f)->system(), flags); }
int logFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return logFile(f)->methods->xFileSize(logFile(f)->system(), size);
}
int logLock(sqlite3_file* f, int level) { return logFile(f)->methods->xLock(logFile(f)->system(), level); }
int logUnlock(sqlite3_file* f, int level) {
    return logFile(f)->methods->xUnlock(logFile(f)->system(), level);
}
int logCheckReservedLock(sqlite3_file* f, int* out) {
    return logFile(f)->methods->xCheckReservedLock(logFile(f)->system(), out);
}
int logFileControl(sqlite3_file* f, int op, void* arg) {
    return logFile(f)->methods->xFileControl(logFile(f)->system(), op, arg);
}
int logSectorSize(sqlite3_file* f) { return logFile(f)->methods->xSectorSize(logFile(f)->system()); }
int logDeviceCharacteristics(sqlite3_file* f) {
    return logFile(f)->methods->xDeviceCharacteristics(logFile(f)->system());
}

// Version 1: SQLite maps and shares memory through the database file, never through its log.
const sqlite3_io_methods logMethods = {
    1,
    logClose,
    logRead,
    logWrite,
    logTruncate,
    logSync,
    logFileSize,
    logLock,
    logUnlock,
    logCheckReservedLock,
    logFileControl,
    logSectorSize,
    logDeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

int logOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags) {
    sqlite3_vfs* system = systemVfs();
    if (!(flags & SQLITE_OPEN_WAL)) return system->xOpen(system, name, f, flags, outFlags);
    LogFile* log = logFile(f);
    log->base.pMethods = nullptr;
    log->laidOut = 0;
    const int rc = system->xOpen(system, name, log->system(), flags, outFlags);
    log->methods = log->system()->pMethods;
    // SQLite closes a file whose open failed only when it has methods.
    if (log->methods) log->base.pMethods = &logMethods;
    return rc;
}

// The rest of the file layer is the system's, called as itself.
int logDelete(sqlite3_vfs*, const char* name, int syncDir) {
    return systemVfs()->xDelete(systemVfs(), name, syncDir);
}
int logAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
    return systemVfs()->xAccess(systemVfs(), name, flags, out);
}
int logFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return systemVfs()->xFullPathname(systemVfs(), name, size, out);
}
int logRandomness(sqlite3_vfs*, int size, char* out) {
    return systemVfs()->xRandomness(systemVfs(), size, out);
}
int logSleep(sqlite3_vfs*, int microseconds) { return systemVfs()->xSleep(systemVfs(), microseconds); }
int logCurrentTime(sqlite3_vfs*, double* out) { return systemVfs()->xCurrentTime(systemVfs(), out); }
int logGetLastError(sqlite3_vfs*, int size, char* out) {
    return systemVfs()->xGetLastError(systemVfs(), size, out);
}
int logCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return systemVfs()->xCurrentTimeInt64(systemVfs(), out);
}

}  // namespace

const char* logVfsName() {
    static std::once_flag registered;
    std::call_once(registered, [] {
        sqlite3_vfs* system = sqlite3_vfs_find(nullptr);
        logVfs.iVersion = 2;
        logVfs.szOsFile = static_cast<int>(sizeof(LogFile)) + system->szOsFile;
        logVfs.mxPathname = system->mxPathname;
        logVfs.zName = "quillarbor-log";
        logVfs.pAppData = system;
        logVfs.xOpen = logOpen;
        logVfs.xDelete = logDelete;
        logVfs.xAccess = logAccess;
        logVfs.xFullPathname = logFullPathname;
        logVfs.xRandomness = logRandomness;
        logVfs.xSleep = logSleep;
        logVfs.xCurrentTime = logCurrentTime;
        logVfs.xGetLastError = logGetLastError;
        logVfs.xCurrentTimeInt64 = logCurrentTimeInt64;
        sqlite3_vfs_register(&logVfs, 0);
    });
    return logVfs.zName;
}

}  // namespace runtime::store::detail
