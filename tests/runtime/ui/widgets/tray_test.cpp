// The tray icon where the desktop has no notification area (the offscreen platform), the icon
// file reader, and the tray event's action numbers.
#include "runtime/ui/widgets/tray.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <cstring>

#include "runtime/picture/test_pictures.h"

using runtime::ui::widgets::TrayIcon;

namespace {

void put16(std::string& s, uint16_t v) { s.push_back(char(v & 0xFF)), s.push_back(char(v >> 8)); }
void put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
}

// An icon file with a 16x16 32-bit bitmap (left half transparent by alpha) and a 32x32 PNG.
std::string makeIconFile() {
    std::string bitmap;
    put32(bitmap, 40);
    put32(bitmap, 16);
    put32(bitmap, 32);
    put16(bitmap, 1);
    put16(bitmap, 32);
    for (int i = 0; i < 6; ++i) put32(bitmap, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) put32(bitmap, x < 8 ? 0x000000FFu : 0xFF00FF00u);  // BGRA
    bitmap.append(16 * 4, '\0');                                                        // AND mask rows
    QImage pngImage(32, 32, QImage::Format_ARGB32);
    pngImage.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    pngImage.save(&buffer, "PNG");

    std::string file;
    put16(file, 0);
    put16(file, 1);
    put16(file, 2);
    const uint32_t first = 6 + 2 * 16;
    file.push_back(16), file.push_back(16), file.push_back(0), file.push_back(0);
    put16(file, 1), put16(file, 32), put32(file, uint32_t(bitmap.size())), put32(file, first);
    file.push_back(32), file.push_back(32), file.push_back(0), file.push_back(0);
    put16(file, 1), put16(file, 32), put32(file, uint32_t(png.size())),
        put32(file, first + uint32_t(bitmap.size()));
    file += bitmap;
    file.append(png.constData(), size_t(png.size()));
    return file;
}

}  // namespace

TEST(TrayIconFile, ReadsBitmapAndPngImages) {
    const QIcon icon = TrayIcon::iconFromBytes(makeIconFile());
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
    const QImage small = icon.pixmap(16, 16).toImage();
    EXPECT_EQ(qAlpha(small.pixel(2, 8)), 0);
    EXPECT_EQ(small.pixelColor(12, 8), QColor(0, 255, 0));
}

TEST(TrayIconFile, PicturesAndGarbage) {
    EXPECT_FALSE(TrayIcon::iconFromBytes(testing_pictures::makeGif(16, 16)).isNull());
    EXPECT_TRUE(TrayIcon::iconFromBytes("garbage").isNull());
    std::string cut = makeIconFile().substr(0, 60);
    EXPECT_TRUE(TrayIcon::iconFromBytes(cut).isNull());
    std::string lying = makeIconFile();
    lying[6 + 15] = '\x7F';                                 // first entry's offset far beyond the file
    EXPECT_FALSE(TrayIcon::iconFromBytes(lying).isNull());  // the PNG entry still reads
}

TEST(TrayIconActions, LeftReleaseDoubleClickAndContext) {
    EXPECT_EQ(TrayIcon::actionFor(QSystemTrayIcon::Trigger), 1);
    EXPECT_EQ(TrayIcon::actionFor(QSystemTrayIcon::DoubleClick), 2);
    EXPECT_EQ(TrayIcon::actionFor(QSystemTrayIcon::Context), 3);
    EXPECT_EQ(TrayIcon::actionFor(QSystemTrayIcon::MiddleClick), 0);
}

TEST(TrayIconWithoutNotificationArea, AnswersNoAndNothingBreaks) {
    if (TrayIcon::isAvailable()) GTEST_SKIP() << "this desktop has a notification area";
    TrayIcon tray;
    EXPECT_FALSE(tray.set(makeIconFile(), QStringLiteral("Quillarbor V3.5.1.0")));
    EXPECT_FALSE(tray.isShown());
    EXPECT_TRUE(tray.set({}, {}));  // removing what is not there
    tray.remove();
    EXPECT_FALSE(tray.isShown());
}

// Runs where a notification area exists, e.g. under Xvfb with trayer:
//   xvfb-run -a sh -c 'trayer & sleep 1; QT_QPA_PLATFORM=xcb ./qb_widgets_tests
//   --gtest_filter=TrayIconOnDesktop*'
TEST(TrayIconOnDesktop, AddsReplacesAndRemovesTheIcon) {
    if (!TrayIcon::isAvailable()) GTEST_SKIP() << "no notification area on this desktop";
    TrayIcon tray;
    ASSERT_TRUE(tray.set(makeIconFile(), QStringLiteral("Quillarbor V3.5.1.0")));
    EXPECT_TRUE(tray.isShown());
    EXPECT_TRUE(tray.set(testing_pictures::makeGif(16, 16), QStringLiteral("其他")));
    EXPECT_TRUE(tray.isShown());
    EXPECT_FALSE(tray.set("garbage", QStringLiteral("x")));  // refused: the icon shown stays
    EXPECT_TRUE(tray.isShown());
    EXPECT_TRUE(tray.set({}, {}));
    EXPECT_FALSE(tray.isShown());
}
