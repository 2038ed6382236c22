// The picture box: shows the picture whose file bytes it is given (JPEG or GIF), stretched to
// the box, as the title pictures are drawn for it. Bytes that are empty or no picture it can
// decode show nothing; that is an answer, not an error.
#pragma once

#include <QImage>
#include <QWidget>
#include <string_view>

namespace runtime::ui::widgets {

class PictureBox : public QWidget {
    Q_OBJECT

public:
    explicit PictureBox(QWidget* parent = nullptr);

    // Replaces the picture; true when the bytes gave one. Empty or bad bytes clear the box.
    bool setPictureBytes(std::string_view bytes);
    bool hasPicture() const { return !image_.isNull(); }
    const QImage& image() const { return image_; }

signals:
    void doubleClicked();
    // The mouse moved over the box (tracked without a button held).
    void mouseMoved(QPoint position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QImage image_;
};

// The decoded picture as a Qt image (null for bad bytes); also used for the tray icon.
QImage decodePictureImage(std::string_view bytes);

}  // namespace runtime::ui::widgets
