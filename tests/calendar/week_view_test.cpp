// The week view: its layout and contents after a rebuild, row clicks, the refresh menu, and the
// rebuild when the diary box loses the focus.
#include "pages_fixture.h"

#include <QDir>
#include <QImage>
#include <QTabBar>

namespace pages {
namespace {

using runtime::ui::widgets::WeekGrid;
using WeekView = CalendarPages;

std::string cell(int row, int column) { return ui::getGridCellData(kMain, "高级表格_周历", row, column); }

void clickCell(int row, int column) {
    auto* grid = find<WeekGrid>(kMain, "高级表格_周历");
    ASSERT_NE(grid, nullptr);
    // The grid sits on the second page of its tab control; show it so that its cells have places.
    ui::setInt(kMain, "选择夹_视图", "page", 1);
    // Rows are as high as the settings box says (100 at first): scroll the row into view as a user would.
    grid->setFocusCell(row, column);
    const QRect rect = grid->cellRect(row, column);
    ASSERT_FALSE(rect.isEmpty()) << row << "," << column;
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, rect.center());
}

TEST_F(WeekView, LayoutHeadersAndDaysAroundToday) {
    startOnToday();  // Friday 8 March 2024
    auto* grid = find<WeekGrid>(kMain, "高级表格_周历");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->rowCount(), 8);
    EXPECT_EQ(grid->columnCount(), 5);
    const char* headers[] = {"", "日期", "周", "日志(预览)", "事项(预览)"};
    const int widths[] = {0, 40, 20, 150, 130};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(cell(0, c), headers[c]);
        EXPECT_EQ(grid->columnWidth(c), widths[c]);
        EXPECT_TRUE(grid->isBold(0, c));
        EXPECT_TRUE(grid->isCentred(0, c));
    }
    const char* dates[] = {"",
                           "2024年3月5日",
                           "2024年3月6日",
                           "2024年3月7日",
                           "2024年3月8日",
                           "2024年3月9日",
                           "2024年3月10日",
                           "2024年3月11日"};
    const char* monthDays[] = {"", "3.5", "3.6", "3.7", "今日", "3.9", "3.10", "3.11"};
    const char* weekdays[] = {"", "二", "三", "四", "五", "六", "日", "一"};
    for (int r = 1; r <= 7; ++r) {
        EXPECT_EQ(cell(r, 0), dates[r]);
        EXPECT_EQ(cell(r, 1), monthDays[r]);
        EXPECT_EQ(cell(r, 2), weekdays[r]);
        EXPECT_TRUE(grid->isCentred(r, 0) && grid->isCentred(r, 2));
        EXPECT_FALSE(grid->isCentred(r, 3));
        EXPECT_TRUE(grid->wordWrap(r, 3) && grid->wordWrap(r, 4));
        EXPECT_EQ(grid->backColour(r, 1), QColor(236, 236, 236));
        EXPECT_EQ(grid->backColour(r, 2), QColor(236, 236, 236));
        EXPECT_FALSE(grid->backColour(r, 3).isValid());
        EXPECT_EQ(cell(r, 3), "");
        EXPECT_EQ(cell(r, 4), "");
    }
    EXPECT_EQ(grid->focusRow(), 4);
    EXPECT_EQ(grid->focusColumn(), 2);
}

TEST_F(WeekView, MonthBoundaryAndRowHeightsFromTheSettingsBox) {
    now_ = at(2024, 3, 30, 23, 0, 0);
    startOnToday();
    EXPECT_EQ(cell(6, 1), "4.1");
    EXPECT_EQ(cell(6, 0), "2024年4月1日");
    auto* grid = find<WeekGrid>(kMain, "高级表格_周历");
    // Beyond the integer range the number is held at its end, not wrapped (to 33 and to -2^31).
    const std::vector<std::pair<const char*, int>> cases = {{"33", 33},
                                                            {"33.9", 33},
                                                            {"abc", 0},
                                                            {"4294967329", WeekGrid::kMaxExtent},
                                                            {"2147483648", WeekGrid::kMaxExtent}};
    for (const auto& [text, height] : cases) {
        ui::setText(kMain, "编辑框3", text);
        calendar::rebuildWeekView();
        for (int r = 1; r <= 7; ++r) EXPECT_EQ(grid->rowHeight(r), height) << text << " row " << r;
    }
}

TEST_F(WeekView, DiaryPreviewAndDueItemsInStoreOrder) {
    addDiary(at(2024, 3, 6), "short");
    addDiary(at(2024, 3, 8), std::string(150, 'x'));
    // 99 ASCII bytes, then a character whose first byte would be byte 100: the cut leaves it out.
    addDiary(at(2024, 3, 9), std::string(99, 'y') + "中文");
    addItem(at(2024, 3, 8), 1, "日", "daily from today");
    addItem(at(2024, 1, 1), 1, "日", "daily since January");
    addItem(at(2024, 3, 1), 1, "周", "Fridays");
    addItem(at(2023, 3, 10), 1, "年", "anniversary");
    addItem(at(2024, 3, 8), 1, "X", "never");
    startOnToday();
    EXPECT_EQ(cell(2, 3), "short");
    EXPECT_EQ(cell(4, 3), std::string(100, 'x'));
    EXPECT_EQ(cell(5, 3), std::string(99, 'y'));
    EXPECT_EQ(cell(1, 4), "daily since January\r\n");
    EXPECT_EQ(cell(4, 4), "daily from today\r\ndaily since January\r\nFridays\r\n");
    EXPECT_EQ(cell(6, 4), "daily from today\r\ndaily since January\r\nanniversary\r\n");
    EXPECT_EQ(cell(3, 4), "daily since January\r\n");
}

TEST_F(WeekView, ADiaryRecordWithATimeOfDayPreviewsAsTheDayPageShowsIt) {
    // Written elsewhere at 15:00: the record of 7 March for the day page, and so for the week view.
    addDiary(at(2024, 3, 7, 15), "afternoon");
    startOnToday();
    EXPECT_EQ(cell(3, 3), "afternoon");
    ui::setDate(kMain, "月历", at(2024, 3, 7));
    calendar::showDiaryOfSelectedDate();
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "afternoon");
}

TEST_F(WeekView, RowClickShowsThatDayAndFocusesTheDiaryBox) {
    addDiary(at(2024, 3, 6), "wednesday");
    addItem(at(2024, 3, 6), 7, "日", "weekly by days");
    startOnToday();
    ui::setInt(kMain, "选择夹右侧", "page", 2);
    clickCell(2, 3);
    EXPECT_EQ(ui::getDate(kMain, "月历").days, at(2024, 3, 6).days);
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "wednesday");
    EXPECT_EQ(listLines(), std::vector<std::string>{"weekly by days"});
    EXPECT_EQ(ui::getText(kMain, "分组框_今日志"), "日志-2024年3月6日");
    EXPECT_EQ(ui::getText(kMain, "分组框_事项"), "周期事项-2024年3月6日");
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 2);  // the page is left as it was
    EXPECT_EQ(find(kMain, "高级表格_周历")->toolTip(), q("wednesday"));
}

TEST_F(WeekView, TodayRowClickSetsTodayAtMidnightAndLongCellsGiveA100ByteTip) {
    addDiary(at(2024, 3, 8), std::string(120, 'z'));
    startOnToday();
    QApplication::setActiveWindow(windowWidget(kMain));
    choose(at(2024, 3, 1));
    clickCell(4, 3);
    EXPECT_EQ(ui::getDate(kMain, "月历").days, at(2024, 3, 8).days);
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), std::string(120, 'z'));
    EXPECT_TRUE(ui::hasFocus(kMain, "编辑框_本日志"));
    EXPECT_EQ(find(kMain, "高级表格_周历")->toolTip(), q(std::string(100, 'z').c_str()));
}

TEST_F(WeekView, HeaderRowClickLeavesTheCalendarWhereItWas) {
    addDiary(at(2024, 2, 14), "valentine");
    startOnToday();
    choose(at(2024, 2, 14));
    clickCell(0, 3);
    EXPECT_EQ(ui::getDate(kMain, "月历").days, at(2024, 2, 14).days);
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "valentine");
    EXPECT_EQ(ui::getText(kMain, "分组框_今日志"), "日志-2024年2月14日");
    EXPECT_EQ(find(kMain, "高级表格_周历")->toolTip(), q("日志(预览)"));
}

TEST_F(WeekView, DiaryChangeShowsOnceTheDiaryBoxLosesTheFocus) {
    startOnToday();
    QWidget* box = find(kMain, "编辑框_本日志");
    QApplication::setActiveWindow(windowWidget(kMain));
    ui::setFocus(kMain, "编辑框_本日志");
    QTest::keyClicks(box, "new line");
    EXPECT_EQ(cell(4, 3), "");  // a snapshot until the next rebuild
    ui::setFocus(kMain, "编辑框关键词");
    QApplication::processEvents();
    EXPECT_EQ(cell(4, 3), "new line");
}

TEST_F(WeekView, ClickingTheWeekViewTabAfterWritingShowsTheNewText) {
    startOnToday();
    QWidget* box = find(kMain, "编辑框_本日志");
    QApplication::setActiveWindow(windowWidget(kMain));
    ui::setFocus(kMain, "编辑框_本日志");
    QTest::keyClicks(box, "tab click");
    // The user turns to the week view with the mouse; the tab takes the focus from the diary box.
    auto* bar = find(kMain, "选择夹_视图")->findChild<QTabBar*>();
    ASSERT_NE(bar, nullptr);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    QApplication::processEvents();
    EXPECT_EQ(ui::getInt(kMain, "选择夹_视图", "page"), 1);
    EXPECT_EQ(cell(4, 3), "tab click");
}

TEST_F(WeekView, RefreshMenuRebuildsAndPutsTheCalendarBack) {
    startOnToday();
    choose(at(2024, 5, 20, 8, 0, 0));
    addItem(at(2024, 3, 5), 1, "日", "added later");
    EXPECT_EQ(cell(1, 4), "");
    ui::pushMenuAnswer("刷新周视图");
    clickCell(1, 1);  // any cell: the right button follows
    auto* grid = find<WeekGrid>(kMain, "高级表格_周历");
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, grid->cellRect(2, 2).center());
    EXPECT_EQ(cell(1, 4), "added later\r\n");
    EXPECT_EQ(core::weekViewCentreDate.days, at(2024, 3, 5).days);  // the row clicked first
    EXPECT_EQ(ui::getDate(kMain, "月历").days, at(2024, 3, 5).days);
}

TEST_F(WeekView, ScreenshotOfTheWeekViewAndAFilledDayPage) {
    addDiary(at(2024, 3, 7), "春雨细细，窗外的玉兰开了。");
    addDiary(at(2024, 3, 8), "今天把周历视图做完了，晚上去跑步。\r\n明天记得买菜。");
    addItem(at(2024, 1, 5), 1, "周", "周五例会");
    addItem(at(2023, 3, 10), 1, "年", "妈妈生日");
    addItem(at(2024, 3, 2), 3, "日", "浇花");
    startOnToday();
    ui::setText(kMain, "编辑框3", "33");
    calendar::rebuildWeekView();
    ui::setInt(kMain, "选择夹_视图", "page", 1);
    QWidget* window = windowWidget(kMain);
    window->show();
    const QImage shot = window->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(QDir(q(QB_SCREENSHOT_DIR)).filePath("main_window_week_view.png")));
}

}  // namespace
}  // namespace pages
