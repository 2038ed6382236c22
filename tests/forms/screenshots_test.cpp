// A picture of each window, saved into the build folder, to look at: Chinese captions must
// render as Chinese and the layout must follow the pixel table. The test checks what it can
// without eyes: the font is the one the layout was made for, and the picture is not blank.
#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QPixmap>

#include "support/ui_test_support.h"

namespace uitest {
namespace {

class ScreenshotsTest : public UiTest {};

void save(QWidget* w, const std::string& file) {
    w->show();
    QCoreApplication::processEvents();
    const QImage image = w->grab().toImage();
    ASSERT_FALSE(image.isNull());
    ASSERT_TRUE(image.save(QString::fromUtf8(QB_SCREENSHOT_DIR "/") + QString::fromStdString(file)));
    // Not one flat colour.
    const QRgb first = image.pixel(0, 0);
    bool varied = false;
    for (int y = 0; y < image.height() && !varied; y += 3)
        for (int x = 0; x < image.width() && !varied; x += 3) varied = image.pixel(x, y) != first;
    EXPECT_TRUE(varied || image.height() <= 5) << file;
}

TEST_F(ScreenshotsTest, ProgramFontIsWenQuanYiMicroHei9pt) {
    QFont f = QApplication::font();
    EXPECT_EQ(f.pointSize(), 9);
    EXPECT_EQ(QFontInfo(f).family(), "WenQuanYi Micro Hei");
}

TEST_F(ScreenshotsTest, EachWindowIsSavedAsPng) {
    ASSERT_TRUE(ui::loadWindow("MainWindow"));
    QWidget* main = ui::findWindowWidget("MainWindow");
    // Result lists with more lines than fit, as a search fills them.
    for (int day = 1; day <= 16; ++day) {
        ui::addListItem("MainWindow", "列表框_日志搜索结果", "2015年12月" + std::to_string(day + 15) + "日",
                        0);
        ui::addListItem("MainWindow", "列表框_提醒搜索结果", "2015年1月" + std::to_string(day) + "日", 0);
    }
    ui::addListItem("MainWindow", "列表框_备忘搜索结果", "找到！请点击查看", 0);
    ui::addListItem("MainWindow", "列表框_人脉搜索结果", "未找到！", 0);
    save(main, "MainWindow_calendar.png");
    ui::setInt("MainWindow", "选择夹_左侧", "page", 1);
    ui::setInt("MainWindow", "选择夹右侧", "page", 3);
    save(main, "MainWindow_settings_contacts.png");
    ui::setInt("MainWindow", "选择夹_左侧", "page", 0);
    ui::setInt("MainWindow", "选择夹_视图", "page", 1);
    ui::setInt("MainWindow", "选择夹右侧", "page", 1);
    save(main, "MainWindow_week_overview.png");
    for (const char* w :
         {"NewPeriodicItemWindow", "EditPeriodicItemWindow", "ImportContactsWindow", "TopEdgeBarWindow"}) {
        ASSERT_TRUE(ui::loadWindow(w));
        if (std::string_view(w) == "EditPeriodicItemWindow") {
            ui::setProperty(w, "标签说明周期事项", "caption", "我在2015年12月29日约定，在今后每");
            ui::setText(w, "编辑框循环周期", "12");
        }
        save(ui::findWindowWidget(w), std::string(w) + ".png");
    }
}

}  // namespace
}  // namespace uitest
