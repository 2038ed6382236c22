#include "runtime/base/ini.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "runtime/base/files.h"
#include "runtime/base/text.h"

using namespace runtime;

class IniFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("qb-ini-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        file_ = (dir_ / "config.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
    std::string file_;
};

TEST_F(IniFile, MissingFileReadsAsMissingKeys) {
    EXPECT_EQ(readIniText(file_, "表格缩放", "缩放比", "100"), "100");
    EXPECT_EQ(readIniText(file_, "表格缩放", "缩放比"), "");
    EXPECT_FALSE(fileExists(file_));
}

TEST_F(IniFile, WriteCreatesFileAndSection) {
    ASSERT_TRUE(writeIniText(file_, "表格缩放", "缩放比", "100"));
    ASSERT_TRUE(writeIniText(file_, "周历行高", "行高", "33"));
    EXPECT_EQ(readFile(file_), "[表格缩放]\n缩放比=100\n[周历行高]\n行高=33\n");
    EXPECT_EQ(readIniText(file_, "周历行高", "行高", "x"), "33");
}

TEST_F(IniFile, DropsBlanksAndEnclosingQuotes) {
    writeFile(file_, "[a]\nk1 =  spaced  \nk2=\"quoted value\"\nk3='single'\nk4=\"unbalanced\n");
    EXPECT_EQ(readIniText(file_, "a", "k1"), "spaced");
    EXPECT_EQ(readIniText(file_, "a", "k2"), "quoted value");
    EXPECT_EQ(readIniText(file_, "a", "k3"), "single");
    EXPECT_EQ(readIniText(file_, "a", "k4"), "\"unbalanced");
}

TEST_F(IniFile, NamesCompareWithoutLetterCase) {
    writeFile(file_, "[Hotkey]\nMainKey=65\n");
    EXPECT_EQ(readIniText(file_, "HOTKEY", "mainkey"), "65");
    ASSERT_TRUE(writeIniText(file_, "hotkey", "MAINKEY", "66"));
    EXPECT_EQ(readFile(file_), "[Hotkey]\nMAINKEY=66\n");
}

TEST_F(IniFile, LongValuesAreCut) {
    std::string longValue(20000, 'x');
    ASSERT_TRUE(writeIniText(file_, "s", "k", longValue));
    EXPECT_EQ(readIniText(file_, "s", "k").size(), static_cast<std::size_t>(kIniValueMaxBytes));
}

TEST_F(IniFile, KeepsEveryOtherLine) {
    const std::string before = "; user's comment\n[a]\nx=1\n\n[b]\ny=2\nunknown line\n[a]\nz=3\n";
    writeFile(file_, before);
    ASSERT_TRUE(writeIniText(file_, "b", "y", "20"));
    ASSERT_TRUE(writeIniText(file_, "a", "new", "n"));
    EXPECT_EQ(readFile(file_), "; user's comment\n[a]\nx=1\nnew=n\n\n[b]\ny=20\nunknown line\n[a]\nz=3\n");
}

TEST_F(IniFile, ValueCannotSpillIntoOtherKeys) {
    ASSERT_TRUE(writeIniText(file_, "s", "k", "one\n[evil]\nk=2"));
    EXPECT_EQ(readIniText(file_, "evil", "k", "none"), "none");
}

TEST_F(IniFile, FailedWriteLeavesTheOldFile) {
    writeFile(file_, "[s]\nk=1\n");
    std::string inMissingFolder = (dir_ / "no-such-folder" / "config.ini").string();
    EXPECT_FALSE(writeIniText(inMissingFolder, "s", "k", "2"));
    EXPECT_EQ(readIniText(file_, "s", "k"), "1");
}

// Settings copied from elsewhere: a byte-order mark reads as nothing and a file that is not
// UTF-8 reads as GB18030; a write puts the file back as UTF-8 without a mark, every line kept.
TEST_F(IniFile, ForeignFilesReadAndWriteBackAsUtf8) {
    writeFile(file_, "\xEF\xBB\xBF[周历行高]\r\n行高=40\r\n; 注释\r\n[表格缩放]\r\n缩放比=120\r\n");
    EXPECT_EQ(readIniText(file_, "周历行高", "行高", "33"), "40");
    ASSERT_TRUE(writeIniText(file_, "周历行高", "行高", "50"));
    EXPECT_EQ(readFile(file_), "[周历行高]\n行高=50\n; 注释\n[表格缩放]\n缩放比=120\n");

    writeFile(file_, utf8ToGb18030("[周历行高]\r\n行高=40\r\n; 注释\r\n[表格缩放]\r\n缩放比=120\r\n"));
    EXPECT_EQ(readIniText(file_, "周历行高", "行高", "33"), "40");
    EXPECT_EQ(readIniText(file_, "表格缩放", "缩放比", "100"), "120");
    ASSERT_TRUE(writeIniText(file_, "表格缩放", "缩放比", "90"));
    EXPECT_EQ(readFile(file_), "[周历行高]\n行高=40\n; 注释\n[表格缩放]\n缩放比=90\n");
}
