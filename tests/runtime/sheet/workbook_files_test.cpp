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
        dir_ = fs::temp_directory_path() / ("qb_sheet_" + std::to_string(::getpid()) + "_" +
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
    void writeZip(const std::string& name,
                  const std::vector<std::pair<std::string, std::string>>& parts) const {
        zipFile z = zipOpen64(path(name).c_str(), APPEND_STATUS_CREATE);
        ASSERT_NE(z, nullptr);
        for (const auto& [part, data] : parts) {
            ASSERT_EQ(zipOpenNewFileInZip64(z, part.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr,
                                            Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1),
                      ZIP_OK);
            ASSERT_EQ(zipWriteInFileInZip(z, data.data(), static_cast<unsigned>(data.size())), ZIP_OK);
            ASSERT_EQ(zipCloseFileInZip(z), ZIP_OK);
        }
        ASSERT_EQ(zipClose(z, nullptr), ZIP_OK);
    }

    // The minimum package around one worksheet part, with optional shared strings and styles.
    std::vector<std::pair<std::string, std::string>> package(const std::string& sheetXml,
                                                             const std::string& sst = {},
                                                             const std::string& styles = {},
                                                             const std::string& workbookPr = {}) const {
        std::string rels =
            R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)";
        if (!sst.empty()) {
            rels +=
                R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="sharedStrings.xml"/>)";
        }
        if (!styles.empty()) {
            rels +=
                R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="/xl/styles.xml"/>)";
        }
        rels += "</Relationships>";
        std::vector<std::pair<std::string, std::string>> parts = {
            {"_rels/.rels",
             R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
             R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
            {"xl/workbook.xml",
             R"(<?xml version="1.0"?><x:workbook xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
             R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)" +
                 workbookPr +
                 R"(<x:sheets><x:sheet name="SHEET1" sheetId="1" r:id="rId1"/></x:sheets></x:workbook>)"},
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
    writeZip("mac.xlsx", package(R"(<x:row r="1"><x:c r="A1" s="1"><x:v>43894</x:v></x:c></x:row>)", {},
                                 styles, R"(<x:workbookPr date1904="1"/>)"));
    sheet::Workbook book;
    ASSERT_TRUE(sheet::openWorkbook(path("mac.xlsx"), book).ok());
    EXPECT_EQ(book.sheet(1)->cell(1, 1).asText(), "2024年3月5日");
}

TEST_F(WorkbookFiles, ANamedButMissingSharedStringsPartReadsAsNoStrings) {
    auto parts =
        package(R"(<x:row r="1"><x:c r="A1" t="s"><x:v>0</x:v></x:c><x:c r="B1"><x:v>7</x:v></x:c></x:row>)",
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
        {"nothing here.xls", sheet::ReadStatus::NotFound}, {"empty.xls", sheet::ReadStatus::NotSpreadsheet},
        {"text.xls", sheet::ReadStatus::NotSpreadsheet},   {"cut.xls", sheet::ReadStatus::Damaged},
        {"scrambled.xls", sheet::ReadStatus::Damaged},     {"encrypted.xlsx", sheet::ReadStatus::Encrypted},
        {"other.xlsx", sheet::ReadStatus::NotSpreadsheet}, {"badxml.xlsx", sheet::ReadStatus::Damaged},
        {"badcell.xlsx", sheet::ReadStatus::Damaged},      {"cut.xlsx", sheet::ReadStatus::Damaged},
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

// A part made of `head`, `unit` repeated `times` and `tail`, deflated the way a crafted file is
// made: the unit is deflated once after a full flush and its bytes repeated, so a part that
// inflates to hundreds of megabytes takes milliseconds to write.
struct Bomb {
    std::string head, unit;
    int times = 0;
    std::string tail;
};

void writeBombPart(zipFile z, const std::string& name, const Bomb& bomb) {
    z_stream d{};
    ASSERT_EQ(deflateInit2(&d, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    const auto deflated = [&d](const std::string& in, int flush) {
        std::string out(deflateBound(&d, in.size()) + 64, '\0');
        d.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        d.avail_in = static_cast<uInt>(in.size());
        d.next_out = reinterpret_cast<Bytef*>(out.data());
        d.avail_out = static_cast<uInt>(out.size());
        deflate(&d, flush);
        out.resize(out.size() - d.avail_out);
        return out;
    };
    const std::string head = deflated(bomb.head, Z_FULL_FLUSH);
    const std::string unit = deflated(bomb.unit, Z_FULL_FLUSH);
    const std::string tail = deflated(bomb.tail, Z_FINISH);
    deflateEnd(&d);

    const auto crcOf = [](const std::string& s) {
        return crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size()));
    };
    uLong crc = crcOf(bomb.head);
    const uLong unitCrc = crcOf(bomb.unit);
    for (int i = 0; i < bomb.times; ++i)
        crc = crc32_combine(crc, unitCrc, static_cast<z_off_t>(bomb.unit.size()));
    crc = crc32_combine(crc, crcOf(bomb.tail), static_cast<z_off_t>(bomb.tail.size()));
    const ZPOS64_T size =
        bomb.head.size() + static_cast<ZPOS64_T>(bomb.times) * bomb.unit.size() + bomb.tail.size();

    ASSERT_EQ(zipOpenNewFileInZip2_64(z, name.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                      Z_BEST_COMPRESSION, 1, 1),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(z, head.data(), static_cast<unsigned>(head.size())), ZIP_OK);
    for (int i = 0; i < bomb.times; ++i) {
        ASSERT_EQ(zipWriteInFileInZip(z, unit.data(), static_cast<unsigned>(unit.size())), ZIP_OK);
    }
    ASSERT_EQ(zipWriteInFileInZip(z, tail.data(), static_cast<unsigned>(tail.size())), ZIP_OK);
    ASSERT_EQ(zipCloseFileInZipRaw64(z, size, crc), ZIP_OK);
}

TEST_F(WorkbookFiles, AWorkbookInflatingBeyondTheLimitsIsRefusedWithAMessage) {
    const std::string sheetHead =
        R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)";
    const std::string sheetTail = "</sheetData></worksheet>";
    const std::string megabyteOfBlanks(1 << 20, ' ');
    std::string megabyteOfTags;
    while (megabyteOfTags.size() < (1u << 20)) megabyteOfTags += "<x a=\"" + std::string(1000, 'a') + "\"/>";
    std::string thousandStrings;
    for (int i = 0; i < 1000; ++i) thousandStrings += "<si/>";
    const std::string string1 = "<si><t>" + std::string(1 << 20, 'a') + "</t></si>";
    std::string row1 = "<row r=\"1\">";
    for (int c = 0; c < 100; ++c) row1 += R"(<c t="s"><v>0</v></c>)";
    row1 += "</row>";

    // Each with the parts that make it too large in place of the plain ones.
    const struct {
        const char* name;
        std::vector<std::pair<std::string, Bomb>> parts;
    } cases[] = {
        // 200 MB of blanks in about 200 KB.
        {"blanks.xlsx", {{"xl/worksheets/sheet1.xml", {sheetHead, megabyteOfBlanks, 200, sheetTail}}}},
        // Within the total, but blanks that no row could need.
        {"blank.xlsx", {{"xl/worksheets/sheet1.xml", {sheetHead, megabyteOfBlanks, 60, sheetTail}}}},
        // Markup all through, 40 MB and 30 MB: the two parts together go beyond the total.
        {"markup.xlsx",
         {{"xl/sharedStrings.xml", {"<sst>", megabyteOfTags, 40, "</sst>"}},
          {"xl/worksheets/sheet1.xml", {sheetHead, megabyteOfTags, 30, sheetTail}}}},
        // After a megabyte of markup, one tag of 2 MB, which the parser would hold whole and scan
        // again with every chunk that does not complete it.
        {"tag.xlsx",
         {{"xl/worksheets/sheet1.xml",
           {sheetHead + megabyteOfTags + "<x a=\"", std::string(1 << 20, 'a'), 2, "\"/>" + sheetTail}}}},
        // A shared string of 1 MB in a hundred cells: 100 MB of cell text from 1 MB inflated.
        {"shared.xlsx", {{"xl/sharedStrings.xml", {"<sst>", string1, 1, "</sst>"}}}},
        // More shared strings than cells may be held, each an empty one.
        {"strings.xlsx",
         {{"xl/sharedStrings.xml",
           {"<sst>", thousandStrings, static_cast<int>(sheet::kMaxCells / 1000 + 1), "</sst>"}}}},
    };
    for (const auto& c : cases) {
        zipFile z = zipOpen64(path(c.name).c_str(), APPEND_STATUS_CREATE);
        ASSERT_NE(z, nullptr);
        for (const auto& [part, data] : package(row1, "<sst/>")) {
            // Clang 14 cannot capture a structured binding: the name goes in by value.
            const std::string name = part;
            if (std::any_of(c.parts.begin(), c.parts.end(), [&](const auto& p) { return p.first == name; }))
                continue;
            ASSERT_EQ(zipOpenNewFileInZip64(z, part.c_str(), nullptr, nullptr, 0, nullptr, 0, nullptr,
                                            Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1),
                      ZIP_OK);
            ASSERT_EQ(zipWriteInFileInZip(z, data.data(), static_cast<unsigned>(data.size())), ZIP_OK);
            ASSERT_EQ(zipCloseFileInZip(z), ZIP_OK);
        }
        for (const auto& [part, bomb] : c.parts) writeBombPart(z, part, bomb);
        ASSERT_EQ(zipClose(z, nullptr), ZIP_OK);

        sheet::Workbook book(2);
        const sheet::ReadResult read = sheet::openWorkbook(path(c.name), book);
        EXPECT_EQ(read.status, sheet::ReadStatus::TooLarge) << c.name;
        EXPECT_NE(read.message.find("太大"), std::string::npos) << c.name;
        EXPECT_EQ(book.sheetCount(), 2) << c.name;
    }
    EXPECT_LT(fs::file_size(path("blanks.xlsx")), 250u * 1024) << "the workbook of 200 MB blanks is small";
}

TEST_F(WorkbookFiles, APartNamedByTwoSheetsIsDamagedAndALargeTidyPartStillReads) {
    auto twice =
        package(R"(<x:row r="1"><x:c r="A1" t="inlineStr"><x:is><x:t>一</x:t></x:is></x:c></x:row>)");
    for (auto& [part, data] : twice) {
        if (part != "xl/workbook.xml") continue;
        const std::string one = R"(<x:sheet name="SHEET1" sheetId="1" r:id="rId1"/>)";
        data.replace(data.find(one), one.size(), one + R"(<x:sheet name="again" sheetId="2" r:id="rId1"/>)");
    }
    writeZip("twice.xlsx", twice);
    sheet::Workbook book(2);
    EXPECT_EQ(sheet::openWorkbook(path("twice.xlsx"), book).status, sheet::ReadStatus::Damaged);

    // 40,000 rows laid out one element a line with deep indentation: as many blanks as markup.
    std::string rows;
    for (int r = 1; r <= 40000; ++r) {
        const std::string n = std::to_string(r);
        rows += "\n        <x:row r=\"" + n + "\">\n            <x:c r=\"A" + n +
                "\">\n                <x:v>" + n + "</x:v>\n            </x:c>\n        </x:row>";
    }
    ASSERT_GT(rows.size(), 4u << 20);
    writeZip("tidy.xlsx", package(rows));
    const sheet::ReadResult read = sheet::openWorkbook(path("tidy.xlsx"), book);
    ASSERT_TRUE(read.ok()) << read.message;
    EXPECT_EQ(book.sheet(1)->usedSize().rows, 40000);
    EXPECT_EQ(book.sheet(1)->cell(40000, 1).asText(), "40000");
}

}  // namespace
