// The cursor: record numbers, first/skip/go-to, and the position after the last record.
#include "store_fixture.h"

namespace store_test {
namespace {

class CursorTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        openNew("c.edb", contactFields());
        for (const char* name : {"甲", "乙", "丙"}) ASSERT_TRUE(st::addRecord({text(name)}));
    }
    static std::string name() { return st::valueText(st::readField("姓名")); }
};

TEST_F(CursorTest, AddMakesTheNewRecordCurrent) {
    EXPECT_EQ(st::getRecordCount(), 3);
    EXPECT_EQ(st::getRecordNumber(), 3);
    EXPECT_EQ(name(), "丙");
}

TEST_F(CursorTest, SkipWalksEveryRecordAndStopsAfterTheLast) {
    ASSERT_TRUE(st::goToFirstRecord());
    std::string seen;
    int steps = 0;
    while (st::getRecordNumber() <= st::getRecordCount()) {
        seen += name();
        ASSERT_TRUE(st::skipRecords());
        ASSERT_LT(++steps, 10);
    }
    EXPECT_EQ(seen, "甲乙丙");
    EXPECT_EQ(st::getRecordNumber(), 4);
    EXPECT_FALSE(st::skipRecords());
    EXPECT_EQ(st::getRecordNumber(), 4);
    // After the last record reads are empty and writes are refused.
    EXPECT_TRUE(std::holds_alternative<std::monostate>(st::readField("姓名")));
    EXPECT_FALSE(st::writeField("姓名", text("丁")));
}

TEST_F(CursorTest, GoToClampsToTheRecordsPresent) {
    EXPECT_TRUE(st::goToRecord(2));
    EXPECT_EQ(name(), "乙");
    EXPECT_TRUE(st::goToRecord(99));
    EXPECT_EQ(st::getRecordNumber(), 3);
    EXPECT_TRUE(st::goToRecord(-5));
    EXPECT_EQ(st::getRecordNumber(), 1);
}

TEST_F(CursorTest, EmptyTableHasNoCurrentRecord) {
    openNew("empty.edb", contactFields());
    EXPECT_EQ(st::getRecordCount(), 0);
    EXPECT_TRUE(st::goToFirstRecord());
    EXPECT_EQ(st::getRecordNumber(), 1);
    EXPECT_FALSE(st::goToRecord(1));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(st::readField(1)));
    EXPECT_FALSE(st::deleteRecords());
}

TEST_F(CursorTest, EachTableKeepsItsOwnCursor) {
    ASSERT_TRUE(st::goToRecord(2));
    openNew("other.edb", contactFields());
    ASSERT_TRUE(st::addRecord({text("x")}));
    ASSERT_TRUE(st::selectDatabase("c"));
    EXPECT_EQ(st::getRecordNumber(), 2);
    EXPECT_EQ(name(), "乙");
}

TEST_F(CursorTest, TableObjectReadsWithoutMovingTheCursor) {
    ASSERT_TRUE(st::goToRecord(1));
    st::Table* t = st::currentTable();
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(st::valueText(t->read(3, 1)), "丙");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(t->read(4, 1)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(t->read(1, 4)));
    EXPECT_EQ(st::getRecordNumber(), 1);
    ASSERT_TRUE(t->write(3, 2, text("123")));
    EXPECT_EQ(st::getRecordNumber(), 1);
    ASSERT_TRUE(st::goToRecord(3));
    EXPECT_EQ(st::valueText(st::readField("电话")), "123");
}

TEST_F(CursorTest, ObserversHearEveryChangeUntilRemoved) {
    st::Table* t = st::currentTable();
    int calls = 0;
    const int id = t->addObserver([&] { ++calls; });
    ASSERT_TRUE(st::writeField("姓名", text("丁")));
    ASSERT_TRUE(st::addEmptyRecord());
    ASSERT_TRUE(st::deleteRecords());
    ASSERT_TRUE(st::packDatabase());
    EXPECT_EQ(calls, 4);
    t->removeObserver(id);
    ASSERT_TRUE(st::addEmptyRecord());
    EXPECT_EQ(calls, 4);
}

}  // namespace
}  // namespace store_test
