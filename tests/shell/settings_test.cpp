// The settings file as start-up applies it and as the settings page writes it, and the title
// pictures whose names it keeps: shown at start-up, replaced by a double-click.
#include <sys/stat.h>

#include <QApplication>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include "runtime/base/ini.h"
#include "runtime/ui/widgets/picture_box.h"
#include "runtime/ui/widgets/week_grid.h"
#include "shell/pictures.h"
#include "shell/settings.h"
#include "support/shell_fixture.h"

namespace shelltest {
namespace {

// The top-level widget of a loaded window, or null.
QWidget* windowWidget(const char* window) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QString::fromUtf8(window)) return w;
    return nullptr;
}

// A control of the main window by its name, or null.
template <typename T = QWidget>
T* control(const char* name) {
    QWidget* window = windowWidget(kMain);
    return window ? window->findChild<T*>(QString::fromUtf8(name)) : nullptr;
}

// The size of the picture a box shows; empty when it shows none.
QSize shownPicture(const char* box) {
    auto* p = control<runtime::ui::widgets::PictureBox>(box);
    return p && p->hasPicture() ? p->image().size() : QSize();
}

// A 1 x 1 GIF, so that a box showing it is told apart from the default JPEGs.
const std::string kGif(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
    ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
    35);

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
    EXPECT_EQ(core::minimiseMode, "2");
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
    EXPECT_EQ(core::minimiseMode, "0");  // the next start uses the bar
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), pageBefore);
}

TEST_F(Settings, ApplyButtonsSetZoomAndWriteIt) {
    ASSERT_TRUE(start());
    ui::setText(kMain, "编辑框2", "130");
    EXPECT_EQ(read("表格缩放", "缩放比"), "130");            // the content-changed handler wrote it
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

TEST_F(Settings, WithoutSettingsRowsAreThirtyThreeHighAndTheFourDefaultsShow) {
    ASSERT_TRUE(start());
    auto* grid = control<runtime::ui::widgets::WeekGrid>("高级表格_周历");
    ASSERT_NE(grid, nullptr);
    for (int row = 1; row <= 7; ++row) EXPECT_EQ(grid->rowHeight(row), 33) << row;
    EXPECT_EQ(shownPicture("图片框_今日"), QSize(1024, 137));
    EXPECT_EQ(shownPicture("图片框_总览"), QSize(1024, 130));
    EXPECT_EQ(shownPicture("图片框_便签"), QSize(705, 89));
    EXPECT_EQ(shownPicture("图片框_联系人"), QSize(631, 90));
}

TEST_F(Settings, RowHeightArrowsWriteAtOnceTheGridChangesOnlyOnApply) {
    ASSERT_TRUE(start());
    ui::setInt(kMain, "选择夹_左侧", "page", 1);
    QWidget* box = control("编辑框3");
    ASSERT_NE(box, nullptr);
    QWidget* arrows = box->parentWidget()->findChild<QWidget*>("编辑框3_updown");
    ASSERT_NE(arrows, nullptr);
    QTest::mouseClick(arrows->findChild<QToolButton*>("up"), Qt::LeftButton);
    EXPECT_EQ(ui::getText(kMain, "编辑框3"), "34");
    EXPECT_EQ(read("周历行高", "行高"), "34");
    auto* grid = control<runtime::ui::widgets::WeekGrid>("高级表格_周历");
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->rowHeight(4), 33);
    QTest::mouseClick(control("按钮2"), Qt::LeftButton);
    for (int row = 1; row <= 7; ++row) EXPECT_EQ(grid->rowHeight(row), 34) << row;
    EXPECT_EQ(grid->rowHeight(0), 24);  // the header row keeps its height
}

// Beyond the integer range a row height is held at its end at start-up and on the apply button,
// as the week view's rebuild holds it, instead of wrapping (4294967329 would be 33, 2^32 zero).
TEST_F(Settings, RowHeightBeyondTheIntegerRangeIsHeldAtStartAndOnApply) {
    write("周历行高", "行高", "4294967329");
    ASSERT_TRUE(start());
    auto* grid = control<runtime::ui::widgets::WeekGrid>("高级表格_周历");
    ASSERT_NE(grid, nullptr);
    for (int row = 1; row <= 7; ++row)
        EXPECT_EQ(grid->rowHeight(row), runtime::ui::widgets::WeekGrid::kMaxExtent) << row;
    ui::setText(kMain, "编辑框3", "33");
    shell::onApplyRowHeight();
    ASSERT_EQ(grid->rowHeight(1), 33);
    ui::setText(kMain, "编辑框3", "4294967296");
    shell::onApplyRowHeight();
    for (int row = 1; row <= 7; ++row)
        EXPECT_EQ(grid->rowHeight(row), runtime::ui::widgets::WeekGrid::kMaxExtent) << row;
}

TEST_F(Settings, PictureNameLeadingToAPipeDoesNotHoldUpTheStart) {
    // A hand-edited name may lead anywhere; reading a pipe would wait for a writer for ever.
    ASSERT_EQ(mkfifo(path("/pipe.jpg").c_str(), 0600), 0);
    write("标题图片", "总览", "../pipe.jpg");
    write("标题图片", "便签", "");  // the pic folder itself
    ASSERT_TRUE(start());
    EXPECT_EQ(shownPicture("图片框_总览"), QSize());
    EXPECT_EQ(shownPicture("图片框_便签"), QSize());
    EXPECT_EQ(shownPicture("图片框_今日"), QSize(1024, 137));
}

// ---- Replacing a title picture ----

class TitlePictures : public Settings {
protected:
    void SetUp() override {
        Settings::SetUp();
        source_ = makeTempFolder("qb_pic_source");
        ASSERT_FALSE(source_.empty());
    }
    void TearDown() override {
        std::filesystem::remove_all(source_);
        Settings::TearDown();
    }
    // Double-clicks the box on its page, as the user does.
    void doubleClick(const char* box, int page) {
        ui::setInt(kMain, "选择夹右侧", "page", page);
        QWidget* w = control(box);
        ASSERT_NE(w, nullptr);
        QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(20, 20));
    }
    std::vector<ui::ShownDialog> fileDialogs() const {
        std::vector<ui::ShownDialog> out;
        for (const ui::ShownDialog& d : ui::shownDialogs())
            if (d.kind == ui::DialogKind::CommonDialog) out.push_back(d);
        return out;
    }
    std::string source_;
};

TEST_F(TitlePictures, AGifFromAnotherFolderIsCopiedNamedAndShownNowAndAtTheNextStart) {
    const std::string gif = source_ + "/标题.gif";
    ASSERT_TRUE(runtime::writeFile(gif, kGif));
    ASSERT_TRUE(start());
    ui::clearDialogScript();
    ui::pushMessageBoxAnswer(ui::kIdOk);
    ui::pushCommonDialogAnswer(true, gif);
    doubleClick("图片框_联系人", 3);

    ASSERT_EQ(messages().size(), 1u);
    EXPECT_EQ(messages()[0].text, "需要修改标题图片吗？");
    EXPECT_EQ(messages()[0].title, "询问：");
    EXPECT_EQ(messages()[0].flags, 1);
    ASSERT_EQ(fileDialogs().size(), 1u);
    EXPECT_EQ(fileDialogs()[0].text, "请选择一个图片文件，大小最好是390*50像素");
    EXPECT_EQ(fileDialogs()[0].title, "图片文件（支持JPG、GIF格式）|*.jpg;*.gif");
    EXPECT_EQ(runtime::readFile(path("/pic/标题.gif")), kGif);
    EXPECT_EQ(read("标题图片", "联系人"), "标题.gif");
    EXPECT_EQ(shownPicture("图片框_联系人"), QSize(1, 1));
    EXPECT_EQ(shownPicture("图片框_今日"), QSize(1024, 137));  // the others keep theirs

    // The next start shows it again.
    ui::resetForTesting();
    st::closeAllDatabases();
    ui::setEndProgramHook([this](int code) { exitCode_ = code; });
    const std::string run = makeTempFolder("qb_shell_run_pic");
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);  // a new process, in effect
    ASSERT_TRUE(start());
    EXPECT_EQ(shownPicture("图片框_联系人"), QSize(1, 1));
    std::filesystem::remove_all(run);
}

TEST_F(TitlePictures, CancelAtTheQuestionShowsNoFileDialog) {
    ASSERT_TRUE(start());
    ui::clearDialogScript();
    ui::pushMessageBoxAnswer(ui::kIdCancel);
    doubleClick("图片框_今日", 0);
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_TRUE(fileDialogs().empty());
    EXPECT_EQ(read("标题图片", "今日"), "<missing>");
}

TEST_F(TitlePictures, NoFileChosenChangesNothingAndSaysNothing) {
    ASSERT_TRUE(start());
    ui::clearDialogScript();
    ui::pushMessageBoxAnswer(ui::kIdOk);
    ui::pushCommonDialogAnswer(false, "");
    doubleClick("图片框_总览", 1);
    EXPECT_EQ(fileDialogs().size(), 1u);
    EXPECT_EQ(messages().size(), 1u);  // the question alone
    EXPECT_EQ(read("标题图片", "总览"), "<missing>");
    EXPECT_EQ(shownPicture("图片框_总览"), QSize(1024, 130));
}

TEST_F(TitlePictures, DecliningToReplaceASameNamedFileFailsAndKeepsPictureAndSetting) {
    write("标题图片", "便签", "bq.jpg");
    const std::string other = source_ + "/jr.jpg";  // a name the pic folder already holds
    ASSERT_TRUE(runtime::writeFile(other, kGif));
    ASSERT_TRUE(start());
    const std::string before = runtime::readFile(path("/pic/jr.jpg"));
    ui::clearDialogScript();
    ui::pushMessageBoxAnswer(ui::kIdOk);  // change it
    ui::pushMessageBoxAnswer(ui::kIdNo);  // but do not replace the file there
    ui::pushCommonDialogAnswer(true, other);
    doubleClick("图片框_便签", 2);
    ASSERT_EQ(messages().size(), 3u);
    EXPECT_EQ(messages()[2].text, "复制图片文件失败！");
    EXPECT_EQ(messages()[2].title, "信息：");
    EXPECT_EQ(messages()[2].flags, 0);
    EXPECT_EQ(runtime::readFile(path("/pic/jr.jpg")), before);
    EXPECT_EQ(read("标题图片", "便签"), "bq.jpg");
    EXPECT_EQ(shownPicture("图片框_便签"), QSize(705, 89));
}

TEST_F(TitlePictures, TwoPicturesGivenTheSameNameShowTheSameFile) {
    const std::string gif = source_ + "/same.gif";
    ASSERT_TRUE(runtime::writeFile(gif, kGif));
    ASSERT_TRUE(start());
    ui::pushMessageBoxAnswer(ui::kIdOk);
    ui::pushCommonDialogAnswer(true, gif);
    doubleClick("图片框_今日", 0);
    ui::pushMessageBoxAnswer(ui::kIdOk);
    ui::pushMessageBoxAnswer(ui::kIdYes);  // the file is there already: replace it
    ui::pushCommonDialogAnswer(true, gif);
    doubleClick("图片框_便签", 2);
    EXPECT_EQ(read("标题图片", "今日"), "same.gif");
    EXPECT_EQ(read("标题图片", "便签"), "same.gif");
    EXPECT_EQ(shownPicture("图片框_今日"), QSize(1, 1));
    EXPECT_EQ(shownPicture("图片框_便签"), QSize(1, 1));
}

TEST_F(TitlePictures, MovingTheMouseOverEachBoxShowsTheTip) {
    ASSERT_TRUE(start());
    const std::pair<const char*, int> boxes[] = {
        {"图片框_今日", 0}, {"图片框_总览", 1}, {"图片框_便签", 2}, {"图片框_联系人", 3}};
    for (const auto& [box, page] : boxes) {
        ui::setInt(kMain, "选择夹右侧", "page", page);
        QWidget* w = control(box);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->toolTip().isEmpty()) << box;
        for (int i = 0; i < 3; ++i) {  // every move calls it again; one tip stays
            const QPointF at(5 + i, 5);
            QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                             Qt::NoModifier);
            QApplication::sendEvent(w, &move);
        }
        EXPECT_EQ(w->toolTip(), QString::fromUtf8("双击可修改图片")) << box;
    }
}

}  // namespace
}  // namespace shelltest
