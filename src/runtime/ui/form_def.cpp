// Names of the control kinds, for messages and tests.
#include "runtime/ui/form_def.h"

namespace runtime::ui {

std::string_view controlKindName(ControlKind kind) {
    switch (kind) {
        case ControlKind::TabControl: return "tab control";
        case ControlKind::GroupBox: return "group box";
        case ControlKind::Label: return "label";
        case ControlKind::EditBox: return "edit box";
        case ControlKind::Button: return "button";
        case ControlKind::CheckBox: return "check box";
        case ControlKind::RadioButton: return "radio button";
        case ControlKind::ListBox: return "list box";
        case ControlKind::CheckListBox: return "check-list box";
        case ControlKind::ComboBox: return "combo box";
        case ControlKind::ProgressBar: return "progress bar";
        case ControlKind::Hyperlink: return "hyperlink";
        case ControlKind::PictureBox: return "picture box";
        case ControlKind::MonthCalendar: return "month calendar";
        case ControlKind::WeekGrid: return "week grid";
        case ControlKind::DbTableView: return "table view";
        case ControlKind::CommonDialog: return "common dialog";
        case ControlKind::MenuComponent: return "menu component";
        case ControlKind::TableProvider: return "table provider";
        case ControlKind::DataSource: return "data source";
        case ControlKind::SpreadsheetApp: return "spreadsheet application";
        case ControlKind::SpreadsheetWorkbook: return "spreadsheet workbook";
        case ControlKind::ExternalDatabase: return "external database";
    }
    return "unknown";
}

bool isComponentKind(ControlKind kind) { return kind >= ControlKind::CommonDialog; }

}  // namespace runtime::ui
