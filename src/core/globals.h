// The program's state outside its controls: the global variables every module shares, in
// their declaration order. All are zero, false or empty when the program starts. The passwords
// and the other texts are wiped by freeProgramGlobals, the end routine.
#pragma once

#include <string>
#include <string_view>

#include "runtime/base/datetime.h"

namespace core {

extern runtime::DateTime weekViewCentreDate;  // the calendar's date when the week view was last rebuilt
extern std::string databasePassword;          // the password given on the settings page
extern int hotkeyModifiers;                   // 1 Ctrl | 2 Shift | 4 Alt
extern int hotkeyKeyCode;                     // virtual-key code
extern std::string hotkeyDisplayText;
extern runtime::DateTime periodicItemStartDate;
extern int hotkeyId;
extern bool encryptedFlag;           // whether the store files were protected at start
extern std::string startupPassword;  // typed at start-up, kept for the program's life
extern std::string minimiseMode;     // "0" tray icon, anything else the top-edge bar

// The end routine: wipes and frees the text globals.
void freeProgramGlobals();

// The program folder followed by a relative path such as "/data/rz35.edb".
std::string programPath(std::string_view relative);

}  // namespace core
