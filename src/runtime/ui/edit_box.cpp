// The edit box, one line or many, with its entry limits and its optional up-down arrows.
//
// Program writes bypass the limits and raise content-changed once, nested; the user's edits are
// held to the limits and raise it when the text changed.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QToolButton>
#include <QValidator>
#include <algorithm>
#include <functional>

#include "runtime/base/number.h"
#include "runtime/base/text.h"
#include "runtime/ui/control_kinds.h"

namespace runtime::ui::detail {

namespace {

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
            line_->setAlignment(def.align == Align::Centre ? Qt::AlignCenter
                                                           : Qt::AlignLeft | Qt::AlignVCenter);
            line_->setCursorPosition(0);
            // The forms' number boxes (15 to 25 pixels) were sized for an edit box that keeps a
            // pixel beside its text; QLineEdit keeps two more inside its frame on either side,
            // which leaves a two-digit number one digit. A narrow box gives them back.
            if (def.width < kNarrowBoxWidth) line_->setTextMargins(-2, 0, -2, 0);
            if (digits || def.maxBytes > 0)
                line_->setValidator(new EntryValidator(def.maxBytes, digits, line_));
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
            if (line_)
                line_->setCursorPosition(i);
            else
                setPlainSelection(i, i);
            return true;
        }
        if (p == "selectionLength" && valueToInt(v, n)) {
            const std::string t = text();
            const int start = selectionStart16();
            const int startBytes = utf16IndexToGbkOffset(t, start);
            const int end = gbkOffsetToUtf16Index(t, startBytes + int(std::max<int64_t>(0, n)));
            if (line_)
                line_->setSelection(start, end - start);
            else
                setPlainSelection(start, end);
            return true;
        }
        if (p == "readOnly" && valueToBool(v, b)) {
            if (line_)
                line_->setReadOnly(b);
            else
                plain_->setReadOnly(b);
            return true;
        }
        if ((p == "visible" || p == "enabled") && arrows_) {
            if (!WidgetControl::set(p, v) || !valueToBool(v, b)) return false;
            if (p == "visible")
                arrows_->setVisible(b);
            else
                arrows_->setEnabled(b);
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
            while (suffix < common - prefix &&
                   now[now.size() - 1 - suffix] == last_[last_.size() - 1 - suffix])
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

}  // namespace

std::unique_ptr<Control> createEditBox(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<EditBox>(window, def, parent);
}

}  // namespace runtime::ui::detail
