// The control kinds, one family per file, as the factory (control_factory.cpp) builds them:
// containers (container_controls.cpp), controls that only show (display_controls.cpp), the edit
// box (edit_box.cpp), controls the user chooses with (choice_controls.cpp), components
// (components.cpp) and the kinds whose widgets come from the widgets library (rich_controls.cpp).
// Each family builds on the control base alone; only the factory knows them all.
#pragma once

#include <QPointer>
#include <QStringList>
#include <memory>

#include "runtime/ui/ui_internal.h"

namespace runtime::ui::detail {

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

// The lines of a definition's text (tab captions, list items); none for an empty text.
inline QStringList splitLines(const char* text) {
    if (!text || !*text) return {};
    return qs(text).split(QLatin1Char('\n'));
}

// Each builds the control of `def` with its widget under `parent`.
std::unique_ptr<Control> createTabControl(FormWindow& window, const ControlDef& def, QWidget* parent);
std::unique_ptr<Control> createGroupBox(FormWindow& window, const ControlDef& def, QWidget* parent);
std::unique_ptr<Control> createLabel(FormWindow& window, const ControlDef& def, QWidget* parent);
std::unique_ptr<Control> createHyperlink(FormWindow& window, const ControlDef& def, QWidget* parent);
std::unique_ptr<Control> createProgressBar(FormWindow& window, const ControlDef& def, QWidget* parent);
std::unique_ptr<Control> createEditBox(FormWindow& window, const ControlDef& def, QWidget* parent);
// Push buttons, check boxes and radio buttons.
std::unique_ptr<Control> createButton(FormWindow& window, const ControlDef& def, QWidget* parent);
// List boxes and check-list boxes.
std::unique_ptr<Control> createListBox(FormWindow& window, const ControlDef& def, QWidget* parent);
std::unique_ptr<Control> createComboBox(FormWindow& window, const ControlDef& def, QWidget* parent);
std::unique_ptr<Control> createPictureBox(FormWindow& window, const ControlDef& def, QWidget* parent);
std::unique_ptr<Control> createMonthCalendar(FormWindow& window, const ControlDef& def, QWidget* parent);
std::unique_ptr<Control> createWeekGrid(FormWindow& window, const ControlDef& def, QWidget* parent);
std::unique_ptr<Control> createDbTableView(FormWindow& window, const ControlDef& def, QWidget* parent);
// Every kind without a screen presence.
std::unique_ptr<Control> createComponent(FormWindow& window, const ControlDef& def);

}  // namespace runtime::ui::detail
