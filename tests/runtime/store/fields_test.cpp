// Typed reads and writes: every field gives back its own type, texts are cut to their width at
// a character boundary, and what was written is what a reopened file reads.
#include "store_fixture.h"

#include "runtime/base/text.h"

namespace store_test {
namespace {

class FieldsTest : public StoreTest {};

TEST_F(FieldsTest, ValuesComeBackInTheirTypesAfterReopen) {
    openNew("m.edb", mixedFields());
    const std::string memo(5000, 'x');
    ASSERT_TRUE(st::addRecord({date(45292.5), num(-7), text("abc"), st::Value{memo}}));
    ASSERT_TRUE(st::addRecord({{}, num(INT32_MIN)}));
    ASSERT_TRUE(st::addRecord({{}, num(INT32_MAX)}));
    ASSERT_TRUE(st::closeDatabase());
    ASSERT_TRUE(st::openDatabase(path("m.edb"))) << st::lastError();
    ASSERT_EQ(st::getRecordCount(), 3);
    ASSERT_TRUE(st::goToRecord(1));
    EXPECT_EQ(std::get<runtime::DateTime>(st::readField("日期")).days, 45292.5);
    EXPECT_EQ(std::get<int32_t>(st::readField("数")), -7);
    EXPECT_EQ(std::get<std::string>(st::readField(3)), "abc");
    EXPECT_EQ(std::get<std::string>(st::readField("日志")), memo);
    EXPECT_EQ(st::valueInt(st::currentTable()->read(2, 2)), INT32_MIN);
    EXPECT_EQ(st::valueInt(st::currentTable()->read(3, 2)), INT32_MAX);
}

TEST_F(FieldsTest, MissingValuesAreBlankOfTheFieldType) {
    openNew("m.edb", mixedFields());
    ASSERT_TRUE(st::addEmptyRecord());
    EXPECT_EQ(std::get<runtime::DateTime>(st::readField(1)).days, 0.0);
    EXPECT_EQ(std::get<int32_t>(st::readField(2)), 0);
    EXPECT_EQ(std::get<std::string>(st::readField(3)), "");
    EXPECT_EQ(std::get<std::string>(st::readField(4)), "");
}

TEST_F(FieldsTest, TextIsCutToItsWidthInGbkBytesAtACharacterBoundary) {
    openNew("m.edb", mixedFields());  // 名 is 6 bytes wide
    ASSERT_TRUE(st::addRecord({{}, {}, text("一二三四")}));
    EXPECT_EQ(st::valueText(st::readField("名")), "一二三");
    ASSERT_TRUE(st::writeField("名", text("ab一二三")));  // 2 + 6 bytes: the third character would straddle
    EXPECT_EQ(st::valueText(st::readField("名")), "ab一二");
    EXPECT_EQ(runtime::getTextLength(st::valueText(st::readField("名"))), 6);
    ASSERT_TRUE(st::writeField("日志", st::Value{std::string(70000, 'y')}));  // memos have no width
    ASSERT_TRUE(st::closeDatabase());
    ASSERT_TRUE(st::openDatabase(path("m.edb")));
    EXPECT_EQ(st::valueText(st::readField("名")), "ab一二");
    EXPECT_EQ(st::valueText(st::readField("日志")).size(), 70000u);
}

TEST_F(FieldsTest, ModifyKeepsOmittedFields) {
    openNew("c.edb", contactFields());
    ASSERT_TRUE(st::addRecord({text("张三"), text("123"), text("同学")}));
    ASSERT_TRUE(st::modifyRecord({std::nullopt, text("456")}));
    EXPECT_EQ(st::valueText(st::readField(1)), "张三");
    EXPECT_EQ(st::valueText(st::readField(2)), "456");
    EXPECT_EQ(st::valueText(st::readField(3)), "同学");
    EXPECT_FALSE(st::modifyRecord({text("a"), text("b"), text("c"), text("d")}));
    EXPECT_EQ(st::valueText(st::readField(1)), "张三");
}

TEST_F(FieldsTest, WrongTypesAndUnknownFieldsAreRefusedAndChangeNothing) {
    openNew("m.edb", mixedFields());
    ASSERT_TRUE(st::addRecord({date(1), num(2), text("c")}));
    EXPECT_FALSE(st::writeField("数", text("12")));
    EXPECT_FALSE(st::lastError().empty());
    EXPECT_FALSE(st::writeField("名", num(3)));
    EXPECT_FALSE(st::writeField("没有", num(3)));
    EXPECT_FALSE(st::addRecord({text("x")}));
    EXPECT_FALSE(
        st::addRecord({date(1), num(2), text("c"), text("m"), text("x")}));  // more values than fields
    EXPECT_EQ(st::getRecordCount(), 1);
    EXPECT_EQ(st::valueInt(st::readField("数")), 2);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(st::readField("没有")));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(st::readField(0)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(st::readField(5)));
    EXPECT_FALSE(st::currentTable()->write(1, 5, num(3)));
    EXPECT_NE(st::lastError().find("第 5 个字段"), std::string::npos) << st::lastError();
    EXPECT_FALSE(st::currentTable()->isDeleted(2));
}

TEST_F(FieldsTest, WriteFieldToReachesAnotherTableWithoutSelectingIt) {
    openNew("a.edb", contactFields());
    ASSERT_TRUE(st::addEmptyRecord());
    openNew("b.edb", contactFields());
    ASSERT_TRUE(st::addEmptyRecord());
    ASSERT_TRUE(st::writeFieldTo("姓名", "a", text("甲")));
    EXPECT_EQ(st::currentTable()->storeName(), "b");
    EXPECT_EQ(st::valueText(st::readField("姓名")), "");
    EXPECT_EQ(st::valueText(st::findOpenTable("a")->read(1, 1)), "甲");
    EXPECT_FALSE(st::writeFieldTo("姓名", "nope", text("x")));
}

TEST_F(FieldsTest, ValueHelpersReadEmptyAsZero) {
    EXPECT_EQ(st::valueText(st::Value{}), "");
    EXPECT_EQ(st::valueInt(st::Value{}), 0);
    EXPECT_EQ(st::valueDate(st::Value{}).days, 0.0);
    EXPECT_EQ(st::valueInt(num(42)), 42);
    EXPECT_EQ(st::valueText(num(42)), "42");
}

TEST_F(FieldsTest, CreateRefusesBadFieldListsAndExistingFiles) {
    EXPECT_FALSE(st::createTable(path("x.edb"), {}));
    EXPECT_FALSE(st::createTable(path("x.edb"), {{"a", st::FieldType::Text, 0}}));
    EXPECT_FALSE(
        st::createTable(path("x.edb"), {{"a", st::FieldType::Integer}, {"a", st::FieldType::Integer}}));
    EXPECT_FALSE(std::filesystem::exists(path("x.edb")));
    ASSERT_TRUE(st::createTable(path("x.edb"), mixedFields()));
    EXPECT_TRUE(std::filesystem::exists(path("x.edt")));
    const std::string before = readBytes(path("x.edb"));
    EXPECT_FALSE(st::createTable(path("x.edb"), contactFields()));
    EXPECT_EQ(readBytes(path("x.edb")), before);
    // A stray companion blocks a new table that would need it.
    writeBytes(path("y.edt"), "old");
    EXPECT_FALSE(st::createTable(path("y.edb"), mixedFields()));
    EXPECT_FALSE(std::filesystem::exists(path("y.edb")));
    EXPECT_EQ(readBytes(path("y.edt")), "old");
    // No temporary files are left behind.
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir_)) files += e.is_regular_file();
    EXPECT_EQ(files, 3);

    // The limits themselves: the widest text field and the most fields are created and reopened
    // (the last field a memo, whose entries a pack removes with their record); one beyond is refused.
    EXPECT_FALSE(st::createTable(path("noname.edb"), {{"", st::FieldType::Integer}}));
    EXPECT_FALSE(st::createTable(path("wide.edb"), {{"a", st::FieldType::Text, 65536}}));
    ASSERT_TRUE(st::createTable(path("wide.edb"), {{"a", st::FieldType::Text, 65535}}));
    EXPECT_TRUE(st::openDatabase(path("wide.edb"))) << st::lastError();
    std::vector<st::FieldDef> many;
    for (int i = 1; i <= 256; ++i) many.push_back({"f" + std::to_string(i), st::FieldType::Integer});
    EXPECT_FALSE(st::createTable(path("many.edb"), many));
    many.pop_back();
    many.back().type = st::FieldType::Memo;
    openNew("many.edb", many);
    ASSERT_TRUE(st::addRecords({{num(1)}, {num(2)}}));
    ASSERT_TRUE(st::goToRecord(1));
    ASSERT_TRUE(st::deleteRecords());
    ASSERT_TRUE(st::packDatabase());
    ASSERT_TRUE(st::closeDatabase());
    ASSERT_TRUE(st::openDatabase(path("many.edb"))) << st::lastError();
    EXPECT_EQ(st::getFieldCount(), 255);
    EXPECT_EQ(st::valueInt(st::readField(1)), 2);
}

}  // namespace
}  // namespace store_test
