// A window's notification-area icon. One TrayIcon per window; set() adds or replaces the icon
// and its tooltip, empty icon bytes remove it. The icon's mouse actions come out as the numbers
// the program's tray event carries: 1 left button released, 2 double-click, 3 right button or
// the context-menu key. On a desktop without a notification area set() answers false and shows
// nothing.
#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>
#include <string_view>

namespace runtime::ui::widgets {

class TrayIcon : public QObject {
    Q_OBJECT

public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    // Icon file bytes: a Windows icon file (PNG or bitmap images, any number of sizes), or a
    // PNG, JPEG or GIF picture. Empty bytes remove the icon (nothing when there is none) and
    // answer true. False when the desktop has no notification area or the bytes hold no
    // picture; an icon already shown then stays as it was.
    bool set(std::string_view iconBytes, const QString& tooltip);
    void remove();
    bool isShown() const;

    static bool isAvailable();
    // The images of an icon file (or picture) as one icon; null when there are none.
    static QIcon iconFromBytes(std::string_view bytes);
    // The tray event's action for a Qt activation reason; 0 for one that raises no event.
    static int actionFor(QSystemTrayIcon::ActivationReason reason);

signals:
    void activated(int action);

private:
    QSystemTrayIcon* icon_ = nullptr;
};

}  // namespace runtime::ui::widgets
