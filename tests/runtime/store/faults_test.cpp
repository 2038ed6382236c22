// A full disk and a read-only file: the operation answers no with a clear reason and the table,
// in memory and on disk, keeps its earlier state. Both need a small tmpfs of their own (we mount
// one when we may) and are skipped where mounting is not allowed.
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>

#include "store_fixture.h"

namespace store_test {
namespace {

class FaultsTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        mnt_ = path("mnt");
        std::filesystem::create_directory(mnt_);
        if (::mount("tmpfs", mnt_.c_str(), "tmpfs", 0, "size=2m") != 0) {
            GTEST_SKIP() << "cannot mount a tmpfs here";
        }
        mounted_ = true;
    }
    void TearDown() override {
        st::closeAllDatabases();
        if (mounted_) ::umount2(mnt_.c_str(), MNT_DETACH);
        StoreTest::TearDown();
    }
    std::string file(const std::string& name) const { return mnt_ + "/" + name; }
    void fillDisk() {
        FILE* f = std::fopen(file("filler").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::string block(4096, 'z');
        while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
        }
        std::fclose(f);
    }
    void expectEarlierState() {
        EXPECT_EQ(st::getRecordCount(), 3);
        EXPECT_EQ(st::valueText(st::currentTable()->read(2, 4)), "第二条");
        EXPECT_FALSE(st::currentTable()->isDeleted(1));
    }
    void makeTable() {
        ASSERT_TRUE(st::createTable(file("f.edb"), mixedFields()));
        ASSERT_TRUE(st::openDatabase(file("f.edb")));
        for (const char* m : {"第一条", "第二条", "第三条"})
            ASSERT_TRUE(st::addRecord({date(1), num(1), text("x"), text(m)}));
    }
    std::string mnt_;
    bool mounted_ = false;
};

TEST_F(FaultsTest, FullDiskRefusesTheWriteAndKeepsTheTable) {
    makeTable();
    fillDisk();
    const std::string big(300000, 'q');
    ASSERT_TRUE(st::goToRecord(2));
    EXPECT_FALSE(st::writeField("日志", st::Value{big}));
    EXPECT_NE(st::lastError().find("磁盘空间不足"), std::string::npos) << st::lastError();
    EXPECT_FALSE(st::addRecords(
        std::vector<std::vector<st::Value>>(40, {date(2), num(2), text("y"), st::Value{big}})));
    EXPECT_NE(st::lastError().find("磁盘空间不足"), std::string::npos) << st::lastError();
    expectEarlierState();
    std::filesystem::remove(file("filler"));
    // Once there is room again the same open table takes writes.
    ASSERT_TRUE(st::goToRecord(3));
    ASSERT_TRUE(st::writeField("名", text("y")));
    ASSERT_TRUE(st::writeField("名", text("x")));
    ASSERT_TRUE(st::closeDatabase());
    ASSERT_TRUE(st::openDatabase(file("f.edb")));
    expectEarlierState();
    ASSERT_TRUE(st::goToRecord(2));
    EXPECT_TRUE(st::writeField("日志", st::Value{big}));
}

// The disk runs full at every point of a change to both files (journal, super-journal, pages):
// each attempt either commits in full or leaves table and memory exactly as they were.
TEST_F(FaultsTest, DiskRunningFullAnywhereInACommitIsAllOrNothing) {
    makeTable();
    for (int spare = 0; spare <= 24; ++spare) {
        SCOPED_TRACE("spare pages " + std::to_string(spare));
        struct statvfs vfs {};
        ASSERT_EQ(::statvfs(mnt_.c_str(), &vfs), 0);
        const long long freeBytes = static_cast<long long>(vfs.f_bavail) * vfs.f_frsize;
        const long long fill = freeBytes - spare * 4096LL;
        if (fill > 0) {
            FILE* f = std::fopen(file("filler").c_str(), "wb");
            ASSERT_NE(f, nullptr);
            const std::string block(4096, 'z');
            for (long long n = 0; n < fill / 4096; ++n) std::fwrite(block.data(), 1, block.size(), f);
            std::fclose(f);
        }
        const std::string name = "n" + std::to_string(spare);
        const std::string memo(20000 + spare, static_cast<char>('a' + spare % 26));
        ASSERT_TRUE(st::goToRecord(2));
        const std::string oldName = st::valueText(st::readField("名"));
        const std::string oldMemo = st::valueText(st::readField("日志"));
        const bool ok = st::modifyRecord({std::nullopt, std::nullopt, st::Value{name}, st::Value{memo}});
        EXPECT_EQ(st::valueText(st::readField("名")), ok ? name : oldName);
        EXPECT_EQ(st::valueText(st::readField("日志")), ok ? memo : oldMemo);
        std::filesystem::remove(file("filler"));
        ASSERT_TRUE(st::closeDatabase());
        ASSERT_TRUE(st::openDatabase(file("f.edb"))) << st::lastError();
        ASSERT_EQ(st::getRecordCount(), 3);
        EXPECT_EQ(st::valueText(st::currentTable()->read(2, 3)), ok ? name : oldName);
        EXPECT_EQ(st::valueText(st::currentTable()->read(2, 4)), ok ? memo : oldMemo);
    }
}

TEST_F(FaultsTest, ReadOnlyFileRefusesWritesAndKeepsTheTable) {
    makeTable();
    ASSERT_TRUE(st::closeDatabase());
    ASSERT_EQ(::mount(nullptr, mnt_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    ASSERT_TRUE(st::openDatabase(file("f.edb"))) << st::lastError();
    expectEarlierState();
    ASSERT_TRUE(st::goToRecord(2));
    EXPECT_FALSE(st::writeField("日志", text("改")));
    EXPECT_NE(st::lastError().find("只读"), std::string::npos) << st::lastError();
    ASSERT_TRUE(st::goToRecord(1));
    EXPECT_FALSE(st::deleteRecords());
    EXPECT_FALSE(st::addEmptyRecord());
    EXPECT_FALSE(st::setDatabasePassword("pw"));
    expectEarlierState();
    EXPECT_FALSE(st::isDatabaseEncrypted(file("f.edb")));
    EXPECT_FALSE(st::createTable(file("new.edb"), contactFields()));
}

}  // namespace
}  // namespace store_test
