// The five windows as loaded from their definitions: every control exists with its kind, its
// container, its place and its initial state; the window properties, pages, menus and the
// complete table of event bindings are checked against the design's own values.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <set>

#include "support/ui_test_support.h"

namespace uitest {
namespace {

using ui::ControlKind;
namespace ev = ui::event;

class FormsTest : public UiTest {};

// The widget that a control of the definition must sit in.
QWidget* expectedParent(std::string_view window, const ui::ControlDef& def) {
    if (!*def.container) return ui::findWindowWidget(window);
    const ui::ControlDef* container = controlDef(window, def.container);
    QWidget* c = widget(window, def.container);
    if (!container || !c) return nullptr;
    if (container->kind == ControlKind::GroupBox) return c;
    return c->findChild<QWidget*>(QStringLiteral("page%1").arg(def.page), Qt::FindDirectChildrenOnly);
}

TEST_F(FormsTest, DefinitionsAreConsistent) {
    for (const ui::WindowDef* w : forms::allWindows()) {
        std::set<std::string> seen;
        for (const ui::ControlDef& c : w->controls) {
            SCOPED_TRACE(std::string(w->name) + "/" + c.name);
            EXPECT_TRUE(seen.insert(c.name).second) << "duplicate name";
            if (*c.container) {
                ASSERT_TRUE(seen.count(c.container)) << "container must come first";
                const ui::ControlDef* container = controlDef(w->name, c.container);
                ASSERT_TRUE(container->kind == ControlKind::TabControl ||
                            container->kind == ControlKind::GroupBox);
                if (container->kind == ControlKind::TabControl) {
                    EXPECT_LT(c.page, QString::fromUtf8(container->text).split('\n').size());
                }
            }
            if (!ui::isComponentKind(c.kind)) {
                EXPECT_GT(c.width, 0);
                EXPECT_GT(c.height, 0);
            }
        }
    }
}

TEST_F(FormsTest, EveryControlIsBuiltWhereAndAsDefined) {
    for (const ui::WindowDef* w : forms::allWindows()) {
        ASSERT_TRUE(ui::loadWindow(w->name)) << w->name;
        for (const ui::ControlDef& c : w->controls) {
            SCOPED_TRACE(std::string(w->name) + "/" + c.name);
            ui::ControlKind kind{};
            ASSERT_TRUE(ui::findControlKind(w->name, c.name, kind));
            EXPECT_EQ(kind, c.kind);
            QObject* object = ui::findControlObject(w->name, c.name);
            ASSERT_NE(object, nullptr);
            EXPECT_EQ(object->objectName().toStdString(), c.name);
            if (ui::isComponentKind(c.kind)) {
                EXPECT_EQ(widget(w->name, c.name), nullptr) << "components have no screen presence";
                continue;
            }
            QWidget* wd = widget(w->name, c.name);
            ASSERT_NE(wd, nullptr);
            EXPECT_EQ(wd->parentWidget(), expectedParent(w->name, c));
            EXPECT_EQ(wd->geometry(), QRect(c.left, c.top, c.width, c.height));
            EXPECT_EQ(ui::getInt(w->name, c.name, "left"), c.left);
            EXPECT_EQ(ui::getInt(w->name, c.name, "height"), c.height);
            EXPECT_EQ(ui::getBool(w->name, c.name, "visible"), !c.hidden);
            EXPECT_EQ(ui::getBool(w->name, c.name, "enabled"), !c.disabled);
            switch (c.kind) {
                case ControlKind::EditBox:
                case ControlKind::Label:
                case ControlKind::GroupBox:
                case ControlKind::Button:
                case ControlKind::CheckBox:
                case ControlKind::RadioButton:
                case ControlKind::Hyperlink:
                case ControlKind::ComboBox: EXPECT_EQ(ui::getText(w->name, c.name), c.text); break;
                default: break;
            }
            if (c.kind == ControlKind::RadioButton || c.kind == ControlKind::CheckBox) {
                EXPECT_FALSE(ui::getBool(w->name, c.name, "checked"));
            }
            if (c.kind == ControlKind::ListBox || c.kind == ControlKind::CheckListBox) {
                EXPECT_EQ(ui::getListItemCount(w->name, c.name), 0);
                EXPECT_EQ(ui::getInt(w->name, c.name, "selection"), -1);
            }
            if (c.kind == ControlKind::EditBox) {
                EXPECT_EQ(ui::getBool(w->name, c.name, "readOnly"), c.entry == ui::Entry::ReadOnly);
            }
        }
    }
}

TEST_F(FormsTest, MainWindowMatchesTheDesign) {
    ASSERT_TRUE(ui::loadWindow("MainWindow"));
    const char* W = "MainWindow";
    EXPECT_EQ(ui::getText(W, ""), "澄岚手记本-Quillarbor V3.5.1.0");
    EXPECT_EQ(ui::getInt(W, "", "width"), 870);
    EXPECT_EQ(ui::getInt(W, "", "height"), 520);
    EXPECT_TRUE(ui::getBool(W, "", "visible"));
    QWidget* main = ui::findWindowWidget(W);
    EXPECT_TRUE(main->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(main->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(main->minimumSize(), main->maximumSize()) << "fixed-size frame";

    EXPECT_EQ(widget(W, "选择夹右侧")->geometry(), QRect(437, 8, 420, 480));
    EXPECT_EQ(widget(W, "选择夹_左侧")->geometry(), QRect(8, 8, 420, 480));
    auto* right = widget(W, "选择夹右侧")->findChild<QTabBar*>("tabs");
    ASSERT_NE(right, nullptr);
    ASSERT_EQ(right->count(), 4);
    EXPECT_EQ(right->tabText(0), "今日");
    EXPECT_EQ(right->tabText(3), "联系人");
    EXPECT_EQ(right->tabToolTip(2), "与左侧日历无关的常态备忘信息");
    auto* views = widget(W, "选择夹_视图")->findChild<QTabBar*>("tabs");
    EXPECT_EQ(views->tabText(0), "   月历视图  ");
    EXPECT_EQ(views->tabText(1), "   周历视图  ");

    // The calendar and the week grid share one rectangle on different pages.
    EXPECT_EQ(widget(W, "月历")->geometry(), QRect(25, 3, 365, 262));
    EXPECT_EQ(widget(W, "高级表格_周历")->geometry(), widget(W, "月历")->geometry());
    EXPECT_NE(widget(W, "月历")->parentWidget(), widget(W, "高级表格_周历")->parentWidget());
    EXPECT_EQ(ui::getInt(W, "高级表格_周历", "rowCount"), 5);

    EXPECT_FALSE(ui::getBool(W, "按钮_搜索", "visible"));
    EXPECT_FALSE(ui::getBool(W, "标签_热键反馈1", "visible"));
    EXPECT_EQ(ui::getText(W, "编辑框关键词"), "请在这里输入关键词并回车...");
    EXPECT_EQ(widget(W, "编辑框关键词")->palette().color(QPalette::Text), QColor(128, 128, 128));
    EXPECT_EQ(widget(W, "编辑框关键词")->palette().color(QPalette::Base), QColor(192, 192, 192));
    EXPECT_EQ(widget(W, "列表框_日志搜索结果")->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_EQ(widgetAs<QPushButton>(W, "按钮_导出结果")->text(), "导出\n搜索\n结果");
    EXPECT_EQ(widget(W, "按钮_导出全库")->geometry(), QRect(342, 122, 38, 80));
    EXPECT_EQ(widget(W, "编辑框关键词")->parentWidget(), widget(W, "分组框1"));
    EXPECT_EQ(widget(W, "列表框_人脉搜索结果")->parentWidget(), widget(W, "分组框9"));

    EXPECT_EQ(ui::getText(W, "编辑框2"), "100");
    EXPECT_EQ(widgetAs<QLineEdit>(W, "编辑框2")->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_TRUE(widgetAs<QLineEdit>(W, "编辑框_热键1")->isReadOnly());
    EXPECT_EQ(widget(W, "编辑框3")->geometry(), QRect(207, 59, 25, 20));
    EXPECT_EQ(ui::getText(W, "标签_加密状态"), "未加密");
    EXPECT_EQ(ui::getText(W, "选择框_加密"), "为数据库加密");
    EXPECT_EQ(widget(W, "单选框_联系人")->geometry(), QRect(288, 17, 80, 24));
    EXPECT_EQ(ui::getText(W, "超级链接框1"), "访问软件官方网站");

    auto* diary = widgetAs<QPlainTextEdit>(W, "编辑框_本日志");
    ASSERT_NE(diary, nullptr) << "the diary box is multi-line";
    EXPECT_EQ(diary->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(widget(W, "编辑框备忘便签")->geometry(), QRect(4, 56, 390, 418));
    EXPECT_EQ(widget(W, "表格_人脉")->geometry(), QRect(5, 56, 385, 375));
    EXPECT_EQ(ui::getText(W, "按钮_uz"), "U-Z");
    EXPECT_EQ(widget(W, "按钮_导入联系人")->parentWidget(), widget(W, "分组框11"));

    EXPECT_EQ(ui::getProperty(W, "数据库提供者_联系人", "file"), ui::Value(std::string("/data/lxr35.edb")));
    EXPECT_EQ(ui::getProperty(W, "数据源_日志", "provider"), ui::Value(std::string("数据库提供者_日志")));
    EXPECT_EQ(ui::getProperty(W, "表格_日志一览", "dataSource"), ui::Value(std::string("数据源_日志")));
    EXPECT_NE(ui::findControlObject(W, "Excel程序"), nullptr);
    EXPECT_NE(ui::findControlObject(W, "超级菜单"), nullptr);
}

TEST_F(FormsTest, PopupMenusHoldTheirItemsInOrder) {
    ASSERT_TRUE(ui::loadWindow("MainWindow"));
    QWidget* main = ui::findWindowWidget("MainWindow");
    const std::vector<std::pair<QString, QStringList>> expected = {
        {"周期性右键菜单", {"新增周期性事件", "-", "修改周期性事件", "-", "删除周期性事件"}},
        {"托盘菜单", {"恢复窗口", "-", "退出"}},
        {"人脉菜单", {"新增联系人", "-", "删除联系人"}},
        {"同步周历库", {"刷新周视图"}},
        {"今日", {"回到今日"}},
    };
    for (const auto& [name, items] : expected) {
        auto* menu = main->findChild<QMenu*>(name);
        ASSERT_NE(menu, nullptr) << name.toStdString();
        QStringList shown;
        for (QAction* a : menu->actions()) {
            shown << (a->isSeparator() ? QStringLiteral("-") : a->text());
            EXPECT_TRUE(a->isEnabled());
            EXPECT_FALSE(a->isChecked());
        }
        EXPECT_EQ(shown, items) << name.toStdString();
    }
}

TEST_F(FormsTest, PeriodicItemWindowsDifferAsDesigned) {
    ASSERT_TRUE(ui::loadWindow("NewPeriodicItemWindow"));
    ASSERT_TRUE(ui::loadWindow("EditPeriodicItemWindow"));
    const char* N = "NewPeriodicItemWindow";
    const char* E = "EditPeriodicItemWindow";
    EXPECT_FALSE(ui::getBool(N, "", "visible")) << "hidden when loaded";
    EXPECT_EQ(ui::getText(N, ""), "周期性事项：");
    EXPECT_EQ(ui::getText(E, ""), "修改已存在的提醒事件：");
    EXPECT_EQ(ui::getInt(E, "", "width"), 260);
    EXPECT_EQ(ui::getInt(E, "", "height"), 306);
    EXPECT_FALSE(ui::findWindowWidget(N)->windowFlags() & Qt::WindowMinimizeButtonHint);

    EXPECT_EQ(widget(N, "编辑框循环周期")->geometry(), QRect(115, 67, 23, 20));
    // Widened to the left, into the sentence's unused end, for a three-digit period.
    EXPECT_EQ(widget(E, "编辑框循环周期")->geometry(), QRect(194, 71, 22, 20));
    EXPECT_EQ(widget(N, "编辑框提醒内容")->geometry(), QRect(7, 120, 240, 100));
    EXPECT_EQ(widget(E, "编辑框提醒内容")->geometry(), QRect(7, 136, 240, 84));
    EXPECT_NE(widget(N, "标签1"), nullptr);
    EXPECT_EQ(widget(E, "标签1"), nullptr);
    EXPECT_EQ(widget(N, "标签说明周期事项"), nullptr);
    EXPECT_EQ(ui::getText(N, "标签2"), "提醒我：");
    EXPECT_EQ(ui::getText(E, "标签2"), "的今天提醒我下述事项：");
    EXPECT_EQ(ui::getText(E, "标签3"), "（最多50字）");

    for (const char* w : {N, E}) {
        SCOPED_TRACE(w);
        EXPECT_EQ(ui::getText(w, "组合框循环单位"), "年");
        EXPECT_EQ(ui::getInt(w, "组合框循环单位", "selection"), -1) << "no item selected";
        ASSERT_EQ(ui::getListItemCount(w, "组合框循环单位"), 4);
        EXPECT_EQ(ui::getListItemText(w, "组合框循环单位", 0), "年");
        EXPECT_EQ(ui::getListItemText(w, "组合框循环单位", 3), "日");
        EXPECT_TRUE(widgetAs<QComboBox>(w, "组合框循环单位")->isEditable());
        EXPECT_EQ(widget(w, "按钮周期事项取消")->geometry(), QRect(144, 232, 80, 32));
        EXPECT_EQ(ui::getText(w, "按钮周期事项确定"), "确定");
    }
}

TEST_F(FormsTest, ImportAndTopBarWindowsMatchTheDesign) {
    ASSERT_TRUE(ui::loadWindow("ImportContactsWindow"));
    const char* I = "ImportContactsWindow";
    EXPECT_EQ(ui::getText(I, ""), "导入联系人");
    EXPECT_EQ(ui::getInt(I, "", "width"), 496);
    EXPECT_TRUE(ui::getBool(I, "", "visible"));
    EXPECT_FALSE(ui::getBool(I, "编辑框2", "enabled"));
    EXPECT_FALSE(ui::getBool(I, "透明标签1", "visible"));
    EXPECT_EQ(ui::getText(I, "透明标签1"), ">>>>>>>>");
    EXPECT_EQ(widget(I, "选择列表框1")->geometry(), QRect(4, 16, 188, 141));
    EXPECT_EQ(widget(I, "选择列表框1")->parentWidget(), widget(I, "分组框2"));
    EXPECT_EQ(widget(I, "按钮_开始导入联系人")->parentWidget(), ui::findWindowWidget(I));
    EXPECT_EQ(ui::getInt(I, "进度条1", "position"), 0);
    EXPECT_EQ(ui::getProperty(I, "通用对话框1", "filter"), ui::Value(std::string("*.xls|*.xls")));
    EXPECT_EQ(ui::getProperty(I, "通用对话框1", "mustExist"), ui::Value(true));
    EXPECT_NE(ui::findControlObject(I, "外部数据库1"), nullptr);
    EXPECT_TRUE(ui::getText(I, "标签1").starts_with("请在左侧点选要导入数据库的excel文件字段。"));

    ASSERT_TRUE(ui::loadWindow("TopEdgeBarWindow"));
    QWidget* bar = ui::findWindowWidget("TopEdgeBarWindow");
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(ui::getInt("TopEdgeBarWindow", "", "width"), 380);
    EXPECT_EQ(ui::getInt("TopEdgeBarWindow", "", "height"), 5);
    EXPECT_TRUE(bar->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(bar->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ((bar->windowFlags() & Qt::WindowType_Mask), Qt::Tool) << "not in the taskbar";
    EXPECT_EQ(bar->palette().color(QPalette::Window), QColor(255, 255, 0));
}

// The complete binding table, written out from the design: "window/control/event handler".
TEST_F(FormsTest, BindingTableIsComplete) {
    const std::set<std::string> expected = {
        "MainWindow//0 onMainWindowCreated",
        "MainWindow//1 onMainWindowCloseRequest",
        "MainWindow//2 onMainWindowDestroy",
        "MainWindow//3 onMainWindowStateChanged",
        "MainWindow//9 onTrayEvent",
        "MainWindow/选择夹右侧/0 onRightTabChanged",
        "MainWindow/月历/0 onCalendarDateChanged",
        "MainWindow/月历/-12 onCalendarWheel",
        "MainWindow/月历/3 onCalendarRightButton",
        "MainWindow/高级表格_周历/5 onWeekGridCellSelected",
        "MainWindow/高级表格_周历/-4 onWeekGridRightButton",
        "MainWindow/编辑框关键词/-7 onKeywordBoxFocus",
        "MainWindow/编辑框关键词/-9 onKeywordKeyDown",
        "MainWindow/按钮_搜索/0 searchAll",
        "MainWindow/图片框1/-1 onSearchPictureClick",
        "MainWindow/列表框_日志搜索结果/0 onDiaryResultSelected",
        "MainWindow/列表框_提醒搜索结果/0 onReminderResultSelected",
        "MainWindow/列表框_备忘搜索结果/0 onMemoResultSelected",
        "MainWindow/列表框_人脉搜索结果/0 onContactResultSelected",
        "MainWindow/按钮_导出结果/0 onExportResultsButton",
        "MainWindow/按钮_导出全库/0 onExportAllButton",
        "MainWindow/编辑框_热键1/-9 onHotkeyKeyDown",
        "MainWindow/编辑框_热键1/-10 onHotkeyKeyUp",
        "MainWindow/按钮_注册热键1/0 onRegisterHotkey",
        "MainWindow/标签_热键反馈1/0 onHotkeyFired",
        "MainWindow/单选框_月视图/0 onMonthViewOptionClicked",
        "MainWindow/单选框_周视图/0 onWeekViewOptionClicked",
        "MainWindow/单选框_日志/0 onTodayOptionClicked",
        "MainWindow/单选框_总览/0 onOverviewOptionClicked",
        "MainWindow/单选框_便签/0 onMemoOptionClicked",
        "MainWindow/单选框_联系人/0 onContactsOptionClicked",
        "MainWindow/选择框_加密/0 onEncryptCheckClicked",
        "MainWindow/编辑框2/0 onZoomEdited",
        "MainWindow/按钮1/0 onApplyZoom",
        "MainWindow/编辑框3/0 onWeekRowHeightEdited",
        "MainWindow/按钮2/0 onApplyRowHeight",
        "MainWindow/单选框_托盘图标/0 onTrayOptionClicked",
        "MainWindow/单选框_屏幕上端/0 onScreenTopOptionClicked",
        "MainWindow/图片框_今日/-3 onTodayPictureDoubleClick",
        "MainWindow/图片框_今日/-6 onTodayPictureHover",
        "MainWindow/编辑框_本日志/0 onDiaryTextChanged",
        "MainWindow/编辑框_本日志/-8 onDiaryBoxFocusLost",
        "MainWindow/列表框_周期事项/-4 onPeriodicListRightButton",
        "MainWindow/列表框_周期事项/1 onPeriodicListEvent1",
        "MainWindow/图片框_总览/-3 onOverviewPictureDoubleClick",
        "MainWindow/图片框_总览/-6 onOverviewPictureHover",
        "MainWindow/图片框_便签/-3 onMemoPictureDoubleClick",
        "MainWindow/图片框_便签/-6 onMemoPictureHover",
        "MainWindow/编辑框备忘便签/0 onMemoTextChanged",
        "MainWindow/图片框_联系人/-3 onContactsPictureDoubleClick",
        "MainWindow/图片框_联系人/-6 onContactsPictureHover",
        "MainWindow/表格_人脉/0 onContactGridCellChanged",
        "MainWindow/表格_人脉/-4 onContactGridRightButton",
        "MainWindow/按钮_all/0 onAllContactsButton",
        "MainWindow/按钮_ad/0 filterContactsAD",
        "MainWindow/按钮_eh/0 filterContactsEH",
        "MainWindow/按钮_il/0 filterContactsIL",
        "MainWindow/按钮_mp/0 filterContactsMP",
        "MainWindow/按钮_qt/0 filterContactsQT",
        "MainWindow/按钮_uz/0 filterContactsUZ",
        "MainWindow/按钮_导入联系人/0 onImportContactsButton",
        "MainWindow/新增周期性事件/100 onAddPeriodicMenu",
        "MainWindow/修改周期性事件/100 onModifyPeriodicMenu",
        "MainWindow/删除周期性事件/100 onDeletePeriodicMenu",
        "MainWindow/恢复窗口/100 restoreMainWindow",
        "MainWindow/退出/100 onTrayMenuExit",
        "MainWindow/新增联系人/100 onAddContactMenu",
        "MainWindow/删除联系人/100 onDeleteContactMenu",
        "MainWindow/刷新周视图/100 onRefreshWeekViewMenu",
        "MainWindow/回到今日/100 onBackToTodayMenu",
        "NewPeriodicItemWindow/按钮周期事项确定/0 onAddPeriodicOk",
        "NewPeriodicItemWindow/按钮周期事项取消/0 onAddPeriodicCancel",
        "EditPeriodicItemWindow//0 onEditPeriodicWindowCreated",
        "EditPeriodicItemWindow/按钮周期事项确定/0 onEditPeriodicOk",
        "EditPeriodicItemWindow/按钮周期事项取消/0 onEditPeriodicCancel",
        "ImportContactsWindow//0 onImportWindowCreated",
        "ImportContactsWindow//2 onImportWindowDestroy",
        "ImportContactsWindow/按钮_选择excel文件/0 onChooseExcelFile",
        "ImportContactsWindow/按钮_开始导入联系人/0 onStartImport",
        "ImportContactsWindow/按钮_退出/0 onImportQuit",
        "TopEdgeBarWindow//-1 onTopBarClicked",
    };
    std::set<std::string> actual;
    auto add = [&](const std::string& w, const std::string& c, int e, const char* h) {
        actual.insert(w + "/" + c + "/" + std::to_string(e) + " " + h);
    };
    for (const ui::WindowDef* w : forms::allWindows()) {
        for (const ui::EventBinding& b : w->events)
            if (b.handler) add(w->name, "", b.event, b.handler);
        for (const ui::ControlDef& c : w->controls)
            for (const ui::EventBinding& b : c.events)
                if (b.handler) add(w->name, c.name, b.event, b.handler);
        for (const ui::MenuDef& m : w->menus)
            for (const ui::MenuItemDef& item : m.items)
                if (item.caption && item.handler) add(w->name, item.caption, ev::kMenuSelected, item.handler);
    }
    EXPECT_EQ(actual, expected);
}

}  // namespace
}  // namespace uitest
