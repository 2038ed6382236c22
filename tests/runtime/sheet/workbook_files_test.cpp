// Workbook files: .xlsx written and read back, .xlsx parts as other producers write them (built
// here by hand), the committed .xls fixtures, and every kind of bad file the import may be given.
#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "runtime/sheet/sheet.h"

namespace sheet = runtime::sheet;
namespace fs = std::filesystem;

namespace {

class WorkbookFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("qb_sheet_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    void writeBytes(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
    }
    std::string readBytes(const std::string& file) const {
        std::ifstream in(file, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    // A zip archive of the given parts, as any .xlsx producer would pack it.
    void writeZip(const std::string& name, const std::vector<std::pair<std::string, std::string>>& parts) const {
        zipFile z = zipOpen64(path(name).c_str(), APPEND_STATUS_CREATE);
        ASSERT_NE(z, nullptr);
        for (const auto& [part, data] : parts) {
            ASSERT_EQ(zipOpenNewFileInZip64(z, part.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                            Z_DEFAULT_COMPRESSION, 1),
                      ZIP_OK);
            ASSERT_EQ(zipWriteInFileInZip(z, data.data(), static_cast<unsigned>(data.size())), ZIP_OK);
            ASSERT_EQ(zipCloseFileInZip(z), ZIP_OK);
        }
        ASSERT_EQ(zipClose(z, nullptr), ZIP_OK);
    }

    // The minimum package around one worksheet part, with optional shared strings and styles.
    std::vector<std::pair<std::string, std::string>> package(const std::string& sheetXml, const std::string& sst = {},
                                                             const std::string& styles = {},
                                                             const std::string& workbookPr = {}) const {
        std::string rels =
            R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)";
        if (!sst.empty()) {
            rels += R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)";
        }
        if (!styles.empty()) {
            rels += R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="/xl/styles.xml"/>)";
        }
        rels += "</Relationships>";
        std::vector<std::pair<std::string, std::string>> parts = {
            {"_rels/.rels",
             R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
             R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
            {"xl/workbook.xml",
             R"(<?xml version="1.0"?><x:workbook xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
             R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)" +
                 workbookPr + R"(<x:sheets><x:sheet name="SHEET1" sheetId="1" r:id="rId1"/></x:sheets></x:workbook>)"},
            {"xl/_rels/workbook.xml.rels", rels},
            {"xl/worksheets/sheet1.xml",
             R"(<?xml version="1.0"?><x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><x:sheetData>)" +
                 sheetXml + "</x:sheetData></x:worksheet>"},
        };
        if (!sst.empty()) parts.push_back({"xl/sharedStrings.xml", sst});
        if (!styles.empty()) parts.push_back({"xl/styles.xml", styles});
        return parts;
    }

    fs::path dir_;
};

std::string fixture(const char* name) { return std::string(QB_SHEET_FIXTURES) + "/" + name; }

void writeCell(sheet::Workbook& book, const std::string& at, const std::string& text) {
    ASSERT_TRUE(book.setStartCell(at));
    ASSERT_TRUE(book.setEndCell(at));
    ASSERT_TRUE(book.setValue(text));
}

// ---- Written and read back ----

TEST_F(WorkbookFiles, WhatIsSavedReadsBackSheetBySheet) {
    sheet::Workbook book(4);
    const char* names[] = {"日志", "提醒", "备忘", "人脉"};
    for (int i = 1; i <= 4; ++i) {
        ASSERT_TRUE(book.setCurrentSheet(i));
        ASSERT_TRUE(book.setSheetName(names[i - 1]));
        book.activateCurrentSheet();
    }
    ASSERT_TRUE(book.setCurrentSheet(1));
    writeCell(book, "a1", "日期");
    writeCell(book, "a2", "2024年3月5日");
    writeCell(book, "b2", "第一行\n第二行 with <tags> & \"quotes\"");
    ASSERT_TRUE(book.setCurrentSheet(4));
    writeCell(book, "c3", "  leading and trailing blanks  ");
    writeCell(book, "aa1", "😀 beyond the basic plane");

    const sheet::SaveResult saved = sheet::saveWorkbook(book, path("out.xlsx"));
    ASSERT_TRUE(saved.ok) << saved.message;
    EXPECT_EQ(saved.cutCells, 0);
    EXPECT_FALSE(fs::exists(path("out.xlsx.part")));

    sheet::Workbook back;
    const sheet::ReadResult read = sheet::openWorkbook(path("out.xlsx"), back);
    ASSERT_TRUE(read.ok()) << read.message;
    ASSERT_EQ(back.sheetCount(), 4);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(back.sheet(i)->name(), names[i - 1]);
    EXPECT_EQ(back.sheet(1)->cell(2, 1).asText(), "2024年3月5日");
    EXPECT_EQ(back.sheet(1)->cell(2, 2).asText(), "第一行\n第二行 with <tags> & \"quotes\"");
    EXPECT_EQ(back.sheet(4)->cell(3, 3).asText(), "  leading and trailing blanks  ");
    EXPECT_EQ(back.sheet(4)->cell(1, 27).asText(), "😀 beyond the basic plane");
    EXPECT_EQ(back.sheet(4)->usedSize().columns, 27);
    EXPECT_EQ(back.sheet(2)->cellCount(), 0u);
}

TEST_F(WorkbookFiles, ASpooledWorkbookHoldsOneRowAndAnswersAndSavesAsOneInMemory) {
    // The same writes into both: rows mostly in order, some back to rows already spooled, some
    // cells cleared, a few texts long enough to be fitted.
    sheet::Workbook memory(2);
    sheet::Workbook spooled(2, sheet::Workbook::Storage::Spooled);
    std::mt19937 rng(11);
    const char* pieces[] = {"日", "a", "\n"};
    std::size_t mostHeld = 0;
    int row = 1;
    for (int i = 0; i < 3000; ++i) {
        if (i == 2000) row = 1;  // from here on writes go back to rows already written too
        row += i >= 2000 ? static_cast<int>(rng() % 7) - 3 : static_cast<int>(rng() % 3 == 0);
        row = std::max(row, 1);
        const std::string at = sheet::cellAddress(row, 1 + static_cast<int>(rng() % 4));
        std::string text;
        for (std::size_t n = rng() % 10 == 0 ? 0 : rng() % 40; n > 0; --n) text += pieces[rng() % 3];
        for (sheet::Workbook* book : {&memory, &spooled}) {
            ASSERT_TRUE(book->setCurrentSheet(1 + (i / 1500)));
            writeCell(*book, at, text);
            ASSERT_EQ(book->value(), text);
        }
        if (i < 2000) mostHeld = std::max(mostHeld, spooled.sheet(1)->cells().size());
    }
    EXPECT_LE(mostHeld, 4u);  // one row of four columns
    for (int s = 1; s <= 2; ++s) {
        for (sheet::Workbook* book : {&memory, &spooled}) {
            ASSERT_TRUE(book->setCurrentSheet(s));
            writeCell(*book, "a1", "标题");
            ASSERT_TRUE(book->setEndCell("d3000"));
            ASSERT_TRUE(book->autoFitCurrentRange());
        }
        const sheet::Worksheet& a = *memory.sheet(s);
        const sheet::Worksheet& b = *spooled.sheet(s);
        EXPECT_EQ(b.cellCount(), a.cellCount());
        EXPECT_EQ(b.usedSize().rows, a.usedSize().rows);
        EXPECT_EQ(b.columnWidths(), a.columnWidths());
        std::vector<std::string> cellsA, cellsB;
        ASSERT_TRUE(a.forEachCell([&](int r, int c, const sheet::Cell& cell) {
            cellsA.push_back(sheet::cellAddress(r, c) + "=" + cell.asText());
        }));
        ASSERT_TRUE(b.forEachCell([&](int r, int c, const sheet::Cell& cell) {
            cellsB.push_back(sheet::cellAddress(r, c) + "=" + cell.asText());
        }));
        EXPECT_EQ(cellsB, cellsA);
        EXPECT_EQ(b.cell(2, 1).asText(), a.cell(2, 1).asText());
    }
    ASSERT_TRUE(sheet::saveWorkbook(memory, path("memory.xlsx")).ok);
    ASSERT_TRUE(sheet::saveWorkbook(spooled, path("spooled.xlsx")).ok);
    sheet::Workbook fromMemory, fromSpooled;
    ASSERT_TRUE(sheet::openWorkbook(path("memory.xlsx"), fromMemory).ok());
    ASSERT_TRUE(sheet::openWorkbook(path("spooled.xlsx"), fromSpooled).ok());
    for (int s = 1; s <= 2; ++s) {
        EXPECT_GT(fromMemory.sheet(s)->cellCount(), 300u);
        EXPECT_EQ(fromSpooled.sheet(s)->cells(), fromMemory.sheet(s)->cells());
    }
}

TEST_F(WorkbookFiles, TextsXmlCannotCarryAreWrittenSafely) {
    sheet::Workbook book;
    writeCell(book, "a1", std::string("bell\x07 and tab\t"));
    writeCell(book, "a2", std::string("bad \xff\xfe bytes"));
    writeCell(book, "a3", "_x0041_ looks like an escape");
    ASSERT_TRUE(sheet::saveWorkbook(book, path("odd.xlsx")).ok);
    sheet::Workbook back;
    ASSERT_TRUE(sheet::openWorkbook(path("odd.xlsx"), back).ok());
    EXPECT_EQ(back.sheet(1)->cell(1, 1).asText(), std::string("bell\x07 and tab\t"));
    EXPECT_EQ(back.sheet(1)->cell(2, 1).asText(), "bad \xEF\xBF\xBD\xEF\xBF\xBD bytes");
    EXPECT_EQ(back.sheet(1)->cell(3, 1).asText(), "_x0041_ looks like an escape");
}

TEST_F(WorkbookFiles, ACellOverTheFileLimitIsCutAndCounted) {
    sheet::Workbook book;
    std::string memo;
    for (int i = 0; i < 20000; ++i) memo += "备忘";  // 40000 characters
    writeCell(book, "a2", memo);
    const sheet::SaveResult saved = sheet::saveWorkbook(book, path("long.xlsx"));
    ASSERT_TRUE(saved.ok) << saved.message;
    EXPECT_EQ(saved.cutCells, 1);
    EXPECT_EQ(book.value(), memo);  // the model keeps the whole text
    sheet::Workbook back;
    ASSERT_TRUE(sheet::openWorkbook(path("long.xlsx"), back).ok());
    const std::string read = back.sheet(1)->cell(2, 1).asText();
    EXPECT_EQ(read.size(), static_cast<std::size_t>(sheet::kMaxCellChars) * 3);
    EXPECT_EQ(read, memo.substr(0, read.size()));
}

TEST_F(WorkbookFiles, ASaveThatCannotBeWrittenSaysSoAndLeavesNothing) {
    sheet::Workbook book;
    writeCell(book, "a1", "x");
    const sheet::SaveResult saved = sheet::saveWorkbook(book, path("missing folder/out.xlsx"));
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.message.empty());
    EXPECT_FALSE(fs::exists(path("missing folder")));
}

TEST_F(WorkbookFiles, SavingAgainReplacesTheFileWhole) {
    sheet::Workbook first;
    writeCell(first, "a1", "first");
    writeCell(first, "z99", "far away");
    ASSERT_TRUE(sheet::saveWorkbook(first, path("same.xlsx")).ok);
    sheet::Workbook second;
    writeCell(second, "a1", "second");
    ASSERT_TRUE(sheet::saveWorkbook(second, path("same.xlsx")).ok);
    sheet::Workbook back;
    ASSERT_TRUE(sheet::openWorkbook(path("same.xlsx"), back).ok());
    EXPECT_EQ(back.sheet(1)->cell(1, 1).asText(), "second");
    EXPECT_EQ(back.sheet(1)->cellCount(), 1u);
}

// ---- .xlsx as other producers write it ----

TEST_F(WorkbookFiles, ReadsSharedInlineFormulaAndTypedCells) {
    const std::string sst =
        R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><si><t>姓名</t></si>)"
        R"(<si><r><t>张</t></r><r><t xml:space="preserve">三 </t></r><rPh><t>ちょう</t></rPh></si>)"
        R"(<si><t>line_x000D_break</t></si></sst>)";
    const std::string styles =
        R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
        R"(<numFmts count="1"><numFmt numFmtId="170" formatCode="yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;"/>)"
        R"(<numFmt numFmtId="171" formatCode="[Red]0.00"/></numFmts>)"
        R"(<cellStyleXfs count="1"><xf numFmtId="14"/></cellStyleXfs>)"
        R"(<cellXfs count="4"><xf numFmtId="0"/><xf numFmtId="14"/><xf numFmtId="170"/><xf numFmtId="171"/></cellXfs></styleSheet>)";
    const std::string rows =
        R"(<x:row r="1"><x:c r="A1" t="s"><x:v>0</x:v></x:c><x:c r="B1" t="inlineStr"><x:is><x:t>电话</x:t></x:is></x:c></x:row>)"
        R"(<x:row r="2"><x:c r="A2" t="s"><x:v>1</x:v></x:c><x:c r="B2"><x:v>13800138000</x:v></x:c>)"
        R"(<x:c r="C2" s="1"><x:v>45356</x:v></x:c><x:c r="D2" s="2"><x:v>45356.5</x:v></x:c>)"
        R"(<x:c r="E2" s="3"><x:v>1.5</x:v></x:c></x:row>)"
        R"(<x:row r="3"><x:c t="str"><x:f>A2&amp;"!"</x:f><x:v>张三 !</x:v></x:c><x:c t="b"><x:v>1</x:v></x:c>)"
        R"(<x:c t="e"><x:v>#DIV/0!</x:v></x:c><x:c s="1"/><x:c t="s"><x:v>2</x:v></x:c><x:c t="s"><x:v>99</x:v></x:c></x:row>)"
        R"(<x:row><x:c t="d"><x:v>2024-03-05T08:30:00</x:v></x:c></x:row>)";
    writeZip("typed.xlsx", package(rows, sst, styles));
    sheet::Workbook book;
    const sheet::ReadResult read = sheet::openWorkbook(path("typed.xlsx"), book);
    ASSERT_TRUE(read.ok()) << read.message;
    const sheet::Worksheet& s = *book.sheet(1);
    EXPECT_EQ(s.name(), "SHEET1");
    EXPECT_EQ(s.cell(1, 1).asText(), "姓名");
    EXPECT_EQ(s.cell(1, 2).asText(), "电话");
    EXPECT_EQ(s.cell(2, 1).asText(), "张三 ");  // phonetic guide left out
    EXPECT_EQ(s.cell(2, 2).asText(), "13800138000");
    EXPECT_EQ(s.cell(2, 3).kind, sheet::Cell::Kind::Date);
    EXPECT_EQ(s.cell(2, 3).asText(), "2024年3月5日");
    EXPECT_EQ(s.cell(2, 4).asText(), "2024年3月5日12时");
    EXPECT_EQ(s.cell(2, 5).asText(), "1.5");  // a colour code is no date
    EXPECT_EQ(s.cell(3, 1).asText(), "张三 !");
    EXPECT_EQ(s.cell(3, 2).asText(), "TRUE");
    EXPECT_EQ(s.cell(3, 3).asText(), "#DIV/0!");
    EXPECT_EQ(s.cell(3, 4).kind, sheet::Cell::Kind::Empty);
    EXPECT_EQ(s.cell(3, 5).asText(), "line\rbreak");
    EXPECT_EQ(s.cell(3, 6).kind, sheet::Cell::Kind::Empty);  // string index out of range: dropped
    EXPECT_EQ(s.cell(4, 1).asText(), "2024年3月5日8时30分");
    EXPECT_EQ(s.usedSize().rows, 4);
    EXPECT_EQ(s.usedSize().columns, 5);
}

TEST_F(WorkbookFiles, The1904DateSystemIsTakenIntoAccount) {
    const std::string styles =
        R"(<styleSheet><cellXfs><xf numFmtId="0"/><xf numFmtId="14"/></cellXfs></styleSheet>)";
    writeZip("mac.xlsx", package(R"(<x:row r="1"><x:c r="A1" s="1"><x:v>43894</x:v></x:c></x:row>)", {}, styles,
                                 R"(<x:workbookPr date1904="1"/>)"));
    sheet::Workbook book;
    ASSERT_TRUE(sheet::openWorkbook(path("mac.xlsx"), book).ok());
    EXPECT_EQ(book.sheet(1)->cell(1, 1).asText(), "2024年3月5日");
}

TEST_F(WorkbookFiles, ANamedButMissingSharedStringsPartReadsAsNoStrings) {
    auto parts = package(R"(<x:row r="1"><x:c r="A1" t="s"><x:v>0</x:v></x:c><x:c r="B1"><x:v>7</x:v></x:c></x:row>)",
                         "<sst/>");
    parts.pop_back();  // the part the relationships name is not in the archive
    writeZip("nosst.xlsx", parts);
    sheet::Workbook book;
    ASSERT_TRUE(sheet::openWorkbook(path("nosst.xlsx"), book).ok());
    EXPECT_EQ(book.sheet(1)->cell(1, 1).kind, sheet::Cell::Kind::Empty);
    EXPECT_EQ(book.sheet(1)->cell(1, 2).asText(), "7");
}

// ---- .xls ----

TEST_F(WorkbookFiles, ReadsTheXlsFixture) {
    sheet::Workbook book;
    const sheet::ReadResult read = sheet::openWorkbook(fixture("contacts.xls"), book);
    ASSERT_TRUE(read.ok()) << read.message;
    ASSERT_EQ(book.sheetCount(), 2);
    EXPECT_EQ(book.sheet(1)->name(), "Sheet1");
    EXPECT_EQ(book.sheet(2)->name(), "备用");
    const sheet::Worksheet& s = *book.sheet(1);
    EXPECT_EQ(s.cell(1, 1).asText(), "姓名");
    EXPECT_EQ(s.cell(1, 3).asText(), "备注");
    EXPECT_EQ(s.cell(2, 1).asText(), "张三");
    EXPECT_EQ(s.cell(2, 2).asText(), "13800138000");
    EXPECT_EQ(s.cell(3, 2).asText(), "010-12345678");
    EXPECT_EQ(s.cell(3, 3).kind, sheet::Cell::Kind::Empty);
    EXPECT_EQ(s.cell(4, 1).asText(), "Wang Wu");
    EXPECT_EQ(s.cell(4, 2).asText(), "3.25");
    EXPECT_EQ(s.cell(5, 3).asText(), "2024年3月5日");
    EXPECT_EQ(s.usedSize().columns, 3);
    EXPECT_EQ(book.sheet(2)->cell(1, 1).asText(), "第二张表");
}

TEST_F(WorkbookFiles, AnXlsRenamedToXlsxStillOpens) {
    fs::copy_file(fixture("no_sheet1.xls"), path("renamed.xlsx"));
    sheet::Workbook book;
    ASSERT_TRUE(sheet::openWorkbook(path("renamed.xlsx"), book).ok());
    EXPECT_EQ(book.sheet(1)->name(), "联系人");
    EXPECT_EQ(book.findSheet("sheet1"), nullptr);
}

// ---- Bad files ----

TEST_F(WorkbookFiles, EachKindOfBadFileIsToldApart) {
    const std::string good = readBytes(fixture("contacts.xls"));
    ASSERT_GT(good.size(), 1000u);
    writeBytes("empty.xls", "");
    writeBytes("text.xls", "姓名,电话,备注\n张三,1,2\n");
    writeBytes("cut.xls", good.substr(0, good.size() / 3));
    std::string scrambled = good;
    for (std::size_t i = 512; i < scrambled.size(); i += 7) scrambled[i] = char(scrambled[i] ^ 0x5A);
    writeBytes("scrambled.xls", scrambled);
    std::string encrypted = good.substr(0, 512);
    for (char c : std::string("EncryptedPackage")) encrypted += std::string{c, '\0'};
    writeBytes("encrypted.xlsx", encrypted);
    writeZip("other.xlsx", {{"word/document.xml", "<document/>"}});
    writeZip("badxml.xlsx", package(R"(<x:row r="1"><x:c r="A1"><x:v>1</x:v></x:row>)"));
    writeZip("badcell.xlsx", package(R"(<x:row r="1"><x:c r="XFE1"><x:v>1</x:v></x:c></x:row>)"));
    {
        sheet::Workbook b;
        writeCell(b, "a1", "x");
        ASSERT_TRUE(sheet::saveWorkbook(b, path("whole.xlsx")).ok);
        const std::string zip = readBytes(path("whole.xlsx"));
        writeBytes("cut.xlsx", zip.substr(0, zip.size() / 2));
    }

    const std::pair<const char*, sheet::ReadStatus> cases[] = {
        {"nothing here.xls", sheet::ReadStatus::NotFound},
        {"empty.xls", sheet::ReadStatus::NotSpreadsheet},
        {"text.xls", sheet::ReadStatus::NotSpreadsheet},
        {"cut.xls", sheet::ReadStatus::Damaged},
        {"scrambled.xls", sheet::ReadStatus::Damaged},
        {"encrypted.xlsx", sheet::ReadStatus::Encrypted},
        {"other.xlsx", sheet::ReadStatus::NotSpreadsheet},
        {"badxml.xlsx", sheet::ReadStatus::Damaged},
        {"badcell.xlsx", sheet::ReadStatus::Damaged},
        {"cut.xlsx", sheet::ReadStatus::Damaged},
    };
    for (const auto& [name, status] : cases) {
        sheet::Workbook book(2);
        const sheet::ReadResult read = sheet::openWorkbook(path(name), book);
        EXPECT_EQ(read.status, status) << name;
        EXPECT_FALSE(read.message.empty()) << name;
        EXPECT_EQ(book.sheetCount(), 2) << name << ": a failed open must leave the workbook as it was";
    }
}

// crashes_freexl.xls is contacts.xls with bytes flipped at random until freexl itself died on
// it; the reader must answer instead of going down with it.
TEST_F(WorkbookFiles, AnXlsThatCrashesTheParserIsReportedAsDamaged) {
    sheet::Workbook book(2);
    const sheet::ReadResult read = sheet::openWorkbook(fixture("crashes_freexl.xls"), book);
    EXPECT_EQ(read.status, sheet::ReadStatus::Damaged);
    EXPECT_EQ(book.sheetCount(), 2);
}

TEST_F(WorkbookFiles, AnOversizedPartIsRefusedWithoutReadingItAll) {
    // A sheet part one byte over the limit, mostly blanks: small packed, huge unpacked.
    zipFile z = zipOpen64(path("big.xlsx").c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(z, nullptr);
    for (const auto& [part, data] : package("")) {
        if (part == "xl/worksheets/sheet1.xml") continue;
        ASSERT_EQ(zipOpenNewFileInZip64(z, part.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 1, 1),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(z, data.data(), static_cast<unsigned>(data.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(z), ZIP_OK);
    }
    ASSERT_EQ(zipOpenNewFileInZip64(z, "xl/worksheets/sheet1.xml", nullptr, nullptr, 0, nullptr, 0, nullptr,
                                    Z_DEFLATED, 1, 1),
              ZIP_OK);
    const std::string chunk(1 << 20, ' ');
    for (std::int64_t written = 0; written <= sheet::kMaxPartBytes; written += static_cast<std::int64_t>(chunk.size())) {
        ASSERT_EQ(zipWriteInFileInZip(z, chunk.data(), static_cast<unsigned>(chunk.size())), ZIP_OK);
    }
    ASSERT_EQ(zipCloseFileInZip(z), ZIP_OK);
    ASSERT_EQ(zipClose(z, nullptr), ZIP_OK);
    sheet::Workbook book;
    EXPECT_EQ(sheet::openWorkbook(path("big.xlsx"), book).status, sheet::ReadStatus::TooLarge);
}

}  // namespace
