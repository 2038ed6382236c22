// The export buttons on the real main window: the guard, the workbook's sheets and rows for
// search results and for all stores, and the file the user is told about.
#include <QAbstractButton>

#include <fstream>

#include "exchange_fixture.h"

namespace qbtest {
namespace {

using runtime::makeDate;
using Rows = std::vector<std::vector<std::string>>;

class ExportTest : public ExchangeTest {
protected:
    // Clicks the button as the user would; its bound handler runs.
    static void click(const char* button) {
        auto* b = qobject_cast<QAbstractButton*>(ui::findControlWidget(kMain, button));
        ASSERT_NE(b, nullptr) << button;
        b->click();
    }

    // The workbook the last export saved, read back from its file.
    static sheet::Workbook exported() {
        sheet::Workbook book;
        const std::string path = exchange::lastExportPath();
        EXPECT_FALSE(path.empty());
        const sheet::ReadResult read = sheet::openWorkbook(path, book);
        EXPECT_TRUE(read.ok()) << read.message;
        return book;
    }

    static std::string expectedPath(const std::string& suffix = "") {
        return exchange::exportFolder() + "/Quillarbor导出数据-2024年6月1日12时" + suffix + ".xlsx";
    }

    void fillStores() {
        addDiary(makeDate(2024, 12, 1), "年底总结 ABC");
        addDiary(makeDate(2023, 5, 2), "xabcx");
        addDiary(makeDate(2024, 1, 1), "没有关键词");
        addItem(makeDate(2024, 3, 5), 1, "年", "abc 第一");
        addItem(makeDate(2020, 1, 1), 2, "月", "ABC 更早");
        addItem(makeDate(2019, 1, 1), 3, "日", "无关");
        setMemo("备忘：记得 ABC 的事\n第二行");
        addContact("李四", "abc123", "ABC 同事");
        addContact("王五", "555", "无关");
        addContact("李四", "999", "abc 重名");
    }
};

TEST_F(ExportTest, BeforeAnySearchNothingIsExported) {
    click("按钮_导出结果");
    const auto shown = messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "没有任何搜索结果，无需导出！");
    EXPECT_EQ(shown[0].title, "信息！");
    EXPECT_EQ(shown[0].flags, 64);
    EXPECT_FALSE(runtime::fileExists(exchange::exportFolder()));
}

TEST_F(ExportTest, ASearchThatFoundNothingIsNotExported) {
    fillStores();
    searchFor("没有这个词");
    ASSERT_EQ(ui::getListItemText(kMain, "列表框_人脉搜索结果", 0), "未找到！");
    click("按钮_导出结果");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "没有任何搜索结果，无需导出！");
    EXPECT_FALSE(runtime::fileExists(exchange::exportFolder()));
}

TEST_F(ExportTest, SearchResultsGoOutSheetBySheetInListOrder) {
    fillStores();
    searchFor("abc");
    click("按钮_导出结果");

    ASSERT_EQ(exchange::lastExportPath(), expectedPath());
    const auto shown = messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "数据已导出到Excel工作簿：\n" + expectedPath());
    EXPECT_EQ(shown[0].flags, 64);

    const sheet::Workbook book = exported();
    ASSERT_EQ(book.sheetCount(), 4);
    EXPECT_EQ(book.sheet(1)->name(), "日志");
    EXPECT_EQ(book.sheet(2)->name(), "提醒");
    EXPECT_EQ(book.sheet(3)->name(), "备忘");
    EXPECT_EQ(book.sheet(4)->name(), "人脉");
    EXPECT_EQ(cellsOf(*book.sheet(1)), (Rows{{"日期", "日志"},
                                             {"2023年5月2日", "xabcx"},
                                             {"2024年12月1日", "年底总结 ABC"}}));
    EXPECT_EQ(cellsOf(*book.sheet(2)), (Rows{{"初始提醒日期", "循环周期", "循环单位", "提醒内容"},
                                             {"2020年1月1日", "2", "月", "ABC 更早"},
                                             {"2024年3月5日", "1", "年", "abc 第一"}}));
    EXPECT_EQ(cellsOf(*book.sheet(3)), (Rows{{"备忘内容"}, {"备忘：记得 ABC 的事\n第二行"}}));
    // Two contacts of one name: both rows show the first one's telephone and remark.
    EXPECT_EQ(cellsOf(*book.sheet(4)), (Rows{{"姓名", "电话", "备注"},
                                             {"李四", "abc123", "ABC 同事"},
                                             {"李四", "abc123", "ABC 同事"}}));
}

TEST_F(ExportTest, HitsAmongTheContactsOnlyLeaveTheOtherSheetsWithTheirHeaders) {
    fillStores();
    searchFor("555");
    click("按钮_导出结果");
    const sheet::Workbook book = exported();
    EXPECT_EQ(cellsOf(*book.sheet(1)), (Rows{{"日期", "日志"}}));
    EXPECT_EQ(cellsOf(*book.sheet(2)), (Rows{{"初始提醒日期", "循环周期", "循环单位", "提醒内容"}}));
    EXPECT_EQ(cellsOf(*book.sheet(3)), (Rows{{"备忘内容"}}));
    EXPECT_EQ(cellsOf(*book.sheet(4)), (Rows{{"姓名", "电话", "备注"}, {"王五", "555", "无关"}}));
}

TEST_F(ExportTest, AResultWhoseRecordWentAwayKeepsItsLineTextAlone) {
    fillStores();
    searchFor("abc");
    // After the search: the first contact and the first periodic item are deleted.
    ASSERT_TRUE(st::selectDatabase("lxr35"));
    ASSERT_TRUE(st::goToRecord(1));
    ASSERT_TRUE(st::deleteRecords());
    ASSERT_TRUE(st::packDatabase());
    ASSERT_TRUE(st::selectDatabase("tx35"));
    ASSERT_TRUE(st::goToRecord(1));
    ASSERT_TRUE(st::deleteRecords());
    ASSERT_TRUE(st::packDatabase());
    click("按钮_导出结果");
    const sheet::Workbook book = exported();
    // Item 2 (2020年1月1日) is now record 1; the line naming record 2 finds another date.
    EXPECT_EQ(cellsOf(*book.sheet(2)), (Rows{{"初始提醒日期", "循环周期", "循环单位", "提醒内容"},
                                             {"2020年1月1日", "", "", ""},
                                             {"2024年3月5日", "", "", ""}}));
    // Both lines say 李四; the remaining 李四 is found for each.
    EXPECT_EQ(cellsOf(*book.sheet(4)), (Rows{{"姓名", "电话", "备注"},
                                             {"李四", "999", "abc 重名"},
                                             {"李四", "999", "abc 重名"}}));
}

TEST_F(ExportTest, EverythingGoesOutInStoreOrder) {
    fillStores();
    addDiary(runtime::DateTime{makeDate(2022, 2, 2).days + 15.0 / 24}, "下午三点");
    click("按钮_导出全库");
    const sheet::Workbook book = exported();
    EXPECT_EQ(cellsOf(*book.sheet(1)), (Rows{{"日期", "日志"},
                                             {"2024年12月1日", "年底总结 ABC"},
                                             {"2023年5月2日", "xabcx"},
                                             {"2024年1月1日", "没有关键词"},
                                             {"2022年2月2日15时", "下午三点"}}));
    EXPECT_EQ(cellsOf(*book.sheet(2)).size(), 4u);
    EXPECT_EQ(cellsOf(*book.sheet(2))[3], (std::vector<std::string>{"2019年1月1日", "3", "日", "无关"}));
    EXPECT_EQ(cellsOf(*book.sheet(3)), (Rows{{"备忘内容"}, {"备忘：记得 ABC 的事\n第二行"}}));
    EXPECT_EQ(cellsOf(*book.sheet(4)), (Rows{{"姓名", "电话", "备注"},
                                             {"李四", "abc123", "ABC 同事"},
                                             {"王五", "555", "无关"},
                                             {"李四", "999", "abc 重名"}}));
}

TEST_F(ExportTest, EmptyStoresGiveHeaderRowsAlone) {
    click("按钮_导出全库");
    const sheet::Workbook book = exported();
    ASSERT_EQ(book.sheetCount(), 4);
    EXPECT_EQ(cellsOf(*book.sheet(1)), (Rows{{"日期", "日志"}}));
    EXPECT_EQ(cellsOf(*book.sheet(3)), (Rows{{"备忘内容"}}));
    EXPECT_EQ(cellsOf(*book.sheet(4)), (Rows{{"姓名", "电话", "备注"}}));
}

TEST_F(ExportTest, TwoExportsInTheSameSecondMakeTwoFiles) {
    fillStores();
    click("按钮_导出全库");
    const std::string first = exchange::lastExportPath();
    click("按钮_导出全库");
    EXPECT_EQ(first, expectedPath());
    EXPECT_EQ(exchange::lastExportPath(), expectedPath("(2)"));
    EXPECT_TRUE(runtime::fileExists(first));
}

TEST_F(ExportTest, AMemoOverTheCellLimitIsCutInTheFileOnlyAndTheUserIsTold) {
    std::string memo;
    for (int i = 0; i < 40000; ++i) memo += "字";
    setMemo(memo);
    click("按钮_导出全库");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].text.find("32767"), std::string::npos);
    const sheet::Workbook book = exported();
    EXPECT_EQ(book.sheet(3)->cell(2, 1).asText().size(), 32767u * 3);
    ASSERT_TRUE(st::selectDatabase("bw35"));
    ASSERT_TRUE(st::goToFirstRecord());
    EXPECT_EQ(st::valueText(st::readField("bw")), memo);
}

TEST_F(ExportTest, AnExportThatCannotBeSavedSaysWhyAndTheProgramCarriesOn) {
    fillStores();
    std::ofstream(exchange::exportFolder()) << "a file where the folder should be";
    click("按钮_导出全库");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].title, "错误！");
    EXPECT_EQ(messages()[0].flags, 16);
    // The reason is told in the program's language, not in the spreadsheet library's English.
    EXPECT_NE(messages()[0].text.find("无法创建文件"), std::string::npos) << messages()[0].text;
    EXPECT_EQ(messages()[0].text.find("Error"), std::string::npos) << messages()[0].text;
    EXPECT_EQ(ended_, -1);
    EXPECT_EQ(rowsOf("lxr35").size(), 3u);
}

}  // namespace
}  // namespace qbtest
