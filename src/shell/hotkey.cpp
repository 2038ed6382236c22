#include "shell/hotkey.h"

#include "core/globals.h"
#include "runtime/base/number.h"
#include "runtime/ui/ui.h"
#include "shell/minimise.h"
#include "shell/settings.h"

namespace shell {

namespace ui = runtime::ui;

namespace {

constexpr const char* kMain = "MainWindow";

const char* const kStatePrefixes[] = {"",       "Ctrl + ",       "Shift + ",       "Ctrl + Shift + ",
                                      "Alt + ", "Ctrl + Alt + ", "Shift + Alt + ", "Ctrl + Shift + Alt + "};

// A modifier key going down by itself shows the prefix of what it adds to the held ones, for
// exactly these pairs; any other pair keeps the prefix of the held modifiers.
struct ModifierKey {
    int keyCode;
    int state;
    const char* prefix;
};
constexpr ModifierKey kModifierKeys[] = {
    {17, 0, "Ctrl + "},       {17, 2, "Ctrl + Shift + "},
    {17, 4, "Ctrl + Alt + "}, {17, 6, "Ctrl + Shift + Alt + "},
    {16, 0, "Shift + "},      {16, 4, "Shift + Alt + "},
    {18, 0, "Alt + "},
};

bool endsInSpace(const std::string& text) { return !text.empty() && text.back() == ' '; }

}  // namespace

std::string hotkeyKeyName(int code) {
    if (code == 32) return "空格";
    if (code >= 37 && code <= 40) {
        static const char* const kArrows[] = {"←", "↑", "→", "↓"};
        return kArrows[code - 37];
    }
    if ((code >= 48 && code <= 57) || (code >= 65 && code <= 90))
        return std::string(1, static_cast<char>(code));
    if (code >= 112 && code <= 123) return "F" + runtime::toText(code - 111);
    switch (code) {
        case 106: return "*";
        case 107: return "+";
        case 186: return ";";
        case 187: return "=";
        case 188: return ",";
        case 189: return "-";
        case 190: return ".";
        case 191: return "/";
        case 192: return "`";
        case 219: return "[";
        case 220: return "\\";
        case 221: return "]";
        case 222: return "'";
        default: return "";
    }
}

std::string buildHotkeyText(int keyCode, int modifierState) {
    if (modifierState >= 1 && modifierState <= 7) core::hotkeyDisplayText = kStatePrefixes[modifierState];
    for (const ModifierKey& m : kModifierKeys) {
        if (m.keyCode == keyCode && m.state == modifierState) core::hotkeyDisplayText = m.prefix;
    }
    std::string name = hotkeyKeyName(keyCode);
    if (endsInSpace(core::hotkeyDisplayText)) {
        core::hotkeyDisplayText += name;
    } else {
        core::hotkeyDisplayText = name;
    }
    return core::hotkeyDisplayText;
}

std::string finishHotkeyText() {
    if (endsInSpace(core::hotkeyDisplayText)) {
        core::hotkeyDisplayText.clear();
        return "无";
    }
    return core::hotkeyDisplayText;
}

void onHotkeyKeyDown(int keyCode, int modifierState) {
    ui::setText(kMain, "编辑框_热键1", buildHotkeyText(keyCode, modifierState));
    core::hotkeyModifiers = modifierState;
    core::hotkeyKeyCode = keyCode;
    writeSetting("全局热键", "功能键1", runtime::toText(core::hotkeyModifiers));
    writeSetting("全局热键", "主热键1", runtime::toText(core::hotkeyKeyCode));
}

void onHotkeyKeyUp() { ui::setText(kMain, "编辑框_热键1", finishHotkeyText()); }

void onRegisterHotkey() {
    ui::unregisterGlobalHotkey(ui::getWindowHandle(kMain), core::hotkeyId);
    core::hotkeyId =
        ui::registerGlobalHotkey(ui::getWindowHandle(kMain), ui::getWindowHandle(kMain, "标签_热键反馈1"),
                                 core::hotkeyModifiers, core::hotkeyKeyCode);
    if (core::hotkeyId != 0) {
        ui::showMessageBox("热键：‘" + ui::getText(kMain, "编辑框_热键1") + "’注册成功！", ui::kMbIconInfo,
                           "信息：");
    }
    writeSetting("全局热键", "呼出热键", ui::getText(kMain, "编辑框_热键1"));
}

void onHotkeyFired(int id) {
    if (id != core::hotkeyId) return;
    if (ui::getInt(kMain, "", "windowState") == 0) {
        ui::setInt(kMain, "", "windowState", 2);
    } else {
        restoreMainWindow();
    }
}

void bindHotkeyHandlers() {
    ui::bindHandler("onHotkeyKeyDown", ui::Handler([](const ui::EventArgs& a) {
                        onHotkeyKeyDown(static_cast<int>(a.a), static_cast<int>(a.b));
                        return true;
                    }));
    ui::bindHandler("onHotkeyKeyUp", std::function<void()>(onHotkeyKeyUp));
    ui::bindHandler("onRegisterHotkey", std::function<void()>(onRegisterHotkey));
    ui::bindHandler("onHotkeyFired", ui::Handler([](const ui::EventArgs& a) {
                        onHotkeyFired(static_cast<int>(a.a));
                        return true;
                    }));
}

}  // namespace shell
