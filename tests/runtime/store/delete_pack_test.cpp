// Deleting marks a record; packing removes the marked ones for good, memos included.
#include "store_fixture.h"

namespace store_test {
namespace {

class DeletePackTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        openNew("d.edb", mixedFields());
        for (int i = 1; i <= 5; ++i) {
            ASSERT_TRUE(st::addRecord({date(i), num(i), text("r"), st::Value{"memo " + std::to_string(i)}}));
        }
    }
    static std::vector<int> numbers() {
        std::vector<int> out;
        for (int n = 1; n <= st::getRecordCount(); ++n)
            out.push_back(st::valueInt(st::currentTable()->read(n, 2)));
        return out;
    }
};

TEST_F(DeletePackTest, MarkedRecordsKeepTheirNumbersUntilPacked) {
    ASSERT_TRUE(st::goToRecord(2));
    ASSERT_TRUE(st::deleteRecords());
    ASSERT_TRUE(st::goToRecord(4));
    ASSERT_TRUE(st::deleteRecords());
    EXPECT_EQ(st::getRecordCount(), 5);
    EXPECT_TRUE(st::currentTable()->isDeleted(2));
    EXPECT_FALSE(st::currentTable()->isDeleted(3));
    ASSERT_TRUE(st::closeDatabase());
    ASSERT_TRUE(st::openDatabase(path("d.edb")));  // the marks are on disk
    EXPECT_TRUE(st::currentTable()->isDeleted(4));
    ASSERT_TRUE(st::packDatabase());
    EXPECT_EQ(numbers(), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(st::valueText(st::currentTable()->read(2, 4)), "memo 3");
}

TEST_F(DeletePackTest, PackIsDurableAndTheMemosGoWithTheirRecords) {
    ASSERT_TRUE(st::goToRecord(1));
    ASSERT_TRUE(st::deleteRecords());
    ASSERT_TRUE(st::packDatabase());
    ASSERT_TRUE(st::addRecord({date(6), num(6), text("r"), text("memo 6")}));
    ASSERT_TRUE(st::closeDatabase());
    ASSERT_TRUE(st::openDatabase(path("d.edb")));
    EXPECT_EQ(numbers(), (std::vector<int>{2, 3, 4, 5, 6}));
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(st::valueText(st::currentTable()->read(n, 4)), "memo " + std::to_string(n + 1));
    }
}

TEST_F(DeletePackTest, DeletingEverythingLeavesAnEmptyTable) {
    for (int n = 1; n <= 5; ++n) {
        ASSERT_TRUE(st::goToRecord(n));
        ASSERT_TRUE(st::deleteRecords());
    }
    ASSERT_TRUE(st::packDatabase());
    EXPECT_EQ(st::getRecordCount(), 0);
    EXPECT_EQ(st::getRecordNumber(), 1);
    ASSERT_TRUE(st::addRecord({date(9), num(9)}));
    EXPECT_EQ(numbers(), (std::vector<int>{9}));
}

TEST_F(DeletePackTest, PackWithNothingMarkedChangesNothing) {
    ASSERT_TRUE(st::goToRecord(3));
    ASSERT_TRUE(st::packDatabase());
    EXPECT_EQ(st::getRecordNumber(), 3);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace store_test
