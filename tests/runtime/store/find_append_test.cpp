// findRecord tests from the current record on; appendRecordsFrom copies what a condition picks,
// with the tested source record current while the condition runs. findRecordOnDay answers as
// findRecord does with a date-text condition, through every change its index has to follow.
#include <random>

#include "runtime/base/datetime.h"
#include "store_fixture.h"

namespace store_test {
namespace {

class FindAppendTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        openNew("lxr35.edb", contactFields());
        for (const char* name : {"陈一", "白二", "陈三", "邓四"})
            ASSERT_TRUE(st::addRecord({text(name), text("1")}));
    }
    static st::Condition startsWithChen() {
        return [] { return st::valueText(st::readField("姓名")).starts_with("陈"); };
    }
};

TEST_F(FindAppendTest, FindStartsAtTheCurrentRecordInclusive) {
    ASSERT_TRUE(st::goToFirstRecord());
    ASSERT_TRUE(st::findRecord(startsWithChen()));
    EXPECT_EQ(st::getRecordNumber(), 1);
    ASSERT_TRUE(st::findRecord(startsWithChen()));  // inclusive: stays
    EXPECT_EQ(st::getRecordNumber(), 1);
    ASSERT_TRUE(st::skipRecords());
    ASSERT_TRUE(st::findRecord(startsWithChen()));
    EXPECT_EQ(st::getRecordNumber(), 3);
    ASSERT_TRUE(st::skipRecords());
    EXPECT_FALSE(st::findRecord(startsWithChen()));
    EXPECT_EQ(st::getRecordNumber(), 5);
}

TEST_F(FindAppendTest, FindPassesOverMarkedRecords) {
    ASSERT_TRUE(st::goToRecord(1));
    ASSERT_TRUE(st::deleteRecords());
    ASSERT_TRUE(st::goToFirstRecord());
    ASSERT_TRUE(st::findRecord(startsWithChen()));
    EXPECT_EQ(st::getRecordNumber(), 3);
}

TEST_F(FindAppendTest, AppendCopiesMatchesByFieldNameAndRestoresTheDestination) {
    ASSERT_TRUE(st::copyDatabaseStructure(path("ad.edb")));
    // A destination with the fields in another order and one the source lacks.
    ASSERT_TRUE(st::createTable(path("other.edb"), {{"备注", st::FieldType::Text, 100},
                                                    {"姓名", st::FieldType::Text, 4},
                                                    {"额外", st::FieldType::Integer}}));
    ASSERT_TRUE(st::goToRecord(2));
    ASSERT_TRUE(st::openDatabase(path("ad.edb")));
    std::vector<std::string> seenCurrent;
    ASSERT_TRUE(st::appendRecordsFrom("lxr35", [&] {
        seenCurrent.push_back(st::currentTable()->storeName() + ":" + std::to_string(st::getRecordNumber()));
        return st::valueText(st::readField("姓名")).starts_with("陈");
    }));
    EXPECT_EQ(seenCurrent, (std::vector<std::string>{"lxr35:1", "lxr35:2", "lxr35:3", "lxr35:4"}));
    EXPECT_EQ(st::currentTable()->storeName(), "ad");
    ASSERT_EQ(st::getRecordCount(), 2);
    EXPECT_EQ(st::valueText(st::currentTable()->read(1, 1)), "陈一");
    EXPECT_EQ(st::valueText(st::currentTable()->read(2, 1)), "陈三");
    EXPECT_EQ(st::valueText(st::currentTable()->read(2, 2)), "1");
    EXPECT_EQ(st::findOpenTable("lxr35")->recordCount(), 4);
    ASSERT_TRUE(st::selectDatabase("lxr35"));
    EXPECT_EQ(st::getRecordNumber(), 2);  // the source's cursor is where it was

    ASSERT_TRUE(st::openDatabase(path("other.edb")));
    ASSERT_TRUE(st::appendRecordsFrom("lxr35", {}));
    ASSERT_EQ(st::getRecordCount(), 4);
    EXPECT_EQ(st::valueText(st::currentTable()->read(4, 2)), "邓四");
    EXPECT_EQ(st::valueText(st::currentTable()->read(1, 2)), "陈一");  // cut to 4 bytes
    EXPECT_EQ(st::valueInt(st::currentTable()->read(1, 3)), 0);
}

TEST_F(FindAppendTest, AppendNeedsAnOpenSourceAndLeavesTheDestinationAlone) {
    ASSERT_TRUE(st::copyDatabaseStructure(path("eh.edb")));
    ASSERT_TRUE(st::openDatabase(path("eh.edb")));
    EXPECT_FALSE(st::appendRecordsFrom("nosuch", {}));
    EXPECT_EQ(st::getRecordCount(), 0);
    EXPECT_TRUE(st::appendRecordsFrom("lxr35", [] { return false; }));
    EXPECT_EQ(st::getRecordCount(), 0);
    EXPECT_EQ(st::currentTable()->storeName(), "eh");
}

TEST_F(FindAppendTest, AppendFromItselfCopiesEachRecordOnce) {
    ASSERT_TRUE(st::appendRecordsFrom("lxr35", {}));
    EXPECT_EQ(st::getRecordCount(), 8);
}

TEST_F(FindAppendTest, FindOnDayAnswersAsTheDateTextConditionThroughAddsRedatesMarksAndPacks) {
    openNew("rz35.edb", {{"名", st::FieldType::Text, 4}, {"日期", st::FieldType::DateTime}});
    // Whole days, times of day (one rounds into the next day), and the negative encoding before
    // 1899-12-30, where -1.25 is a time on the same day as -1.0.
    const double values[] = {45000, 45000.5, 45000.999999999, 45001, 45001.25, -1, -1.25, -2, 0, 0.75};
    std::mt19937 random(13);
    auto any = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto dayText = [](double d) {
        return runtime::dateTimeToText(runtime::DateTime{d}, runtime::DateTextForm::DateOnly);
    };
    for (int step = 0; step < 250; ++step) {
        const int count = st::getRecordCount();
        const int action = count < 4 ? 0 : any(10);
        if (action <= 3) {
            ASSERT_TRUE(st::addRecord({text("记"), date(values[any(10)])}));
        } else if (action <= 6) {
            ASSERT_TRUE(st::goToRecord(1 + any(count)));
            ASSERT_TRUE(st::writeField("日期", date(values[any(10)])));
        } else if (action <= 8) {
            ASSERT_TRUE(st::goToRecord(1 + any(count)));
            ASSERT_TRUE(st::deleteRecords());
        } else {
            ASSERT_TRUE(st::packDatabase());
        }
        for (double probe : values) {
            const int from = 1 + any(st::getRecordCount() + 1);
            st::goToRecord(from);
            const bool expected = st::findRecord(
                [&] { return dayText(st::valueDate(st::readField(2)).days) == dayText(probe); });
            const int expectedNumber = st::getRecordNumber();
            st::goToRecord(from);
            ASSERT_EQ(st::findRecordOnDay(2, runtime::DateTime{probe}), expected)
                << "step " << step << " day " << probe;
            ASSERT_EQ(st::getRecordNumber(), expectedNumber) << "step " << step << " day " << probe;
        }
    }
    EXPECT_FALSE(st::findRecordOnDay(1, runtime::DateTime{45000}));  // not a date field
}

}  // namespace
}  // namespace store_test
