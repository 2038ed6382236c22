// The settings file as start-up applies it and as the settings page writes it.
#include <QApplication>
#include <QRadioButton>
#include <QTest>

#include "runtime/base/ini.h"
#include "shell/settings.h"
#include "shell_fixture.h"

namespace shelltest {
namespace {

class Settings : public ShellTest {
protected:
    void write(const char* section, const char* key, const char* value) {
        ASSERT_TRUE(runtime::writeIniText(path("/config.ini"), section, key, value));
    }
    std::string read(const char* section, const char* key) {
        return runtime::readIniText(path("/config.ini"), section, key, "<missing>");
    }
};

TEST_F(Settings, OddValuesFallToTheirDefaults) {
    write("默认视图", "左侧", "2");
    write("默认视图", "右侧", "4");
    write("最小化方式", "最小化方式", "2");
    write("表格缩放", "缩放比", "150.9");
    ASSERT_TRUE(start());
    EXPECT_EQ(ui::getInt(kMain, "选择夹_视图", "page"), 1);
    EXPECT_TRUE(ui::getBool(kMain, "单选框_周视图", "checked"));
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 3);
    EXPECT_TRUE(ui::getBool(kMain, "单选框_屏幕上端", "checked"));
    EXPECT_EQ(shell::minimiseMode, "2");
    EXPECT_EQ(ui::getInt(kMain, "表格_人脉", "zoom"), 150);
    EXPECT_EQ(read("表格缩放", "缩放比"), "150.9");  // written back unchanged
}

TEST_F(Settings, ChosenPagesAreShownAtStart) {
    write("默认视图", "左侧", "0");
    write("默认视图", "右侧", "1");
    ASSERT_TRUE(start());
    EXPECT_EQ(ui::getInt(kMain, "选择夹_视图", "page"), 0);
    EXPECT_TRUE(ui::getBool(kMain, "单选框_月视图", "checked"));
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 1);
    EXPECT_TRUE(ui::getBool(kMain, "单选框_总览", "checked"));
}

TEST_F(Settings, LettersForRowHeightGiveZeroHighRows) {
    write("周历行高", "行高", "abc");
    ASSERT_TRUE(start());
    EXPECT_EQ(ui::getText(kMain, "编辑框3"), "abc");
    EXPECT_EQ(read("周历行高", "行高"), "abc");
}

TEST_F(Settings, OptionsWriteTheirKeysButChangeNothingNow) {
    ASSERT_TRUE(start());
    int pageBefore = static_cast<int>(ui::getInt(kMain, "选择夹右侧", "page"));
    shell::onMemoOptionClicked();
    EXPECT_EQ(read("默认视图", "右侧"), "2");
    shell::onMonthViewOptionClicked();
    EXPECT_EQ(read("默认视图", "左侧"), "0");
    shell::onScreenTopOptionClicked();
    EXPECT_EQ(read("最小化方式", "最小化方式"), "1");
    EXPECT_EQ(shell::minimiseMode, "0");  // the next start uses the bar
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), pageBefore);
}

TEST_F(Settings, ApplyButtonsSetZoomAndWriteIt) {
    ASSERT_TRUE(start());
    ui::setText(kMain, "编辑框2", "130");
    EXPECT_EQ(read("表格缩放", "缩放比"), "130");     // the content-changed handler wrote it
    EXPECT_EQ(ui::getInt(kMain, "表格_人脉", "zoom"), 100);  // not applied yet
    shell::onApplyZoom();
    EXPECT_EQ(ui::getInt(kMain, "表格_人脉", "zoom"), 130);
    EXPECT_EQ(ui::getInt(kMain, "表格_日志一览", "zoom"), 130);
}

TEST_F(Settings, MissingPictureIsRewrittenOthersKept) {
    ASSERT_TRUE(runtime::createDirectory(path("/pic")));
    ASSERT_TRUE(runtime::writeFile(path("/pic/jr.jpg"), "mine"));
    ASSERT_TRUE(start());
    EXPECT_EQ(runtime::readFile(path("/pic/jr.jpg")), "mine");
    EXPECT_GT(runtime::readFile(path("/pic/zl.jpg")).size(), 1000u);
}

TEST_F(Settings, UnknownPictureNameLeavesTheBoxEmpty) {
    write("标题图片", "今日", "nothere.jpg");
    ASSERT_TRUE(start());
    ui::Value picture = ui::getProperty(kMain, "图片框_今日", "picture");
    const std::string* bytes = std::get_if<std::string>(&picture);
    EXPECT_TRUE(bytes == nullptr || bytes->empty());
    ui::Value other = ui::getProperty(kMain, "图片框_总览", "picture");
    ASSERT_NE(std::get_if<std::string>(&other), nullptr);
    EXPECT_FALSE(std::get<std::string>(other).empty());
}

}  // namespace
}  // namespace shelltest
