// The commit protocol as typing meets it: a keystroke on a record that exists costs one flush of
// one file, and the write-ahead log behind it stays bounded however long the typing goes on.
// The log is laid out ahead of its frames, so most commits write inside the file rather than
// grow it. Closing leaves neither a log nor an empty journal beside the files. A write of the
// values a record holds costs no flush at all.
#include <algorithm>

#include "store_fixture.h"
#include "support/flush_counter.h"

using qbtest::flushes;

namespace store_test {
namespace {

class CommitTest : public StoreTest {
protected:
    static std::uintmax_t sizeOf(const std::string& file) {
        std::error_code ec;
        const std::uintmax_t n = std::filesystem::file_size(file, ec);
        return ec ? 0 : n;
    }
};

TEST_F(CommitTest, OneFlushPerKeystrokeABoundedLogAndNoLogOrJournalAfterClose) {
    openNew("rz35.edb", {{"日期", st::FieldType::DateTime}, {"日志", st::FieldType::Memo}});
    ASSERT_TRUE(st::addRecord({date(45000), text("今")}));
    std::string typed(20000, 'a');                          // a long day: several pages per commit
    ASSERT_TRUE(st::writeField("日志", st::Value{typed}));  // the first keystroke after a two-file change
    std::vector<int> perKey;
    std::uintmax_t largestLog = 0;
    int grown = 0;  // keystrokes that changed the length of the memo log
    for (int k = 0; k < 400; ++k) {
        typed += k % 40 == 39 ? "\n" : "字";
        const int before = flushes();
        const std::uintmax_t logBefore = sizeOf(path("rz35.edt-wal"));
        ASSERT_TRUE(st::writeField("日志", st::Value{typed})) << st::lastError();
        perKey.push_back(flushes() - before);
        grown += sizeOf(path("rz35.edt-wal")) != logBefore;
        largestLog = std::max({largestLog, sizeOf(path("rz35.edt-wal")), sizeOf(path("rz35.edb-wal"))});
    }
    EXPECT_LE(grown, std::ssize(perKey) / 10);
    // A checkpoint costs the keystroke that triggers it and the next one (which restarts the log)
    // a flush or two more; with a 20 KB day that is every ninety-odd keystrokes, rarer for less.
    const auto slow = std::count_if(perKey.begin(), perKey.end(), [](int n) { return n > 1; });
    EXPECT_EQ(std::count(perKey.begin(), perKey.end(), 1), std::ssize(perKey) - slow);
    EXPECT_GE(slow, 1);
    EXPECT_LE(slow, std::ssize(perKey) / 25);
    EXPECT_GT(largestLog, 0u);
    EXPECT_LE(largestLog, 8u << 20);
    EXPECT_FALSE(std::filesystem::exists(path("rz35.edt-shm")));
    ASSERT_TRUE(st::closeDatabase());
    for (const char* left : {"rz35.edb-wal", "rz35.edt-wal", "rz35.edb-journal", "rz35.edt-journal"}) {
        EXPECT_FALSE(std::filesystem::exists(path(left))) << left;
    }
    ASSERT_TRUE(st::openDatabase(path("rz35.edb")));
    EXPECT_EQ(st::valueText(st::readField("日志")), typed);
}

TEST_F(CommitTest, AWriteOfTheValuesARecordHoldsCommitsNothing) {
    for (const std::string password : {"", "pw"}) {
        SCOPED_TRACE(password.empty() ? "plain" : "sealed");
        openNew("t" + password + ".edb", mixedFields(), password);
        ASSERT_TRUE(st::addRecord({date(45000), num(7), text("名字们"), text("日志")}));
        const int before = flushes();
        ASSERT_TRUE(st::writeField("日志", text("日志")));
        ASSERT_TRUE(st::writeField("名", text("名字们好")));  // cut to its six bytes: the same text
        ASSERT_TRUE(st::modifyRecord({date(45000), num(7), std::nullopt, text("日志")}));
        EXPECT_EQ(flushes(), before);
        ASSERT_TRUE(st::writeField("日志", text("日志改了")));
        EXPECT_GT(flushes(), before);
        st::closeAllDatabases();
    }
}

}  // namespace
}  // namespace store_test
