// The keyword search on the real main window: what each result list holds after a search, the
// keyword checks, and the jumps from a chosen result line to the diary, the memo and a contact.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTest>

#include "support/main_window_fixture.h"

namespace qbtest {
namespace {

using runtime::makeDate;

constexpr const char* kDiaryList = "列表框_日志搜索结果";
constexpr const char* kReminderList = "列表框_提醒搜索结果";
constexpr const char* kMemoList = "列表框_备忘搜索结果";
constexpr const char* kContactList = "列表框_人脉搜索结果";

struct Line {
    std::string text;
    int64_t data;
    friend bool operator==(const Line& a, const Line& b) { return a.text == b.text && a.data == b.data; }
    friend std::ostream& operator<<(std::ostream& os, const Line& l) { return os << l.text << "/" << l.data; }
};
using Lines = std::vector<Line>;

class SearchTest : public MainWindowTest {
protected:
    static void addDiary(runtime::DateTime day, const std::string& text) {
        ASSERT_TRUE(st::selectDatabase("rz35"));
        ASSERT_TRUE(st::addRecord({day, text}));
    }
    static void addItem(runtime::DateTime start, const std::string& text) {
        ASSERT_TRUE(st::selectDatabase("tx35"));
        ASSERT_TRUE(st::addRecord({start, int32_t(1), std::string("年"), text}));
    }
    static void setMemo(const std::string& text) {
        ASSERT_TRUE(st::selectDatabase("bw35"));
        ASSERT_TRUE(st::addRecord({text}));
    }
    static Lines lines(const char* list) {
        Lines out;
        for (int i = 0; i < ui::getListItemCount(kMain, list); ++i) {
            out.push_back({ui::getListItemText(kMain, list, i), ui::getListItemData(kMain, list, i)});
        }
        return out;
    }
    static void searchFor(const std::string& keyword) {
        ui::setText(kMain, "编辑框关键词", keyword);
        search::searchAll();
    }
    // The user picks a line: the list's own selection signal raises the bound handler.
    static void choose(const char* list, int row) {
        auto* widget = findWidget<QListWidget>(list);
        ASSERT_NE(widget, nullptr) << list;
        widget->setCurrentRow(row);
    }
    static int64_t selectionStart(const char* box) { return ui::getInt(kMain, box, "selectionStart"); }
    static int64_t selectionLength(const char* box) { return ui::getInt(kMain, box, "selectionLength"); }

    void fillStores() {
        addDiary(makeDate(2024, 12, 1), "年底总结 ABC 完成");
        addDiary(makeDate(2023, 5, 2), "xabcx");
        addDiary(makeDate(2024, 1, 1), "没有关键词");
        addDiary(makeDate(2024, 3, 5), "开会：讨论Abc项目");
        addItem(makeDate(2024, 3, 5), "abc 第一");
        addItem(makeDate(2020, 1, 1), "ABC 更早");
        addItem(makeDate(2024, 3, 5), "第二 aBc");
        addItem(makeDate(2019, 1, 1), "无关");
        setMemo("备忘：记得 ABC 的事");
        addContact("王五", "", "");
        addContact("李四", "123", "ABC 同事");
        addContact("", "13abc", "");
        addContact("AbcCorp", "", "");
    }
};

TEST_F(SearchTest, FillsOneListPerStoreIgnoringLetterCase) {
    fillStores();
    searchFor("abc");
    EXPECT_EQ(lines(kDiaryList), (Lines{{"2023年5月2日", 0}, {"2024年3月5日", 0}, {"2024年12月1日", 0}}));
    EXPECT_EQ(lines(kReminderList), (Lines{{"2020年1月1日", 2}, {"2024年3月5日", 1}, {"2024年3月5日", 3}}));
    EXPECT_EQ(lines(kMemoList), (Lines{{"找到！请点击查看", 0}}));
    // One line per contact however many fields match; an empty name gives an empty line.
    EXPECT_EQ(lines(kContactList), (Lines{{"李四", 2}, {"", 3}, {"AbcCorp", 4}}));
    EXPECT_EQ(st::currentTable(), st::findOpenTable("lxr35"));
    EXPECT_TRUE(messages().empty());
}

TEST_F(SearchTest, ListsWithoutAMatchSayNotFound) {
    fillStores();
    searchFor("不存在的词");
    for (const char* list : {kDiaryList, kReminderList, kMemoList, kContactList}) {
        EXPECT_EQ(lines(list), (Lines{{"未找到！", 0}})) << list;
    }
}

TEST_F(SearchTest, EmptyStoresSayNotFoundEverywhere) {
    searchFor("abc");
    for (const char* list : {kDiaryList, kReminderList, kMemoList, kContactList}) {
        EXPECT_EQ(lines(list), (Lines{{"未找到！", 0}})) << list;
    }
}

TEST_F(SearchTest, EmptyKeywordAndTheHintAreRefusedAndLeaveTheListsEmpty) {
    fillStores();
    searchFor("abc");
    for (const char* keyword : {"", "请在这里输入关键词并回车..."}) {
        ui::clearDialogScript();
        searchFor(keyword);
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].text, "请输入要搜索的关键词！");
        EXPECT_EQ(messages()[0].flags, 0x40);
        EXPECT_EQ(messages()[0].title, "信息！");
        for (const char* list : {kDiaryList, kReminderList, kMemoList, kContactList}) {
            EXPECT_EQ(ui::getListItemCount(kMain, list), 0) << list;
        }
    }
}

TEST_F(SearchTest, BlanksAreSearchedForUnchanged) {
    addDiary(makeDate(2024, 2, 2), "a  b");
    addDiary(makeDate(2024, 2, 3), "a b");
    addDiary(makeDate(2024, 2, 1), "x  y");
    searchFor("  ");
    EXPECT_EQ(lines(kDiaryList), (Lines{{"2024年2月1日", 0}, {"2024年2月2日", 0}}));
}

TEST_F(SearchTest, EnterInTheKeywordBoxSearchesAndOtherKeysDoNot) {
    fillStores();
    auto* box = findWidget<QLineEdit>("编辑框关键词");
    ASSERT_NE(box, nullptr);
    ui::setText(kMain, "编辑框关键词", "abc");
    QTest::keyClick(box, Qt::Key_Tab);
    EXPECT_EQ(ui::getListItemCount(kMain, kDiaryList), 0);
    ui::setText(kMain, "编辑框关键词", "abc");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(ui::getListItemCount(kMain, kDiaryList), 3);
}

TEST_F(SearchTest, FocusEmptiesTheKeywordBox) {
    ui::setText(kMain, "编辑框关键词", "abc");
    search::onKeywordBoxFocus();
    EXPECT_EQ(ui::getText(kMain, "编辑框关键词"), "");
}

TEST_F(SearchTest, ChoosingADiaryLineShowsThatDayWithTheKeywordSelected) {
    fillStores();
    searchFor("abc");
    ui::setInt(kMain, "选择夹右侧", "page", 2);
    choose(kDiaryList, 1);  // 2024年3月5日 "开会：讨论Abc项目"
    EXPECT_EQ(ui::getDate(kMain, "月历"), makeDate(2024, 3, 5));
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 0);
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "开会：讨论Abc项目");
    EXPECT_EQ(selectionStart("编辑框_本日志"), 10);  // five Chinese characters before it
    EXPECT_EQ(selectionLength("编辑框_本日志"), 3);
}

TEST_F(SearchTest, AKeywordClearedOrNoLongerInTheTextPutsTheCaretAtTheStart) {
    fillStores();
    searchFor("abc");
    search::onKeywordBoxFocus();
    choose(kDiaryList, 2);
    EXPECT_EQ(ui::getDate(kMain, "月历"), makeDate(2024, 12, 1));
    EXPECT_EQ(selectionStart("编辑框_本日志"), 0);
    EXPECT_EQ(selectionLength("编辑框_本日志"), 0);

    // The diary of 2024-03-05 and the memo lose the keyword after the search.
    searchFor("abc");
    ASSERT_TRUE(st::selectDatabase("rz35"));
    ASSERT_TRUE(st::goToRecord(4));
    ASSERT_TRUE(st::writeField("日志", std::string("开会：讨论项目")));
    ASSERT_TRUE(st::selectDatabase("bw35"));
    ASSERT_TRUE(st::goToRecord(1));
    ASSERT_TRUE(st::writeField("bw", std::string("备忘：已办完")));
    choose(kDiaryList, 1);
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "开会：讨论项目");
    EXPECT_EQ(selectionStart("编辑框_本日志"), 0);
    EXPECT_EQ(selectionLength("编辑框_本日志"), 0);
    choose(kMemoList, 0);
    EXPECT_EQ(ui::getText(kMain, "编辑框备忘便签"), "备忘：已办完");
    EXPECT_EQ(selectionStart("编辑框备忘便签"), 0);
    EXPECT_EQ(selectionLength("编辑框备忘便签"), 0);
}

TEST_F(SearchTest, ChoosingAPeriodicLineMovesTheCalendarToItsFirstDate) {
    fillStores();
    searchFor("abc");
    choose(kReminderList, 0);
    EXPECT_EQ(ui::getDate(kMain, "月历"), makeDate(2020, 1, 1));
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 0);
}

TEST_F(SearchTest, NotFoundLinesLeadNowhere) {
    searchFor("abc");
    ui::setInt(kMain, "选择夹右侧", "page", 1);
    choose(kDiaryList, 0);
    choose(kReminderList, 0);
    choose(kMemoList, 0);
    EXPECT_EQ(ui::getDate(kMain, "月历"), makeDate(2024, 6, 1));
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 1);
}

TEST_F(SearchTest, ChoosingTheMemoLineOpensTheMemoWithTheKeywordSelected) {
    fillStores();
    searchFor("abc");
    choose(kMemoList, 0);
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 2);
    EXPECT_EQ(ui::getText(kMain, "编辑框备忘便签"), "备忘：记得 ABC 的事");
    EXPECT_EQ(selectionStart("编辑框备忘便签"), 11);
    EXPECT_EQ(selectionLength("编辑框备忘便签"), 3);
}

TEST_F(SearchTest, ChoosingAContactLineSelectsItsRowAndMarksACellRed) {
    fillStores();
    searchFor("abc");
    choose(kContactList, 2);  // AbcCorp, record 4
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 3);
    const int row = ui::getDbGridFirstSelectedRow(kMain, "表格_人脉");
    const int column = ui::getDbGridFirstSelectedColumn(kMain, "表格_人脉");
    EXPECT_EQ(row, 4);
    auto* view = findWidget<QTableView>("表格_人脉");
    ASSERT_NE(view, nullptr);
    QColor colour = view->model()->index(row - 1, column - 1).data(Qt::ForegroundRole).value<QColor>();
    EXPECT_EQ(colour, QColor(255, 0, 0));
}

TEST_F(SearchTest, AContactLineWhoseRecordWentAwayOnlyOpensTheContactsPage) {
    fillStores();
    searchFor("abc");
    // AbcCorp (record 4) and then every contact leave the store after the search.
    ASSERT_TRUE(st::selectDatabase("lxr35"));
    while (st::getRecordCount() > 0) {
        ASSERT_TRUE(st::goToRecord(1));
        ASSERT_TRUE(st::deleteRecords());
        ASSERT_TRUE(st::packDatabase());
    }
    ui::setInt(kMain, "选择夹右侧", "page", 1);
    choose(kContactList, 2);
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 3);
    EXPECT_EQ(st::getRecordCount(), 0);
}

TEST_F(SearchTest, TheNotFoundContactLineOpensTheContactsPageOnTheRowAlreadyChosen) {
    addContact("甲");
    addContact("乙");
    ui::setDbGridCurrentRow(kMain, "数据源_联系人", 2);
    searchFor("abc");
    ASSERT_EQ(lines(kContactList), (Lines{{"未找到！", 0}}));
    ui::setInt(kMain, "选择夹右侧", "page", 1);
    choose(kContactList, 0);
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 3);
    EXPECT_EQ(ui::getDbGridFirstSelectedRow(kMain, "表格_人脉"), 2);
}

TEST_F(SearchTest, AContactNamedLikeTheNotFoundLineIsFoundLikeAnyOther) {
    addContact("甲");
    addContact("未找到！", "abc");
    searchFor("abc");
    ASSERT_EQ(lines(kContactList), (Lines{{"未找到！", 2}}));
    choose(kContactList, 0);
    EXPECT_EQ(ui::getDbGridFirstSelectedRow(kMain, "表格_人脉"), 2);
}

TEST_F(SearchTest, AContactLineChosenUnderALetterGroupShowsTheWholeList) {
    fillStores();
    addContact("白云", "abc");  // record 5
    contacts::filterContactsAD();
    ASSERT_EQ(providerFile(), groupFile("ad.edb"));
    searchFor("abc");
    choose(kContactList, 3);
    EXPECT_EQ(providerFile(), storeFile());
    EXPECT_EQ(ui::getDbGridFirstSelectedRow(kMain, "表格_人脉"), 5);
}

}  // namespace
}  // namespace qbtest
