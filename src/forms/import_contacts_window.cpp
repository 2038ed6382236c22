// ImportContactsWindow: picks an Excel workbook, lists its columns for ticking beside the contact
// fields, and imports the rows into the contacts store.
#include "forms/forms.h"
#include "runtime/ui/ui.h"

namespace forms {
namespace {

namespace ev = runtime::ui::event;
using runtime::ui::ControlDef;
using K = runtime::ui::ControlKind;

const ControlDef kControls[] = {
    {.name = "分组框1", .kind = K::GroupBox, .left = 8, .top = 8, .width = 195, .height = 40,
     .text = "选择execl文件："},
    {.name = "编辑框1", .kind = K::EditBox, .container = "分组框1",
     .left = 5, .top = 15, .width = 147, .height = 18},
    {.name = "按钮_选择excel文件", .kind = K::Button, .container = "分组框1",
     .left = 155, .top = 13, .width = 34, .height = 21, .text = "选择",
     .events = {{ev::kClicked, "onChooseExcelFile"}}},
    {.name = "通用对话框1", .kind = K::CommonDialog, .container = "分组框1",
     .target = "*.xls|*.xls", .mustExist = true},
    {.name = "透明标签1", .kind = K::Label, .left = 216, .top = 20, .width = 56, .height = 16,
     .text = ">>>>>>>>", .hidden = true, .transparent = true},
    {.name = "分组框5", .kind = K::GroupBox, .left = 280, .top = 8, .width = 199, .height = 40,
     .text = "联系人数据库："},
    {.name = "编辑框2", .kind = K::EditBox, .container = "分组框5",
     .left = 8, .top = 15, .width = 184, .height = 18, .text = "/data/lxr35.edb", .disabled = true},
    {.name = "分组框2", .kind = K::GroupBox, .left = 8, .top = 55, .width = 472, .height = 162},
    {.name = "选择列表框1", .kind = K::CheckListBox, .container = "分组框2",
     .left = 4, .top = 16, .width = 188, .height = 141},
    {.name = "分组框4", .kind = K::GroupBox, .container = "分组框2",
     .left = 196, .top = 12, .width = 72, .height = 144},
    {.name = "列表框1", .kind = K::ListBox, .container = "分组框2",
     .left = 272, .top = 14, .width = 195, .height = 141},
    {.name = "Excel程序1", .kind = K::SpreadsheetApp, .container = "分组框2"},
    {.name = "Excel工作簿1", .kind = K::SpreadsheetWorkbook, .container = "分组框2"},
    {.name = "分组框3", .kind = K::GroupBox, .left = 8, .top = 222, .width = 472, .height = 43},
    {.name = "进度条1", .kind = K::ProgressBar, .container = "分组框3",
     .left = 16, .top = 13, .width = 200, .height = 24},
    {.name = "按钮_开始导入联系人", .kind = K::Button, .left = 256, .top = 235, .width = 87, .height = 24,
     .text = "开始", .events = {{ev::kClicked, "onStartImport"}}},
    {.name = "按钮_退出", .kind = K::Button, .left = 371, .top = 235, .width = 87, .height = 24,
     .text = "退出", .events = {{ev::kClicked, "onImportQuit"}}},
    {.name = "标签1", .kind = K::Label, .left = 7, .top = 266, .width = 472, .height = 28,
     .text = "请在左侧点选要导入数据库的excel文件字段。注意，字段名必须与右侧完全相同，并且排列顺序也必须相同！"},
    {.name = "外部数据库1", .kind = K::ExternalDatabase},
    {.name = "通用对话框3", .kind = K::CommonDialog, .dialogFolder = "d:/", .mustExist = true},
};

}  // namespace

const runtime::ui::WindowDef kImportContactsWindow = {
    .name = "ImportContactsWindow",
    .caption = "导入联系人",
    .width = 496,
    .height = 320,
    .fontPointSize = 8,
    .events = {{ev::kCreated, "onImportWindowCreated"}, {ev::kDestroy, "onImportWindowDestroy"}},
    .controls = kControls,
};

}  // namespace forms
