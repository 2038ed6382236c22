// The flushes of a test program: linking flush_counter.cpp into it puts counting stand-ins for
// fdatasync and fsync in front of the system's, so every flush the program makes, through SQLite
// or its own whole-file writes, is counted before it is made.
#pragma once

namespace qbtest {

// Flushes made so far by this process.
int flushes();

}  // namespace qbtest
