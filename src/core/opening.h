// Making the four stores usable at start-up: clear stale registrations, create the data folder
// and every missing file, find out whether the stores are protected, open all four, and bind the
// main window's three table views to their files. Called only by onMainWindowCreated, in this
// order; each either returns with its work done or ends the program.
//
//   stores' protection (detectEncryption)    opened by                      shown as
//   all protected                            openTablesWithPassword         "已加密"
//   none protected                           openTables                     "未加密"
//   some protected, some not                 openTablesOfMixedProtection    "未加密"
//
// A store that got a blank file at this start (missing, or in place of a damaged one) has no
// protection of its own: the others decide, and it takes their password once open. Only an
// interrupted change of an older build, or files copied in from elsewhere, leave the other stores
// disagreeing. No file decides alone then: the password is asked once, each store opens as its
// own file requires, and a warning names the stores on either side, so that the user gets in and
// can protect all four again from the settings page.
//
// Nothing is ever deleted: a file that cannot serve goes aside under a dated name, and one warning
// ("警告！") at the end of opening names every file made anew or moved aside, with what that means
// for the user. The first start, which makes all six, says nothing.
#pragma once

namespace core {

void closeAllTables();
// Makes the data folder and its files the user's alone, and writes every missing file from its
// template. A companion (.edt) whose table file is missing cannot serve a new table: it is moved
// aside as "<name>.edt.orphan-<date>-<time>" before the new pair is written; so is a journal or
// log left without its file.
void createMissingDataFiles();
// Asks each store file that is not blank whether it is protected; encryptedFlag: all that could
// answer are.
void detectEncryption();
// Whether those files answered detectEncryption differently.
bool storesDisagreeOnProtection();
// Each of the three opens all four stores, each as its file requires. The password is what failed
// only when no store passes its key check with it: then "密码错误！" and the end. A damaged store
// is named with the reason, and the user goes on without it (its file aside, a blank one in its
// place) or ends. Any other failure ends the program with the reason. A pack that a crash
// interrupted is completed, so no record marked deleted is ever shown, searched or exported.
void openTablesWithPassword();
void openTables();
// Asks the password once, opens, then warns, naming the stores of either kind.
void openTablesOfMixedProtection();
void bindDataProviders();

}  // namespace core
