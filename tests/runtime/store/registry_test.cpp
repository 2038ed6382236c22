// The registry: store names, the current table, closing, and structure copies.
#include "store_fixture.h"

namespace store_test {
namespace {

class RegistryTest : public StoreTest {};

TEST_F(RegistryTest, OpenRegistersUnderTheFileNameAndSelectsByNameOrPath) {
    openNew("rz35.edb", mixedFields());
    openNew("lxr35.edb", contactFields());
    EXPECT_EQ(st::currentTable()->storeName(), "lxr35");
    ASSERT_TRUE(st::selectDatabase("rz35"));
    EXPECT_EQ(st::getFieldName(2), "数");
    EXPECT_EQ(st::getFieldCount(), 4);
    ASSERT_TRUE(st::selectDatabase(path("lxr35.edb")));
    EXPECT_EQ(st::getFieldName(1), "姓名");
    EXPECT_EQ(st::getFieldName(9), "");
    EXPECT_FALSE(st::selectDatabase("tx35"));
    EXPECT_EQ(st::currentTable()->storeName(), "lxr35");
    EXPECT_EQ(st::findOpenTable(path("rz35.edb")), st::findOpenTable("rz35"));
    EXPECT_TRUE(st::isDatabaseOpen(path("rz35.edb")));
    EXPECT_TRUE(st::isDatabaseOpen(dir_ + "/./rz35.edb"));
}

TEST_F(RegistryTest, OpenRefusesMissingFilesAndDoubleOpens) {
    EXPECT_FALSE(st::openDatabase(path("none.edb")));
    EXPECT_NE(st::lastError().find("不存在"), std::string::npos);
    openNew("a.edb", contactFields());
    EXPECT_FALSE(st::openDatabase(path("a.edb")));
    EXPECT_NE(st::lastError().find("已经打开"), std::string::npos);
    std::filesystem::create_directory(path("sub"));
    ASSERT_TRUE(st::createTable(path("sub/a.edb"), contactFields()));
    EXPECT_FALSE(st::openDatabase(path("sub/a.edb")));  // the name "a" is taken
    EXPECT_EQ(st::currentTable()->path(), path("a.edb"));
}

TEST_F(RegistryTest, CloseLeavesNoneCurrentAndTellsListeners) {
    openNew("a.edb", contactFields());
    openNew("b.edb", contactFields());
    std::vector<std::string> closed;
    const int id = st::addCloseListener([&](st::Table* t) { closed.push_back(t->storeName()); });
    ASSERT_TRUE(st::closeDatabase());
    EXPECT_EQ(st::currentTable(), nullptr);
    EXPECT_FALSE(st::closeDatabase());
    EXPECT_FALSE(st::addEmptyRecord());
    EXPECT_EQ(st::getRecordCount(), 0);
    EXPECT_FALSE(st::isDatabaseOpen(path("b.edb")));
    EXPECT_TRUE(st::isDatabaseOpen(path("a.edb")));
    st::closeAllDatabases();
    EXPECT_EQ(closed, (std::vector<std::string>{"b", "a"}));
    st::removeCloseListener(id);
    EXPECT_FALSE(st::selectDatabase("a"));
    // Closed files can be opened again.
    ASSERT_TRUE(st::openDatabase(path("a.edb")));
}

TEST_F(RegistryTest, CopyStructureMakesAnEmptyTableAndNeverOverwrites) {
    openNew("rz35.edb", mixedFields());
    ASSERT_TRUE(st::addRecord({date(1), num(1), text("a"), text("m")}));
    ASSERT_TRUE(st::copyDatabaseStructure(path("copy.edb")));
    EXPECT_TRUE(std::filesystem::exists(path("copy.edt")));
    EXPECT_FALSE(st::copyDatabaseStructure(path("copy.edb")));
    EXPECT_EQ(st::currentTable()->storeName(), "rz35");
    ASSERT_TRUE(st::openDatabase(path("copy.edb")));
    EXPECT_EQ(st::getRecordCount(), 0);
    EXPECT_EQ(st::currentTable()->fields().size(), 4u);
    EXPECT_EQ(st::currentTable()->fields()[2].width, 6);
    EXPECT_EQ(st::currentTable()->fields()[3].type, st::FieldType::Memo);
}

TEST_F(RegistryTest, EncryptionIsAnsweredForClosedAndOpenFiles) {
    ASSERT_TRUE(st::createTable(path("plain.edb"), contactFields()));
    EXPECT_FALSE(st::isDatabaseEncrypted(path("plain.edb")));
    EXPECT_FALSE(st::isDatabaseEncrypted(path("none.edb")));
    EXPECT_NE(st::lastError().find("不存在"), std::string::npos);
    ASSERT_TRUE(st::createTable(path("locked.edb"), contactFields(), "pw"));
    EXPECT_TRUE(st::isDatabaseEncrypted(path("locked.edb")));
    ASSERT_TRUE(st::openDatabase(path("plain.edb")));
    ASSERT_TRUE(st::setDatabasePassword("pw"));
    EXPECT_TRUE(st::isDatabaseEncrypted(path("plain.edb")));
}

}  // namespace
}  // namespace store_test
