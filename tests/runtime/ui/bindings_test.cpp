// Every event binding of the five windows reaches its handler when the input behind it is
// simulated on the real widget: clicks, double-clicks, right clicks, mouse moves, focus changes,
// keys, wheel turns, tab clicks, typing, up-down arrows, calendar and grid clicks, menu items.
#include <QAbstractItemView>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include "runtime/store/store.h"
#include "runtime/ui/widgets/month_calendar.h"
#include "runtime/ui/widgets/table_view.h"
#include "runtime/ui/widgets/week_grid.h"
#include "support/ui_test_support.h"

namespace uitest {
namespace {

using ui::ControlKind;
namespace ev = ui::event;

class BindingsTest : public UiTest {};

void sendWheel(QWidget* w, int angle) {
    const QPointF pos = w->rect().center();
    QWheelEvent e(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

void sendMove(QWidget* w) {
    const QPointF pos(3, 3);
    QMouseEvent e(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// Performs what a user does to raise `event` on the control.
void simulate(const char* window, const ui::ControlDef& c, int event) {
    reveal(window, c.name);
    QWidget* w = widget(window, c.name);
    ASSERT_NE(w, nullptr);
    switch (c.kind) {
        case ControlKind::TabControl: {
            auto* bar = w->findChild<QTabBar*>("tabs");
            const int other = bar->currentIndex() == 1 ? 0 : 1;
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(other).center());
            return;
        }
        case ControlKind::MonthCalendar: {
            auto* cal = static_cast<runtime::ui::widgets::MonthCalendar*>(w);
            if (event == ev::kChanged) {
                ASSERT_TRUE(cal->setDate(runtime::makeDate(2024, 3, 15)));
                QTest::mouseClick(cal, Qt::LeftButton, {}, cal->cellRect(2, 2).center());
            } else if (event == ev::kWheel) {
                sendWheel(cal, 120);
            } else if (event == ev::kCalendar3) {
                QTest::mousePress(cal, Qt::RightButton, {}, cal->rect().center());
            }
            return;
        }
        case ControlKind::WeekGrid: {
            auto* grid = static_cast<runtime::ui::widgets::WeekGrid*>(w);
            if (event == ev::kCellClicked)
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->cellRect(2, 1).center());
            else
                QTest::mousePress(grid->viewport(), Qt::RightButton, {}, grid->cellRect(2, 1).center());
            return;
        }
        case ControlKind::DbTableView: {
            auto* view = static_cast<runtime::ui::widgets::TableView*>(w);
            if (event == ev::kRightDown) {
                QTest::mousePress(view->viewport(), Qt::RightButton, {}, QPoint(20, 20));
            } else {
                ASSERT_GE(view->model()->rowCount(), 2) << "bind a table to the view first";
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                                  view->visualRect(view->model()->index(1, 1)).center());
            }
            return;
        }
        case ControlKind::ListBox: {
            auto* list = static_cast<QListWidget*>(w);
            ui::addListItem(window, c.name, "一", 1);
            ui::addListItem(window, c.name, "二", 2);
            const QPoint at = list->visualItemRect(list->item(1)).center();
            if (event == ev::kRightDown) {
                QTest::mousePress(list->viewport(), Qt::RightButton, {}, at);
            } else if (event == ev::kItemDoubleClick) {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
                QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            } else {
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            }
            return;
        }
        case ControlKind::EditBox:
            if (event == ev::kChanged && c.upDown) {
                // The box cannot be typed into; its arrows step it. One of them moves it.
                QWidget* arrows =
                    w->parentWidget()->findChild<QWidget*>(QString::fromUtf8(c.name) + "_updown");
                ASSERT_NE(arrows, nullptr);
                QTest::mouseClick(arrows->findChild<QToolButton*>("down"), Qt::LeftButton);
                return;
            }
            if (event == ev::kChanged) {
                QWidget* target = w;
                target->setFocus();
                QTest::keyClicks(target, "7");
                return;
            }
            break;
        default: break;
    }
    switch (event) {
        case ev::kLeftDown: QTest::mousePress(w, Qt::LeftButton); return;
        case ev::kRightDown: QTest::mousePress(w, Qt::RightButton); return;
        case ev::kDoubleClick: QTest::mouseDClick(w, Qt::LeftButton); return;
        case ev::kMouseMove: sendMove(w); return;
        case ev::kKeyDown: QTest::keyPress(w, Qt::Key_A); return;
        case ev::kKeyUp: QTest::keyRelease(w, Qt::Key_A); return;
        case ev::kWheel: sendWheel(w, 120); return;
        case ev::kGotFocus:
        case ev::kLostFocus: {
            QWidget* other = widget(window, "编辑框备忘便签");
            QWidget* top = w->window();
            QApplication::setActiveWindow(top);
            // Focus goes away first, so that giving it and taking it both happen.
            if (event == ev::kGotFocus) {
                w->clearFocus();
                w->setFocus(Qt::MouseFocusReason);
            } else {
                w->setFocus(Qt::MouseFocusReason);
                (other && other != w ? other : top)->setFocus(Qt::MouseFocusReason);
            }
            return;
        }
        case ev::kClicked: QTest::mouseClick(w, Qt::LeftButton); return;
        default: FAIL() << "no simulation for event " << event;
    }
}

std::string bindingName(const std::string& w, const ui::ControlDef& c, const ui::EventBinding& b) {
    return w + "/" + c.name + "/" + std::to_string(b.event) + " " + b.handler;
}

TEST_F(BindingsTest, EveryControlBindingReachesItsHandler) {
    // A contacts table, so that the table view has cells to click.
    QTemporaryDir dir;
    const std::string path = dir.filePath("lxr35.edb").toStdString();
    ASSERT_TRUE(runtime::store::createTable(path, {{"姓名", runtime::store::FieldType::Text, 10},
                                                   {"电话", runtime::store::FieldType::Text, 15}}));
    ASSERT_TRUE(runtime::store::openDatabase(path));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(runtime::store::addRecord({std::string("张三"), std::string("123")}));

    for (const ui::WindowDef* wd : forms::allWindows()) {
        ASSERT_TRUE(ui::loadWindow(wd->name));
        ui::setProperty(wd->name, "数据库提供者_联系人", "file", path);
        for (const ui::ControlDef& c : wd->controls) {
            for (const ui::EventBinding& b : c.events) {
                if (!b.handler) continue;
                const std::string name = bindingName(wd->name, c, b);
                SCOPED_TRACE(name);
                if (c.kind == ControlKind::Label) {
                    // The hotkey feedback label is reached by the hotkey service's press only.
                    record(b.handler);
                    EXPECT_TRUE(ui::raiseEvent(wd->name, c.name, b.event, {33001, 0, 0}));
                    ASSERT_EQ(calls().size(), 1u);
                    EXPECT_EQ(calls()[0].args.a, 33001);
                    calls().clear();
                    continue;
                }
                record(b.handler);
                simulate(wd->name, c, b.event);
                int reached = 0;
                for (const Call& call : calls()) reached += call.handler == b.handler;
                EXPECT_GE(reached, 1) << "handler not reached";
                ui::bindHandler(b.handler, ui::Handler{});
                calls().clear();
            }
        }
        ui::destroyUnit(wd->name);
    }
    runtime::store::closeAllDatabases();
}

TEST_F(BindingsTest, EveryMenuItemReachesItsHandler) {
    ASSERT_TRUE(ui::loadWindow("MainWindow"));
    for (const ui::MenuDef& m : forms::kMainWindow.menus) {
        for (const ui::MenuItemDef& item : m.items) {
            if (!item.caption || !item.handler) continue;
            SCOPED_TRACE(item.caption);
            record(item.handler);
            ui::pushMenuAnswer(item.caption);
            ui::popupMenu("MainWindow", m.name);
            ASSERT_EQ(names(), std::vector<std::string>{item.handler});
            calls().clear();
        }
    }
    // Each pop-up was shown under its own name.
    const auto shown = ui::shownDialogs();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front().kind, ui::DialogKind::PopupMenu);
    EXPECT_EQ(shown.front().text, "周期性右键菜单");
}

TEST_F(BindingsTest, RealPopupMenuDeliversTheItemChosenWithTheMouse) {
    ui::useScriptedDialogs(false);
    ASSERT_TRUE(ui::loadWindow("MainWindow"));
    reveal("MainWindow", "");
    record("onRefreshWeekViewMenu");
    QTimer::singleShot(50, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        QAction* item = menu->actions().value(0);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    });
    ui::popupMenu("MainWindow", "同步周历库");
    ui::useScriptedDialogs(true);
    EXPECT_EQ(names(), std::vector<std::string>{"onRefreshWeekViewMenu"});
}

TEST_F(BindingsTest, WindowEventsReachTheirHandlers) {
    for (const char* h : {"onMainWindowCreated", "onMainWindowStateChanged", "onMainWindowCloseRequest",
                          "onMainWindowDestroy", "onTrayEvent", "onTopBarClicked"})
        record(h);
    ASSERT_TRUE(ui::loadWindow("MainWindow"));
    EXPECT_EQ(names(), (std::vector<std::string>{"onMainWindowCreated", "onMainWindowStateChanged"}));

    // The tray icon's action arrives as the window's event 9.
    calls().clear();
    ui::raiseEvent("MainWindow", "", ev::kTray, {3, 0, 0});
    ASSERT_EQ(names(), std::vector<std::string>{"onTrayEvent"});
    EXPECT_EQ(calls()[0].args.a, 3);

    calls().clear();
    ui::findWindowWidget("MainWindow")->close();
    EXPECT_EQ(names(), (std::vector<std::string>{"onMainWindowCloseRequest", "onMainWindowDestroy"}));
    EXPECT_FALSE(ui::isWindowLoaded("MainWindow"));

    ASSERT_TRUE(ui::loadWindow("TopEdgeBarWindow"));
    ui::setBool("TopEdgeBarWindow", "", "visible", true);
    calls().clear();
    QTest::mousePress(ui::findWindowWidget("TopEdgeBarWindow"), Qt::LeftButton);
    EXPECT_EQ(names(), std::vector<std::string>{"onTopBarClicked"});
}

}  // namespace
}  // namespace uitest

namespace uitest {
namespace {

TEST_F(BindingsTest, GridCellClickAfterScrollingReachesItsHandler) {
    ASSERT_TRUE(ui::loadWindow("MainWindow"));
    record("onWeekGridCellSelected");
    ui::setInt("MainWindow", "高级表格_周历", "rowCount", 8);
    for (int r = 0; r < 8; ++r) ui::setGridRowHeight("MainWindow", "高级表格_周历", r, 100);
    ui::setInt("MainWindow", "选择夹_视图", "page", 1);
    auto* grid = static_cast<runtime::ui::widgets::WeekGrid*>(widget("MainWindow", "高级表格_周历"));
    grid->setFocusCell(2, 3);
    const QRect rect = grid->cellRect(2, 3);
    ASSERT_FALSE(rect.isEmpty());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_EQ(names(), std::vector<std::string>{"onWeekGridCellSelected"});
    EXPECT_EQ(calls()[0].args.a, 2);
    EXPECT_EQ(ui::getGridCursorRow("MainWindow", "高级表格_周历"), 2);
}

}  // namespace
}  // namespace uitest
