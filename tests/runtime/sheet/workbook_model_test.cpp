// The workbook model without files: addresses, sheets and their names, the current range, and
// the fitting of column widths.
#include <gtest/gtest.h>

#include "runtime/sheet/sheet.h"

namespace sheet = runtime::sheet;

namespace {

TEST(CellAddress, ColumnLettersRunLikeTheSheet) {
    EXPECT_EQ(sheet::columnLetters(1), "a");
    EXPECT_EQ(sheet::columnLetters(26), "z");
    EXPECT_EQ(sheet::columnLetters(27), "aa");
    EXPECT_EQ(sheet::columnLetters(52), "az");
    EXPECT_EQ(sheet::columnLetters(53), "ba");
    EXPECT_EQ(sheet::columnLetters(60), "bh");
    EXPECT_EQ(sheet::columnLetters(702), "zz");
    EXPECT_EQ(sheet::columnLetters(703), "aaa");
    EXPECT_EQ(sheet::columnLetters(16384), "xfd");
    EXPECT_EQ(sheet::columnLetters(0), "");
    EXPECT_EQ(sheet::columnLetters(16385), "");
}

TEST(CellAddress, ParsesBothCasesAndAbsoluteMarks) {
    int row = 0, column = 0;
    ASSERT_TRUE(sheet::parseCellAddress("a1", row, column));
    EXPECT_EQ(row, 1);
    EXPECT_EQ(column, 1);
    ASSERT_TRUE(sheet::parseCellAddress("D12", row, column));
    EXPECT_EQ(row, 12);
    EXPECT_EQ(column, 4);
    ASSERT_TRUE(sheet::parseCellAddress("$AA$3", row, column));
    EXPECT_EQ(row, 3);
    EXPECT_EQ(column, 27);
    ASSERT_TRUE(sheet::parseCellAddress("xfd1048576", row, column));
    EXPECT_EQ(column, 16384);
}

TEST(CellAddress, RefusesWhatIsNoCell) {
    int row = 7, column = 7;
    for (const char* bad :
         {"", "1", "a", "a0", "1a", "a1b", "xfe1", "a1048577", "aaaa1", "a 1", "a-1", "a99999999"}) {
        EXPECT_FALSE(sheet::parseCellAddress(bad, row, column)) << bad;
    }
    EXPECT_EQ(row, 7);
    EXPECT_EQ(column, 7);
    EXPECT_EQ(sheet::cellAddress(5, 2), "b5");
    EXPECT_EQ(sheet::cellAddress(0, 2), "");
}

TEST(Sheets, NewWorkbookHasTheSheetsAskedFor) {
    sheet::Workbook book(3);
    EXPECT_EQ(book.sheetCount(), 3);
    EXPECT_EQ(book.sheet(1)->name(), "Sheet1");
    EXPECT_EQ(book.sheet(3)->name(), "Sheet3");
    EXPECT_EQ(book.sheet(4), nullptr);
    EXPECT_EQ(sheet::Workbook(0).sheetCount(), 1);
}

TEST(Sheets, AddedSheetsTakeTheFirstFreeNameAtTheEnd) {
    sheet::Workbook book(1);
    ASSERT_TRUE(book.setSheetName("Sheet2"));  // the next default name is taken
    book.addWorksheet();
    book.addWorksheet();
    ASSERT_EQ(book.sheetCount(), 3);
    EXPECT_EQ(book.sheet(2)->name(), "Sheet1");
    EXPECT_EQ(book.sheet(3)->name(), "Sheet3");
    EXPECT_EQ(book.currentSheetIndex(), 1);
    EXPECT_EQ(book.activeSheetIndex(), 1);
}

TEST(Sheets, NamesFollowTheSpreadsheetRules) {
    sheet::Workbook book(2);
    ASSERT_TRUE(book.setCurrentSheet(2));
    EXPECT_TRUE(book.setSheetName("人脉"));
    ASSERT_TRUE(book.setCurrentSheet(1));
    EXPECT_FALSE(book.setSheetName("人脉"));      // taken by sheet 2
    EXPECT_FALSE(book.setSheetName("SHEET2x/"));  // slash
    EXPECT_FALSE(book.setSheetName(""));
    EXPECT_FALSE(book.setSheetName("'quoted'"));
    EXPECT_FALSE(book.setSheetName(std::string(32, 'x')));
    EXPECT_TRUE(book.setSheetName(std::string(31, 'x')));
    ASSERT_TRUE(book.setCurrentSheet(2));
    EXPECT_FALSE(book.setSheetName(std::string(31, 'X')));  // same name, other case
    EXPECT_EQ(book.sheet(2)->name(), "人脉");
    EXPECT_FALSE(book.setCurrentSheet(3));
    EXPECT_FALSE(book.setCurrentSheet(0));
    EXPECT_EQ(book.currentSheetIndex(), 2);
}

TEST(Sheets, FindsSheet1WhateverItsCase) {
    sheet::Workbook book(2);
    ASSERT_TRUE(book.setCurrentSheet(2));
    ASSERT_TRUE(book.setSheetName("SHEET1x"));
    ASSERT_TRUE(book.setCurrentSheet(1));
    ASSERT_TRUE(book.setSheetName("sHeEt1"));
    ASSERT_NE(book.findSheet("sheet1"), nullptr);
    EXPECT_EQ(book.findSheet("sheet1")->name(), "sHeEt1");
    EXPECT_EQ(book.findSheet("sheet"), nullptr);
}

TEST(Range, OneCellIsWrittenAndReadBack) {
    sheet::Workbook book;
    ASSERT_TRUE(book.setStartCell("b3"));
    ASSERT_TRUE(book.setEndCell("b3"));
    ASSERT_TRUE(book.setValue("2024年3月5日"));
    EXPECT_EQ(book.value(), "2024年3月5日");
    EXPECT_EQ(book.currentSheet().cell(3, 2).asText(), "2024年3月5日");
    EXPECT_EQ(book.currentSheet().usedSize().rows, 3);
    EXPECT_EQ(book.currentSheet().usedSize().columns, 2);
}

TEST(Range, ABlockTakesTheTextInEveryCellAndEmptyTextClears) {
    sheet::Workbook book;
    ASSERT_TRUE(book.setStartCell("c2"));
    ASSERT_TRUE(book.setEndCell("a1"));  // either corner first
    ASSERT_TRUE(book.setValue("x"));
    EXPECT_EQ(book.currentSheet().cellCount(), 6u);
    ASSERT_TRUE(book.setValue(""));
    EXPECT_EQ(book.currentSheet().cellCount(), 0u);
    EXPECT_EQ(book.currentSheet().usedSize().rows, 0);
}

TEST(Range, BadAddressesLeaveTheRangeAsItWas) {
    sheet::Workbook book;
    EXPECT_FALSE(book.setValue("no range yet"));
    EXPECT_FALSE(book.setEndCell("a1"));  // no start cell
    ASSERT_TRUE(book.setStartCell("a2"));
    ASSERT_TRUE(book.setEndCell("a2"));
    EXPECT_FALSE(book.setStartCell("1"));
    EXPECT_FALSE(book.setEndCell(""));
    ASSERT_TRUE(book.setValue("kept"));
    EXPECT_EQ(book.currentSheet().cell(2, 1).asText(), "kept");
}

TEST(Range, AWholeSheetRangeIsRefusedInsteadOfFillingMemory) {
    sheet::Workbook book;
    ASSERT_TRUE(book.setStartCell("a1"));
    ASSERT_TRUE(book.setEndCell("xfd1048576"));
    EXPECT_FALSE(book.setValue("x"));
    EXPECT_EQ(book.currentSheet().cellCount(), 0u);
}

TEST(Range, ChangingTheCurrentSheetDropsTheRange) {
    sheet::Workbook book(2);
    ASSERT_TRUE(book.setStartCell("a1"));
    ASSERT_TRUE(book.setEndCell("a1"));
    ASSERT_TRUE(book.setCurrentSheet(2));
    EXPECT_FALSE(book.setValue("would land on the wrong sheet"));
    EXPECT_EQ(book.sheet(1)->cellCount() + book.sheet(2)->cellCount(), 0u);
}

TEST(AutoFit, WidthFollowsTheWidestLineInGb18030Widths) {
    sheet::Workbook book;
    auto write = [&](const char* at, const char* text) {
        ASSERT_TRUE(book.setStartCell(at));
        ASSERT_TRUE(book.setEndCell(at));
        ASSERT_TRUE(book.setValue(text));
    };
    write("a1", "日期");
    write("a2", "2024年12月31日");  // 8 digits + 3 Chinese = 14
    write("b1", "日志");
    write("b2", "短\n这一行有十一个汉字的长度");  // widest line: 12 Chinese = 24
    write("c1", "x");
    write("d9", "outside the range, and very long indeed");
    ASSERT_TRUE(book.setStartCell("a1"));
    ASSERT_TRUE(book.setEndCell("d3"));
    ASSERT_TRUE(book.autoFitCurrentRange());
    const sheet::Worksheet& s = book.currentSheet();
    EXPECT_DOUBLE_EQ(s.columnWidth(1), 15.0);
    EXPECT_DOUBLE_EQ(s.columnWidth(2), 25.0);
    EXPECT_DOUBLE_EQ(s.columnWidth(3), sheet::kDefaultColumnWidth);  // never narrower than the default
    EXPECT_DOUBLE_EQ(s.columnWidth(4), 0.0);                         // no text in range: left alone
}

TEST(AutoFit, AHugeTextStopsAtTheWidestColumn) {
    sheet::Workbook book;
    ASSERT_TRUE(book.setStartCell("a2"));
    ASSERT_TRUE(book.setEndCell("a2"));
    ASSERT_TRUE(book.setValue(std::string(100000, 'm')));
    ASSERT_TRUE(book.setStartCell("a1"));
    ASSERT_TRUE(book.setEndCell("a3"));
    ASSERT_TRUE(book.autoFitCurrentRange());
    EXPECT_DOUBLE_EQ(book.currentSheet().columnWidth(1), sheet::kMaxColumnWidth);
}

TEST(CellText, NumbersDatesAndFlagsReadAsTheProgramShowsThem) {
    EXPECT_EQ(sheet::Cell::ofNumber(13800138000.0).asText(), "13800138000");
    EXPECT_EQ(sheet::Cell::ofNumber(-42).asText(), "-42");
    EXPECT_EQ(sheet::Cell::ofNumber(3.25).asText(), "3.25");
    EXPECT_EQ(sheet::Cell::ofNumber(-0.0).asText(), "0");
    EXPECT_EQ(sheet::Cell::ofDate(45356).asText(), "2024年3月5日");
    EXPECT_EQ(sheet::Cell::ofDate(45356.5).asText(), "2024年3月5日12时");
    EXPECT_EQ(sheet::Cell::ofDate(1e12).asText(), "1000000000000");  // beyond any date: the number
    EXPECT_EQ((sheet::Cell{sheet::Cell::Kind::Boolean, {}, 1}).asText(), "TRUE");
    EXPECT_EQ((sheet::Cell{sheet::Cell::Kind::Error, "#N/A", 0}).asText(), "#N/A");
}

}  // namespace
