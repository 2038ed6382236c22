#include "runtime/base/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

using namespace runtime;

TEST(Files, RunDirectoryIsTheExecutablesFolder) {
    std::string dir = getRunDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "/base_tests"));
}

TEST(Files, TemporaryFolderEndsInASlash) {
    std::string tmp = getSpecialFolderPath(kSpecialFolderTemp);
    ASSERT_FALSE(tmp.empty());
    EXPECT_EQ(tmp.back(), '/');
    EXPECT_EQ(getSpecialFolderPath(5), "");
}

TEST(Files, WriteReadDeleteAndFolders) {
    auto dir = std::filesystem::temp_directory_path() / ("qb-files-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(createDirectory(dir.string()));
    EXPECT_FALSE(createDirectory(dir.string()));  // exists already
    std::string file = (dir / "a.bin").string();
    EXPECT_FALSE(fileExists(file));
    EXPECT_EQ(readFile(file), "");
    std::string bytes("a\0b\xff", 4);
    ASSERT_TRUE(writeFile(file, bytes));
    EXPECT_TRUE(fileExists(file));
    EXPECT_FALSE(fileExists(dir.string()));  // a folder is no file
    EXPECT_EQ(readFile(file), bytes);
    ASSERT_TRUE(writeFile(file, "shorter"));
    EXPECT_EQ(readFile(file), "shorter");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    EXPECT_TRUE(deleteFile(file));
    EXPECT_FALSE(deleteFile(file));
    EXPECT_FALSE(writeFile((dir / "missing" / "x").string(), "x"));
    std::filesystem::remove_all(dir);
}
