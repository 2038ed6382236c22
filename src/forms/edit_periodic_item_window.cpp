// EditPeriodicItemWindow: changes the period, unit and text of an existing periodic item. Same
// controls as NewPeriodicItemWindow, placed differently; its created handler fills it in.
#include "forms/forms.h"
#include "runtime/ui/ui.h"

namespace forms {
namespace {

namespace ev = runtime::ui::event;
using runtime::ui::ControlDef;
using runtime::ui::Entry;
using K = runtime::ui::ControlKind;

const ControlDef kControls[] = {
    {.name = "图片框1",
     .kind = K::PictureBox,
     .left = 0,
     .top = 0,
     .width = 260,
     .height = 56,
     .target = "periodic_banner"},
    // The period box takes from the sentence's unused end the room for a three-digit period.
    {.name = "标签说明周期事项", .kind = K::Label, .left = 4, .top = 70, .width = 190, .height = 24},
    {.name = "编辑框循环周期",
     .kind = K::EditBox,
     .left = 194,
     .top = 71,
     .width = 22,
     .height = 20,
     .entry = Entry::DigitsAndMinus},
    {.name = "组合框循环单位",
     .kind = K::ComboBox,
     .left = 216,
     .top = 71,
     .width = 35,
     .height = 20,
     .text = "年",
     .items = "年\n月\n周\n日"},
    {.name = "标签2",
     .kind = K::Label,
     .left = 7,
     .top = 102,
     .width = 136,
     .height = 24,
     .text = "的今天提醒我下述事项："},
    {.name = "标签3",
     .kind = K::Label,
     .left = 142,
     .top = 101,
     .width = 80,
     .height = 24,
     .text = "（最多50字）"},
    {.name = "编辑框提醒内容",
     .kind = K::EditBox,
     .left = 7,
     .top = 136,
     .width = 240,
     .height = 84,
     .maxBytes = 70,
     .multiLine = true},
    {.name = "按钮周期事项确定",
     .kind = K::Button,
     .left = 32,
     .top = 232,
     .width = 80,
     .height = 32,
     .text = "确定",
     .events = {{ev::kClicked, "onEditPeriodicOk"}}},
    {.name = "按钮周期事项取消",
     .kind = K::Button,
     .left = 144,
     .top = 232,
     .width = 80,
     .height = 32,
     .text = "取消",
     .events = {{ev::kClicked, "onEditPeriodicCancel"}}},
};

}  // namespace

const runtime::ui::WindowDef kEditPeriodicItemWindow = {
    .name = "EditPeriodicItemWindow",
    .caption = "修改已存在的提醒事件：",
    .width = 260,
    .height = 306,
    .visibleOnLoad = false,
    .fontPointSize = 8,
    .events = {{ev::kCreated, "onEditPeriodicWindowCreated"}},
    .controls = kControls,
};

}  // namespace forms
