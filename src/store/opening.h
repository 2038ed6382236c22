// Making the four stores usable at start-up: clear stale registrations, create the data folder
// and every missing file, find out whether the stores are protected, open all four, and bind the
// main window's three table views to their files. Called only by onMainWindowCreated, in this
// order; each either returns with its work done or ends the program.
#pragma once

namespace stores {

void closeAllTables();
void createMissingDataFiles();
void detectEncryption();
void openTablesWithPassword();
void openTables();
void bindDataProviders();

}  // namespace stores
