// Picture boxes fed with real JPEG and GIF file bytes, and with bytes that are no picture.
#include "runtime/ui/widgets/picture_box.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "runtime/picture/test_pictures.h"

using runtime::ui::widgets::PictureBox;

namespace {
struct Host {
    QWidget window;
    PictureBox* box;
    Host() {
        auto* b = new PictureBox(&window);
        b->setObjectName(QStringLiteral("图片框_总览"));
        b->setGeometry(3, 3, 390, 50);
        window.resize(400, 60);
        window.show();
        box = window.findChild<PictureBox*>(QStringLiteral("图片框_总览"));
    }
};
}  // namespace

TEST(PictureBoxBytes, JpegAndGifShowStretchedToTheBox) {
    Host h;
    ASSERT_TRUE(h.box->setPictureBytes(testing_pictures::makeJpeg(1024, 137)));
    EXPECT_EQ(h.box->image().size(), QSize(1024, 137));
    QImage shot = h.box->grab().toImage();
    EXPECT_GT(qRed(shot.pixel(2, 25)), 180);     // red at the left edge
    EXPECT_GT(qBlue(shot.pixel(387, 25)), 180);  // blue at the right edge: the whole width shows
    ASSERT_TRUE(h.box->setPictureBytes(testing_pictures::makeGif(20, 8)));
    EXPECT_EQ(h.box->image().size(), QSize(20, 8));
    shot = h.box->grab().toImage();
    EXPECT_EQ(shot.pixelColor(100, 2), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(100, 47), QColor(255, 255, 255));
}

TEST(PictureBoxBytes, EmptyOrGarbageShowsNothingAndClearsTheOldPicture) {
    Host h;
    ASSERT_TRUE(h.box->setPictureBytes(testing_pictures::makeJpeg(64, 64)));
    EXPECT_FALSE(h.box->setPictureBytes("not a picture at all"));
    EXPECT_FALSE(h.box->hasPicture());
    ASSERT_TRUE(h.box->setPictureBytes(testing_pictures::makeGif(4, 4)));
    EXPECT_FALSE(h.box->setPictureBytes({}));
    EXPECT_FALSE(h.box->hasPicture());
    const std::string jpeg = testing_pictures::makeJpeg(64, 64);
    EXPECT_FALSE(h.box->setPictureBytes(std::string_view(jpeg).substr(0, 10)));
    h.box->repaint();  // painting an empty box is fine too
}

TEST(PictureBoxInput, DoubleClickAndMouseMoveRaiseTheirEvents) {
    Host h;
    QSignalSpy doubled(h.box, &PictureBox::doubleClicked);
    QSignalSpy moved(h.box, &PictureBox::mouseMoved);
    QTest::mouseDClick(h.box, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(doubled.count(), 1);
    QTest::mouseMove(h.box, QPoint(30, 20));
    QTest::mouseMove(h.box, QPoint(40, 21));
    EXPECT_GE(moved.count(), 1);
}
