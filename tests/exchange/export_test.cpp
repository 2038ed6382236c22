// The export buttons on the real main window: the guard, the workbook's sheets and rows for
// search results and for all stores, written into the documents folder and shown by the
// desktop's spreadsheet application (a stand-in registered in private XDG folders that records
// the file it is given) or, without one, saved where the user chooses.
#include <QAbstractButton>
#include <QDir>
#include <QStandardPaths>

#include <chrono>
#include <fstream>
#include <optional>
#include <thread>

#include "exchange_fixture.h"

namespace qbtest {
namespace {

using runtime::makeDate;
using Rows = std::vector<std::vector<std::string>>;

class ExportTest : public ExchangeTest {
protected:
    static constexpr const char* kDesktopVariables[] = {"HOME",
                                                        "XDG_DATA_HOME",
                                                        "XDG_CONFIG_HOME",
                                                        "XDG_DATA_DIRS",
                                                        "XDG_CONFIG_DIRS",
                                                        "XDG_CURRENT_DESKTOP",
                                                        "DESKTOP_SESSION",
                                                        "KDE_FULL_SESSION",
                                                        "GNOME_DESKTOP_SESSION_ID"};

    // A desktop of the test's own: a home whose documents folder is set but not made yet, none
    // of the machine's applications, and the stand-in spreadsheet application registered for
    // .xlsx workbooks.
    void SetUp() override {
        ExchangeTest::SetUp();
        if (HasFatalFailure()) return;
        for (const char* name : kDesktopVariables) {
            const char* value = std::getenv(name);
            savedDesktop_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
        const std::string desktop = dir_ + "/desktop";
        for (const char* folder : {"/data/applications", "/config", "/system", "/home"}) {
            std::filesystem::create_directories(desktop + folder);
        }
        setenv("HOME", (desktop + "/home").c_str(), 1);
        std::ofstream(desktop + "/config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n";
        setenv("XDG_DATA_HOME", (desktop + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (desktop + "/config").c_str(), 1);
        setenv("XDG_DATA_DIRS", (desktop + "/system").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (desktop + "/system").c_str(), 1);
        openedLog_ = dir_ + "/opened.log";
        const std::string command = dir_ + "/spreadsheet.sh";
        std::ofstream(command) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << openedLog_ << "'\n";
        std::filesystem::permissions(command, std::filesystem::perms::owner_all);
        std::ofstream(applicationEntry())
            << "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" << command
            << " %f\nMimeType=" << kXlsx << ";\n";
        std::ofstream(desktop + "/config/mimeapps.list") << "[Default Applications]\n"
                                                         << kXlsx << "=qb-sheet.desktop\n";
    }

    void TearDown() override {
        for (const auto& [name, value] : savedDesktop_) {
            if (value) {
                setenv(name, value->c_str(), 1);
            } else {
                unsetenv(name);
            }
        }
        ExchangeTest::TearDown();
    }

    std::string applicationEntry() const { return dir_ + "/desktop/data/applications/qb-sheet.desktop"; }

    void withoutSpreadsheetApplication() const {
        std::filesystem::remove(applicationEntry());
        std::filesystem::remove(dir_ + "/desktop/config/mimeapps.list");
    }

    // The files the stand-in application was given, once `count` arrived (it runs on its own).
    std::vector<std::string> opened(size_t count) const {
        std::vector<std::string> files;
        for (int wait = 0; wait < 200; ++wait) {
            files.clear();
            std::ifstream log(openedLog_);
            for (std::string line; std::getline(log, line);) files.push_back(line);
            if (files.size() >= count) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return files;
    }

    std::string documents() const { return dir_ + "/desktop/home/文档"; }

    // The workbooks in the documents folder.
    std::vector<std::string> workbooksInDocuments() const {
        std::vector<std::string> found;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(documents(), error)) {
            if (entry.path().extension() == ".xlsx") found.push_back(entry.path().string());
        }
        return found;
    }

    // Clicks the button as the user would; its bound handler runs.
    static void click(const char* button) {
        auto* b = qobject_cast<QAbstractButton*>(ui::findControlWidget(kMain, button));
        ASSERT_NE(b, nullptr) << button;
        b->click();
    }

    // The workbook the spreadsheet application was given last, read back from its file.
    sheet::Workbook exported(size_t exports = 1) const {
        sheet::Workbook book;
        const std::vector<std::string> files = opened(exports);
        EXPECT_EQ(files.size(), exports);
        if (files.empty()) return book;
        EXPECT_EQ(files.back(), exchange::lastExportPath());
        const sheet::ReadResult read = sheet::openWorkbook(files.back(), book);
        EXPECT_TRUE(read.ok()) << read.message;
        return book;
    }

    std::string expectedPath(const std::string& suffix = "") const {
        return documents() + "/" + kName + suffix + ".xlsx";
    }

    static constexpr const char* kXlsx = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
    static constexpr const char* kName = "Quillarbor导出数据-2024年6月1日12时";
    std::string openedLog_;
    std::vector<std::pair<const char*, std::optional<std::string>>> savedDesktop_;

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
    EXPECT_EQ(ui::shownDialogs().size(), 1u);
    EXPECT_TRUE(workbooksInDocuments().empty());
}

TEST_F(ExportTest, ASearchThatFoundNothingIsNotExported) {
    fillStores();
    searchFor("没有这个词");
    ASSERT_EQ(ui::getListItemText(kMain, "列表框_人脉搜索结果", 0), "未找到！");
    click("按钮_导出结果");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "没有任何搜索结果，无需导出！");
    EXPECT_EQ(ui::shownDialogs().size(), 1u);
    EXPECT_TRUE(workbooksInDocuments().empty());
}

TEST_F(ExportTest, SearchResultsGoOutSheetBySheetInListOrder) {
    fillStores();
    searchFor("abc");
    click("按钮_导出结果");

    // Shown at once in the spreadsheet application, from the documents folder, and the user is
    // told where it is; nothing in the program's folder.
    const sheet::Workbook book = exported();
    EXPECT_EQ(exchange::lastExportPath(), expectedPath());
    ASSERT_EQ(ui::shownDialogs().size(), 1u);
    EXPECT_EQ(ui::shownDialogs()[0].text, "数据已导出到Excel工作簿：\n" + expectedPath());
    EXPECT_FALSE(std::filesystem::exists(runtime::getRunDirectory() + "/export"));

    ASSERT_EQ(book.sheetCount(), 4);
    EXPECT_EQ(book.sheet(1)->name(), "日志");
    EXPECT_EQ(book.sheet(2)->name(), "提醒");
    EXPECT_EQ(book.sheet(3)->name(), "备忘");
    EXPECT_EQ(book.sheet(4)->name(), "人脉");
    EXPECT_EQ(cellsOf(*book.sheet(1)),
              (Rows{{"日期", "日志"}, {"2023年5月2日", "xabcx"}, {"2024年12月1日", "年底总结 ABC"}}));
    EXPECT_EQ(cellsOf(*book.sheet(2)), (Rows{{"初始提醒日期", "循环周期", "循环单位", "提醒内容"},
                                             {"2020年1月1日", "2", "月", "ABC 更早"},
                                             {"2024年3月5日", "1", "年", "abc 第一"}}));
    EXPECT_EQ(cellsOf(*book.sheet(3)), (Rows{{"备忘内容"}, {"备忘：记得 ABC 的事\n第二行"}}));
    // Two contacts of one name: each row shows its own contact's telephone and remark.
    EXPECT_EQ(cellsOf(*book.sheet(4)),
              (Rows{{"姓名", "电话", "备注"}, {"李四", "abc123", "ABC 同事"}, {"李四", "999", "abc 重名"}}));
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

TEST_F(ExportTest, AContactNamedLikeTheNotFoundLineIsExportedLikeAnyOther) {
    addContact("未找到！", "555", "同名");
    searchFor("555");
    click("按钮_导出结果");
    const sheet::Workbook book = exported();
    EXPECT_EQ(cellsOf(*book.sheet(4)), (Rows{{"姓名", "电话", "备注"}, {"未找到！", "555", "同名"}}));
}

TEST_F(ExportTest, ADiaryHitWithATimeOfDayGetsItsOwnRecordsTextAmongItsDaysRecords) {
    addDiary(makeDate(2024, 5, 1), "上午 abc");
    addDiary(runtime::DateTime{makeDate(2024, 5, 1).days + 15.0 / 24}, "下午 abc");
    searchFor("abc");
    click("按钮_导出结果");
    const sheet::Workbook book = exported();
    EXPECT_EQ(cellsOf(*book.sheet(1)),
              (Rows{{"日期", "日志"}, {"2024年5月1日", "上午 abc"}, {"2024年5月1日15时", "下午 abc"}}));
}

TEST_F(ExportTest, AResultWhoseRecordWentAwayKeepsItsLineTextAlone) {
    fillStores();
    searchFor("abc");
    // After the search: the first diary day, the first contact and the first periodic item are
    // deleted.
    ASSERT_TRUE(st::selectDatabase("rz35"));
    ASSERT_TRUE(st::goToRecord(1));
    ASSERT_TRUE(st::deleteRecords());
    ASSERT_TRUE(st::packDatabase());
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
    // A diary line is found by its date: the day now in record 1 keeps its text, the deleted day
    // its date alone.
    EXPECT_EQ(cellsOf(*book.sheet(1)),
              (Rows{{"日期", "日志"}, {"2023年5月2日", "xabcx"}, {"2024年12月1日", ""}}));
    // Item 2 (2020年1月1日) is now record 1; the line naming record 2 finds another date.
    EXPECT_EQ(cellsOf(*book.sheet(2)), (Rows{{"初始提醒日期", "循环周期", "循环单位", "提醒内容"},
                                             {"2020年1月1日", "", "", ""},
                                             {"2024年3月5日", "", "", ""}}));
    // Both lines named records that now hold another contact or none: the names alone.
    EXPECT_EQ(cellsOf(*book.sheet(4)), (Rows{{"姓名", "电话", "备注"}, {"李四", "", ""}, {"李四", "", ""}}));
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

// A delete killed between its mark and its pack leaves the record marked. The next start completes
// the pack: the record is in none of the overview, the search and the export.
TEST_F(ExportTest, ARecordLeftMarkedByAKilledDeleteIsGoneAfterTheNextStart) {
    addDiary(makeDate(2024, 5, 1), "留下的日记");
    addDiary(makeDate(2024, 5, 2), "删掉的日记 abc");
    addContact("李四", "1");
    addContact("王五", "2", "删掉 abc");
    for (const char* store : {"rz35", "lxr35"}) {
        ASSERT_TRUE(st::selectDatabase(store) && st::goToRecord(2) && st::deleteRecords()) << store;
    }
    st::closeAllDatabases();
    core::createMissingDataFiles();
    core::detectEncryption();
    core::openTables();
    core::bindDataProviders();
    EXPECT_EQ(ui::getInt(kMain, "表格_日志一览", "rowCount"), 1);
    EXPECT_EQ(ui::getInt(kMain, "表格_人脉", "rowCount"), 1);
    searchFor("abc");
    EXPECT_EQ(ui::getListItemText(kMain, "列表框_日志搜索结果", 0), "未找到！");
    EXPECT_EQ(ui::getListItemText(kMain, "列表框_人脉搜索结果", 0), "未找到！");
    click("按钮_导出全库");
    const sheet::Workbook book = exported();
    EXPECT_EQ(cellsOf(*book.sheet(1)), (Rows{{"日期", "日志"}, {"2024年5月1日", "留下的日记"}}));
    EXPECT_EQ(cellsOf(*book.sheet(4)), (Rows{{"姓名", "电话", "备注"}, {"李四", "1", ""}}));
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
    click("按钮_导出全库");
    EXPECT_EQ(opened(2), (std::vector<std::string>{expectedPath(), expectedPath("(2)")}));
    EXPECT_TRUE(runtime::fileExists(expectedPath()));
    EXPECT_TRUE(runtime::fileExists(expectedPath("(2)")));
}

// The documents folder set but missing, as on a desktop without ~/Documents: the save dialog
// proposes it, made, never the program folder; the next export proposes the folder chosen.
TEST_F(ExportTest, WithoutASpreadsheetApplicationTheUserChoosesWhereToSave) {
    fillStores();
    withoutSpreadsheetApplication();
    ASSERT_FALSE(std::filesystem::exists(documents()));
    const std::string chosen = dir_ + "/我的导出.xlsx";
    ui::pushSaveFileDialogAnswer(true, chosen);
    click("按钮_导出全库");
    const auto shown = ui::shownDialogs();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].kind, ui::DialogKind::SaveFileDialog);
    EXPECT_EQ(shown[0].title, "Excel工作簿（*.xlsx）|*.xlsx");
    EXPECT_EQ(shown[0].path, documents() + "/" + kName + ".xlsx");
    EXPECT_TRUE(std::filesystem::is_directory(documents()));
    EXPECT_NE(documents(), runtime::getRunDirectory());
    EXPECT_EQ(shown[1].text, "数据已导出到Excel工作簿：\n" + chosen);
    EXPECT_EQ(shown[1].flags, 64);
    sheet::Workbook book;
    ASSERT_TRUE(sheet::openWorkbook(chosen, book).ok());
    EXPECT_EQ(cellsOf(*book.sheet(4)).size(), 4u);
    EXPECT_TRUE(workbooksInDocuments().empty());
    EXPECT_TRUE(opened(0).empty());

    // Cancel writes nothing anywhere and says nothing.
    ui::clearDialogScript();
    ui::pushSaveFileDialogAnswer(false, dir_ + "/不要.xlsx");
    searchFor("abc");
    click("按钮_导出结果");
    ASSERT_EQ(ui::shownDialogs().size(), 1u);
    EXPECT_EQ(ui::shownDialogs()[0].kind, ui::DialogKind::SaveFileDialog);
    EXPECT_EQ(ui::shownDialogs()[0].path, dir_ + "/" + kName + ".xlsx");
    EXPECT_FALSE(std::filesystem::exists(dir_ + "/不要.xlsx"));
    EXPECT_TRUE(workbooksInDocuments().empty());
    EXPECT_FALSE(std::filesystem::exists(runtime::getRunDirectory() + "/export"));
}

// The stand-in's "save" writes into the file it was given, as a spreadsheet application's
// Ctrl+S does: the user's edit is still there after the session emptied the temporary folder
// and after a start eight days later.
TEST_F(ExportTest, AnExportedWorkbookAndTheUsersEditsInItOutliveTheSession) {
    const std::string edit = "edited by the user";
    std::ofstream(dir_ + "/spreadsheet.sh")
        << "#!/bin/sh\nprintf '" << edit << "' > \"$1\"\nprintf '%s\\n' \"$1\" >> '" << openedLog_ << "'\n";
    click("按钮_导出全库");
    const std::vector<std::string> files = opened(1);
    ASSERT_EQ(files, std::vector<std::string>{expectedPath()});
    EXPECT_EQ(std::filesystem::status(files[0]).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    ASSERT_EQ(runtime::readFile(files[0]), edit);

    std::filesystem::remove_all(runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp));
    std::filesystem::last_write_time(
        files[0], std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 8));
    exchange::rescueTemporaryExportWorkbooks();
    EXPECT_EQ(runtime::readFile(files[0]), edit);
}

// Workbooks earlier versions left in the temporary folder (the user may have saved edits into
// them) move into the documents folder at the next start, under a name no file bears there;
// the documents folder lies on another file system (/dev/shm) where there is one, as a disk
// beside the session's tmpfs does.
TEST_F(ExportTest, TemporaryWorkbooksOfEarlierExportsMoveToTheDocumentsFolder) {
    const std::string documents = "/dev/shm/qb_documents_" + std::to_string(getpid());
    if (std::filesystem::is_directory("/dev/shm")) {
        std::ofstream(dir_ + "/desktop/config/user-dirs.dirs")
            << "XDG_DOCUMENTS_DIR=\"" << documents << "\"\n";
    }
    const std::string folder = exchange::exportFolder();
    const std::string temporary = runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp);
    const std::string name = "Quillarbor导出数据-2024年5月1日12时.xlsx";
    std::ofstream(temporary + name) << "earlier";
    std::ofstream(temporary + "别人的.xlsx") << "x";
    std::ofstream(folder + "/" + name) << "already there";
    exchange::rescueTemporaryExportWorkbooks();
    EXPECT_FALSE(std::filesystem::exists(temporary + name));
    EXPECT_EQ(runtime::readFile(folder + "/Quillarbor导出数据-2024年5月1日12时(2).xlsx"), "earlier");
    EXPECT_EQ(runtime::readFile(folder + "/" + name), "already there");
    EXPECT_TRUE(std::filesystem::exists(temporary + "别人的.xlsx"));
    std::filesystem::remove_all(documents);
}

TEST_F(ExportTest, AMemoOverTheCellLimitIsCutInTheFileOnlyAndTheUserIsTold) {
    std::string memo;
    for (int i = 0; i < 40000; ++i) memo += "字";
    setMemo(memo);
    click("按钮_导出全库");
    const sheet::Workbook book = exported();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].text.find("32767"), std::string::npos);
    EXPECT_EQ(book.sheet(3)->cell(2, 1).asText().size(), 32767u * 3);
    ASSERT_TRUE(st::selectDatabase("bw35"));
    ASSERT_TRUE(st::goToFirstRecord());
    EXPECT_EQ(st::valueText(st::readField("bw")), memo);
}

TEST_F(ExportTest, AnExportThatCannotBeSavedSaysWhyAndTheProgramCarriesOn) {
    fillStores();
    withoutSpreadsheetApplication();
    std::ofstream(dir_ + "/导出") << "a file where the folder should be";
    ui::pushSaveFileDialogAnswer(true, dir_ + "/导出/数据.xlsx");
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
