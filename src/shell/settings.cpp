#include "shell/settings.h"

#include "core/globals.h"
#include "runtime/base/files.h"
#include "runtime/base/ini.h"
#include "runtime/base/number.h"
#include "runtime/ui/ui.h"
#include "shell/pictures.h"

namespace shell {

namespace ui = runtime::ui;

namespace {

constexpr const char* kMain = "MainWindow";

void applyZoom() {
    // The content is read anew for each view, as the views are set one after the other.
    for (const char* view : {"表格_人脉", "表格_日志一览", "表格_周期事项一览"}) {
        ui::setInt(kMain, view, "zoom", runtime::toInteger(ui::getText(kMain, "编辑框2")));
    }
}

void applyRowHeight() {
    for (int row = 1; row <= 7; ++row) {
        ui::setGridRowHeight(kMain, "高级表格_周历", row,
                             runtime::toHeldInteger(ui::getText(kMain, "编辑框3")));
    }
}

void checkOption(const char* radio) { ui::setBool(kMain, radio, "checked", true); }

}  // namespace

std::string configPath() { return core::programPath("/config.ini"); }

std::string readSetting(std::string_view section, std::string_view key, std::string_view defaultValue) {
    return runtime::readIniText(configPath(), section, key, defaultValue);
}

void writeSetting(std::string_view section, std::string_view key, std::string_view value) {
    // A failed write is not reported: the setting simply does not survive the run.
    runtime::writeIniText(configPath(), section, key, value);
}

void loadSettings() {
    ui::setText(kMain, "编辑框_热键1", readSetting("全局热键", "呼出热键"));
    core::hotkeyModifiers = runtime::toInteger(readSetting("全局热键", "功能键1"));
    core::hotkeyKeyCode = runtime::toInteger(readSetting("全局热键", "主热键1"));
    ui::unregisterGlobalHotkey(ui::getWindowHandle(kMain), core::hotkeyId);
    core::hotkeyId =
        ui::registerGlobalHotkey(ui::getWindowHandle(kMain), ui::getWindowHandle(kMain, "标签_热键反馈1"),
                                 core::hotkeyModifiers, core::hotkeyKeyCode);

    if (readSetting("默认视图", "左侧") == "0") {
        ui::setInt(kMain, "选择夹_视图", "page", 0);
        checkOption("单选框_月视图");
    } else {
        ui::setInt(kMain, "选择夹_视图", "page", 1);
        checkOption("单选框_周视图");
    }

    std::string right = readSetting("默认视图", "右侧");
    struct Page {
        const char* value;
        int page;
        const char* radio;
    };
    static constexpr Page kPages[] = {
        {"0", 0, "单选框_日志"}, {"1", 1, "单选框_总览"}, {"2", 2, "单选框_便签"}};
    int page = 3;
    const char* radio = "单选框_联系人";
    for (const Page& p : kPages) {
        if (right == p.value) page = p.page, radio = p.radio;
    }
    ui::setInt(kMain, "选择夹右侧", "page", page);
    checkOption(radio);

    // These writes raise the boxes' content-changed handlers, which write the keys back.
    ui::setText(kMain, "编辑框2", readSetting("表格缩放", "缩放比", "100"));
    applyZoom();
    ui::setText(kMain, "编辑框3", readSetting("周历行高", "行高", "33"));
    applyRowHeight();
    ui::setGridCursor(kMain, "高级表格_周历", 4, 2);

    writeMissingDefaultPictures();
    showTitlePictures();

    core::minimiseMode = readSetting("最小化方式", "最小化方式", "0");
    checkOption(core::minimiseMode == "0" ? "单选框_托盘图标" : "单选框_屏幕上端");
}

void onMonthViewOptionClicked() { writeSetting("默认视图", "左侧", "0"); }
void onWeekViewOptionClicked() { writeSetting("默认视图", "左侧", "1"); }
void onTodayOptionClicked() { writeSetting("默认视图", "右侧", "0"); }
void onOverviewOptionClicked() { writeSetting("默认视图", "右侧", "1"); }
void onMemoOptionClicked() { writeSetting("默认视图", "右侧", "2"); }
void onContactsOptionClicked() { writeSetting("默认视图", "右侧", "3"); }
void onTrayOptionClicked() { writeSetting("最小化方式", "最小化方式", "0"); }
void onScreenTopOptionClicked() { writeSetting("最小化方式", "最小化方式", "1"); }
void onZoomEdited() { writeSetting("表格缩放", "缩放比", ui::getText(kMain, "编辑框2")); }
void onApplyZoom() {
    onZoomEdited();
    applyZoom();
}
void onWeekRowHeightEdited() { writeSetting("周历行高", "行高", ui::getText(kMain, "编辑框3")); }
void onApplyRowHeight() {
    onWeekRowHeightEdited();
    applyRowHeight();
}

void bindSettingsHandlers() {
    struct Binding {
        const char* name;
        void (*fn)();
    };
    static constexpr Binding kBindings[] = {
        {"onMonthViewOptionClicked", onMonthViewOptionClicked},
        {"onWeekViewOptionClicked", onWeekViewOptionClicked},
        {"onTodayOptionClicked", onTodayOptionClicked},
        {"onOverviewOptionClicked", onOverviewOptionClicked},
        {"onMemoOptionClicked", onMemoOptionClicked},
        {"onContactsOptionClicked", onContactsOptionClicked},
        {"onTrayOptionClicked", onTrayOptionClicked},
        {"onScreenTopOptionClicked", onScreenTopOptionClicked},
        {"onZoomEdited", onZoomEdited},
        {"onApplyZoom", onApplyZoom},
        {"onWeekRowHeightEdited", onWeekRowHeightEdited},
        {"onApplyRowHeight", onApplyRowHeight},
    };
    for (const Binding& b : kBindings) ui::bindHandler(b.name, std::function<void()>(b.fn));
}

}  // namespace shell
