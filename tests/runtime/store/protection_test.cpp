// Password protection: right, wrong and missing passwords; setting, changing and removing it;
// nothing readable left in the files; sealed values bound to their place.
#include <sqlite3.h>

#include "store_fixture.h"

namespace store_test {
namespace {

const std::string kChinese = "今天去了颐和园看荷花";
const std::string kAscii = "TopSecretAsciiMarker42";

class ProtectionTest : public StoreTest {
protected:
    // Every byte of every file in the folder, journals included.
    std::string allBytes() const {
        std::string all;
        for (auto& e : std::filesystem::directory_iterator(dir_)) all += readBytes(e.path().string());
        return all;
    }
    void fill() {
        ASSERT_TRUE(st::addRecord({date(45000), num(1), text("秘密"), st::Value{kChinese + kAscii}}));
        ASSERT_TRUE(st::addRecord({date(45001), num(2), st::Value{std::string("Zq9")}, st::Value{kAscii}}));
    }
    static void rawExec(const std::string& file, const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        char* err = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
        sqlite3_free(err);
        sqlite3_close(db);
    }
};

TEST_F(ProtectionTest, RightWrongAndMissingPasswords) {
    openNew("p.edb", mixedFields(), "正确");
    fill();
    ASSERT_TRUE(st::closeDatabase());
    EXPECT_FALSE(st::openDatabase(path("p.edb"), "错误"));
    const std::string wrong = st::lastError();
    EXPECT_NE(wrong.find("密码错误"), std::string::npos);
    EXPECT_FALSE(st::openDatabase(path("p.edb")));
    EXPECT_NE(st::lastError().find("需要密码"), std::string::npos);
    EXPECT_FALSE(st::openDatabase(path("p.edb"), ""));
    EXPECT_NE(st::lastError().find("需要密码"), std::string::npos);
    EXPECT_FALSE(st::isDatabaseOpen(path("p.edb")));
    ASSERT_TRUE(st::openDatabase(path("p.edb"), "正确")) << st::lastError();
    EXPECT_EQ(st::valueText(st::currentTable()->read(1, 4)), kChinese + kAscii);
    EXPECT_EQ(st::valueInt(st::currentTable()->read(2, 2)), 2);
}

TEST_F(ProtectionTest, SetChangeAndRemoveReachTheFileAtOnce) {
    openNew("p.edb", mixedFields());
    fill();
    ASSERT_TRUE(st::setDatabasePassword("one"));
    ASSERT_TRUE(st::closeDatabase());
    EXPECT_FALSE(st::openDatabase(path("p.edb")));
    ASSERT_TRUE(st::openDatabase(path("p.edb"), "one"));
    ASSERT_TRUE(st::setDatabasePassword("two"));
    ASSERT_TRUE(st::writeField("名", text("新")));  // written under the new key
    ASSERT_TRUE(st::closeDatabase());
    EXPECT_FALSE(st::openDatabase(path("p.edb"), "one"));
    ASSERT_TRUE(st::openDatabase(path("p.edb"), "two"));
    EXPECT_EQ(st::valueText(st::readField("名")), "新");
    ASSERT_TRUE(st::setDatabasePassword(""));
    ASSERT_TRUE(st::closeDatabase());
    EXPECT_FALSE(st::isDatabaseEncrypted(path("p.edb")));
    ASSERT_TRUE(st::openDatabase(path("p.edb")));
    EXPECT_EQ(st::valueText(st::currentTable()->read(1, 4)), kChinese + kAscii);
    EXPECT_NE(allBytes().find(kAscii), std::string::npos);  // unprotected again: plain text
}

TEST_F(ProtectionTest, NoPlainTextInAnyFileOnceProtected) {
    // Written in the clear first, so the protection must also scrub what was there.
    openNew("p.edb", mixedFields());
    fill();
    ASSERT_TRUE(st::writeField("日志", st::Value{kChinese + " v2 " + kAscii}));
    ASSERT_NE(allBytes().find(kAscii), std::string::npos);
    ASSERT_TRUE(st::setDatabasePassword("pw"));
    ASSERT_TRUE(st::writeField("日志", st::Value{kChinese + " v3 " + kAscii}));
    ASSERT_TRUE(st::addRecord({date(1), num(3), text("秘密"), st::Value{kChinese}}));
    ASSERT_TRUE(st::deleteRecords());
    ASSERT_TRUE(st::packDatabase());
    ASSERT_TRUE(st::goToRecord(1));
    ASSERT_TRUE(st::writeField("日志", st::Value{kChinese + " v4 " + kAscii}));
    ASSERT_TRUE(std::filesystem::exists(path("p.edt-wal")));  // the log is among the bytes looked at
    const std::string bytes = allBytes();
    EXPECT_EQ(bytes.find(kAscii), std::string::npos);
    EXPECT_EQ(bytes.find(kChinese), std::string::npos);
    EXPECT_EQ(bytes.find("颐和园"), std::string::npos);
    EXPECT_EQ(bytes.find("秘密"), std::string::npos);
    EXPECT_EQ(bytes.find("Zq9"), std::string::npos);
}

TEST_F(ProtectionTest, ACiphertextMovedToAnotherRecordIsDetected) {
    openNew("p.edb", mixedFields(), "pw");
    fill();
    ASSERT_TRUE(st::closeDatabase());
    rawExec(path("p.edb"), "UPDATE qb_records SET f3=(SELECT f3 FROM qb_records WHERE k=1) WHERE k=2");
    EXPECT_FALSE(st::openDatabase(path("p.edb"), "pw"));
    EXPECT_NE(st::lastError().find("损坏"), std::string::npos);
    EXPECT_EQ(st::lastError().find("密码错误"), std::string::npos);
}

TEST_F(ProtectionTest, AMemoMovedToAnotherRecordIsDetected) {
    openNew("p.edb", mixedFields(), "pw");
    fill();
    ASSERT_TRUE(st::closeDatabase());
    rawExec(path("p.edt"), "UPDATE qb_memos SET v=(SELECT v FROM qb_memos WHERE mk=256+4) WHERE mk=512+4");
    EXPECT_FALSE(st::openDatabase(path("p.edb"), "pw"));
    EXPECT_NE(st::lastError().find("损坏"), std::string::npos);
}

TEST_F(ProtectionTest, AValueFromAnotherFileUnderTheSamePasswordIsDetected) {
    openNew("a.edb", contactFields(), "pw");
    ASSERT_TRUE(st::addRecord({text("甲")}));
    openNew("b.edb", contactFields(), "pw");
    ASSERT_TRUE(st::addRecord({text("乙")}));
    st::closeAllDatabases();
    rawExec(path("b.edb"), "ATTACH '" + path("a.edb") +
                               "' AS a; UPDATE qb_records SET f1=(SELECT f1 FROM a.qb_records WHERE k=1)");
    EXPECT_FALSE(st::openDatabase(path("b.edb"), "pw"));
}

TEST_F(ProtectionTest, FourStoresWithOnePasswordCostOneDerivationPerStart) {
    const char* names[] = {"rz35.edb", "tx35.edb", "bw35.edb", "lxr35.edb"};
    st::testing::forgetDerivedKeys();
    const int before = st::testing::keyDerivations();
    for (const char* n : names) {
        openNew(n, mixedFields());
        ASSERT_TRUE(st::setDatabasePassword("同一个密码"));
    }
    EXPECT_EQ(st::testing::keyDerivations() - before, 1);
    st::closeAllDatabases();
    st::testing::forgetDerivedKeys();  // as a new start would
    for (const char* n : names) ASSERT_TRUE(st::openDatabase(path(n), "同一个密码")) << st::lastError();
    EXPECT_EQ(st::testing::keyDerivations() - before, 2);
    // A change over all four at once derives the new key once, and so does the start after it.
    ASSERT_TRUE(st::setDatabasePasswordOnTables({"rz35", "tx35", "bw35", "lxr35"}, "另一个密码"));
    EXPECT_EQ(st::testing::keyDerivations() - before, 3);
    st::closeAllDatabases();
    st::testing::forgetDerivedKeys();
    for (const char* n : names) ASSERT_TRUE(st::openDatabase(path(n), "另一个密码")) << st::lastError();
    EXPECT_EQ(st::testing::keyDerivations() - before, 4);
}

TEST_F(ProtectionTest, StructureCopyKeepsThePassword) {
    openNew("lxr35.edb", contactFields(), "pw");
    ASSERT_TRUE(st::copyDatabaseStructure(path("ad.edb")));
    EXPECT_TRUE(st::isDatabaseEncrypted(path("ad.edb")));
    EXPECT_FALSE(st::openDatabase(path("ad.edb")));
    ASSERT_TRUE(st::openDatabase(path("ad.edb"), "pw"));
    ASSERT_TRUE(st::appendRecordsFrom("lxr35", {}));
}

TEST_F(ProtectionTest, ABlankCompanionBindsToAProtectedTable) {
    openNew("bw35.edb", {{"bw", st::FieldType::Memo}}, "pw");
    ASSERT_TRUE(st::addRecord({text("备忘内容")}));
    ASSERT_TRUE(st::closeDatabase());
    std::filesystem::remove(path("bw35.edt"));
    ASSERT_TRUE(st::createBlankCompanion(path("bw35.edt")));
    ASSERT_TRUE(st::openDatabase(path("bw35.edb"), "pw")) << st::lastError();
    EXPECT_EQ(st::getRecordCount(), 1);
    EXPECT_EQ(st::valueText(st::readField("bw")), "");
    ASSERT_TRUE(st::writeField("bw", text("新的备忘")));
    ASSERT_TRUE(st::closeDatabase());
    ASSERT_TRUE(st::openDatabase(path("bw35.edb"), "pw"));
    EXPECT_EQ(st::valueText(st::readField("bw")), "新的备忘");
}

}  // namespace
}  // namespace store_test
