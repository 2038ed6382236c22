// The contacts page on the real main window: letter groups built from lxr35, the way back to the
// whole list, adding and deleting (on the whole list and through a letter group), and letter
// groups of protected stores.
#include <sys/stat.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QAbstractButton>
#include <QApplication>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <regex>
#include <thread>

#include "shell/lifecycle.h"
#include "shell/protection.h"
#include "support/main_window_fixture.h"

namespace qbtest {
namespace {

using Names = std::vector<std::string>;

class ContactsPageTest : public MainWindowTest {
protected:
    // Store order differs from every group's order on purpose.
    void addSampleContacts() {
        addContact("陈晨", "111");  // ch
        addContact("Tom", "222");   // Latin: no group
        addContact("蔡明", "333");  // c
        addContact("白云");         // b
        addContact("安妮");         // an: no group
        addContact("阿强");         // a
        addContact("邓丽");         // d
        addContact("沈从文");       // sh
        addContact("孙俪");         // s
        addContact("张三");         // zh
        addContact("欧阳");         // ou: no group
        addContact("");             // empty: no group
        addContact("2号");          // digit: no group
    }

    static void click(const char* button) {
        auto* widget = findWidget<QAbstractButton>(button);
        ASSERT_NE(widget, nullptr) << button;
        widget->click();
    }

    static void selectRow(int row) { ui::setDbGridCurrentRow(kMain, "数据源_联系人", row); }

    static QTableView* view() { return findWidget<QTableView>("表格_人脉"); }
    // Types `text` into a cell of the view (1-based), as the user's editor commits it.
    static bool type(int row, int column, const char* text) {
        QAbstractItemModel* model = view()->model();
        return model->setData(model->index(row - 1, column - 1), QString::fromUtf8(text), Qt::EditRole);
    }
    static std::string cell(int row, int column) {
        return view()->model()->index(row - 1, column - 1).data().toString().toStdString();
    }
    static std::string storeText(int record, int field) {
        return st::valueText(st::findOpenTable("lxr35")->read(record, field));
    }
};

TEST_F(ContactsPageTest, LetterButtonsShowTheirGroupsInInitialOrder) {
    addSampleContacts();

    click("按钮_ad");
    EXPECT_EQ(providerFile(), groupFile("ad.edb"));
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"阿强", "白云", "蔡明", "陈晨", "邓丽"}));
    EXPECT_EQ(shownRows(), 5);

    click("按钮_qt");
    EXPECT_EQ(providerFile(), groupFile("qt.edb"));
    EXPECT_EQ(namesOf(groupFile("qt.edb")), (Names{"孙俪", "沈从文"}));

    click("按钮_uz");
    EXPECT_EQ(namesOf(groupFile("uz.edb")), (Names{"张三"}));
    click("按钮_eh");
    EXPECT_TRUE(namesOf(groupFile("eh.edb")).empty());
    EXPECT_EQ(shownRows(), 0);
    click("按钮_il");
    click("按钮_mp");
    EXPECT_TRUE(namesOf(groupFile("il.edb")).empty());
    EXPECT_TRUE(namesOf(groupFile("mp.edb")).empty());
    EXPECT_TRUE(messages().empty());

    // The whole list again; the groups stay open, lxr35 untouched.
    click("按钮_all");
    EXPECT_EQ(providerFile(), storeFile());
    EXPECT_EQ(shownRows(), 13);
    EXPECT_TRUE(st::isDatabaseOpen(groupFile("ad.edb")));
    EXPECT_EQ(namesOf("lxr35").size(), 13u);
}

TEST_F(ContactsPageTest, GroupCopiesAllThreeFields) {
    addContact("陈晨", "13800138000", "同学");
    contacts::filterContactsAD();
    st::Table* copy = st::findOpenTable(groupFile("ad.edb"));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->recordCount(), 1);
    EXPECT_EQ(st::valueText(copy->read(1, 2)), "13800138000");
    EXPECT_EQ(st::valueText(copy->read(1, 3)), "同学");
}

TEST_F(ContactsPageTest, EditsUnderLetterGroupsReachTheStoreAndSurviveAllAndARestart) {
    addContact("白云", "111");
    addContact("陈晨", "222", "同学");
    addContact("张三", "333");
    addContact("陈晨", "444");  // the same name: the edit must reach the row's own record

    click("按钮_ad");
    ASSERT_EQ(namesOf(groupFile("ad.edb")), (Names{"白云", "陈晨", "陈晨"}));
    ASSERT_TRUE(type(3, 1, "陈小晨"));
    ASSERT_TRUE(type(3, 3, "邻居"));
    EXPECT_EQ(cell(3, 1), "陈小晨");
    click("按钮_uz");
    ASSERT_TRUE(type(1, 2, "13900000000"));
    EXPECT_EQ(cell(1, 2), "13900000000");
    EXPECT_TRUE(messages().empty());

    click("按钮_all");
    EXPECT_EQ(namesOf("lxr35"), (Names{"白云", "陈晨", "张三", "陈小晨"}));
    EXPECT_EQ(storeText(4, 3), "邻居");
    EXPECT_EQ(storeText(2, 3), "同学");
    EXPECT_EQ(storeText(3, 2), "13900000000");
    EXPECT_EQ(cell(4, 1), "陈小晨");

    // A restart reads the store file afresh.
    st::closeAllDatabases();
    ASSERT_TRUE(st::openDatabase(storeFile()));
    EXPECT_EQ(namesOf("lxr35"), (Names{"白云", "陈晨", "张三", "陈小晨"}));
    EXPECT_EQ(storeText(3, 2), "13900000000");
    EXPECT_EQ(storeText(4, 3), "邻居");
}

TEST_F(ContactsPageTest, AnEditUnderAGroupWhoseRecordChangedMeanwhileIsRefused) {
    addContact("白云", "111");
    addContact("蔡明", "222");
    click("按钮_ad");
    // 白云's record changes behind the group's back.
    ASSERT_TRUE(st::findOpenTable("lxr35")->write(1, 2, std::string("999")));

    type(1, 1, "白雪");
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].text.find("全部"), std::string::npos);
    EXPECT_EQ(cell(1, 1), "白云") << "the cell shows the stored value again";
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"白云", "蔡明"}));
    EXPECT_EQ(namesOf("lxr35"), (Names{"白云", "蔡明"}));
    EXPECT_EQ(storeText(1, 2), "999");

    // The other row still goes through; after a delete on the whole list the rows follow it.
    ASSERT_TRUE(type(2, 3, "同事"));
    EXPECT_EQ(storeText(2, 3), "同事");
    click("按钮_all");
    selectRow(1);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    contacts::onDeleteContactMenu();
    ASSERT_EQ(namesOf("lxr35"), (Names{"蔡明"}));
    ui::setProperty(kMain, "数据库提供者_联系人", "file", groupFile("ad.edb"));
    ASSERT_TRUE(type(2, 2, "223"));
    EXPECT_EQ(storeText(1, 2), "223");
}

// An edit under a group writes two files, the group table (the view) and then lxr35. A writer
// killed at any moment leaves both whole, lxr35 never ahead of the group table and at most one
// edit behind it. QB_KILL_ROUNDS sets how many kills (a few by default). The writer opens the
// store itself: a store connection must not cross a fork.
TEST_F(ContactsPageTest, AnEditUnderAGroupKilledAtAnyMomentLeavesBothFilesWhole) {
    addContact("白云", "0");
    const char* wanted = std::getenv("QB_KILL_ROUNDS");
    const int rounds = wanted ? std::max(1, std::atoi(wanted)) : 6;
    std::mt19937 random(2026);
    int stored = 0;
    const auto closeBoth = [this] {
        for (const std::string& path : {storeFile(), groupFile("ad.edb")}) {
            if (st::isDatabaseOpen(path) && st::selectDatabase(path)) st::closeDatabase();
        }
    };
    for (int round = 0; round < rounds; ++round) {
        closeBoth();
        int started[2];
        ASSERT_EQ(pipe(started), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            close(started[0]);
            if (!st::openDatabase(storeFile())) _exit(3);
            contacts::filterContactsAD();
            QApplication::processEvents();  // the view settled on the group, as the user finds it
            for (int k = stored + 1;; ++k) {
                if (!type(1, 2, std::to_string(k).c_str()) || !messages().empty()) _exit(4);
                if (k == stored + 1 && write(started[1], &k, sizeof k) != sizeof k) _exit(5);
            }
        }
        ASSERT_GT(pid, 0);
        close(started[1]);
        int first = 0;
        const ssize_t got = read(started[0], &first, sizeof first);
        close(started[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_EQ(got, static_cast<ssize_t>(sizeof first)) << "the writer failed: " << status;

        // Both files as the next start would find them.
        for (const std::string& path : {storeFile(), groupFile("ad.edb")}) {
            ASSERT_TRUE(st::openDatabase(path)) << path << ": " << st::lastError();
        }
        const int inStore = std::stoi(storeText(1, 2));
        const int inGroup = std::stoi(st::valueText(st::findOpenTable(groupFile("ad.edb"))->read(1, 2)));
        EXPECT_GE(inStore, stored + 1) << "round " << round;
        EXPECT_TRUE(inGroup == inStore || inGroup == inStore + 1) << inGroup << " / " << inStore;
        stored = inStore;
    }
    closeBoth();
    ASSERT_TRUE(st::openDatabase(storeFile()));
    EXPECT_EQ(namesOf("lxr35"), (Names{"白云"}));

    // One normal start after the kills leaves the stores, the group's table and their logs alone.
    ui::resetForTesting();
    st::closeAllDatabases();
    shell::bindShellHandlers();
    ASSERT_TRUE(start());
    const std::regex ours(R"((rz35\.edb|rz35\.edt|tx35\.edb|bw35\.edb|bw35\.edt|lxr35\.edb|ad\.edb)(-wal)?)");
    for (const std::string& folder :
         {path("/data"), runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp)}) {
        for (const auto& e : std::filesystem::directory_iterator(folder)) {
            EXPECT_TRUE(std::regex_match(e.path().filename().string(), ours)) << e.path();
        }
    }
}

TEST_F(ContactsPageTest, NamesLandUnderTheLettersAChineseReaderLooksUnder) {
    for (const char* name :
         {"庄小明", "宁静", "汉武", "广志", "芦苇", "曾国藩", "单田芳", "解缙", "查良镛", "仇英"}) {
        addContact(name);
    }
    contacts::filterContactsEH();
    EXPECT_EQ(namesOf(groupFile("eh.edb")), (Names{"广志", "汉武"}));
    contacts::filterContactsIL();
    EXPECT_EQ(namesOf(groupFile("il.edb")), (Names{"芦苇"}));
    contacts::filterContactsMP();
    EXPECT_EQ(namesOf(groupFile("mp.edb")), (Names{"宁静"}));
    contacts::filterContactsQT();
    EXPECT_EQ(namesOf(groupFile("qt.edb")), (Names{"仇英", "单田芳"}));
    contacts::filterContactsUZ();
    EXPECT_EQ(namesOf(groupFile("uz.edb")), (Names{"解缙", "曾国藩", "庄小明", "查良镛"}));
}

TEST_F(ContactsPageTest, GroupTablesAreReadableByTheUserAlone) {
    addContact("陈晨", "13800138000");
    contacts::filterContactsAD();
    contacts::filterContactsAD();  // written anew over the first
    struct stat file {
    }, folder{};
    ASSERT_EQ(::stat(groupFile("ad.edb").c_str(), &file), 0);
    ASSERT_EQ(::stat(runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp).c_str(), &folder), 0);
    EXPECT_EQ(file.st_mode & 07777, 0600u);
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"陈晨"}));
}

TEST_F(ContactsPageTest, PressingAButtonAgainRebuildsTheGroupFromTheStore) {
    addContact("白云");
    contacts::filterContactsAD();
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"白云"}));
    addContact("毕福");
    addContact("艾伦");  // ai: in no group
    contacts::filterContactsAD();
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"白云", "毕福"}));
    EXPECT_EQ(providerFile(), groupFile("ad.edb"));
    EXPECT_EQ(shownRows(), 2);
    EXPECT_TRUE(messages().empty());
}

TEST_F(ContactsPageTest, AGroupFileThatCannotBeReplacedIsReportedAndNothingIsAppendedElsewhere) {
    addContact("白云");
    // A folder in the way of the group's file: it can be neither deleted as a file nor created.
    std::filesystem::create_directories(groupFile("ad.edb"));
    contacts::filterContactsAD();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "复制结构失败");
    EXPECT_EQ(messages()[0].title, "信息：");
    EXPECT_EQ(providerFile(), storeFile());
    EXPECT_EQ(namesOf("lxr35"), (Names{"白云"}));
}

TEST_F(ContactsPageTest, DeletingOnTheWholeListAsksWithTheRowNumber) {
    addContact("甲");
    addContact("乙");
    addContact("丙");
    selectRow(2);

    ui::pushMessageBoxAnswer(ui::kIdCancel);
    contacts::onDeleteContactMenu();
    EXPECT_EQ(namesOf("lxr35"), (Names{"甲", "乙", "丙"}));

    ui::pushMessageBoxAnswer(ui::kIdOk);
    contacts::onDeleteContactMenu();
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[1].text, "确定要删除 [ 2 ] 号记录么？");
    EXPECT_EQ(messages()[1].flags, 1);
    EXPECT_EQ(messages()[1].title, "询问？");
    EXPECT_EQ(namesOf("lxr35"), (Names{"甲", "丙"}));
    EXPECT_EQ(st::currentTable()->recordCount(), 2);  // packed: no record left marked
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 3);
    EXPECT_EQ(shownRows(), 2);
}

TEST_F(ContactsPageTest, DeletingWithNoRowsAsksNothing) {
    contacts::onDeleteContactMenu();
    addContact("白云");
    contacts::filterContactsEH();  // an empty group
    contacts::onDeleteContactMenu();
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(namesOf("lxr35"), (Names{"白云"}));
}

TEST_F(ContactsPageTest, DeletingThroughALetterGroupRemovesOnlyTheContactTheRowShows) {
    addSampleContacts();
    contacts::filterContactsAD();
    // Row 4 of the group is 陈晨, record 1 of lxr35; row 4 of lxr35 is 白云.
    selectRow(4);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    contacts::onDeleteContactMenu();

    // The question names the row the user sees.
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "确定要删除 [ 4 ] 号记录么？");
    Names left = namesOf("lxr35");
    EXPECT_EQ(left.size(), 12u);
    EXPECT_EQ(std::count(left.begin(), left.end(), "陈晨"), 0);
    EXPECT_EQ(std::count(left.begin(), left.end(), "白云"), 1);
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"阿强", "白云", "蔡明", "邓丽"}));
    EXPECT_EQ(providerFile(), groupFile("ad.edb"));

    // The trace follows the renumbering: 邓丽 was record 7 and is now record 6.
    selectRow(4);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    contacts::onDeleteContactMenu();
    ASSERT_EQ(messages().size(), 2u);
    EXPECT_EQ(messages()[1].text, "确定要删除 [ 4 ] 号记录么？");
    left = namesOf("lxr35");
    EXPECT_EQ(std::count(left.begin(), left.end(), "邓丽"), 0);
    EXPECT_EQ(left.size(), 11u);

    // The group's last row, which is also lxr35's last record; then another row of the group.
    addContact("杜甫");
    contacts::filterContactsAD();
    ASSERT_EQ(namesOf(groupFile("ad.edb")), (Names{"阿强", "白云", "蔡明", "杜甫"}));
    selectRow(4);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    contacts::onDeleteContactMenu();
    ASSERT_EQ(messages().size(), 3u);
    EXPECT_EQ(messages()[2].text, "确定要删除 [ 4 ] 号记录么？");
    selectRow(1);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    contacts::onDeleteContactMenu();
    ASSERT_EQ(messages().size(), 4u);
    EXPECT_EQ(messages()[3].text, "确定要删除 [ 1 ] 号记录么？");
    left = namesOf("lxr35");
    EXPECT_EQ(left.size(), 10u);
    EXPECT_EQ(std::count(left.begin(), left.end(), "杜甫") + std::count(left.begin(), left.end(), "阿强"), 0);
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"白云", "蔡明"}));
}

TEST_F(ContactsPageTest, DeletingThroughAGroupIsRefusedWhenTheStoreChangedUnderneath) {
    addContact("白云");
    addContact("蔡明");
    contacts::filterContactsAD();
    // The whole list loses 白云 behind the group's back (record numbers shift).
    contacts::onAllContactsButton();
    selectRow(1);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    contacts::onDeleteContactMenu();
    ASSERT_EQ(namesOf("lxr35"), (Names{"蔡明"}));
    // Back on the old group table without rebuilding it, as nothing in the program would do.
    ui::setProperty(kMain, "数据库提供者_联系人", "file", groupFile("ad.edb"));
    ui::clearDialogScript();
    selectRow(1);
    contacts::onDeleteContactMenu();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].text.find("全部"), std::string::npos);
    EXPECT_EQ(namesOf("lxr35"), (Names{"蔡明"}));

    // A name, a phone or a remark changed underneath loses the trace as well.
    for (const auto& [field, value] :
         {std::pair{"姓名", "蔡红"}, std::pair{"电话", "123"}, std::pair{"备注", "改过"}}) {
        contacts::filterContactsAD();
        ASSERT_TRUE(st::selectDatabase("lxr35"));
        ASSERT_TRUE(st::goToRecord(1));
        ASSERT_TRUE(st::writeField(field, std::string(value)));
        ui::clearDialogScript();
        selectRow(1);
        ui::pushMessageBoxAnswer(ui::kIdOk);
        contacts::onDeleteContactMenu();
        ASSERT_EQ(messages().size(), 1u) << field;
        EXPECT_NE(messages()[0].text.find("全部"), std::string::npos) << field;
        EXPECT_EQ(namesOf("lxr35"), (Names{"蔡红"})) << field;
    }

    // So does a group table that lost a row behind the page's back: its rows no longer line up.
    addContact("白云");
    contacts::filterContactsAD();
    ASSERT_EQ(namesOf(groupFile("ad.edb")), (Names{"白云", "蔡红"}));
    ASSERT_TRUE(st::selectDatabase(groupFile("ad.edb")));
    ASSERT_TRUE(st::goToRecord(1));
    ASSERT_TRUE(st::deleteRecords());
    ASSERT_TRUE(st::packDatabase());
    ui::clearDialogScript();
    selectRow(1);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    contacts::onDeleteContactMenu();
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_NE(messages()[0].text.find("全部"), std::string::npos);
    EXPECT_EQ(namesOf("lxr35"), (Names{"蔡红", "白云"}));
}

TEST_F(ContactsPageTest, CancelThroughAGroupChangesNothing) {
    addContact("白云");
    contacts::filterContactsAD();
    selectRow(1);
    ui::pushMessageBoxAnswer(ui::kIdCancel);
    contacts::onDeleteContactMenu();
    EXPECT_EQ(namesOf("lxr35"), (Names{"白云"}));
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"白云"}));
}

TEST_F(ContactsPageTest, AddingAppendsABlankContactAndShowsThePageAnew) {
    for (int i = 0; i < 80; ++i) addContact("甲" + std::to_string(i));
    contacts::onAddContactMenu();
    EXPECT_EQ(namesOf("lxr35").size(), 81u);
    EXPECT_EQ(namesOf("lxr35").back(), "");
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 3);
    EXPECT_EQ(shownRows(), 81);
    EXPECT_TRUE(messages().empty());
    // The new row is in view, its name cell current.
    EXPECT_EQ(ui::getDbGridFirstSelectedRow(kMain, "表格_人脉"), 81);
    EXPECT_EQ(ui::getDbGridFirstSelectedColumn(kMain, "表格_人脉"), 1);
    const QModelIndex added = view()->model()->index(80, 0);
    EXPECT_EQ(view()->currentIndex(), added);
    EXPECT_TRUE(view()->viewport()->rect().intersects(view()->visualRect(added)));

    // On a letter group the new contact goes to lxr35 and stays out of sight.
    contacts::filterContactsAD();
    contacts::onAddContactMenu();
    EXPECT_EQ(namesOf("lxr35").size(), 82u);
    EXPECT_EQ(shownRows(), 0);
}

TEST_F(ContactsPageTest, CurrentCellMovesTheStoreToTheRowsRecord) {
    addSampleContacts();
    selectRow(5);
    contacts::onContactGridCellChanged();
    EXPECT_EQ(st::getRecordNumber(), 5);
    contacts::filterContactsAD();
    contacts::onContactGridCellChanged();  // no row is current yet: none is traced
    selectRow(2);                          // 白云, record 4 of lxr35
    contacts::onContactGridCellChanged();
    ASSERT_TRUE(st::selectDatabase("lxr35"));
    EXPECT_EQ(st::getRecordNumber(), 4);
}

TEST_F(ContactsPageTest, RightButtonOpensTheContactsMenu) {
    ui::pushMenuAnswer("");
    contacts::onContactGridRightButton();
    ASSERT_EQ(ui::shownDialogs().size(), 1u);
    EXPECT_EQ(ui::shownDialogs()[0].kind, ui::DialogKind::PopupMenu);
    EXPECT_EQ(ui::shownDialogs()[0].text, "人脉菜单");
}

class ProtectedContactsPageTest : public ContactsPageTest {
protected:
    void SetUp() override {
        protectWith_ = "开门芝麻";
        ContactsPageTest::SetUp();
    }
};

TEST_F(ProtectedContactsPageTest, GroupsOfProtectedStoresOpenWithTheStoresPassword) {
    addContact("白云");
    addContact("张三");
    contacts::filterContactsAD();
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(st::isDatabaseEncrypted(groupFile("ad.edb")));
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"白云"}));
    EXPECT_EQ(shownRows(), 1);
    EXPECT_EQ(namesOf("lxr35").size(), 2u);
}

TEST_F(ProtectedContactsPageTest, GroupsFollowAPasswordChangedDuringTheRun) {
    addContact("白云");
    // Protection removed, then set again with another password, from the settings page.
    ui::setBool(kMain, "选择框_加密", "checked", true);
    ui::setText(kMain, "标签_加密状态", "已加密");
    ui::setBool(kMain, "选择框_加密", "checked", false);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    shell::onEncryptCheckClicked();
    contacts::filterContactsAD();
    EXPECT_FALSE(st::isDatabaseEncrypted(groupFile("ad.edb")));
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"白云"}));

    ui::setBool(kMain, "选择框_加密", "checked", true);
    ui::pushInputBoxAnswer(true, "另一个");
    ui::pushMessageBoxAnswer(ui::kIdOk);
    shell::onEncryptCheckClicked();
    ASSERT_EQ(core::databasePassword, "另一个");
    ui::clearDialogScript();
    contacts::filterContactsAD();
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(st::isDatabaseEncrypted(groupFile("ad.edb")));
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"白云"}));
}

}  // namespace
}  // namespace qbtest
