// The controls that only show: the label, the hyperlink and the progress bar.
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "runtime/ui/control_kinds.h"

namespace runtime::ui::detail {

namespace {

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
        if (p == "caption" || p == "text")
            caption_ = qs(valueToText(v));
        else if (p == "target")
            target_ = qs(valueToText(v));
        else
            return WidgetControl::set(p, v);
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
        label_->setText(
            QStringLiteral("<a href=\"%1\">%2</a>").arg(target_.toHtmlEscaped(), caption_.toHtmlEscaped()));
    }
    QLabel* label_;
    QString caption_, target_;
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

}  // namespace

std::unique_ptr<Control> createLabel(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<Label>(window, def, parent);
}

std::unique_ptr<Control> createHyperlink(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<Hyperlink>(window, def, parent);
}

std::unique_ptr<Control> createProgressBar(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<ProgressBar>(window, def, parent);
}

}  // namespace runtime::ui::detail
