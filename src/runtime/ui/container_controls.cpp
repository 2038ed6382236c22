// The containers: the tab control, whose pages hold controls beside its strip of tabs, and the
// group box.
#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QProxyStyle>
#include <QStyleOptionGroupBox>
#include <QTabBar>
#include <algorithm>

#include "runtime/ui/control_kinds.h"

namespace runtime::ui::detail {

namespace {

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
// sized for a 12-pixel font; this font's line is taller. The caption moves up until its strokes
// clear the controls below it, but never above the box's top, where they would be cut.
class GroupCaptionStyle : public QProxyStyle {
public:
    QRect subControlRect(ComplexControl cc, const QStyleOptionComplex* option, SubControl sc,
                         const QWidget* widget) const override {
        QRect r = QProxyStyle::subControlRect(cc, option, sc, widget);
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (cc != CC_GroupBox || sc != SC_GroupBoxLabel || !widget || !box || box->text.isEmpty()) return r;
        // The caption is drawn from the top of its place, on the font's baseline. Hidden controls
        // count too, so that the caption stays where it is when one is shown.
        const QFontMetrics& fm = option->fontMetrics;
        const QRect ink = fm.tightBoundingRect(box->text).translated(r.left(), r.top() + fm.ascent());
        int room = widget->height();
        for (const QObject* o : widget->children()) {
            const auto* child = qobject_cast<const QWidget*>(o);
            if (child && child->x() <= ink.right() && child->geometry().right() >= ink.left())
                room = std::min(room, child->y());
        }
        const int shift = std::max(std::min(0, room - 1 - ink.bottom()), -ink.top());
        r.translate(0, shift);
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

}  // namespace

std::unique_ptr<Control> createTabControl(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<TabControl>(window, def, parent);
}

std::unique_ptr<Control> createGroupBox(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<GroupBox>(window, def, parent);
}

}  // namespace runtime::ui::detail
