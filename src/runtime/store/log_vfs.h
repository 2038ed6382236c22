// The SQLite file layer the table files are opened through: the system's own, except that a
// write-ahead log is laid out ahead of its frames (see log_vfs.cpp).
#pragma once

namespace runtime::store::detail {

// The name to open connections with; registered on first use, never as the default.
const char* logVfsName();

}  // namespace runtime::store::detail
