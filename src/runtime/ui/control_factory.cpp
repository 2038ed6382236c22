// The one place that knows every control kind: a definition's kind picks the family that builds it.
#include "runtime/ui/control_kinds.h"

namespace runtime::ui::detail {

std::unique_ptr<Control> createControl(FormWindow& window, const ControlDef& def, QWidget* parent) {
    switch (def.kind) {
        case ControlKind::TabControl: return createTabControl(window, def, parent);
        case ControlKind::GroupBox: return createGroupBox(window, def, parent);
        case ControlKind::Label: return createLabel(window, def, parent);
        case ControlKind::Hyperlink: return createHyperlink(window, def, parent);
        case ControlKind::ProgressBar: return createProgressBar(window, def, parent);
        case ControlKind::EditBox: return createEditBox(window, def, parent);
        case ControlKind::Button:
        case ControlKind::CheckBox:
        case ControlKind::RadioButton: return createButton(window, def, parent);
        case ControlKind::ListBox:
        case ControlKind::CheckListBox: return createListBox(window, def, parent);
        case ControlKind::ComboBox: return createComboBox(window, def, parent);
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
        case ControlKind::ExternalDatabase: return createComponent(window, def);
    }
    return createComponent(window, def);
}

}  // namespace runtime::ui::detail
