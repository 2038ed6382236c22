// The periodic item windows: adding with each refusal, the period texts, changing and deleting by
// a line's text, the messages with no line selected, modality, and when the views follow.
#include "pages_fixture.h"

#include <QDir>
#include <QImage>

namespace pages {
namespace {

using PeriodicWindows = CalendarPages;

std::string weekCell(int row, int column) { return ui::getGridCellData(kMain, "高级表格_周历", row, column); }

void expectMessage(const ui::ShownDialog& shown, const char* text, int flags, const char* title) {
    EXPECT_EQ(shown.text, text);
    EXPECT_EQ(shown.flags, flags);
    EXPECT_EQ(shown.title, title);
}

TEST_F(PeriodicWindows, AddingRefusesEachMissingEntryThenStoresTheChosenDay) {
    startOnToday();
    choose(at(2024, 3, 5, 14, 0, 0));
    periodicMenu("新增周期性事件");
    ASSERT_TRUE(ui::isWindowLoaded(kNew));
    EXPECT_TRUE(windowWidget(kNew)->isVisible());
    EXPECT_FALSE(ui::getBool(kMain, "", "enabled"));
    EXPECT_EQ(core::periodicItemStartDate.days, at(2024, 3, 5).days);

    ui::clearDialogScript();
    click(kNew, "按钮周期事项确定");
    typeInto(kNew, "编辑框循环周期", "0");
    click(kNew, "按钮周期事项确定");
    ui::setText(kNew, "编辑框循环周期", "2");
    click(kNew, "按钮周期事项确定");
    const std::vector<ui::ShownDialog> shown = messages();
    ASSERT_EQ(shown.size(), 3u);
    expectMessage(shown[0], "请填写循环周期", 0x40, "信息！");
    expectMessage(shown[1], "您的循环周期填写了‘0’，如果不是一个\r\n周期性事件，请直接填写到'日志'中！", 0,
                  "信息：");
    expectMessage(shown[2], "请填写提醒内容！", 0x40, "信息！");
    EXPECT_TRUE(ui::isWindowLoaded(kNew));
    EXPECT_TRUE(itemRecords().empty());

    // The calendar cannot move while the window is open; the stored start is the day chosen at opening.
    find<QComboBox>(kNew, "组合框循环单位")->setCurrentIndex(1);
    typeInto(kNew, "编辑框提醒内容", "pay rent");
    click(kNew, "按钮周期事项确定");
    const std::vector<ItemRow> rows = itemRecords();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].start, at(2024, 3, 5).days);
    EXPECT_EQ(rows[0].period, 2);
    EXPECT_EQ(rows[0].unit, "月");
    EXPECT_EQ(rows[0].text, "pay rent");
    EXPECT_FALSE(ui::isWindowLoaded(kNew));
    EXPECT_TRUE(ui::getBool(kMain, "", "enabled"));
    EXPECT_EQ(listLines(), std::vector<std::string>{"pay rent"});
    EXPECT_EQ(messages().size(), 3u);
}

TEST_F(PeriodicWindows, PeriodTextsThatPassTheZeroTestAndTheTwoByteLimit) {
    startOnToday();
    const std::vector<std::pair<const char*, int>> cases = {
        {"00", 0}, {"-0", 0}, {"-", 0}, {"-5", -5}, {"123", 12}};
    for (const auto& [typed, stored] : cases) {
        periodicMenu("新增周期性事件");
        ASSERT_TRUE(ui::isWindowLoaded(kNew)) << typed;
        typeInto(kNew, "编辑框循环周期", typed);
        typeInto(kNew, "编辑框提醒内容", typed);
        click(kNew, "按钮周期事项确定");
        EXPECT_FALSE(ui::isWindowLoaded(kNew)) << typed;
        ASSERT_FALSE(itemRecords().empty());
        EXPECT_EQ(itemRecords().back().period, stored) << typed;
        EXPECT_EQ(itemRecords().back().unit, "年") << typed;
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(PeriodicWindows, CancelStoresNothingAndEnablesTheMainWindow) {
    startOnToday();
    periodicMenu("新增周期性事件");
    typeInto(kNew, "编辑框循环周期", "3");
    typeInto(kNew, "编辑框提醒内容", "never stored");
    click(kNew, "按钮周期事项取消");
    EXPECT_FALSE(ui::isWindowLoaded(kNew));
    EXPECT_TRUE(ui::getBool(kMain, "", "enabled"));
    EXPECT_TRUE(itemRecords().empty());
}

TEST_F(PeriodicWindows, TheWeekViewShowsANewItemOnlyAfterARebuild) {
    startOnToday();
    periodicMenu("新增周期性事件");
    typeInto(kNew, "编辑框循环周期", "1");
    ui::setText(kNew, "组合框循环单位", "日");
    typeInto(kNew, "编辑框提醒内容", "daily");
    click(kNew, "按钮周期事项确定");
    EXPECT_EQ(listLines(), std::vector<std::string>{"daily"});
    EXPECT_EQ(weekCell(4, 4), "");
    calendar::rebuildWeekView();
    EXPECT_EQ(weekCell(4, 4), "daily\r\n");
    EXPECT_EQ(weekCell(3, 4), "");
}

TEST_F(PeriodicWindows, ChangingThroughASharedTextActsOnTheFirstInStoreOrder) {
    addItem(at(2024, 3, 1), 1, "日", "same");
    addItem(at(2024, 3, 2), 1, "日", "same");
    addItem(at(2024, 3, 1), 1, "日", "other");
    startOnToday();
    ASSERT_EQ(listLines(), (std::vector<std::string>{"same", "same", "other"}));
    periodicMenu("修改周期性事件", 1);
    ASSERT_TRUE(ui::isWindowLoaded(kEdit));
    EXPECT_FALSE(ui::getBool(kMain, "", "enabled"));
    EXPECT_EQ(ui::getText(kEdit, "标签说明周期事项"), "我在2024年3月1日约定，在今后每");
    EXPECT_EQ(ui::getText(kEdit, "编辑框循环周期"), "1");
    EXPECT_EQ(ui::getText(kEdit, "组合框循环单位"), "日");
    EXPECT_EQ(ui::getText(kEdit, "编辑框提醒内容"), "same");

    ui::setText(kEdit, "编辑框循环周期", "0");  // accepted here
    ui::setText(kEdit, "编辑框提醒内容", "changed");
    click(kEdit, "按钮周期事项确定");
    EXPECT_FALSE(ui::isWindowLoaded(kEdit));
    EXPECT_TRUE(ui::getBool(kMain, "", "enabled"));
    const std::vector<ItemRow> rows = itemRecords();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].start, at(2024, 3, 1).days);
    EXPECT_EQ(rows[0].period, 0);
    EXPECT_EQ(rows[0].text, "changed");
    EXPECT_EQ(rows[1].text, "same");
    EXPECT_EQ(rows[1].period, 1);
    // A period of 0 is due on its start day only, so the day page no longer lists it.
    EXPECT_EQ(listLines(), (std::vector<std::string>{"same", "other"}));
    EXPECT_EQ(weekCell(4, 4), "same\r\nsame\r\nother\r\n");
    EXPECT_TRUE(messages().empty());
}

TEST_F(PeriodicWindows, APeriodBeyondTheIntegerRangeIsHeldAtItsEndNotWrapped) {
    addItem(at(2024, 3, 7), 1, "日", "long");
    startOnToday();
    ASSERT_EQ(listLines(), std::vector<std::string>{"long"});
    // Typed into the edit window's unlimited box: wrapped to 32 bits these would read 1, -1 and 0.
    const std::vector<std::pair<const char*, int>> cases = {
        {"4294967297", 2147483647}, {"-4294967297", -2147483647 - 1}, {"99999999999999999999", 2147483647}};
    for (const auto& [typed, stored] : cases) {
        choose(at(2024, 3, 7));
        ASSERT_EQ(listLines(), std::vector<std::string>{"long"}) << typed;
        periodicMenu("修改周期性事件", 0);
        ASSERT_TRUE(ui::isWindowLoaded(kEdit)) << typed;
        ui::setText(kEdit, "编辑框循环周期", typed);
        click(kEdit, "按钮周期事项确定");
        EXPECT_FALSE(ui::isWindowLoaded(kEdit)) << typed;
        EXPECT_EQ(itemRecords()[0].period, stored) << typed;
        // So long a period keeps the item on its start day only.
        EXPECT_EQ(listLines(), std::vector<std::string>{"long"}) << typed;
        choose(at(2024, 3, 8));
        EXPECT_TRUE(listLines().empty()) << typed;
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(PeriodicWindows, EditRefusalsKeepTheWindowAndTheLabelShowsATimeOfDay) {
    addItem(at(2024, 3, 1, 8, 30, 0), 2, "月", "timed");
    startOnToday();
    choose(at(2024, 5, 1, 9, 0, 0));
    ASSERT_EQ(listLines(), std::vector<std::string>{"timed"});
    selectLine(0);
    QListWidget* list = find<QListWidget>(kMain, "列表框_周期事项");
    const QPoint line = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, line);
    ASSERT_TRUE(ui::isWindowLoaded(kEdit));
    EXPECT_EQ(ui::getText(kEdit, "标签说明周期事项"), "我在2024年3月1日8时30分约定，在今后每");
    ui::setText(kEdit, "编辑框循环周期", "");
    click(kEdit, "按钮周期事项确定");
    ui::setText(kEdit, "编辑框循环周期", "3");
    ui::setText(kEdit, "编辑框提醒内容", "");
    click(kEdit, "按钮周期事项确定");
    const std::vector<ui::ShownDialog> shown = messages();
    ASSERT_EQ(shown.size(), 2u);
    expectMessage(shown[0], "请填写循环周期", 0x40, "信息！");
    expectMessage(shown[1], "请填写提醒内容！", 0x40, "信息！");
    EXPECT_TRUE(ui::isWindowLoaded(kEdit));
    click(kEdit, "按钮周期事项取消");
    EXPECT_EQ(itemRecords()[0].period, 2);
    EXPECT_EQ(itemRecords()[0].text, "timed");
}

TEST_F(PeriodicWindows, NoLineSelectedGivesTheTwoMessages) {
    startOnToday();
    addItem(at(2024, 3, 1), 1, "日", "added behind the view");
    choose(at(2024, 3, 1));
    selectLine(-1);
    periodicMenu("修改周期性事件");
    EXPECT_FALSE(ui::isWindowLoaded(kEdit));
    periodicMenu("删除周期性事件");
    const std::vector<ui::ShownDialog> shown = messages();
    ASSERT_EQ(shown.size(), 2u);
    expectMessage(shown[0], "请选择一条记录后再进行修改！", 0x40, "信息！");
    expectMessage(shown[1], "请选择一条记录后再进行删除！", 0x40, "信息！");
    EXPECT_EQ(itemRecords().size(), 1u);
    // The delete path rebuilt the week view and put the calendar back.
    EXPECT_EQ(weekCell(4, 4), "added behind the view\r\n");
    EXPECT_EQ(ui::getDate(kMain, "月历").days, at(2024, 3, 1).days);
}

TEST_F(PeriodicWindows, DeletingThroughASharedTextRemovesTheFirstAtOnce) {
    addItem(at(2024, 3, 1), 1, "日", "same");
    addItem(at(2024, 3, 2), 1, "日", "same");
    addItem(at(2024, 3, 1), 1, "日", "other");
    startOnToday();
    periodicMenu("删除周期性事件", 1);
    const std::vector<ItemRow> rows = itemRecords();  // checks that the store was packed
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].start, at(2024, 3, 2).days);
    EXPECT_EQ(rows[1].text, "other");
    EXPECT_EQ(listLines(), (std::vector<std::string>{"same", "other"}));
    EXPECT_EQ(weekCell(4, 4), "same\r\nsame\r\nother\r\n");
    EXPECT_TRUE(messages().empty());
}

TEST_F(PeriodicWindows, ScreenshotsOfBothWindows) {
    addItem(at(2024, 3, 1), 2, "月", "交物业费");
    startOnToday();
    choose(at(2024, 3, 1));
    periodicMenu("新增周期性事件");
    typeInto(kNew, "编辑框循环周期", "1");
    find<QComboBox>(kNew, "组合框循环单位")->setCurrentIndex(2);
    ui::setText(kNew, "编辑框提醒内容", "周一上午组会");
    QImage shot = windowWidget(kNew)->grab().toImage();
    EXPECT_TRUE(shot.save(QDir(q(QB_SCREENSHOT_DIR)).filePath("new_periodic_item_window.png")));
    click(kNew, "按钮周期事项取消");
    periodicMenu("修改周期性事件", 0);
    ASSERT_TRUE(ui::isWindowLoaded(kEdit));
    shot = windowWidget(kEdit)->grab().toImage();
    EXPECT_TRUE(shot.save(QDir(q(QB_SCREENSHOT_DIR)).filePath("edit_periodic_item_window.png")));
}

}  // namespace
}  // namespace pages
