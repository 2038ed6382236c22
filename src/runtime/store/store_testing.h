// Seams for tests, fuzzing and benchmarks of the table store. The program never calls these.
#pragma once

#include <cstdint>

namespace runtime::store::testing {

// Argon2id limits for protections made from now on (the default is libsodium's interactive
// limits). Tests lower them so that each derivation takes microseconds, not a second.
void setKeyDerivationCost(uint64_t opslimit, uint64_t memlimit);
// The largest limits a file may declare before it counts as damaged.
void setKeyDerivationMaximum(uint64_t opslimit, uint64_t memlimit);
// Drops every cached key, as a new process would start.
void forgetDerivedKeys();
// Argon2id runs so far in this process.
int keyDerivations();

}  // namespace runtime::store::testing
