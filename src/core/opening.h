// Making the four stores usable at start-up: clear stale registrations, create the data folder
// and every missing file, find out whether the stores are protected, open all four, and bind the
// main window's three table views to their files. Called only by onMainWindowCreated, in this
// order; each either returns with its work done or ends the program.
//
//   stores' protection (detectEncryption)    opened by                      shown as
//   all four protected                       openTablesWithPassword         "已加密"
//   none protected                           openTables                     "未加密"
//   some protected, some not                 openTablesOfMixedProtection    "未加密"
//
// Only an interrupted change of an older build, or files copied in from elsewhere, leave the
// stores disagreeing. The diary file alone does not decide then: the password is asked once,
// each store opens as its own file requires, and a warning names the stores on either side, so
// that the user gets in and can protect all four again from the settings page.
#pragma once

namespace core {

void closeAllTables();
// Writes every missing file from its template. A companion (.edt) whose table file is missing
// cannot serve a new table: it is moved aside as "<name>.edt.orphan-<date>-<time>" (never
// deleted) before the new pair is written, and a warning tells the user its new name.
void createMissingDataFiles();
// Asks each of the four files whether it is protected; encryptedFlag keeps the diary's answer.
void detectEncryption();
// Whether the files answered detectEncryption differently.
bool storesDisagreeOnProtection();
void openTablesWithPassword();
void openTables();
// Asks the password once and opens each store with it or without, as its file is protected or
// not; then warns, naming the stores of either kind. A store that does not open ends the program.
void openTablesOfMixedProtection();
void bindDataProviders();

}  // namespace core
