// The global hotkey: capturing a key combination in `编辑框_热键1` with its display text,
// registering it, and minimising or restoring the main window when it is pressed.
#pragma once

#include <string>

namespace shell {

// Updates hotkeyDisplayText from one key-down and returns a copy of it.
std::string buildHotkeyText(int keyCode, int modifierState);
// The text to show at key-up; a bare modifier prefix becomes "无" and empties the display text.
std::string finishHotkeyText();
// The name of a virtual key ("A", "F5", "空格"...), empty for keys without one.
std::string hotkeyKeyName(int keyCode);

void onHotkeyKeyDown(int keyCode, int modifierState);
void onHotkeyKeyUp();
void onRegisterHotkey();
void onHotkeyFired(int id);

void bindHotkeyHandlers();

}  // namespace shell
