// The contacts page on the real main window: letter groups built from lxr35, the way back to the
// whole list, adding and deleting (on the whole list and through a letter group), and letter
// groups of protected stores.
#include <QAbstractButton>
#include <algorithm>
#include <QApplication>

#include "main_window_fixture.h"
#include "shell/protection.h"

namespace qbtest {
namespace {

using Names = std::vector<std::string>;

class ContactsPageTest : public MainWindowTest {
protected:
    // Store order differs from every group's order on purpose.
    void addSampleContacts() {
        addContact("陈晨", "111");    // ch
        addContact("Tom", "222");     // Latin: no group
        addContact("蔡明", "333");    // c
        addContact("白云");           // b
        addContact("安妮");           // an: no group
        addContact("阿强");           // a
        addContact("邓丽");           // d
        addContact("沈从文");         // sh
        addContact("孙俪");           // s
        addContact("张三");           // zh
        addContact("欧阳");           // ou: no group
        addContact("");               // empty: no group
        addContact("2号");            // digit: no group
    }

    static void click(const char* button) {
        auto* widget = findWidget<QAbstractButton>(button);
        ASSERT_NE(widget, nullptr) << button;
        widget->click();
    }

    static void selectRow(int row) { ui::setDbGridCurrentRow(kMain, "数据源_联系人", row); }
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

TEST_F(ContactsPageTest, GroupCopiesAllThreeFieldsAndEditsStayInTheCopy) {
    addContact("陈晨", "13800138000", "同学");
    contacts::filterContactsAD();
    st::Table* copy = st::findOpenTable(groupFile("ad.edb"));
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->recordCount(), 1);
    EXPECT_EQ(st::valueText(copy->read(1, 2)), "13800138000");
    EXPECT_EQ(st::valueText(copy->read(1, 3)), "同学");

    ASSERT_TRUE(copy->write(1, 1, std::string("陈小晨")));
    contacts::onAllContactsButton();
    EXPECT_EQ(namesOf("lxr35"), (Names{"陈晨"}));
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
    EXPECT_TRUE(messages().empty());
    // Nor on a letter group without rows.
    addContact("白云");
    contacts::filterContactsEH();
    ASSERT_EQ(shownRows(), 0);
    contacts::onDeleteContactMenu();
    for (const auto& message : messages()) EXPECT_EQ(message.text.find("确定要删除"), std::string::npos);
    EXPECT_EQ(namesOf("lxr35"), (Names{"白云"}));
}

TEST_F(ContactsPageTest, DeletingThroughALetterGroupRemovesOnlyTheContactTheRowShows) {
    addSampleContacts();
    contacts::filterContactsAD();
    // Row 4 of the group is 陈晨, record 1 of lxr35; row 4 of lxr35 is 白云.
    selectRow(4);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    contacts::onDeleteContactMenu();

    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "确定要删除 [ 1 ] 号记录么？");
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
    EXPECT_EQ(messages()[1].text, "确定要删除 [ 6 ] 号记录么？");
    left = namesOf("lxr35");
    EXPECT_EQ(std::count(left.begin(), left.end(), "邓丽"), 0);
    EXPECT_EQ(left.size(), 11u);

    // The group's last row, which is also lxr35's last record; then another row of the group.
    addContact("杜甫");  // record 12
    contacts::filterContactsAD();
    ASSERT_EQ(namesOf(groupFile("ad.edb")), (Names{"阿强", "白云", "蔡明", "杜甫"}));
    selectRow(4);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    contacts::onDeleteContactMenu();
    ASSERT_EQ(messages().size(), 3u);
    EXPECT_EQ(messages()[2].text, "确定要删除 [ 12 ] 号记录么？");
    selectRow(1);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    contacts::onDeleteContactMenu();
    ASSERT_EQ(messages().size(), 4u);
    EXPECT_EQ(messages()[3].text, "确定要删除 [ 5 ] 号记录么？");
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
    for (const auto& [field, value] : {std::pair{"姓名", "蔡红"}, std::pair{"电话", "123"}, std::pair{"备注", "改过"}}) {
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
    addContact("甲");
    contacts::onAddContactMenu();
    EXPECT_EQ(namesOf("lxr35"), (Names{"甲", ""}));
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 3);
    EXPECT_EQ(shownRows(), 2);
    EXPECT_TRUE(messages().empty());

    // On a letter group the new contact goes to lxr35 and stays out of sight.
    contacts::filterContactsAD();
    contacts::onAddContactMenu();
    EXPECT_EQ(namesOf("lxr35").size(), 3u);
    EXPECT_EQ(shownRows(), 0);
}

TEST_F(ContactsPageTest, CurrentCellMovesTheStoreToTheRowsRecord) {
    addSampleContacts();
    selectRow(5);
    contacts::onContactGridCellChanged();
    EXPECT_EQ(st::getRecordNumber(), 5);
    contacts::filterContactsAD();
    selectRow(2);  // 白云, record 4 of lxr35
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
    ASSERT_EQ(shell::databasePassword, "另一个");
    ui::clearDialogScript();
    contacts::filterContactsAD();
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(st::isDatabaseEncrypted(groupFile("ad.edb")));
    EXPECT_EQ(namesOf(groupFile("ad.edb")), (Names{"白云"}));
}

}  // namespace
}  // namespace qbtest
