// The control classes, one per kind, and the watcher that turns Qt input events into the
// program's control events (mouse, focus, keys, wheel).
//
// Program writes never pass for user input: every widget signal that a user action emits is
// ignored while a program write runs (ProgramWriteScope) or is a signal only user actions emit;
// the events that a program write must raise (an edit box's content, a tab page) are raised
// explicitly, once, nested inside the write.
#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProxyStyle>
#include <QApplication>
#include <QPushButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTableView>
#include <QTableWidget>
#include <QToolButton>
#include <QValidator>
#include <QWheelEvent>
#include <algorithm>

#include "runtime/base/datetime.h"
#include "runtime/base/number.h"
#include "runtime/base/text.h"
#include "runtime/ui/key_codes.h"
#include "runtime/ui/ui_internal.h"

namespace runtime::ui::detail {

// ---------------------------------------------------------------------------------------------
// Input watcher
// ---------------------------------------------------------------------------------------------

namespace {

struct Watch {
    Control* control = nullptr;
    unsigned mask = 0;
};

class InputWatcher : public QObject {
public:
    static InputWatcher& instance() {
        static InputWatcher* w = new InputWatcher;  // lives as long as the application
        return *w;
    }

    void watch(QObject* o, Control* c, unsigned mask) {
        watches_.insert(o, Watch{c, mask});
        o->installEventFilter(this);
        connect(o, &QObject::destroyed, this, [this, o] { watches_.remove(o); });
    }
    void forget(Control* c) {
        for (auto it = watches_.begin(); it != watches_.end();) {
            if (it->control == c) {
                it.key()->removeEventFilter(this);
                it = watches_.erase(it);
            } else {
                ++it;
            }
        }
        wheelRest_.remove(c);
    }

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        auto it = watches_.constFind(o);
        if (it == watches_.constEnd()) return false;
        Control* c = it->control;
        const unsigned mask = it->mask;
        // Filters see events before Qt drops them for a disabled widget, so a control of a window
        // disabled by a modal one would still raise its input events; and a press that a widget
        // turned disabled by its own handler (the handler opened a modal window) no longer
        // accepts goes on to the watched parent and would raise its event a second time.
        if (isUserInput(e->type())) {
            auto* w = qobject_cast<QWidget*>(o);
            if (w && !w->isEnabled()) return false;
        }
        if (c->onInput(o, e)) return true;
        switch (e->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove: {
                if (!(mask & kMouseInput)) return false;
                auto* me = static_cast<QMouseEvent*>(e);
                EventArgs a{int64_t(me->position().x()), int64_t(me->position().y()),
                            int64_t(mouseButtons(me->buttons()))};
                if (e->type() == QEvent::MouseMove) {
                    c->raise(event::kMouseMove, a);
                } else if (e->type() == QEvent::MouseButtonDblClick) {
                    if (me->button() == Qt::LeftButton) c->raise(event::kDoubleClick, a);
                } else if (me->button() == Qt::LeftButton) {
                    c->raise(event::kLeftDown, a);
                } else if (me->button() == Qt::RightButton) {
                    c->raise(event::kRightDown, a);
                }
                return false;
            }
            case QEvent::FocusIn:
            case QEvent::FocusOut: {
                if (!(mask & kFocusInput)) return false;
                if (static_cast<QFocusEvent*>(e)->reason() == Qt::PopupFocusReason) return false;
                c->raise(e->type() == QEvent::FocusIn ? event::kGotFocus : event::kLostFocus);
                return false;
            }
            case QEvent::KeyPress:
            case QEvent::KeyRelease: {
                if (!(mask & kKeyInput)) return false;
                auto* ke = static_cast<QKeyEvent*>(e);
                if (e->type() == QEvent::KeyRelease && ke->isAutoRepeat()) return false;
                const int code = virtualKeyCode(ke->key(), ke->modifiers());
                if (code == 0) return false;
                c->raise(e->type() == QEvent::KeyPress ? event::kKeyDown : event::kKeyUp,
                         EventArgs{code, modifierState(ke->key(), ke->modifiers()), 0});
                return false;
            }
            case QEvent::Wheel: {
                if (!(mask & kWheelInput) || !c->hasBinding(event::kWheel)) return false;
                auto* we = static_cast<QWheelEvent*>(e);
                int& rest = wheelRest_[c];
                rest += we->angleDelta().y();
                const int notches = rest / 120;  // toward zero; the rest waits for more turning
                rest -= notches * 120;
                if (notches != 0)
                    c->raise(event::kWheel,
                             EventArgs{notches, modifierState(0, we->modifiers()), 0});
                return true;  // the handler moves the control itself
            }
            default:
                return false;
        }
    }

private:
    static bool isUserInput(QEvent::Type t) {
        switch (t) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Wheel:
                return true;
            default:
                return false;
        }
    }

    static int mouseButtons(Qt::MouseButtons b) {
        return ((b & Qt::LeftButton) ? 1 : 0) | ((b & Qt::RightButton) ? 2 : 0) |
               ((b & Qt::MiddleButton) ? 16 : 0);
    }

    QHash<QObject*, Watch> watches_;
    QHash<Control*, int> wheelRest_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Control base
// ---------------------------------------------------------------------------------------------

Control::Control(FormWindow& window, const ControlDef& def) : window_(window), def_(def) {}

Control::~Control() { InputWatcher::instance().forget(this); }

bool Control::raise(int event, const EventArgs& args) const {
    return deliver(window_.windowName(), def_.name, event, args);
}

bool Control::hasBinding(int event) const {
    for (const EventBinding& b : def_.events)
        if (b.handler && b.event == event) return true;
    return false;
}

void Control::watch(QObject* object, unsigned mask) {
    InputWatcher::instance().watch(object, this, mask);
    if ((mask & kMouseInput) && hasBinding(event::kMouseMove))
        if (auto* w = qobject_cast<QWidget*>(object)) w->setMouseTracking(true);
}

void Control::placeWidget(QWidget* w) {
    w->setObjectName(qs(def_.name));
    w->setGeometry(def_.left, def_.top, def_.width, def_.height);
    if (def_.hidden) w->hide();
    if (def_.disabled) w->setEnabled(false);
    QPalette p = w->palette();
    if (def_.textColour != kNoColour) {
        const QColor c = QColor::fromRgb(def_.textColour);
        p.setColor(QPalette::WindowText, c);
        p.setColor(QPalette::Text, c);
        p.setColor(QPalette::ButtonText, c);
    }
    if (def_.backColour != kNoColour) {
        const QColor c = QColor::fromRgb(def_.backColour);
        p.setColor(QPalette::Base, c);
        p.setColor(QPalette::Window, c);
    }
    w->setPalette(p);
    watch(w, kAllInput);
}

bool Control::set(std::string_view property, const Value& value) {
    QWidget* w = widget();
    if (!w) return false;
    int64_t n = 0;
    bool b = false;
    if (property == "visible" && valueToBool(value, b)) {
        w->setVisible(b);
        return true;
    }
    if (property == "enabled" && valueToBool(value, b)) {
        w->setEnabled(b);
        return true;
    }
    if (!valueToInt(value, n)) return false;
    QRect g = w->geometry();
    if (property == "left") g.moveLeft(int(n));
    else if (property == "top") g.moveTop(int(n));
    else if (property == "width") g.setWidth(int(std::max<int64_t>(0, n)));
    else if (property == "height") g.setHeight(int(std::max<int64_t>(0, n)));
    else return false;
    w->setGeometry(g);
    return true;
}

Value Control::get(std::string_view property) const {
    QWidget* w = widget();
    if (!w) return {};
    if (property == "left") return int64_t(w->x());
    if (property == "top") return int64_t(w->y());
    if (property == "width") return int64_t(w->width());
    if (property == "height") return int64_t(w->height());
    if (property == "visible") return !w->isHidden();
    if (property == "enabled") return !w->testAttribute(Qt::WA_ForceDisabled);
    return {};
}

// ---------------------------------------------------------------------------------------------
// Kinds
// ---------------------------------------------------------------------------------------------

namespace {

QStringList splitLines(const char* text) {
    if (!text || !*text) return {};
    return qs(text).split(QLatin1Char('\n'));
}

// A control whose screen presence is one widget (with possible parts).
class WidgetControl : public Control {
public:
    using Control::Control;
    QWidget* widget() const override { return widget_; }

protected:
    void adopt(QWidget* w) {
        widget_ = w;
        placeWidget(w);
    }

private:
    QPointer<QWidget> widget_;
};

// Tab control: a strip of tabs down one edge; the pages cover the whole control so that page
// children keep their design positions beside the strip. Only the current page shows.
class TabControlWidget : public QWidget {
public:
    static constexpr int kStrip = 24;

    TabControlWidget(QWidget* parent, TabSide side) : QWidget(parent), side_(side) {
        frame_ = new QFrame(this);
        frame_->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
        bar_ = new QTabBar(this);
        bar_->setShape(side == TabSide::Left ? QTabBar::RoundedWest : QTabBar::RoundedEast);
        bar_->setDrawBase(false);
        bar_->setExpanding(false);
        bar_->setObjectName(QStringLiteral("tabs"));
        // A click on a tab takes the keyboard focus, so the control that had it sees it go
        // (the diary box rebuilds the week view then, before the week page shows).
        bar_->setFocusPolicy(Qt::StrongFocus);
    }
    QTabBar* bar() const { return bar_; }
    QWidget* page(int i) const { return i >= 0 && i < pages_.size() ? pages_[i] : nullptr; }
    int pageCount() const { return int(pages_.size()); }
    void addPage(const QString& caption, const QString& hint) {
        auto* p = new QWidget(this);
        p->setObjectName(QStringLiteral("page%1").arg(pages_.size()));
        pages_.push_back(p);
        const int i = bar_->addTab(caption);
        if (!hint.isEmpty()) bar_->setTabToolTip(i, hint);
        showPage(bar_->currentIndex());
        layoutParts();
    }
    void showPage(int current) {
        for (int i = 0; i < pages_.size(); ++i) pages_[i]->setVisible(i == current);
        bar_->raise();
    }

protected:
    void resizeEvent(QResizeEvent*) override { layoutParts(); }

private:
    void layoutParts() {
        const int w = width(), h = height();
        const int barHeight = std::min(h, bar_->sizeHint().height());
        const int barX = side_ == TabSide::Left ? 0 : w - kStrip;
        bar_->setGeometry(barX, 0, kStrip, barHeight);
        frame_->setGeometry(side_ == TabSide::Left ? kStrip - 1 : 0, 0, w - kStrip + 1, h);
        for (QWidget* p : pages_) p->setGeometry(0, 0, w, h);
        frame_->lower();
        bar_->raise();
    }

    TabSide side_;
    QTabBar* bar_ = nullptr;
    QFrame* frame_ = nullptr;
    QList<QWidget*> pages_;
};

class TabControl : public WidgetControl {
public:
    TabControl(FormWindow& win, const ControlDef& def, QWidget* parent) : WidgetControl(win, def) {
        tabs_ = new TabControlWidget(parent, def.tabSide);
        const QStringList captions = splitLines(def.text);
        const QStringList hints = splitLines(def.items);
        for (int i = 0; i < captions.size(); ++i)
            tabs_->addPage(captions[i], i < hints.size() ? hints[i] : QString());
        adopt(tabs_);
        watch(tabs_->bar(), kAllInput);
        QObject::connect(tabs_->bar(), &QTabBar::currentChanged, tabs_, [this](int i) {
            tabs_->showPage(i);
            raise(event::kChanged);
        });
    }
    QWidget* childParent(int page) const override { return tabs_->page(page); }
    bool set(std::string_view p, const Value& v) override {
        int64_t n = 0;
        if (p == "page") {
            if (!valueToInt(v, n) || n < 0 || n >= tabs_->pageCount()) return false;
            tabs_->bar()->setCurrentIndex(int(n));  // page-changed runs nested when it differs
            return true;
        }
        return WidgetControl::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "page") return int64_t(tabs_->bar()->currentIndex());
        return WidgetControl::get(p);
    }

private:
    TabControlWidget* tabs_;
};

// The forms put a group box's first control 11 to 14 pixels below its top, under a caption
// sized for a 12-pixel font; this font's line is taller, so its caption is drawn higher up,
// where the controls leave it whole.
class GroupCaptionStyle : public QProxyStyle {
public:
    static constexpr int kRaise = 3;
    QRect subControlRect(ComplexControl cc, const QStyleOptionComplex* option, SubControl sc,
                         const QWidget* widget) const override {
        QRect r = QProxyStyle::subControlRect(cc, option, sc, widget);
        if (cc == CC_GroupBox && sc == SC_GroupBoxLabel) r.translate(0, -kRaise);
        return r;
    }
    static GroupCaptionStyle* instance() {
        static QPointer<GroupCaptionStyle> style;
        if (!style) {
            style = new GroupCaptionStyle;
            style->setParent(qApp);
        }
        return style;
    }
};

class GroupBox : public WidgetControl {
public:
    GroupBox(FormWindow& win, const ControlDef& def, QWidget* parent) : WidgetControl(win, def) {
        box_ = new QGroupBox(qs(def.text), parent);
        box_->setStyle(GroupCaptionStyle::instance());
        adopt(box_);
    }
    QWidget* childParent(int) const override { return box_; }
    bool set(std::string_view p, const Value& v) override {
        if (p == "caption" || p == "text") {
            box_->setTitle(qs(valueToText(v)));
            return true;
        }
        return WidgetControl::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "caption" || p == "text") return ss(box_->title());
        return WidgetControl::get(p);
    }

private:
    QGroupBox* box_;
};

class Label : public WidgetControl {
public:
    Label(FormWindow& win, const ControlDef& def, QWidget* parent) : WidgetControl(win, def) {
        label_ = new QLabel(qs(def.text), parent);
        label_->setTextFormat(Qt::PlainText);
        label_->setWordWrap(true);
        label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label_->setAutoFillBackground(!def.transparent && def.backColour != kNoColour);
        adopt(label_);
    }
    bool set(std::string_view p, const Value& v) override {
        if (p == "caption" || p == "text") {
            label_->setText(qs(valueToText(v)));
            return true;
        }
        return WidgetControl::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "caption" || p == "text") return ss(label_->text());
        return WidgetControl::get(p);
    }

private:
    QLabel* label_;
};

class Hyperlink : public WidgetControl {
public:
    Hyperlink(FormWindow& win, const ControlDef& def, QWidget* parent)
        : WidgetControl(win, def), caption_(qs(def.text)), target_(qs(def.target)) {
        label_ = new QLabel(parent);
        label_->setTextFormat(Qt::RichText);
        label_->setOpenExternalLinks(true);
        label_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        label_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        render();
        adopt(label_);
    }
    bool set(std::string_view p, const Value& v) override {
        if (p == "caption" || p == "text") caption_ = qs(valueToText(v));
        else if (p == "target") target_ = qs(valueToText(v));
        else return WidgetControl::set(p, v);
        render();
        return true;
    }
    Value get(std::string_view p) const override {
        if (p == "caption" || p == "text") return ss(caption_);
        if (p == "target") return ss(target_);
        return WidgetControl::get(p);
    }

private:
    void render() {
        label_->setText(QStringLiteral("<a href=\"%1\">%2</a>")
                            .arg(target_.toHtmlEscaped(), caption_.toHtmlEscaped()));
    }
    QLabel* label_;
    QString caption_, target_;
};

// Only "-" and digits (when asked) and at most maxBytes GB18030 bytes can be typed. Program
// writes bypass it, as they bypass the limits of the system's edit boxes.
class EntryValidator : public QValidator {
public:
    EntryValidator(int maxBytes, bool digits, QObject* parent)
        : QValidator(parent), maxBytes_(maxBytes), digits_(digits) {}
    State validate(QString& input, int&) const override {
        if (digits_)
            for (QChar c : input)
                if (c != QLatin1Char('-') && (c < QLatin1Char('0') || c > QLatin1Char('9'))) return Invalid;
        if (maxBytes_ > 0 && getTextLength(ss(input)) > maxBytes_) return Invalid;
        return Acceptable;
    }

private:
    int maxBytes_;
    bool digits_;
};

// The up-down arrows beside an edit box: each press steps the number in the box by one within
// the range and writes it as the program would (content-changed runs once).
class UpDownArrows : public QWidget {
public:
    UpDownArrows(QWidget* parent, std::function<void(int)> step) : QWidget(parent) {
        up_ = new QToolButton(this);
        down_ = new QToolButton(this);
        up_->setArrowType(Qt::UpArrow);
        down_->setArrowType(Qt::DownArrow);
        up_->setObjectName(QStringLiteral("up"));
        down_->setObjectName(QStringLiteral("down"));
        for (QToolButton* b : {up_, down_}) {
            b->setAutoRepeat(true);
            b->setFocusPolicy(Qt::NoFocus);
        }
        QObject::connect(up_, &QToolButton::clicked, this, [step] { step(+1); });
        QObject::connect(down_, &QToolButton::clicked, this, [step] { step(-1); });
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        const int h = height() / 2;
        up_->setGeometry(0, 0, width(), h);
        down_->setGeometry(0, h, width(), height() - h);
    }

private:
    QToolButton* up_;
    QToolButton* down_;
};

class EditBox : public WidgetControl {
public:
    static constexpr int kNarrowBoxWidth = 30;

    EditBox(FormWindow& win, const ControlDef& def, QWidget* parent) : WidgetControl(win, def) {
        const bool digits = def.entry == Entry::DigitsAndMinus;
        if (def.multiLine) {
            plain_ = new QPlainTextEdit(parent);
            plain_->setPlainText(qs(def.text));
            plain_->setVerticalScrollBarPolicy(def.verticalScrollBar ? Qt::ScrollBarAlwaysOn
                                                                     : Qt::ScrollBarAlwaysOff);
            plain_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            plain_->setReadOnly(def.entry == Entry::ReadOnly);
            plain_->setTabChangesFocus(true);
            last_ = plain_->toPlainText();
            QObject::connect(plain_, &QPlainTextEdit::textChanged, plain_, [this] { userChangedPlain(); });
            adopt(plain_);
            watch(plain_->viewport(), kMouseInput | kWheelInput);
        } else {
            line_ = new QLineEdit(qs(def.text), parent);
            line_->setReadOnly(def.entry == Entry::ReadOnly);
            line_->setAlignment(def.align == Align::Centre ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
            line_->setCursorPosition(0);
            // The forms' number boxes (15 to 25 pixels) were sized for an edit box that keeps a
            // pixel beside its text; QLineEdit keeps two more inside its frame on either side,
            // which leaves a two-digit number one digit. A narrow box gives them back.
            if (def.width < kNarrowBoxWidth) line_->setTextMargins(-2, 0, -2, 0);
            if (digits || def.maxBytes > 0) line_->setValidator(new EntryValidator(def.maxBytes, digits, line_));
            QObject::connect(line_, &QLineEdit::textEdited, line_, [this] {
                if (!programWriting()) raise(event::kChanged);
            });
            adopt(line_);
        }
        if (def.upDown) {
            arrows_ = new UpDownArrows(parent, [this](int d) { step(d); });
            arrows_->setObjectName(qs(def.name) + QStringLiteral("_updown"));
            arrows_->setGeometry(def.left + def.width, def.top, 16, def.height);
            if (def.hidden) arrows_->hide();
            if (def.disabled) arrows_->setEnabled(false);
        }
    }
    ~EditBox() override { delete arrows_; }

    bool set(std::string_view p, const Value& v) override {
        int64_t n = 0;
        bool b = false;
        if (p == "text" || p == "caption") {
            writeText(qs(valueToText(v)));
            return true;
        }
        if (p == "selectionStart" && valueToInt(v, n)) {
            const std::string t = text();
            const int i = gbkOffsetToUtf16Index(t, int(std::max<int64_t>(0, n)));
            if (line_) line_->setCursorPosition(i);
            else setPlainSelection(i, i);
            return true;
        }
        if (p == "selectionLength" && valueToInt(v, n)) {
            const std::string t = text();
            const int start = selectionStart16();
            const int startBytes = utf16IndexToGbkOffset(t, start);
            const int end = gbkOffsetToUtf16Index(t, startBytes + int(std::max<int64_t>(0, n)));
            if (line_) line_->setSelection(start, end - start);
            else setPlainSelection(start, end);
            return true;
        }
        if (p == "readOnly" && valueToBool(v, b)) {
            if (line_) line_->setReadOnly(b);
            else plain_->setReadOnly(b);
            return true;
        }
        if ((p == "visible" || p == "enabled") && arrows_) {
            if (!WidgetControl::set(p, v) || !valueToBool(v, b)) return false;
            if (p == "visible") arrows_->setVisible(b);
            else arrows_->setEnabled(b);
            return true;
        }
        return WidgetControl::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "text" || p == "caption") return text();
        if (p == "selectionStart") return int64_t(utf16IndexToGbkOffset(text(), selectionStart16()));
        if (p == "selectionLength") {
            const std::string t = text();
            const int s = selectionStart16();
            const int e = selectionEnd16();
            return int64_t(utf16IndexToGbkOffset(t, e) - utf16IndexToGbkOffset(t, s));
        }
        if (p == "readOnly") return line_ ? line_->isReadOnly() : plain_->isReadOnly();
        return WidgetControl::get(p);
    }

private:
    std::string text() const { return ss(line_ ? line_->text() : plain_->toPlainText()); }

    // A program write: the text changes unchecked and content-changed runs once, nested, even
    // when the text stays the same.
    void writeText(const QString& t) {
        {
            ProgramWriteScope scope;
            QSignalBlocker block(widget());
            if (line_) {
                line_->setText(t);
                line_->setCursorPosition(0);
            } else {
                plain_->setPlainText(t);
                last_ = plain_->toPlainText();
            }
        }
        raise(event::kChanged);
    }

    void userChangedPlain() {
        if (programWriting()) return;
        const QString now = plain_->toPlainText();
        if (def().maxBytes > 0 && getTextLength(ss(now)) > def().maxBytes) {
            // The user's edit replaced the middle of the old text, between a start and an end
            // that both texts share. Of what it put there, keep as much as fits, as the system's
            // edit boxes do with a paste; a keystroke beyond the limit is thus refused whole, and
            // deleting from a longer text that the program wrote is still possible.
            const qsizetype common = std::min(now.size(), last_.size());
            qsizetype prefix = 0;
            while (prefix < common && now[prefix] == last_[prefix]) ++prefix;
            if (prefix > 0 && now[prefix - 1].isHighSurrogate()) --prefix;
            qsizetype suffix = 0;
            while (suffix < common - prefix && now[now.size() - 1 - suffix] == last_[last_.size() - 1 - suffix])
                ++suffix;
            if (suffix > 0 && now[now.size() - suffix].isLowSurrogate()) --suffix;
            const QString start = last_.left(prefix), end = last_.right(suffix);
            const QString inserted = now.mid(prefix, now.size() - prefix - suffix);
            const int room = std::max(0, def().maxBytes - getTextLength(ss(start + end)));
            const QString fits = qs(getLeftText(ss(inserted), room));
            const QString next = start + fits + end;
            {
                ProgramWriteScope scope;
                QSignalBlocker block(plain_);
                plain_->setPlainText(next);
                setPlainSelection(int(start.size() + fits.size()), int(start.size() + fits.size()));
            }
            if (next == last_) return;
            last_ = next;
            raise(event::kChanged);
            return;
        }
        last_ = now;
        raise(event::kChanged);
    }

    void step(int delta) {
        const int now = toInteger(text());
        const int next = std::clamp(now + delta, def().upDownMin, def().upDownMax);
        if (next == now && text() == toText(now)) return;
        writeText(qs(toText(next)));
    }

    int selectionStart16() const {
        if (line_) return line_->hasSelectedText() ? line_->selectionStart() : line_->cursorPosition();
        return plain_->textCursor().selectionStart();
    }
    int selectionEnd16() const {
        if (line_) return line_->hasSelectedText() ? line_->selectionEnd() : line_->cursorPosition();
        return plain_->textCursor().selectionEnd();
    }
    void setPlainSelection(int start, int end) {
        QTextCursor c = plain_->textCursor();
        const int size = int(plain_->toPlainText().size());
        c.setPosition(std::clamp(start, 0, size));
        c.setPosition(std::clamp(end, 0, size), QTextCursor::KeepAnchor);
        plain_->setTextCursor(c);
    }

    QLineEdit* line_ = nullptr;
    QPlainTextEdit* plain_ = nullptr;
    QPointer<UpDownArrows> arrows_;
    QString last_;
};

class Button : public WidgetControl {
public:
    Button(FormWindow& win, const ControlDef& def, QWidget* parent) : WidgetControl(win, def) {
        if (def.kind == ControlKind::CheckBox) button_ = new QCheckBox(qs(def.text), parent);
        else if (def.kind == ControlKind::RadioButton) button_ = new QRadioButton(qs(def.text), parent);
        else button_ = new QPushButton(qs(def.text), parent);
        // clicked comes from the user (or a click), never from a program's check write.
        QObject::connect(button_, &QAbstractButton::clicked, button_, [this] {
            if (!programWriting()) raise(event::kClicked);
        });
        adopt(button_);
    }
    bool set(std::string_view p, const Value& v) override {
        bool b = false;
        if (p == "caption" || p == "text") {
            button_->setText(qs(valueToText(v)));
            return true;
        }
        if (p == "checked" && valueToBool(v, b) && button_->isCheckable()) {
            ProgramWriteScope scope;
            // An exclusive radio button refuses to be unchecked by itself; the program may.
            const bool exclusive = button_->autoExclusive();
            if (!b && exclusive) button_->setAutoExclusive(false);
            button_->setChecked(b);
            if (!b && exclusive) button_->setAutoExclusive(true);
            return true;
        }
        return WidgetControl::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "caption" || p == "text") return ss(button_->text());
        if (p == "checked") return button_->isChecked();
        return WidgetControl::get(p);
    }

private:
    QAbstractButton* button_;
};

// A list whose press on the line already selected is reported too: the selection does not
// change then, yet the user chose that line again (a result line followed a second time).
class ReselectableList : public QListWidget {
public:
    using QListWidget::QListWidget;
    std::function<void()> onReselected;

protected:
    void mousePressEvent(QMouseEvent* e) override {
        QListWidgetItem* before = currentItem();
        const bool wasSelected = before && before->isSelected();
        QListWidget::mousePressEvent(e);
        if (wasSelected && e->button() == Qt::LeftButton && itemAt(e->position().toPoint()) == before &&
            before->isSelected() && onReselected)
            onReselected();
    }
};

// List box and check-list box: 0-based items, each with an integer, unsorted, one selection.
// The forms' list boxes are about 100 pixels wide and hold whole dates ("2015年12月31日"); the
// platform's scroll bar and item margins would leave them too little room, so a list box's lines
// keep one pixel beside them and its scroll bar is a little narrower.
class NarrowListStyle : public QProxyStyle {
public:
    static constexpr int kScrollBarWidth = 10;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_ScrollBarExtent) return kScrollBarWidth;
        if (metric == PM_FocusFrameHMargin) return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
    static NarrowListStyle* instance() {
        static QPointer<NarrowListStyle> style;
        if (!style) {
            style = new NarrowListStyle;
            style->setParent(qApp);
        }
        return style;
    }
};

class ListBox : public WidgetControl {
public:
    ListBox(FormWindow& win, const ControlDef& def, QWidget* parent) : WidgetControl(win, def) {
        auto* list = new ReselectableList(parent);
        list->onReselected = [this] {
            if (!programWriting() && !checkable_) raise(event::kChanged);
        };
        list_ = list;
        list_->setStyle(NarrowListStyle::instance());
        list_->verticalScrollBar()->setStyle(NarrowListStyle::instance());
        list_->setSelectionMode(QAbstractItemView::SingleSelection);
        list_->setSortingEnabled(false);
        list_->setUniformItemSizes(true);
        list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        checkable_ = def.kind == ControlKind::CheckListBox;
        for (const QString& t : splitLines(def.items)) addItem(ss(t), 0);
        QObject::connect(list_, &QListWidget::itemSelectionChanged, list_, [this] {
            if (!programWriting()) raise(event::kChanged);
        });
        QObject::connect(list_, &QListWidget::itemDoubleClicked, list_, [this](QListWidgetItem* item) {
            if (!programWriting()) raise(event::kItemDoubleClick, EventArgs{list_->row(item), 0, 0});
        });
        adopt(list_);
        watch(list_->viewport(), kMouseInput | kWheelInput);
    }
    bool set(std::string_view p, const Value& v) override {
        int64_t n = 0;
        if ((p == "selection" || p == "currentItem") && valueToInt(v, n)) {
            ProgramWriteScope scope;
            if (n < 0 || n >= list_->count()) {
                list_->clearSelection();
                list_->setCurrentRow(-1);
            } else {
                list_->setCurrentRow(int(n));
            }
            return true;
        }
        return WidgetControl::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "selection" || p == "currentItem") {
            QListWidgetItem* cur = list_->currentItem();
            if (!cur || (!checkable_ && !cur->isSelected())) return int64_t(-1);
            return int64_t(list_->row(cur));
        }
        if (p == "text") {
            QListWidgetItem* cur = list_->currentItem();
            return cur ? ss(cur->text()) : std::string();
        }
        return WidgetControl::get(p);
    }
    bool isList() const override { return true; }
    int itemCount() const override { return list_->count(); }
    std::string itemText(int i) const override {
        QListWidgetItem* it = list_->item(i);
        return it ? ss(it->text()) : std::string();
    }
    void setItemText(int i, std::string_view t) override {
        if (QListWidgetItem* it = list_->item(i)) it->setText(qs(t));
    }
    int64_t itemData(int i) const override {
        QListWidgetItem* it = list_->item(i);
        return it ? it->data(Qt::UserRole).toLongLong() : -1;
    }
    int addItem(std::string_view t, int64_t data) override {
        auto* it = new QListWidgetItem(qs(t));
        it->setData(Qt::UserRole, qlonglong(data));
        if (checkable_) {
            it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
            it->setCheckState(Qt::Unchecked);
        }
        ProgramWriteScope scope;
        list_->addItem(it);
        return list_->count() - 1;
    }
    void clearItems() override {
        ProgramWriteScope scope;
        list_->clear();
    }
    bool itemChecked(int i) const override {
        QListWidgetItem* it = list_->item(i);
        return it && checkable_ && it->checkState() == Qt::Checked;
    }

private:
    QListWidget* list_;
    bool checkable_ = false;
};

// Drop-down whose text can also be typed; typing never adds items.
class ComboBox : public WidgetControl {
public:
    ComboBox(FormWindow& win, const ControlDef& def, QWidget* parent) : WidgetControl(win, def) {
        combo_ = new QComboBox(parent);
        combo_->setEditable(true);
        combo_->setInsertPolicy(QComboBox::NoInsert);
        for (const QString& t : splitLines(def.items)) combo_->addItem(t, qlonglong(0));
        combo_->setCurrentIndex(-1);
        combo_->setEditText(qs(def.text));
        QObject::connect(combo_, &QComboBox::activated, combo_, [this] {
            if (!programWriting()) raise(event::kChanged);
        });
        adopt(combo_);
        if (QLineEdit* edit = combo_->lineEdit()) {
            // The unit boxes are 35 pixels wide: beside the style's arrow their edit field has
            // room for one character only if the line edit's own side margins go (and the text
            // cursor after that character may stand on the field's last pixel).
            edit->setTextMargins(-2, 0, -3, 0);
            watch(edit, kAllInput);
        }
    }
    bool set(std::string_view p, const Value& v) override {
        int64_t n = 0;
        if (p == "text" || p == "caption") {
            ProgramWriteScope scope;
            combo_->setEditText(qs(valueToText(v)));
            return true;
        }
        if (p == "selection" && valueToInt(v, n)) {
            ProgramWriteScope scope;
            combo_->setCurrentIndex(n < 0 || n >= combo_->count() ? -1 : int(n));
            return true;
        }
        return WidgetControl::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "text" || p == "caption") return ss(combo_->currentText());
        if (p == "selection") return int64_t(combo_->currentIndex());
        return WidgetControl::get(p);
    }
    bool isList() const override { return true; }
    int itemCount() const override { return combo_->count(); }
    std::string itemText(int i) const override {
        return i >= 0 && i < combo_->count() ? ss(combo_->itemText(i)) : std::string();
    }
    void setItemText(int i, std::string_view t) override {
        if (i >= 0 && i < combo_->count()) combo_->setItemText(i, qs(t));
    }
    int64_t itemData(int i) const override {
        return i >= 0 && i < combo_->count() ? combo_->itemData(i).toLongLong() : -1;
    }
    int addItem(std::string_view t, int64_t data) override {
        ProgramWriteScope scope;
        const QString keep = combo_->currentText();
        const int index = combo_->currentIndex();
        combo_->addItem(qs(t), qlonglong(data));
        if (index < 0) {
            combo_->setCurrentIndex(-1);
            combo_->setEditText(keep);
        }
        return combo_->count() - 1;
    }
    void clearItems() override {
        ProgramWriteScope scope;
        combo_->clear();
    }

private:
    QComboBox* combo_;
};

class ProgressBar : public WidgetControl {
public:
    ProgressBar(FormWindow& win, const ControlDef& def, QWidget* parent) : WidgetControl(win, def) {
        bar_ = new QProgressBar(parent);
        bar_->setRange(0, 100);
        bar_->setValue(0);
        bar_->setTextVisible(false);
        adopt(bar_);
    }
    bool set(std::string_view p, const Value& v) override {
        int64_t n = 0;
        if (p == "position" && valueToInt(v, n)) {
            bar_->setValue(int(std::clamp<int64_t>(n, bar_->minimum(), bar_->maximum())));
            return true;
        }
        if (p == "minimum" && valueToInt(v, n)) {
            bar_->setMinimum(int(n));
            return true;
        }
        if (p == "maximum" && valueToInt(v, n)) {
            bar_->setMaximum(int(n));
            return true;
        }
        return WidgetControl::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "position") return int64_t(bar_->value());
        if (p == "minimum") return int64_t(bar_->minimum());
        if (p == "maximum") return int64_t(bar_->maximum());
        return WidgetControl::get(p);
    }

private:
    QProgressBar* bar_;
};

// A component: no screen presence, only named settings that later code reads.
class Component : public Control {
public:
    Component(FormWindow& win, const ControlDef& def) : Control(win, def), object_(new QObject(&win)) {
        object_->setObjectName(qs(def.name));
        switch (def.kind) {
            case ControlKind::CommonDialog:
                props_["title"] = std::string(def.dialogTitle);
                props_["filter"] = std::string(def.target);
                props_["folder"] = std::string(def.dialogFolder);
                props_["mustExist"] = def.mustExist;
                props_["fileName"] = std::string();
                break;
            case ControlKind::TableProvider:
                props_["file"] = std::string(def.target);
                props_["password"] = std::string();
                break;
            case ControlKind::DataSource:
                props_["provider"] = std::string(def.target);
                props_["readOnly"] = def.readOnlyData;
                break;
            case ControlKind::MenuComponent:
                props_["font"] = std::string(def.target);
                break;
            default:
                break;
        }
    }
    ~Component() override { delete object_; }
    QObject* object() const override { return object_; }
    bool set(std::string_view p, const Value& v) override {
        if (def().kind == ControlKind::CommonDialog && p == "text") p = "fileName";
        props_[std::string(p)] = v;
        if ((def().kind == ControlKind::TableProvider && p == "file") ||
            (def().kind == ControlKind::DataSource && (p == "provider" || p == "readOnly")))
            rebindTableViews(window());
        return true;
    }
    Value get(std::string_view p) const override {
        if (def().kind == ControlKind::CommonDialog && p == "text") p = "fileName";
        auto it = props_.find(p);
        return it == props_.end() ? Value{} : it->second;
    }

private:
    QPointer<QObject> object_;
    std::map<std::string, Value, std::less<>> props_;
};

}  // namespace

std::unique_ptr<Control> createControl(FormWindow& window, const ControlDef& def, QWidget* parent) {
    switch (def.kind) {
        case ControlKind::TabControl: return std::make_unique<TabControl>(window, def, parent);
        case ControlKind::GroupBox: return std::make_unique<GroupBox>(window, def, parent);
        case ControlKind::Label: return std::make_unique<Label>(window, def, parent);
        case ControlKind::EditBox: return std::make_unique<EditBox>(window, def, parent);
        case ControlKind::Button:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton: return std::make_unique<Button>(window, def, parent);
        case ControlKind::ListBox:
        case ControlKind::CheckListBox: return std::make_unique<ListBox>(window, def, parent);
        case ControlKind::ComboBox: return std::make_unique<ComboBox>(window, def, parent);
        case ControlKind::ProgressBar: return std::make_unique<ProgressBar>(window, def, parent);
        case ControlKind::Hyperlink: return std::make_unique<Hyperlink>(window, def, parent);
        case ControlKind::PictureBox: return createPictureBox(window, def, parent);
        case ControlKind::MonthCalendar: return createMonthCalendar(window, def, parent);
        case ControlKind::WeekGrid: return createWeekGrid(window, def, parent);
        case ControlKind::DbTableView: return createDbTableView(window, def, parent);
        case ControlKind::CommonDialog:
        case ControlKind::MenuComponent:
        case ControlKind::TableProvider:
        case ControlKind::DataSource:
        case ControlKind::SpreadsheetApp:
        case ControlKind::SpreadsheetWorkbook:
        case ControlKind::ExternalDatabase: return std::make_unique<Component>(window, def);
    }
    return std::make_unique<Component>(window, def);
}

}  // namespace runtime::ui::detail
