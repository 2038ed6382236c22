// Picture box: decoding goes through qb_picture, not Qt's image plugins, so what shows does not
// depend on which plugins the machine has.
#include "runtime/ui/widgets/picture_box.h"

#include <QMouseEvent>
#include <QPainter>
#include <cstring>

#include "runtime/picture/picture.h"

namespace runtime::ui::widgets {

QImage decodePictureImage(std::string_view bytes) {
    picture::Picture p = picture::decodePicture(bytes);
    if (p.empty()) return {};
    QImage image(p.width, p.height, QImage::Format_RGBA8888);
    if (image.isNull()) return {};
    for (int y = 0; y < p.height; ++y)
        std::memcpy(image.scanLine(y), p.rgba.data() + static_cast<size_t>(y) * p.width * 4,
                    static_cast<size_t>(p.width) * 4);
    return image;
}

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) { setMouseTracking(true); }

bool PictureBox::setPictureBytes(std::string_view bytes) {
    image_ = decodePictureImage(bytes);
    update();
    return !image_.isNull();
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(rect(), image_);
}

void PictureBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit doubleClicked();
}

void PictureBox::mouseMoveEvent(QMouseEvent* event) { emit mouseMoved(event->position().toPoint()); }

}  // namespace runtime::ui::widgets
