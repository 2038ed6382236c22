#include "shell/minimise.h"

#include "core/globals.h"
#include "runtime/ui/ui.h"
#include "shell/lifecycle.h"
#include "shell/pictures.h"

namespace shell {

namespace ui = runtime::ui;

namespace {

constexpr const char* kMain = "MainWindow";
constexpr const char* kBar = "TopEdgeBarWindow";
constexpr const char* kTrayTooltip = "Quillarbor V3.5.1.0";

void showTopBar() {
    ui::loadWindow(kBar);
    ui::setInt(kBar, "", "top", 0);
    ui::setInt(kBar, "", "left", 800);
    ui::setBool(kBar, "", "visible", true);
}

void bringMainWindowBack() {
    ui::showWindow(ui::getWindowHandle(kMain), 9);
    ui::setForegroundWindow(ui::getWindowHandle(kMain));
}

}  // namespace

void onMainWindowStateChanged() {
    if (ui::getInt(kMain, "", "windowState") == 2) {
        // A desktop without a notification area would leave the window hidden with no way back
        // but the hotkey: the bar takes the icon's place there.
        if (core::minimiseMode != "0" || !ui::setTrayIcon(kMain, defaultPicture("tray.png"), kTrayTooltip))
            showTopBar();
        ui::setBool(kMain, "", "visible", false);
    } else if (core::minimiseMode == "0") {
        ui::setTrayIcon(kMain, {});
        if (ui::isWindowLoaded(kBar)) ui::setBool(kBar, "", "visible", false);
    } else {
        ui::loadWindow(kBar);
        ui::setBool(kBar, "", "visible", false);
    }
}

void onTrayEvent(int action) {
    if (action == 1 || action == 2) {
        restoreMainWindow();
    } else if (action == 3) {
        ui::popupMenu(kMain, "托盘菜单");
    }
}

void restoreMainWindow() {
    bringMainWindowBack();
    ui::setTrayIcon(kMain, {});
}

void onTopBarClicked() {
    ui::setBool(kBar, "", "visible", false);
    ui::setBool(kMain, "", "visible", true);
    bringMainWindowBack();
}

void bindMinimiseHandlers() {
    ui::bindHandler("onMainWindowStateChanged", std::function<void()>(onMainWindowStateChanged));
    ui::bindHandler("onTrayEvent", ui::Handler([](const ui::EventArgs& a) {
                        onTrayEvent(static_cast<int>(a.a));
                        return true;
                    }));
    ui::bindHandler("restoreMainWindow", std::function<void()>(restoreMainWindow));
    ui::bindHandler("onTopBarClicked", std::function<void()>(onTopBarClicked));
}

}  // namespace shell
