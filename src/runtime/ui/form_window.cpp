// A loaded window built from its definition: the top-level widget, its controls in definition
// order (so a container always exists before what it holds), its pop-up menus, and the window's
// own events (close request, state change, mouse on the bare window).
#include <QApplication>
#include <QCloseEvent>
#include <QHideEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>

#include "runtime/ui/ui_internal.h"

namespace runtime::ui::detail {

namespace {

// What a fixed frame adds to the client area: borders and title bar. The definitions give
// outer sizes; the client area is what the controls are placed in.
constexpr int kFrameWidth = 6;
constexpr int kFrameHeight = 26;

Qt::WindowFlags flagsFor(const WindowDef& def) {
    Qt::WindowFlags f = Qt::Window;
    if (!def.inTaskbar) f = Qt::Tool;
    if (def.frame == Frame::NoFrame) {
        f |= Qt::FramelessWindowHint;
    } else {
        f |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        if (def.systemMenu) f |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        if (def.minimiseButton) f |= Qt::WindowMinimizeButtonHint;
        if (def.maximiseButton) f |= Qt::WindowMaximizeButtonHint;
    }
    if (def.alwaysOnTop) f |= Qt::WindowStaysOnTopHint;
    return f;
}

void mouseOnWindow(const FormWindow& w, QMouseEvent* e, int ev) {
    w.raiseWindowEvent(ev, EventArgs{int64_t(e->position().x()), int64_t(e->position().y()),
                                     int64_t(e->button() == Qt::LeftButton ? 1 : 2)});
}

}  // namespace

FormWindow::FormWindow(const WindowDef& def) : QWidget(nullptr, flagsFor(def)), def_(def) {
    setObjectName(qs(def.name));
    setWindowTitle(qs(def.caption));
    setAttribute(Qt::WA_DeleteOnClose, false);
    if (def.backColour != kNoColour) {
        QPalette p = palette();
        p.setColor(QPalette::Window, QColor::fromRgb(def.backColour));
        setPalette(p);
        setAutoFillBackground(true);
    }
    if (def.fontPointSize > 0) {
        QFont f = font();
        f.setPointSize(def.fontPointSize);
        setFont(f);  // before the controls are built, so that every one inherits it
    }
    const QSize frame = frameAllowance();
    setFixedSize(std::max(0, def.width - frame.width()), std::max(1, def.height - frame.height()));
    buildControls();
    buildMenus();
    if (def.centred) centreOnScreen();
}

FormWindow::~FormWindow() {
    // Controls go first, in reverse, while their widgets still exist.
    while (!controls_.empty()) controls_.pop_back();
}

QSize FormWindow::frameAllowance() const {
    return def_.frame == Frame::NoFrame ? QSize(0, 0) : QSize(kFrameWidth, kFrameHeight);
}

void FormWindow::centreOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - def_.width) / 2, area.y() + (area.height() - def_.height) / 2);
}

Control* FormWindow::control(std::string_view name) const {
    for (const auto& c : controls_)
        if (c->name() == name) return c.get();
    return nullptr;
}

void FormWindow::removeControl(std::string_view name) {
    for (auto it = controls_.begin(); it != controls_.end(); ++it) {
        if ((*it)->name() == name) {
            controls_.erase(it);
            return;
        }
    }
}

QMenu* FormWindow::menu(std::string_view name) const {
    auto it = menus_.find(name);
    return it == menus_.end() ? nullptr : it->second;
}

bool FormWindow::raiseWindowEvent(int event, const EventArgs& args) const {
    return deliver(def_.name, {}, event, args);
}

void FormWindow::buildControls() {
    for (const ControlDef& def : def_.controls) {
        QWidget* parent = this;
        if (*def.container) {
            Control* container = control(def.container);
            QWidget* inner = container ? container->childParent(def.page) : nullptr;
            if (inner)
                parent = inner;
            else
                qWarning("window %s: control %s has no container %s", def_.name, def.name, def.container);
        }
        controls_.push_back(createControl(*this, def, parent));
    }
}

void FormWindow::buildMenus() {
    for (const MenuDef& def : def_.menus) {
        auto* m = new QMenu(this);
        m->setObjectName(qs(def.name));
        m->setTitle(qs(def.name));
        for (const MenuItemDef& item : def.items) {
            if (!item.caption) break;
            if (std::string_view(item.caption) == "-") {
                m->addSeparator();
            } else {
                QAction* a = m->addAction(qs(item.caption));
                a->setObjectName(qs(item.caption));
            }
        }
        menus_.emplace(def.name, m);
    }
}

void FormWindow::closeEvent(QCloseEvent* e) {
    // The window goes only through destroyUnit/destroyWindowNow; a close box asks first.
    e->ignore();
    if (destroying || programEndedState()) return;
    // A window a modal window disabled takes no close request (the user could end the program
    // in the middle of the modal work); the modal window comes forward instead.
    if (FormWindow* modal = modalDisabling(this)) {
        bringModalForward(modal);
        return;
    }
    if (!raiseWindowEvent(event::kMayClose)) return;
    destroyUnit(def_.name);
}

void FormWindow::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (destroying) return;
    if (e->type() == QEvent::ActivationChange) {
        // A click on a disabled window makes it active, and keys typed next would go nowhere.
        if (isActiveWindow())
            if (FormWindow* modal = modalDisabling(this))
                QMetaObject::invokeMethod(
                    modal, [modal] { bringModalForward(modal); }, Qt::QueuedConnection);
        return;
    }
    if (e->type() != QEvent::WindowStateChange || quietStateChange) return;
    // What the platform says of a window the program hid while minimised is not the program's
    // state: only the program brings that window back (hiddenMinimised).
    if (hiddenMinimised && !programSetsState && !isVisible()) return;
    // A window manager offers minimise buttons on disabled windows and minimises an owner with
    // its dialogs; with the modal window gone from the screen, nothing would bring it back.
    if (!programSetsState && (windowState() & Qt::WindowMinimized)) {
        if (FormWindow* modal = modalInCharge(this)) {
            if (isVisible()) undoMinimise(modal);
            return;
        }
    }
    raiseWindowEvent(event::kSizeChanged);
}

void FormWindow::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (e->spontaneous()) return;
    if (!def_.inTaskbar) keepOutOfTaskbarAndPager(this);
    for (FormWindow* owned : windowsOwnedBy(this)) {
        if (!owned->hiddenWithOwner) continue;
        owned->hiddenWithOwner = false;
        // Minimised with its owner by the window manager, perhaps, before it was hidden.
        clearIconicStartState(owned);
        owned->quietStateChange = true;
        owned->setWindowState(owned->windowState() & ~Qt::WindowMinimized);
        owned->quietStateChange = false;
        owned->show();
        owned->raise();
    }
}

void FormWindow::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (e->spontaneous() || destroying) return;
    for (FormWindow* owned : windowsOwnedBy(this)) {
        if (!owned->isVisible()) continue;
        owned->hiddenWithOwner = true;
        owned->hide();
    }
}

void FormWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        mouseOnWindow(*this, e, event::kLeftDown);
    else if (e->button() == Qt::RightButton)
        mouseOnWindow(*this, e, event::kRightDown);
    QWidget::mousePressEvent(e);
}

void FormWindow::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) mouseOnWindow(*this, e, event::kDoubleClick);
    QWidget::mouseDoubleClickEvent(e);
}

}  // namespace runtime::ui::detail
