#include "runtime/base/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

using namespace runtime;

TEST(Files, RunDirectoryIsTheExecutablesFolder) {
    std::string dir = getRunDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "/base_tests"));
}

// The environment variable back as it was when the test ends.
class SavedVariable {
public:
    explicit SavedVariable(const char* name) : name_(name) {
        if (const char* v = std::getenv(name)) value_ = v;
    }
    ~SavedVariable() {
        if (value_)
            setenv(name_, value_->c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> value_;
};

mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST(Files, TemporaryFolderIsTheUsersOwnAndClosedToOthers) {
    SavedVariable xdg("XDG_RUNTIME_DIR"), tmpdir("TMPDIR");
    auto base = std::filesystem::temp_directory_path() / ("qb-private-" + std::to_string(::getpid()));
    std::filesystem::remove_all(base);
    ASSERT_TRUE(std::filesystem::create_directories(base / "run"));
    setenv("XDG_RUNTIME_DIR", (base / "run").c_str(), 1);
    const std::string inRun = (base / "run" / "quillarbor-temp").string();
    EXPECT_EQ(getSpecialFolderPath(kSpecialFolderTemp), inRun + "/");
    EXPECT_TRUE(S_ISDIR(modeOf(inRun)));
    EXPECT_EQ(modeOf(inRun) & 07777, 0700u);
    // Opened up by hand or an older build: closed again at the next call.
    ASSERT_EQ(::chmod(inRun.c_str(), 0755), 0);
    EXPECT_EQ(getSpecialFolderPath(kSpecialFolderTemp), inRun + "/");
    EXPECT_EQ(modeOf(inRun) & 07777, 0700u);
    // A link in its place (to anywhere) or a file is refused, never followed or replaced.
    std::filesystem::remove_all(inRun);
    std::filesystem::create_directory_symlink(base, inRun);
    EXPECT_EQ(getSpecialFolderPath(kSpecialFolderTemp), "");
    EXPECT_TRUE(std::filesystem::is_symlink(inRun));
    std::filesystem::remove(inRun);
    ASSERT_TRUE(writeFile(inRun, "x"));
    EXPECT_EQ(getSpecialFolderPath(kSpecialFolderTemp), "");
    // Without a runtime folder: in the shared temporary folder, the user id in the name.
    unsetenv("XDG_RUNTIME_DIR");
    setenv("TMPDIR", (base.string() + "/").c_str(), 1);
    const std::string shared = (base / ("quillarbor-temp-" + std::to_string(::geteuid()))).string();
    EXPECT_EQ(getSpecialFolderPath(kSpecialFolderTemp), shared + "/");
    EXPECT_EQ(modeOf(shared) & 07777, 0700u);
    EXPECT_EQ(getSpecialFolderPath(5), "");
    std::filesystem::remove_all(base);
}

TEST(Files, DocumentsFolderIsTheOneTheUserSetElseTheHomeFolder) {
    SavedVariable home("HOME"), config("XDG_CONFIG_HOME"), path("PATH");
    auto base = std::filesystem::temp_directory_path() / ("qb-documents-" + std::to_string(::getpid()));
    std::filesystem::remove_all(base);
    ASSERT_TRUE(std::filesystem::create_directories(base / "config"));
    setenv("HOME", base.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base / "config").c_str(), 1);
    // None set: the home folder.
    EXPECT_EQ(getSpecialFolderPath(kSpecialFolderDocuments), base.string() + "/");
    // One set but missing: made, closed to others.
    ASSERT_TRUE(
        writeFile((base / "config" / "user-dirs.dirs").string(), "XDG_DOCUMENTS_DIR=\"$HOME/我的 文档\"\n"));
    const std::string documents = (base / "我的 文档").string();
    EXPECT_EQ(getSpecialFolderPath(kSpecialFolderDocuments), documents + "/");
    EXPECT_EQ(modeOf(documents) & 07777, 0700u);
    // One that cannot be made (a file in its place), or no xdg-user-dir at all: the home folder.
    std::filesystem::remove(documents);
    ASSERT_TRUE(writeFile(documents, "x"));
    EXPECT_EQ(getSpecialFolderPath(kSpecialFolderDocuments), base.string() + "/");
    setenv("PATH", "", 1);
    std::filesystem::remove(documents);
    EXPECT_EQ(getSpecialFolderPath(kSpecialFolderDocuments), base.string() + "/");
    std::filesystem::remove_all(base);
}

TEST(Files, StaleWriteTemporariesGoOnlyWhenOursAndNobodyHoldsThem) {
    auto dir = std::filesystem::temp_directory_path() / ("qb-stale-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(std::filesystem::create_directories(dir / "sub.tmp-Aa1234"));
    const auto at = [&](const char* name) { return (dir / name).string(); };
    for (const char* name : {"a.ini.tmp-Aa1234", "b.jpg.tmp-zZ9999", "a.ini.tmp-Aa123", "a.ini.tmp-Aa12345",
                             "a.ini.tmp-Aa12-4", "a.ini", ".tmp-Aa1234", "held.tmp-Hh0000"}) {
        ASSERT_TRUE(writeFile(at(name), "x")) << name;
    }
    std::filesystem::create_symlink(at("a.ini"), at("link.tmp-Ll0000"));
    // A write in progress holds its temporary file.
    const int held = ::open(at("held.tmp-Hh0000").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    EXPECT_EQ(removeStaleWriteTemporaries(dir.string(), {"a.ini"}), 1);
    EXPECT_FALSE(std::filesystem::exists(at("a.ini.tmp-Aa1234")));
    EXPECT_TRUE(std::filesystem::exists(at("b.jpg.tmp-zZ9999")));  // not among the names
    EXPECT_EQ(removeStaleWriteTemporaries(dir.string()), 1);
    EXPECT_FALSE(std::filesystem::exists(at("b.jpg.tmp-zZ9999")));
    for (const char* kept : {"a.ini.tmp-Aa123", "a.ini.tmp-Aa12345", "a.ini.tmp-Aa12-4", "a.ini",
                             ".tmp-Aa1234", "held.tmp-Hh0000", "link.tmp-Ll0000", "sub.tmp-Aa1234"}) {
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(at(kept)))) << kept;
    }
    ::close(held);
    EXPECT_EQ(removeStaleWriteTemporaries(dir.string()), 1);
    EXPECT_EQ(removeStaleWriteTemporaries(at("missing")), 0);
    std::filesystem::remove_all(dir);
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
