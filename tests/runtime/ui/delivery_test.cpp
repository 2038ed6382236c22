// Event delivery: the order of events that the program's own operations raise (nested inside
// them), the window lifecycle (load, modal load, reload, close request, deferred destroy), and
// the end of the program.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QWindow>

#include "runtime/ui/widgets/tray.h"
#include "support/ui_test_support.h"

namespace uitest {
namespace {

namespace ev = ui::event;
const char* const W = "MainWindow";

class DeliveryTest : public UiTest {};

TEST_F(DeliveryTest, ProgramWritesRaiseTheirEventsNestedAndOnce) {
    ASSERT_TRUE(ui::loadWindow(W));
    std::vector<std::string> order;
    ui::bindHandler("onDiaryTextChanged", ui::Handler([&](const ui::EventArgs&) {
                        order.push_back("changed:" + ui::getText(W, "编辑框_本日志"));
                        return true;
                    }));
    ui::bindHandler("onRightTabChanged", ui::Handler([&](const ui::EventArgs&) {
                        order.push_back("page:" + std::to_string(ui::getInt(W, "选择夹右侧", "page")));
                        // A write inside a handler runs its own event nested, before it returns.
                        order.push_back("write");
                        ui::setText(W, "编辑框_本日志", "嵌套");
                        order.push_back("written");
                        return true;
                    }));
    ui::setText(W, "编辑框_本日志", "第一行");
    EXPECT_EQ(order, (std::vector<std::string>{"changed:第一行"}));

    order.clear();
    ui::setText(W, "编辑框_本日志", "第一行");  // the same text still counts as a write
    EXPECT_EQ(order, (std::vector<std::string>{"changed:第一行"}));

    order.clear();
    ui::setInt(W, "选择夹右侧", "page", 2);
    order.push_back("after");
    EXPECT_EQ(order, (std::vector<std::string>{"page:2", "write", "changed:嵌套", "written", "after"}));

    order.clear();
    ui::setInt(W, "选择夹右侧", "page", 2);  // already there: nothing changes, nothing raised
    ui::setInt(W, "选择夹右侧", "page", 9);  // no such page: refused
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(ui::getInt(W, "选择夹右侧", "page"), 2);
}

TEST_F(DeliveryTest, ChecksSelectionsAndCalendarDatesFromTheProgramRaiseNothing) {
    ASSERT_TRUE(ui::loadWindow(W));
    for (const char* h : {"onMonthViewOptionClicked", "onWeekViewOptionClicked", "onEncryptCheckClicked",
                          "onDiaryResultSelected", "onCalendarDateChanged"})
        record(h);
    ui::setBool(W, "单选框_月视图", "checked", true);
    ui::setBool(W, "单选框_周视图", "checked", true);
    EXPECT_FALSE(ui::getBool(W, "单选框_月视图", "checked")) << "one of a group";
    ui::setBool(W, "单选框_周视图", "checked", false);
    EXPECT_FALSE(ui::getBool(W, "单选框_周视图", "checked")) << "the program may uncheck the last one";
    ui::setBool(W, "选择框_加密", "checked", true);
    ui::addListItem(W, "列表框_日志搜索结果", "2024年3月5日", 7);
    ui::setInt(W, "列表框_日志搜索结果", "selection", 0);
    EXPECT_EQ(ui::getInt(W, "列表框_日志搜索结果", "selection"), 0);
    ui::setDate(W, "月历", runtime::makeDate(2024, 3, 5));
    EXPECT_EQ(ui::getDate(W, "月历"), runtime::makeDate(2024, 3, 5));
    EXPECT_TRUE(calls().empty());
    // Outside the calendar's years the date is refused and kept.
    EXPECT_FALSE(ui::setProperty(W, "月历", "date", runtime::makeDate(2050, 1, 1)));
    EXPECT_EQ(ui::getDate(W, "月历"), runtime::makeDate(2024, 3, 5));
}

TEST_F(DeliveryTest, MinimiseAndRestoreRaiseSizeChangedNested) {
    std::vector<int64_t> states;
    ui::bindHandler("onMainWindowStateChanged", ui::Handler([&](const ui::EventArgs&) {
                        states.push_back(ui::getInt(W, "", "windowState"));
                        if (states.back() == 2)
                            ui::setBool(W, "", "visible", false);  // hide, as the tray mode does
                        return true;
                    }));
    ASSERT_TRUE(ui::loadWindow(W));
    EXPECT_EQ(states, std::vector<int64_t>{0});
    ui::setInt(W, "", "windowState", 2);
    EXPECT_EQ(states, (std::vector<int64_t>{0, 2}));
    EXPECT_FALSE(ui::getBool(W, "", "visible"));

    ui::showWindow(ui::getWindowHandle(W), 9);
    EXPECT_EQ(states, (std::vector<int64_t>{0, 2, 0}));
    EXPECT_TRUE(ui::getBool(W, "", "visible"));

    // Loading a minimised window restores it instead of creating another.
    ui::setInt(W, "", "windowState", 2);
    ASSERT_TRUE(ui::loadWindow(W));
    EXPECT_EQ(states, (std::vector<int64_t>{0, 2, 0, 2, 0}));
}

TEST_F(DeliveryTest, LoadRunsCreatedThenSizeChangedAndReloadCreatesNothing) {
    record("onMainWindowCreated");
    record("onMainWindowStateChanged");
    record("onEditPeriodicWindowCreated");
    ASSERT_TRUE(ui::loadWindow(W));
    ASSERT_TRUE(ui::loadWindow(W));
    EXPECT_EQ(names(), (std::vector<std::string>{"onMainWindowCreated", "onMainWindowStateChanged"}));
    EXPECT_FALSE(ui::loadWindow("NoSuchWindow"));
    ASSERT_TRUE(ui::loadWindow("EditPeriodicItemWindow", W, true));
    EXPECT_EQ(names().back(), "onEditPeriodicWindowCreated");
}

TEST_F(DeliveryTest, ModalLoadReturnsAtOnceAndDisablesTheOtherWindowsUntilItCloses) {
    ASSERT_TRUE(ui::loadWindow(W));
    ASSERT_TRUE(ui::loadWindow("TopEdgeBarWindow"));
    bool returned = false;
    ui::bindHandler("onImportContactsButton", [&] {
        ui::loadWindow("ImportContactsWindow", W, true);
        returned = true;
        ui::setInt(W, "选择夹右侧", "page", 3);  // the caller carries on
    });
    QTest::mouseClick(widget(W, "按钮_导入联系人"), Qt::LeftButton);
    EXPECT_TRUE(returned);
    EXPECT_TRUE(ui::isWindowLoaded("ImportContactsWindow"));
    EXPECT_EQ(ui::getInt(W, "选择夹右侧", "page"), 3);
    EXPECT_FALSE(ui::getBool(W, "", "enabled"));
    // A window hidden when the modal window opened (the bar) is a way back to the main window.
    EXPECT_TRUE(ui::getBool("TopEdgeBarWindow", "", "enabled"));
    EXPECT_TRUE(ui::getBool("ImportContactsWindow", "", "enabled"));

    // The modal window is owned by the window named as its parent, natively, so that the window
    // manager keeps it above.
    QWindow* modal = widget("ImportContactsWindow", "")->windowHandle();
    ASSERT_NE(modal, nullptr);
    EXPECT_EQ(modal->transientParent(), widget(W, "")->windowHandle());

    // A click on the disabled main window reaches nothing, and neither does its close request.
    record("onAllContactsButton");
    record("onMainWindowCloseRequest", false);
    QTest::mouseClick(widget(W, "按钮_all"), Qt::LeftButton);
    widget(W, "")->close();
    EXPECT_TRUE(calls().empty());
    // Its tray icon is a way back to it, and the program's hiding and showing of the main window
    // takes the modal window along.
    record("onTrayEvent");
    ui::setTrayIcon(W, "icon");
    auto* icon = widget(W, "")->findChild<runtime::ui::widgets::TrayIcon*>();
    ASSERT_NE(icon, nullptr);
    emit icon->activated(1);
    EXPECT_EQ(names(), std::vector<std::string>{"onTrayEvent"});
    ui::setBool(W, "", "visible", false);
    EXPECT_FALSE(ui::getBool("ImportContactsWindow", "", "visible"));
    ui::setBool(W, "", "visible", true);
    EXPECT_TRUE(ui::getBool("ImportContactsWindow", "", "visible"));
    EXPECT_TRUE(ui::isWindowLoaded("ImportContactsWindow"));
    calls().clear();

    ui::bindHandler("onImportQuit", [] { ui::destroyUnit("ImportContactsWindow"); });
    QTest::mouseClick(widget("ImportContactsWindow", "按钮_退出"), Qt::LeftButton);
    EXPECT_FALSE(ui::isWindowLoaded("ImportContactsWindow"));
    EXPECT_TRUE(ui::getBool(W, "", "enabled"));
    EXPECT_TRUE(ui::getBool("TopEdgeBarWindow", "", "enabled"));
    widget(W, "")->close();
    EXPECT_EQ(names(), std::vector<std::string>{"onMainWindowCloseRequest"});
}

TEST_F(DeliveryTest, MouseInputOnADisabledWindowRaisesNothing) {
    ASSERT_TRUE(ui::loadWindow(W));
    reveal(W, "列表框_周期事项");
    QListWidget* list = widgetAs<QListWidget>(W, "列表框_周期事项");
    ASSERT_NE(list, nullptr);
    // The right-button handler opens a modal window at once, as a menu item that loads one
    // does: the press that raised it must not reach the now disabled list a second time.
    int rightDowns = 0;
    ui::bindHandler("onPeriodicListRightButton", [&] {
        ++rightDowns;
        ui::loadWindow("NewPeriodicItemWindow", W, true);
    });
    record("onPeriodicListEvent1");
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_EQ(rightDowns, 1);
    ASSERT_FALSE(ui::getBool(W, "", "enabled"));

    // While the modal window is open, presses on the main window's controls raise nothing.
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, QPoint(30, 30));
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, QPoint(30, 30));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(rightDowns, 1);
    EXPECT_TRUE(calls().empty());

    ui::destroyUnit("NewPeriodicItemWindow");
    flushDeletes();
    ASSERT_TRUE(ui::getBool(W, "", "enabled"));
    ui::bindHandler("onPeriodicListRightButton", [&] { ++rightDowns; });
    QTest::mousePress(list->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    QTest::mouseRelease(list->viewport(), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_EQ(rightDowns, 2) << "enabled again, the list raises its event once per press";
}

TEST_F(DeliveryTest, DestroyUnitWaitsForTheRunningHandler) {
    ASSERT_TRUE(ui::loadWindow("NewPeriodicItemWindow"));
    std::vector<std::string> order;
    ui::bindHandler("onAddPeriodicCancel", [&] {
        ui::destroyUnit("NewPeriodicItemWindow");
        order.push_back(ui::isWindowLoaded("NewPeriodicItemWindow") ? "still loaded" : "gone");
        ui::setText("NewPeriodicItemWindow", "编辑框提醒内容", "仍可写");
        order.push_back(ui::getText("NewPeriodicItemWindow", "编辑框提醒内容"));
    });
    ui::setBool("NewPeriodicItemWindow", "", "visible", true);
    QTest::mouseClick(widget("NewPeriodicItemWindow", "按钮周期事项取消"), Qt::LeftButton);
    EXPECT_EQ(order, (std::vector<std::string>{"still loaded", "仍可写"}));
    EXPECT_FALSE(ui::isWindowLoaded("NewPeriodicItemWindow"));

    // A new load starts from the definition again.
    ASSERT_TRUE(ui::loadWindow("NewPeriodicItemWindow"));
    EXPECT_EQ(ui::getText("NewPeriodicItemWindow", "编辑框提醒内容"), "");
}

TEST_F(DeliveryTest, CloseRequestAnsweredNoKeepsTheWindowOpen) {
    ASSERT_TRUE(ui::loadWindow(W));
    record("onMainWindowCloseRequest", false);
    record("onMainWindowDestroy");
    ui::findWindowWidget(W)->close();
    EXPECT_EQ(names(), std::vector<std::string>{"onMainWindowCloseRequest"});
    EXPECT_TRUE(ui::isWindowLoaded(W));
    EXPECT_TRUE(ui::getBool(W, "", "visible"));
}

TEST_F(DeliveryTest, EndProgramStopsDeliveryRunsTheEndRoutineOnceAndRecordsTheCode) {
    ASSERT_TRUE(ui::loadWindow(W));
    std::vector<int> codes;
    int endRoutineRuns = 0;
    ui::setEndProgramHook([&](int code) { codes.push_back(code); });
    ui::setEndRoutine([&] {
        ++endRoutineRuns;
        EXPECT_TRUE(ui::programEnded()) << "delivery stops before the end routine runs";
    });
    bool afterEnd = false;
    ui::bindHandler("onMainWindowCloseRequest", ui::Handler([&](const ui::EventArgs&) {
                        ui::endProgram(0);
                        afterEnd = true;  // never reached: nothing after endProgram runs
                        return true;
                    }));
    record("onMainWindowDestroy");
    record("onAllContactsButton");
    ui::findWindowWidget(W)->close();
    EXPECT_FALSE(afterEnd);
    EXPECT_EQ(codes, std::vector<int>{0});
    EXPECT_EQ(endRoutineRuns, 1);
    EXPECT_TRUE(ui::programEnded());
    EXPECT_TRUE(calls().empty()) << "not even the about-to-be-destroyed handler runs";

    QTest::mouseClick(widget(W, "按钮_all"), Qt::LeftButton);
    EXPECT_TRUE(calls().empty());
    EXPECT_THROW(ui::endProgram(3), ui::ProgramEnded);
    EXPECT_EQ(endRoutineRuns, 1);
    EXPECT_EQ(codes, (std::vector<int>{0, 3}));
}

TEST_F(DeliveryTest, UnboundHandlersAndUnknownNamesDoNothing) {
    ASSERT_TRUE(ui::loadWindow(W));
    QTest::mouseClick(widget(W, "按钮1"), Qt::LeftButton);
    EXPECT_TRUE(ui::raiseEvent(W, "按钮1", ev::kClicked, {}));
    EXPECT_TRUE(ui::raiseEvent(W, "没有这个控件", ev::kClicked, {}));
    EXPECT_TRUE(ui::raiseEvent("NoWindow", "", ev::kCreated, {}));
    EXPECT_FALSE(ui::setProperty(W, "没有这个控件", "text", std::string("x")));
    EXPECT_EQ(ui::getText(W, "没有这个控件"), "");
    EXPECT_EQ(ui::getListItemData(W, "没有这个控件", 0), -1);
    EXPECT_FALSE(ui::setProperty(W, "按钮1", "left", ui::Value{}));
    EXPECT_FALSE(ui::setProperty(W, "按钮1", "noSuchProperty", int64_t(1)));
}

TEST_F(DeliveryTest, HandlesStandForWindowsAndControls) {
    ASSERT_TRUE(ui::loadWindow(W));
    const ui::Handle main = ui::getWindowHandle(W);
    const ui::Handle label = ui::getWindowHandle(W, "标签_热键反馈1");
    EXPECT_NE(main, 0);
    EXPECT_NE(label, main);
    EXPECT_EQ(ui::getWindowHandle(W), main);
    EXPECT_EQ(ui::widgetForHandle(label), widget(W, "标签_热键反馈1"));
    EXPECT_EQ(ui::getWindowHandle("NoWindow"), 0);
    ui::setWindowToolTip(ui::getWindowHandle(W, "图片框_今日"), "双击更换图片", false, true);
    EXPECT_EQ(widget(W, "图片框_今日")->toolTip(), "双击更换图片");

    // Hotkey ids count from 33001, refused calls included.
    const int first = ui::registerGlobalHotkey(main, label, 1, 'Q');
    const int second = ui::registerGlobalHotkey(0, label, 1, 'W');
    EXPECT_EQ(second, 0);
    const int third = ui::registerGlobalHotkey(main, label, 3, 'E');
    if (first != 0) {
        EXPECT_EQ(third, first + 2);
    }
    EXPECT_GE(first == 0 ? 33001 : first, 33001);
    ui::unregisterGlobalHotkey(main, first);
    ui::unregisterGlobalHotkey(main, third);
}

}  // namespace
}  // namespace uitest
