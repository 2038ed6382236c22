// Tray icon and the icon-file reader. Icon files carry each image either as a PNG or as a
// device-independent bitmap twice as high as the image (the colour rows, then a 1-bit AND mask,
// both bottom-up); the bitmaps are read here so that no image plugin is needed.
#include "runtime/ui/widgets/tray.h"

#include <QImage>
#include <QPixmap>
#include <cstdint>
#include <cstring>

#include "runtime/ui/widgets/picture_box.h"

namespace runtime::ui::widgets {
namespace {

uint32_t le16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// One bitmap image of an icon file; null for what it cannot read.
QImage readIconBitmap(const uint8_t* data, size_t size) {
    if (size < 40) return {};
    const uint32_t headerSize = le32(data);
    const int32_t width = static_cast<int32_t>(le32(data + 4));
    const int32_t doubleHeight = static_cast<int32_t>(le32(data + 8));
    const uint32_t bits = le16(data + 14);
    const uint32_t compression = le32(data + 16);
    uint32_t paletteCount = le32(data + 32);
    if (headerSize < 40 || headerSize > size || width <= 0 || width > 1024 || doubleHeight <= 0 ||
        doubleHeight > 2048 || compression != 0)
        return {};
    const int height = doubleHeight / 2;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return {};
    if (bits <= 8 && paletteCount == 0) paletteCount = 1u << bits;
    if (bits > 8) paletteCount = 0;
    const size_t paletteOffset = headerSize;
    const size_t pixelOffset = paletteOffset + static_cast<size_t>(paletteCount) * 4;
    const size_t stride = ((static_cast<size_t>(width) * bits + 31) / 32) * 4;
    const size_t maskStride = ((static_cast<size_t>(width) + 31) / 32) * 4;
    const size_t maskOffset = pixelOffset + stride * height;
    if (maskOffset > size) return {};
    const bool hasMask = maskOffset + maskStride * height <= size;

    QImage image(width, height, QImage::Format_ARGB32);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data + pixelOffset + stride * static_cast<size_t>(height - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            int r = 0, g = 0, b = 0, a = 255;
            if (bits == 32) {
                b = row[x * 4];
                g = row[x * 4 + 1];
                r = row[x * 4 + 2];
                a = row[x * 4 + 3];
                if (a) anyAlpha = true;
            } else if (bits == 24) {
                b = row[x * 3];
                g = row[x * 3 + 1];
                r = row[x * 3 + 2];
            } else {
                const size_t bit = static_cast<size_t>(x) * bits;
                const int shift = static_cast<int>(8 - bits - bit % 8);
                const uint32_t index = (row[bit / 8] >> shift) & ((1u << bits) - 1);
                if (index < paletteCount) {
                    const uint8_t* c = data + paletteOffset + index * 4;
                    b = c[0];
                    g = c[1];
                    r = c[2];
                }
            }
            out[x] = qRgba(r, g, b, a);
        }
    }
    // The AND mask decides transparency unless the image brings its own alpha.
    if (hasMask && !(bits == 32 && anyAlpha)) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* mask = data + maskOffset + maskStride * static_cast<size_t>(height - 1 - y);
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x)
                if (mask[x / 8] & (0x80 >> (x % 8)))
                    out[x] = qRgba(0, 0, 0, 0);
                else
                    out[x] = qRgba(qRed(out[x]), qGreen(out[x]), qBlue(out[x]), 255);
        }
    }
    return image;
}

}  // namespace

QIcon TrayIcon::iconFromBytes(std::string_view bytes) {
    QIcon icon;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t size = bytes.size();
    if (size >= 6 && le16(data) == 0 && le16(data + 2) == 1) {
        const uint32_t count = le16(data + 4);
        for (uint32_t i = 0; i < count; ++i) {
            const size_t entry = 6 + static_cast<size_t>(i) * 16;
            if (entry + 16 > size) break;
            const uint32_t length = le32(data + entry + 8);
            const uint32_t offset = le32(data + entry + 12);
            if (offset >= size || length > size - offset) continue;
            const uint8_t* image = data + offset;
            QImage decoded;
            if (length >= 8 && std::memcmp(image, "\x89PNG\r\n\x1a\n", 8) == 0)
                decoded.loadFromData(image, static_cast<int>(length), "PNG");
            else
                decoded = readIconBitmap(image, length);
            if (!decoded.isNull()) icon.addPixmap(QPixmap::fromImage(decoded));
        }
        if (!icon.isNull()) return icon;
    }
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) {
        QImage png;
        if (png.loadFromData(data, static_cast<int>(size), "PNG")) icon.addPixmap(QPixmap::fromImage(png));
        return icon;
    }
    const QImage picture = decodePictureImage(bytes);
    if (!picture.isNull()) icon.addPixmap(QPixmap::fromImage(picture));
    return icon;
}

int TrayIcon::actionFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger: return 1;
        case QSystemTrayIcon::DoubleClick: return 2;
        case QSystemTrayIcon::Context: return 3;
        default: return 0;
    }
}

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {}

// The icon is a child: it goes with this object, at once.
TrayIcon::~TrayIcon() = default;

bool TrayIcon::isAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool TrayIcon::set(std::string_view iconBytes, const QString& tooltip) {
    if (iconBytes.empty()) {
        remove();
        return true;
    }
    if (!isAvailable()) return false;
    const QIcon icon = iconFromBytes(iconBytes);
    if (icon.isNull()) return false;
    if (!icon_) {
        icon_ = new QSystemTrayIcon(this);
        connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (const int action = actionFor(reason)) emit activated(action);
        });
    }
    icon_->setIcon(icon);
    icon_->setToolTip(tooltip);
    icon_->show();
    return true;
}

void TrayIcon::remove() {
    if (!icon_) return;
    // The removal mostly runs inside the icon's own mouse event (a click, a menu it opened):
    // hiding the icon deletes its native widget, so both wait until that event has returned.
    // From here on the icon raises nothing and counts as gone.
    QSystemTrayIcon* leaving = icon_;
    icon_ = nullptr;
    leaving->disconnect(this);
    leaving->deleteLater();
}

bool TrayIcon::isShown() const { return icon_ && icon_->isVisible(); }

}  // namespace runtime::ui::widgets
