// The four schemas and their templates written file by file.
#include "core/stores.h"
#include "runtime/store/store_fixture.h"

namespace store_test {
namespace {

class TemplatesTest : public StoreTest {
protected:
    const char* files_[6] = {"rz35.edb", "rz35.edt", "tx35.edb", "bw35.edb", "bw35.edt", "lxr35.edb"};
    void writeAll() {
        for (const char* f : files_) {
            if (!std::filesystem::exists(path(f))) {
                ASSERT_TRUE(core::writeTemplateInto(dir_, f)) << st::lastError();
            }
        }
    }
};

TEST_F(TemplatesTest, FreshFilesOpenEmptyWithTheirSchemas) {
    writeAll();
    for (const char* store : {"rz35", "tx35", "bw35", "lxr35"}) {
        ASSERT_TRUE(st::openDatabase(path(std::string(store) + ".edb"))) << st::lastError();
        EXPECT_EQ(st::getRecordCount(), 0);
        const auto& fields = st::currentTable()->fields();
        const auto& schema = *core::schemaOf(store);
        ASSERT_EQ(fields.size(), schema.size());
        for (std::size_t i = 0; i < fields.size(); ++i) {
            EXPECT_EQ(fields[i].name, schema[i].name);
            EXPECT_EQ(fields[i].type, schema[i].type);
            EXPECT_EQ(fields[i].width, schema[i].width);
        }
    }
    EXPECT_EQ(core::periodicItemSchema()[2].width, 2);
    EXPECT_EQ(core::contactSchema()[1].name, "电话");
}

TEST_F(TemplatesTest, ExistingFilesAreNeverTouched) {
    writeAll();
    writeBytes(path("rz35.edb"), "garbage");
    const std::string before = readBytes(path("bw35.edt"));
    EXPECT_FALSE(core::writeTemplateInto(dir_, "rz35.edb"));
    EXPECT_FALSE(core::writeTemplateInto(dir_, "bw35.edt"));
    EXPECT_EQ(readBytes(path("rz35.edb")), "garbage");
    EXPECT_EQ(readBytes(path("bw35.edt")), before);
    EXPECT_FALSE(core::writeTemplateInto(dir_, "other.edb"));
}

TEST_F(TemplatesTest, AMissingCompanionIsWrittenNextToAFilledTable) {
    writeAll();
    ASSERT_TRUE(st::openDatabase(path("bw35.edb")));
    ASSERT_TRUE(st::addRecord({text("备忘")}));
    st::closeAllDatabases();
    std::filesystem::remove(path("bw35.edt"));
    writeAll();
    ASSERT_TRUE(st::openDatabase(path("bw35.edb"))) << st::lastError();
    EXPECT_EQ(st::getRecordCount(), 1);
    ASSERT_TRUE(st::writeField("bw", text("再写")));
    st::closeAllDatabases();
    ASSERT_TRUE(st::openDatabase(path("bw35.edb")));
    EXPECT_EQ(st::valueText(st::readField("bw")), "再写");
}

TEST_F(TemplatesTest, ACompanionOfAnotherTableIsRefused) {
    writeAll();
    ASSERT_TRUE(st::openDatabase(path("rz35.edb")));  // binds rz35.edt
    st::closeAllDatabases();
    std::filesystem::remove(path("bw35.edt"));
    std::filesystem::copy_file(path("rz35.edt"), path("bw35.edt"));
    EXPECT_FALSE(st::openDatabase(path("bw35.edb")));
    EXPECT_NE(st::lastError().find("不匹配"), std::string::npos);
}

}  // namespace
}  // namespace store_test
