#include "shell/lifecycle.h"

#include <utility>

#include "core/globals.h"
#include "core/opening.h"
#include "runtime/base/files.h"
#include "runtime/base/ini.h"
#include "runtime/base/instance.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"
#include "shell/hotkey.h"
#include "shell/minimise.h"
#include "shell/pictures.h"
#include "shell/protection.h"
#include "shell/settings.h"

namespace shell {

namespace ui = runtime::ui;

void ensureSingleInstance() {
    std::string place;
    switch (runtime::acquireNamedLock("quillarborv35", core::programPath("/data"), place)) {
        case runtime::NamedLock::HeldElsewhere:
            ui::showMessageBox("不要重复运行本程序，否则可能损坏数据库!", ui::kMbIconWarning, "警告！");
            ui::endProgram(0);
            break;
        case runtime::NamedLock::ForeignPlace:
            // Whoever owns the place could hold the guard for us, and a second instance would
            // then start unwarned: no start is safer than that.
            ui::showMessageBox("用于防止重复运行的文件夹不属于当前用户，或者其他用户也可以写入：" + place +
                                   "\n无法确认本程序是否已在运行。为防止损坏数据库，程序将退出。",
                               ui::kMbIconWarning, "警告！");
            ui::endProgram(0);
            break;
        case runtime::NamedLock::Acquired:
        case runtime::NamedLock::Unavailable:
            // A guard that cannot be made is not examined: the program goes on without it.
            break;
    }
}

namespace {
// Whole-file writes killed midway leave their temporary files, and the table store's interrupted
// operations their journals and half-built tables. Only names of their patterns go, and only in
// our own folders: the program folder may be any folder of the user's, so there only the settings
// file's.
void removeLeftOverTemporaries() {
    const std::string data = core::programPath("/data");
    const std::string temp = runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp);
    runtime::removeStaleWriteTemporaries(core::programPath(""), {"config.ini"});
    runtime::removeStaleWriteTemporaries(data);
    runtime::removeStaleWriteTemporaries(core::programPath("/pic"));
    runtime::removeStaleWriteTemporaries(temp);
    runtime::store::removeInterruptedLeftovers(data);
    runtime::store::removeInterruptedLeftovers(temp);
}

DayViews& dayViews() {
    static DayViews views;
    return views;
}

// A view not handed over (a shell without the calendar) is left out.
void showChosenDay() {
    if (dayViews().showChosenDay) dayViews().showChosenDay();
}
void rebuildWeekView() {
    if (dayViews().rebuildWeekView) dayViews().rebuildWeekView();
}

}  // namespace

void registerDayViews(DayViews views) { dayViews() = std::move(views); }

void onMainWindowCreated() {
    core::closeAllTables();
    ensureSingleInstance();
    removeLeftOverTemporaries();
    core::createMissingDataFiles();
    core::detectEncryption();
    if (core::storesDisagreeOnProtection()) {
        // Not all four are protected, whatever the diary says: ticking the box protects them all.
        core::openTablesOfMixedProtection();
        ui::setBool("MainWindow", "选择框_加密", "checked", false);
        ui::setText("MainWindow", "标签_加密状态", "未加密");
    } else if (core::encryptedFlag) {
        core::openTablesWithPassword();
        ui::setBool("MainWindow", "选择框_加密", "checked", true);
        ui::setText("MainWindow", "标签_加密状态", "已加密");
    } else {
        core::openTables();
        ui::setBool("MainWindow", "选择框_加密", "checked", false);
        ui::setText("MainWindow", "标签_加密状态", "未加密");
    }
    core::bindDataProviders();
    ui::setDate("MainWindow", "月历", runtime::getCurrentDateTime());
    showChosenDay();
    rebuildWeekView();
    ui::setDate("MainWindow", "月历", runtime::getCurrentDateTime());
    showChosenDay();
    ui::setInt("MainWindow", "选择夹右侧", "page", 0);
    ui::setInt("MainWindow", "选择夹_左侧", "page", 0);
    loadSettings();
}

bool onMainWindowCloseRequest() {
    if (ui::showMessageBox("确认要退出程序？", ui::kMbOkCancel, "询问：") == ui::kIdOk) ui::endProgram(0);
    return false;
}

void onTrayMenuExit() {
    if (ui::showMessageBox("确认要退出程序？", ui::kMbOkCancel, "询问：") == ui::kIdOk) {
        ui::setTrayIcon("MainWindow", {});
        ui::endProgram(0);
    }
}

void onMainWindowDestroy() {
    runtime::writeIniText(core::programPath("/config.ini"), "表格缩放", "缩放比",
                          ui::getText("MainWindow", "编辑框2"));
    runtime::store::closeAllDatabases();
}

void bindShellHandlers() {
    ui::bindHandler("onMainWindowCreated", std::function<void()>(onMainWindowCreated));
    ui::bindHandler("onMainWindowCloseRequest",
                    ui::Handler([](const ui::EventArgs&) { return onMainWindowCloseRequest(); }));
    ui::bindHandler("onTrayMenuExit", std::function<void()>(onTrayMenuExit));
    ui::bindHandler("onMainWindowDestroy", std::function<void()>(onMainWindowDestroy));
    bindSettingsHandlers();
    bindPictureHandlers();
    bindHotkeyHandlers();
    bindMinimiseHandlers();
    ui::bindHandler("onEncryptCheckClicked", std::function<void()>(onEncryptCheckClicked));
}

}  // namespace shell
