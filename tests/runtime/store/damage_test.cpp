// Damaged files: every kind of bad input fails the open with a clear reason, never a crash and
// never a table that reads wrong values.
#include <sqlite3.h>

#include <random>

#include "store_fixture.h"

namespace store_test {
namespace {

class DamageTest : public StoreTest {
protected:
    // A filled table with memos, closed; its expected reads.
    void makeFilled(const std::string& name, std::string_view password = {}) {
        openNew(name, mixedFields(), password);
        for (int i = 1; i <= 40; ++i) {
            ASSERT_TRUE(st::addRecord(
                {date(i), num(i), text("名字"), st::Value{std::string(300 + i, 'a' + i % 26)}}));
        }
        ASSERT_TRUE(st::closeDatabase());
    }
    // Opens and, when the open succeeds, checks every value against what makeFilled wrote.
    void expectFailureOrIntact(const std::string& name, std::string_view password = {}) {
        const bool opened = st::openDatabase(
            path(name), password.empty() ? std::nullopt : std::optional<std::string_view>(password));
        if (!opened) {
            EXPECT_FALSE(st::lastError().empty());
            return;
        }
        ASSERT_EQ(st::getRecordCount(), 40);
        for (int i = 1; i <= 40; ++i) {
            st::Table* t = st::currentTable();
            ASSERT_EQ(st::valueInt(t->read(i, 2)), i);
            ASSERT_EQ(st::valueText(t->read(i, 4)), std::string(300 + i, 'a' + i % 26));
        }
        st::closeAllDatabases();
    }
    void expectOpenFails(const std::string& name, const std::string& reason, std::string_view password = {}) {
        EXPECT_FALSE(st::openDatabase(
            path(name), password.empty() ? std::nullopt : std::optional<std::string_view>(password)));
        EXPECT_NE(st::lastError().find(reason), std::string::npos) << st::lastError();
        EXPECT_EQ(st::currentTable(), nullptr);
    }
    static void rawExec(const std::string& file, const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
    }
};

TEST_F(DamageTest, EmptyRandomAndForeignFilesAreRefused) {
    writeBytes(path("zero.edb"), "");
    expectOpenFails("zero.edb", "损坏");
    std::mt19937 rng(7);
    std::string noise(8192, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    writeBytes(path("noise.edb"), noise);
    expectOpenFails("noise.edb", "损坏");
    writeBytes(path("text.edb"), "SQLite format 3");
    expectOpenFails("text.edb", "损坏");
    rawExec(path("other.edb"), "CREATE TABLE qb_table(x); INSERT INTO qb_table VALUES(1)");
    expectOpenFails("other.edb", "损坏");
    rawExec(path("app.edb"), "PRAGMA application_id=7; CREATE TABLE qb_table(x)");
    expectOpenFails("app.edb", "不是本程序的表文件");
    EXPECT_FALSE(st::isDatabaseEncrypted(path("noise.edb")));
    EXPECT_NE(st::lastError().find("损坏"), std::string::npos);
}

TEST_F(DamageTest, TruncatedFilesFailOrReadIntact) {
    makeFilled("t.edb");
    const std::string edb = readBytes(path("t.edb")), edt = readBytes(path("t.edt"));
    for (std::size_t cut = 0; cut < edb.size(); cut += 1024 + 7) {
        writeBytes(path("t.edb"), edb.substr(0, cut));
        expectFailureOrIntact("t.edb");
    }
    writeBytes(path("t.edb"), edb);
    for (std::size_t cut = 0; cut < edt.size(); cut += 2048 + 13) {
        writeBytes(path("t.edt"), edt.substr(0, cut));
        expectFailureOrIntact("t.edb");
    }
}

TEST_F(DamageTest, ScribbledPagesFailOrReadIntactUnderProtection) {
    makeFilled("s.edb", "pw");
    const std::string edb = readBytes(path("s.edb")), edt = readBytes(path("s.edt"));
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        std::string a = edb, b = edt;
        std::string& victim = round % 2 ? a : b;
        for (int k = 0; k < 8; ++k) victim[rng() % victim.size()] = static_cast<char>(rng());
        writeBytes(path("s.edb"), a);
        writeBytes(path("s.edt"), b);
        expectFailureOrIntact("s.edb", "pw");
    }
}

TEST_F(DamageTest, HeadersThatLieAreRefused) {
    makeFilled("h.edb");
    const std::string edb = readBytes(path("h.edb"));
    rawExec(path("h.edb"), "UPDATE qb_fields SET type=0 WHERE pos=2");  // integers claimed as dates
    expectOpenFails("h.edb", "损坏");
    writeBytes(path("h.edb"), edb);
    rawExec(path("h.edb"), "UPDATE qb_fields SET width=3 WHERE pos=3");  // texts one byte wider than declared
    expectOpenFails("h.edb", "损坏");
    for (const char* lie :
         {"UPDATE qb_fields SET width=5 WHERE pos=2",  // a width on an integer field
          "UPDATE qb_fields SET width=65536 WHERE pos=3", "UPDATE qb_fields SET pos=7 WHERE pos=4",
          "UPDATE qb_fields SET name='数' WHERE pos=1", "UPDATE qb_table SET file_id=x'00'",
          "UPDATE qb_records SET f2=2147483648 WHERE k=3", "UPDATE qb_records SET f1=9e999 WHERE k=3"}) {
        writeBytes(path("h.edb"), edb);
        rawExec(path("h.edb"), lie);
        expectOpenFails("h.edb", "损坏");
    }
    // Record keys out of range, each memo moved along so that only the key is wrong; the last
    // valid key opens and takes one record more.
    const std::string edt = readBytes(path("h.edt"));
    const int64_t maxKey = int64_t{1} << 54;
    for (int64_t key : {int64_t{0}, maxKey + 1, maxKey - 1}) {
        writeBytes(path("h.edb"), edb);
        writeBytes(path("h.edt"), edt);
        rawExec(path("h.edb"), "UPDATE qb_records SET k=" + std::to_string(key) + " WHERE k=40");
        rawExec(path("h.edt"), "UPDATE qb_memos SET mk=" + std::to_string(key * 256 + 4) + " WHERE mk=10244");
        if (key > 0 && key < maxKey) break;
        expectOpenFails("h.edb", "损坏");
    }
    ASSERT_TRUE(st::openDatabase(path("h.edb"))) << st::lastError();
    EXPECT_TRUE(st::addEmptyRecord());
    EXPECT_FALSE(st::addEmptyRecord());
    EXPECT_NE(st::lastError().find("用尽"), std::string::npos) << st::lastError();
    ASSERT_TRUE(st::closeDatabase());
    writeBytes(path("h.edt"), edt);
    writeBytes(path("h.edb"), edb);
    rawExec(path("h.edb"), "INSERT INTO qb_fields VALUES(5, 'x', 1, 0)");  // a field with no column
    expectOpenFails("h.edb", "损坏");
    writeBytes(path("h.edb"), edb);
    rawExec(path("h.edb"), "UPDATE qb_table SET salt=randomblob(16), opslimit=1, memlimit=99999999999999");
    expectOpenFails("h.edb", "损坏", "pw");
    writeBytes(path("h.edb"), edb);
    rawExec(path("h.edb"), "UPDATE qb_table SET version=2");
    expectOpenFails("h.edb", "版本");
    writeBytes(path("h.edb"), edb);
    rawExec(path("h.edb"), "UPDATE qb_table SET version=0");
    expectOpenFails("h.edb", "版本");
    writeBytes(path("h.edb"), edb);
    rawExec(path("h.edb"), "UPDATE qb_records SET deleted=7 WHERE k=3");
    expectOpenFails("h.edb", "损坏");
    writeBytes(path("h.edb"), edb);
    rawExec(path("h.edb"), "CREATE TRIGGER t AFTER UPDATE ON qb_records BEGIN DELETE FROM qb_records; END");
    ASSERT_TRUE(st::openDatabase(path("h.edb")));  // a planted trigger never fires
    ASSERT_TRUE(st::writeField("数", num(5)));
    EXPECT_EQ(st::getRecordCount(), 40);
}

TEST_F(DamageTest, MissingExtraOrForeignCompanionIsRefused) {
    makeFilled("m.edb");
    const std::string edt = readBytes(path("m.edt"));
    std::filesystem::remove(path("m.edt"));
    expectOpenFails("m.edb", "缺少备注文件");
    writeBytes(path("m.edt"), "");
    expectOpenFails("m.edb", "备注文件已损坏");
    writeBytes(path("m.edt"), edt);
    rawExec(path("m.edt"), "DELETE FROM qb_memos WHERE mk=" + std::to_string(5 * 256 + 4));
    expectOpenFails("m.edb", "备注文件已损坏");
    writeBytes(path("m.edt"), edt);
    rawExec(path("m.edt"), "INSERT INTO qb_memos VALUES(999*256+4, 'orphan')");
    expectOpenFails("m.edb", "备注文件已损坏");
    writeBytes(path("m.edt"), edt);
    rawExec(path("m.edt"),
            "UPDATE qb_memos SET mk=999*256+4 WHERE mk=5*256+4");  // a memo moved off its record
    expectOpenFails("m.edb", "备注文件已损坏");
    writeBytes(path("m.edt"), edt);
    rawExec(path("m.edt"), "UPDATE qb_memo_file SET file_id=NULL");  // "blank", yet holding memos
    expectOpenFails("m.edb", "备注文件已损坏");
    ASSERT_TRUE(st::createTable(path("n.edb"), mixedFields()));
    std::filesystem::copy_file(path("n.edt"), path("m.edt"),
                               std::filesystem::copy_options::overwrite_existing);
    expectOpenFails("m.edb", "不匹配");
    writeBytes(path("m.edt"), edt);
    expectFailureOrIntact("m.edb");
    EXPECT_TRUE(st::openDatabase(path("m.edb")));
}

// A protected table large enough to be unsealed in several parts at once: of the damaged values,
// the open names the one a reading in store order meets first, record values before memos.
TEST_F(DamageTest, TheFirstDamagedValueIsNamedHoweverTheUnsealingIsShared) {
    openNew("big.edb", mixedFields(), "pw");
    std::vector<std::vector<st::Value>> rows;
    for (int i = 1; i <= 4000; ++i) rows.push_back({date(i), num(i), text("名"), text("备注")});
    ASSERT_TRUE(st::addRecords(rows));
    ASSERT_TRUE(st::closeDatabase());
    const std::string edb = readBytes(path("big.edb"));
    rawExec(path("big.edb"), "UPDATE qb_records SET f2=x'00' WHERE k IN (600, 3900)");
    rawExec(path("big.edt"), "UPDATE qb_memos SET v=x'00' WHERE mk IN (100*256+4, 3700*256+4)");
    expectOpenFails("big.edb", "第 600 条记录的“数”无效", "pw");
    writeBytes(path("big.edb"), edb);
    expectOpenFails("big.edb", "第 100 条记录的备注无效", "pw");
    EXPECT_EQ(st::lastOpenFailureFile(), path("big.edt"));
}

TEST_F(DamageTest, WrongPasswordAndDamageAreToldApart) {
    makeFilled("p.edb", "pw");
    rawExec(path("p.edb"), "UPDATE qb_records SET f2=x'00' WHERE k=7");
    expectOpenFails("p.edb", "损坏", "pw");
    const std::string damage = st::lastError();
    expectOpenFails("p.edb", "密码错误", "nope");
    EXPECT_NE(damage, st::lastError());
}

}  // namespace
}  // namespace store_test
