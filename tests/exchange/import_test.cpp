// The contact import window on the real windows: opening it, the column list of a chosen file,
// the import of ticked columns, and every bad file or premature click the user can make.
#include <QAbstractButton>

#include <fstream>

#include "exchange_fixture.h"

namespace qbtest {
namespace {

using Rows = std::vector<std::vector<std::string>>;

constexpr const char* kWindow = "ImportContactsWindow";
constexpr const char* kColumns = "选择列表框1";

class ImportTest : public ExchangeTest {
protected:
    void SetUp() override {
        ExchangeTest::SetUp();
        exchange::onImportContactsButton();
        ASSERT_TRUE(ui::isWindowLoaded(kWindow));
        ui::clearDialogScript();
    }

    static void click(const char* button) {
        QWidget* w = ui::findControlWidget(kWindow, button);
        auto* b = qobject_cast<QAbstractButton*>(w);
        ASSERT_NE(b, nullptr) << button;
        b->click();
    }

    // A workbook file whose sheet `sheetName` holds `rows` (row 1 the header).
    std::string workbookWith(const Rows& rows, const std::string& sheetName = "Sheet1",
                             const std::string& file = "contacts.xlsx") const {
        sheet::Workbook book;
        EXPECT_TRUE(book.setSheetName(sheetName));
        for (std::size_t r = 0; r < rows.size(); ++r) {
            for (std::size_t c = 0; c < rows[r].size(); ++c) {
                const std::string at = sheet::cellAddress(static_cast<int>(r) + 1, static_cast<int>(c) + 1);
                EXPECT_TRUE(book.setStartCell(at));
                EXPECT_TRUE(book.setEndCell(at));
                EXPECT_TRUE(book.setValue(rows[r][c]));
            }
        }
        const std::string path = dir_ + "/" + file;
        EXPECT_TRUE(sheet::saveWorkbook(book, path).ok);
        return path;
    }

    static void choose(const std::string& path) {
        ui::pushCommonDialogAnswer(true, path);
        click("按钮_选择excel文件");
    }

    static std::vector<std::pair<std::string, int64_t>> columnLines() {
        std::vector<std::pair<std::string, int64_t>> out;
        for (int i = 0; i < ui::getListItemCount(kWindow, kColumns); ++i) {
            out.emplace_back(ui::getListItemText(kWindow, kColumns, i),
                             ui::getListItemData(kWindow, kColumns, i));
        }
        return out;
    }

    // Ticks the lines given (0-based) and makes `current` the clicked line.
    static void tick(std::initializer_list<int> lines, int current) {
        auto* list = qobject_cast<QListWidget*>(ui::findControlWidget(kWindow, kColumns));
        ASSERT_NE(list, nullptr);
        for (int i : lines) list->item(i)->setCheckState(Qt::Checked);
        list->setCurrentRow(current);
    }

    static const Rows kThree;
};

const Rows ImportTest::kThree = {
    {"姓名", "电话", "备注"},
    {"张三", "13800138000", "老同学"},
    {"李四", "010-12345678", ""},
    {"Wang Wu", "", "同事"},
};

TEST_F(ImportTest, TheWindowListsTheContactFieldsAndShowsTheContactsPage) {
    EXPECT_EQ(ui::getListItemCount(kWindow, "列表框1"), 3);
    EXPECT_EQ(ui::getListItemText(kWindow, "列表框1", 0), "姓名");
    EXPECT_EQ(ui::getListItemText(kWindow, "列表框1", 2), "备注");
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 3);
}

TEST_F(ImportTest, TheColumnListShowsTheHeaderRowOfTheFirstSheet) {
    choose(workbookWith(kThree));
    EXPECT_EQ(ui::getText(kWindow, "编辑框1"), dir_ + "/contacts.xlsx");
    EXPECT_EQ(columnLines(),
              (std::vector<std::pair<std::string, int64_t>>{{"姓名", 1}, {"电话", 2}, {"备注", 3}}));
    EXPECT_TRUE(messages().empty());
}

TEST_F(ImportTest, TwentySevenColumnsRunFromAToAa) {
    Rows rows(1);
    for (int c = 1; c <= 27; ++c) rows[0].push_back("col" + std::to_string(c));
    choose(workbookWith(rows));
    const auto lines = columnLines();
    ASSERT_EQ(lines.size(), 27u);
    EXPECT_EQ(lines[25], (std::pair<std::string, int64_t>{"col26", 26}));
    EXPECT_EQ(lines[26], (std::pair<std::string, int64_t>{"col27", 27}));
}

TEST_F(ImportTest, CancellingTheDialogRereadsTheFileAlreadyNamed) {
    const std::string path = workbookWith(kThree);
    ui::setText(kWindow, "编辑框1", path);
    ui::pushCommonDialogAnswer(false, "");
    click("按钮_选择excel文件");
    EXPECT_EQ(ui::getText(kWindow, "编辑框1"), path);
    EXPECT_EQ(columnLines().size(), 3u);
}

TEST_F(ImportTest, AllThreeColumnsTickedAddThreeContacts) {
    addContact("老朋友", "1", "已有");
    choose(workbookWith(kThree));
    tick({0, 1, 2}, 0);
    click("按钮_开始导入联系人");
    EXPECT_EQ(rowsOf("lxr35"), (Rows{{"老朋友", "1", "已有"},
                                     {"张三", "13800138000", "老同学"},
                                     {"李四", "010-12345678", ""},
                                     {"Wang Wu", "", "同事"}}));
    const auto shown = messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "导入成功！");
    EXPECT_EQ(shown[0].flags, 1);
    EXPECT_EQ(shown[0].title, "信息：");
    EXPECT_FALSE(ui::isWindowLoaded(kWindow));
    EXPECT_EQ(st::currentTable(), st::findOpenTable("lxr35"));
}

TEST_F(ImportTest, OnlyTheTickedColumnIsTaken) {
    choose(workbookWith(kThree));
    tick({1}, 1);
    click("按钮_开始导入联系人");
    EXPECT_EQ(rowsOf("lxr35"), (Rows{{"", "13800138000", ""}, {"", "010-12345678", ""}, {"", "", ""}}));
}

TEST_F(ImportTest, StartingBeforeAnyLineWasClickedIsRefused) {
    choose(workbookWith(kThree));
    click("按钮_开始导入联系人");
    const auto shown = messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "尚未选择任何一个字段！");
    EXPECT_EQ(shown[0].flags, 64);
    EXPECT_TRUE(ui::isWindowLoaded(kWindow));
    EXPECT_TRUE(rowsOf("lxr35").empty());
}

TEST_F(ImportTest, ALineClickedButNoneTickedStillAddsOneBlankContactPerRow) {
    choose(workbookWith(kThree));
    tick({}, 2);
    click("按钮_开始导入联系人");
    EXPECT_EQ(rowsOf("lxr35").size(), 3u);
}

TEST_F(ImportTest, AHeaderThatNamesNoFieldIsDroppedAndTheUserIsTold) {
    choose(workbookWith({{"姓名", "手机"}, {"赵六", "139"}}));
    tick({0, 1}, 0);
    click("按钮_开始导入联系人");
    EXPECT_EQ(rowsOf("lxr35"), (Rows{{"赵六", "", ""}}));
    const auto shown = messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[0].text.find("“手机”"), std::string::npos);
    EXPECT_EQ(shown[1].text, "导入成功！");
}

TEST_F(ImportTest, BlankRowsAreNoContactsAndLongValuesAreCutToTheField) {
    choose(workbookWith({{"姓名", "备注"}, {"一二三四五六七八", "x"}, {"", ""}, {}, {"最后", ""}}));
    tick({0, 1}, 0);
    click("按钮_开始导入联系人");
    EXPECT_EQ(rowsOf("lxr35"), (Rows{{"一二三四五", "", "x"}, {"最后", "", ""}}));
}

TEST_F(ImportTest, AnXlsWorkbookImportsWithNumbersAndDatesAsText) {
    std::filesystem::copy_file(std::string(QB_SHEET_FIXTURES) + "/contacts.xls", dir_ + "/old.xls");
    choose(dir_ + "/old.xls");
    ASSERT_EQ(columnLines().size(), 3u);
    tick({0, 1, 2}, 0);
    click("按钮_开始导入联系人");
    const Rows rows = rowsOf("lxr35");
    // Row 6 holds only a formula saved without its result: no cell in use, so no contact.
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"张三", "13800138000", "老同学"}));
    EXPECT_EQ(rows[2][1], "3.25");
    EXPECT_EQ(rows[3], (std::vector<std::string>{"生日", "", "2024年3月5日"}));
}

TEST_F(ImportTest, AWorkbookWithoutSheet1ImportsNothingAndSaysWhy) {
    std::filesystem::copy_file(std::string(QB_SHEET_FIXTURES) + "/no_sheet1.xls", dir_ + "/named.xls");
    choose(dir_ + "/named.xls");
    ASSERT_EQ(columnLines().size(), 1u);
    tick({0}, 0);
    click("按钮_开始导入联系人");
    EXPECT_TRUE(rowsOf("lxr35").empty());
    // One message with the reason, no success claimed; the closing steps ran all the same.
    const auto shown = messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("sheet1"), std::string::npos);
    EXPECT_FALSE(ui::isWindowLoaded(kWindow));
}

TEST_F(ImportTest, AHeaderRowAloneImportsNothingAndSaysWhy) {
    choose(workbookWith({{"姓名", "电话"}}));
    tick({0}, 0);
    click("按钮_开始导入联系人");
    EXPECT_TRUE(rowsOf("lxr35").empty());
    const auto shown = messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("没有导入任何联系人"), std::string::npos);
    EXPECT_FALSE(ui::isWindowLoaded(kWindow));
}

TEST_F(ImportTest, AStrayCellFarDownAndRightStillImportsPromptly) {
    sheet::Workbook book;
    ASSERT_TRUE(book.setSheetName("Sheet1"));
    const auto put = [&](int row, int column, const std::string& text) {
        const std::string at = sheet::cellAddress(row, column);
        ASSERT_TRUE(book.setStartCell(at));
        ASSERT_TRUE(book.setEndCell(at));
        ASSERT_TRUE(book.setValue(text));
    };
    put(1, 1, "姓名");
    put(1, 2, "电话");
    put(2, 1, "张三");
    put(2, 2, "138");
    put(3, 1, "李四");
    // A used range of a million rows by two thousand columns holding five cells.
    put(sheet::kMaxRows, 2000, "x");
    const std::string path = dir_ + "/stray.xlsx";
    ASSERT_TRUE(sheet::saveWorkbook(book, path).ok);
    choose(path);
    ASSERT_EQ(columnLines().size(), 2000u);
    tick({0, 1}, 0);
    click("按钮_开始导入联系人");
    // The stray cell's row is a data row like any other; the rows between hold nothing.
    EXPECT_EQ(rowsOf("lxr35"), (Rows{{"张三", "138", ""}, {"李四", "", ""}, {"", "", ""}}));
    ASSERT_FALSE(messages().empty());
    EXPECT_EQ(messages().back().text, "导入成功！");
}

TEST_F(ImportTest, ADamagedFileIsReportedAndNeverEndsTheProgram) {
    const std::string path = dir_ + "/broken.xls";
    std::ofstream(path, std::ios::binary)
        << std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) << std::string(3000, '\x7F');
    choose(path);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].title, "错误！");
    EXPECT_NE(messages()[0].text.find("损坏"), std::string::npos);
    EXPECT_EQ(ui::getListItemCount(kWindow, kColumns), 0);
    EXPECT_EQ(ended_, -1);
    EXPECT_TRUE(ui::isWindowLoaded(kWindow));
}

TEST_F(ImportTest, AFileGoneBeforeTheStartFailsToConnect) {
    const std::string path = workbookWith(kThree);
    choose(path);
    tick({0, 1, 2}, 0);
    std::filesystem::remove(path);
    ui::clearDialogScript();
    click("按钮_开始导入联系人");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "连接失败");
    EXPECT_TRUE(rowsOf("lxr35").empty());
    EXPECT_EQ(ended_, -1);
}

TEST_F(ImportTest, AnUnchangedFileIsReadOnceForTheColumnsAndTheRows) {
    const std::string path = workbookWith(kThree);
    choose(path);
    tick({0, 1, 2}, 0);
    // Its bytes spoilt behind the file's back, its size and time of change kept: only a second
    // read would see it.
    const auto changed = std::filesystem::last_write_time(path);
    const auto size = std::filesystem::file_size(path);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(size, 'x');
    std::filesystem::last_write_time(path, changed);
    click("按钮_开始导入联系人");
    EXPECT_EQ(rowsOf("lxr35").size(), 3u);
    ASSERT_FALSE(messages().empty());
    EXPECT_EQ(messages().back().text, "导入成功！");
}

TEST_F(ImportTest, QuitClosesTheWindowAndLeavesTheStoreAlone) {
    click("按钮_退出");
    EXPECT_FALSE(ui::isWindowLoaded(kWindow));
    EXPECT_TRUE(rowsOf("lxr35").empty());
    EXPECT_TRUE(messages().empty());
}

TEST(ExcelColumnName, SixtyNamesAndNothingBeyond) {
    EXPECT_EQ(exchange::getExcelColumnName(1), "a");
    EXPECT_EQ(exchange::getExcelColumnName(26), "z");
    EXPECT_EQ(exchange::getExcelColumnName(27), "aa");
    EXPECT_EQ(exchange::getExcelColumnName(60), "bh");
    EXPECT_EQ(exchange::getExcelColumnName(61), "");
    EXPECT_EQ(exchange::getExcelColumnName(0), "");
}

}  // namespace
}  // namespace qbtest
