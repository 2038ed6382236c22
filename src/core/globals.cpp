#include "core/globals.h"

#include <cstring>

#include "runtime/base/files.h"

namespace core {

runtime::DateTime weekViewCentreDate;
std::string databasePassword;
int hotkeyModifiers = 0;
int hotkeyKeyCode = 0;
std::string hotkeyDisplayText;
runtime::DateTime periodicItemStartDate;
int hotkeyId = 0;
bool encryptedFlag = false;
std::string startupPassword;
std::string minimiseMode;

namespace {
// Overwrites the whole buffer, not only the size in use, so no copy of a password survives in it.
void wipe(std::string& text) {
    if (text.capacity() > 0) explicit_bzero(text.data(), text.capacity());
    text.clear();
    text.shrink_to_fit();
}
}  // namespace

void freeProgramGlobals() {
    wipe(databasePassword);
    wipe(hotkeyDisplayText);
    wipe(startupPassword);
    wipe(minimiseMode);
}

std::string programPath(std::string_view relative) {
    return runtime::getRunDirectory() + std::string(relative);
}

}  // namespace core
