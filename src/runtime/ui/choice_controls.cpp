// The controls the user chooses with: buttons (push, check, radio), list boxes (plain and with
// check marks) and the combo box.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <functional>

#include "runtime/ui/control_kinds.h"

namespace runtime::ui::detail {

namespace {

class Button : public WidgetControl {
public:
    Button(FormWindow& win, const ControlDef& def, QWidget* parent) : WidgetControl(win, def) {
        if (def.kind == ControlKind::CheckBox)
            button_ = new QCheckBox(qs(def.text), parent);
        else if (def.kind == ControlKind::RadioButton)
            button_ = new QRadioButton(qs(def.text), parent);
        else
            button_ = new QPushButton(qs(def.text), parent);
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
// keep two pixels beside them (one clear of the frame is not enough: the text seems to touch it)
// and its scroll bar is a little narrower.
class NarrowListStyle : public QProxyStyle {
public:
    static constexpr int kScrollBarWidth = 10;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_ScrollBarExtent) return kScrollBarWidth;
        if (metric == PM_FocusFrameHMargin) return 1;  // the item's text margin is one more
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

}  // namespace

std::unique_ptr<Control> createButton(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<Button>(window, def, parent);
}

std::unique_ptr<Control> createListBox(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<ListBox>(window, def, parent);
}

std::unique_ptr<Control> createComboBox(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<ComboBox>(window, def, parent);
}

}  // namespace runtime::ui::detail
