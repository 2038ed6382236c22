// The pictures stored with the window definitions: the banner of the two periodic-item windows
// and the search icon beside the keyword box. They are drawn once, on first use, and kept as
// JPEG file bytes, which is what a picture box takes.
#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "runtime/ui/ui_internal.h"

namespace runtime::ui::detail {

namespace {

std::string jpegBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes.toStdString();
}

std::string drawBanner() {
    QImage image(260, 56, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 260, 56);
    g.setColorAt(0, QColor(46, 110, 170));
    g.setColorAt(1, QColor(150, 200, 235));
    p.fillRect(image.rect(), g);
    p.setPen(QPen(QColor(255, 255, 255, 160), 3));
    p.drawEllipse(QPointF(226, 28), 18, 18);
    p.drawLine(QPointF(226, 28), QPointF(226, 16));
    p.drawLine(QPointF(226, 28), QPointF(235, 33));
    QFont f = p.font();
    f.setPixelSize(20);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(14, 0, 200, 56), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("周期性事项"));
    return jpegBytes(image);
}

std::string drawSearchIcon() {
    QImage image(128, 128, QImage::Format_RGB32);
    image.fill(QColor(192, 192, 192));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 70, 120), 14));
    p.setBrush(QColor(225, 238, 250));
    p.drawEllipse(QPointF(54, 54), 34, 34);
    p.setPen(QPen(QColor(40, 70, 120), 20, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(80, 80), QPointF(114, 114));
    return jpegBytes(image);
}

}  // namespace

std::string_view storedPicture(std::string_view name) {
    if (name == "periodic_banner") {
        static const std::string banner = drawBanner();
        return banner;
    }
    if (name == "search_icon") {
        static const std::string icon = drawSearchIcon();
        return icon;
    }
    return {};
}

}  // namespace runtime::ui::detail
