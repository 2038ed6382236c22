// The page switch of the right tab control: the day page read anew, the overview widths, and the
// memo page with its single record.
#include "pages_fixture.h"

namespace pages {
namespace {

using runtime::ui::widgets::TableView;
using ContentPages = CalendarPages;

std::vector<std::string> memoRecords() {
    std::vector<std::string> out;
    st::Table* t = st::findOpenTable("bw35");
    for (int n = 1; t && n <= t->recordCount(); ++n) out.push_back(st::valueText(t->read(n, 1)));
    return out;
}

void openPage(int page) { ui::setInt(kMain, "选择夹右侧", "page", page); }

TEST_F(ContentPages, MemoPageOnAnEmptyStoreShowsNothingAndAddsOneEmptyRecord) {
    startOnToday();
    ASSERT_TRUE(memoRecords().empty());
    openPage(2);
    EXPECT_EQ(ui::getText(kMain, "编辑框备忘便签"), "");
    EXPECT_EQ(memoRecords(), std::vector<std::string>{""});
    EXPECT_EQ(st::currentTable(), st::findOpenTable("bw35"));
}

TEST_F(ContentPages, MemoIsWrittenAtEveryChangeAndSurvivesLeavingTheStoreAndARestart) {
    startOnToday();
    openPage(2);
    QWidget* box = find(kMain, "编辑框备忘便签");
    ASSERT_NE(box, nullptr);
    QTest::keyClicks(box, "milk");
    EXPECT_EQ(memoRecords(), std::vector<std::string>{"milk"});
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(memoRecords(), std::vector<std::string>{"mil"});
    openPage(0);
    openPage(3);
    openPage(2);
    EXPECT_EQ(ui::getText(kMain, "编辑框备忘便签"), "mil");

    // A restart: the stores are closed and opened again, the window loaded anew.
    ui::resetForTesting();
    st::closeAllDatabases();
    ui::useScriptedDialogs();
    core::openTables();
    calendar::bindCalendarHandlers();
    contacts::bindMemoHandlers();
    ASSERT_TRUE(ui::loadWindow(kMain));
    startOnToday();
    openPage(2);
    EXPECT_EQ(ui::getText(kMain, "编辑框备忘便签"), "mil");
    QTest::keyClicks(find(kMain, "编辑框备忘便签"), "k");
    ui::setText(kMain, "编辑框备忘便签", "");
    EXPECT_EQ(memoRecords(), std::vector<std::string>{""});  // emptied, never deleted
}

TEST_F(ContentPages, AFailedMemoWriteIsSaidOnceAndTheNextChangeStoresTheWholeText) {
    startOnToday();
    {
        // Even the first record cannot be added: opening the page says so.
        FilesCannotGrow full;
        openPage(2);
    }
    EXPECT_TRUE(memoRecords().empty());
    std::vector<ui::ShownDialog> shown = messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind("备忘便签未能写入：", 0), 0u) << shown[0].text;
    EXPECT_NE(shown[0].text.find("bw35"), std::string::npos) << shown[0].text;
    EXPECT_EQ(shown[0].flags, 0x10);
    EXPECT_EQ(shown[0].title, "错误！");

    QWidget* box = find(kMain, "编辑框备忘便签");
    ASSERT_NE(box, nullptr);
    QTest::keyClicks(box, "milk");
    EXPECT_EQ(memoRecords(), std::vector<std::string>{"milk"});
    {
        FilesCannotGrow full;
        QTest::keyClicks(box, "tea");
    }
    EXPECT_EQ(memoRecords(), std::vector<std::string>{"milk"});
    EXPECT_EQ(ui::getText(kMain, "编辑框备忘便签").size(), 7u);
    EXPECT_EQ(messages().size(), 2u);
    QTest::keyClicks(box, "s");
    EXPECT_EQ(memoRecords(), std::vector<std::string>{ui::getText(kMain, "编辑框备忘便签")});
    EXPECT_EQ(memoRecords()[0].size(), 8u);
    EXPECT_EQ(messages().size(), 2u);
}

TEST_F(ContentPages, OnlyTheFirstOfSeveralMemoRecordsIsShownAndWritten) {
    ASSERT_TRUE(st::selectDatabase("bw35"));
    ASSERT_TRUE(st::addRecord({st::Value{std::string("first")}}));
    ASSERT_TRUE(st::addRecord({st::Value{std::string("second")}}));
    startOnToday();
    openPage(2);
    EXPECT_EQ(ui::getText(kMain, "编辑框备忘便签"), "first");
    QTest::keyClicks(find(kMain, "编辑框备忘便签"), "!");
    EXPECT_EQ(memoRecords(), (std::vector<std::string>{"!first", "second"}));
}

TEST_F(ContentPages, DayPageIsReadAnewWhileTheCaptionsKeepTheirDate) {
    startOnToday();
    openPage(1);
    addDiary(at(2024, 3, 8), "written elsewhere");
    addItem(at(2024, 3, 8), 1, "日", "new item");
    ui::setDate(kMain, "月历", at(2024, 3, 8));
    openPage(0);
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "written elsewhere");
    EXPECT_EQ(listLines(), std::vector<std::string>{"new item"});
    EXPECT_EQ(ui::getText(kMain, "分组框_今日志"), "日志-2024年3月8日");
    ui::setDate(kMain, "月历", at(2024, 3, 9));
    openPage(1);
    openPage(0);
    EXPECT_EQ(ui::getText(kMain, "分组框_今日志"), "日志-2024年3月8日");
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "");
}

TEST_F(ContentPages, OpeningPageOneOrThreeSetsTheWidthsAgain) {
    startOnToday();
    auto* diary = find<TableView>(kMain, "表格_日志一览");
    auto* items = find<TableView>(kMain, "表格_周期事项一览");
    auto* contacts = find<TableView>(kMain, "表格_人脉");
    ASSERT_TRUE(diary && items && contacts);
    for (int round = 0; round < 2; ++round) {
        diary->setColumnWidths(1, 2, 55);
        items->setColumnWidths(1, 4, 55);
        contacts->setColumnWidths(1, 3, 55);
        openPage(1);
        EXPECT_EQ(diary->columnWidthUnits(1), 300);
        EXPECT_EQ(diary->columnWidthUnits(2), 700);
        EXPECT_EQ(items->columnWidthUnits(1), 300);
        EXPECT_EQ(items->columnWidthUnits(2), 200);
        EXPECT_EQ(items->columnWidthUnits(3), 200);
        EXPECT_EQ(items->columnWidthUnits(4), 800);
        EXPECT_EQ(contacts->columnWidthUnits(1), 55);
        openPage(3);
        EXPECT_EQ(contacts->columnWidthUnits(1), 200);
        EXPECT_EQ(contacts->columnWidthUnits(2), 300);
        EXPECT_EQ(contacts->columnWidthUnits(3), 350);
        openPage(0);
    }
}

}  // namespace
}  // namespace pages
