// NewPeriodicItemWindow: asks for the period, its unit and the text of a new periodic item. Its
// opener loads it hidden and makes it visible.
#include "forms/forms.h"
#include "runtime/ui/ui.h"

namespace forms {
namespace {

namespace ev = runtime::ui::event;
using runtime::ui::Align;
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
    {.name = "标签1",
     .kind = K::Label,
     .left = 10,
     .top = 67,
     .width = 102,
     .height = 24,
     .text = "从今天起，请每隔"},
    {.name = "编辑框循环周期",
     .kind = K::EditBox,
     .left = 115,
     .top = 67,
     .width = 23,
     .height = 20,
     .entry = Entry::DigitsAndMinus,
     .maxBytes = 2,
     .align = Align::Centre},
    {.name = "组合框循环单位",
     .kind = K::ComboBox,
     .left = 138,
     .top = 67,
     .width = 36,
     .height = 20,
     .text = "年",
     .items = "年\n月\n周\n日"},
    {.name = "标签2",
     .kind = K::Label,
     .left = 185,
     .top = 67,
     .width = 47,
     .height = 24,
     .text = "提醒我："},
    {.name = "标签3",
     .kind = K::Label,
     .left = 166,
     .top = 90,
     .width = 80,
     .height = 24,
     .text = "（最多50字）"},
    {.name = "编辑框提醒内容",
     .kind = K::EditBox,
     .left = 7,
     .top = 120,
     .width = 240,
     .height = 100,
     .maxBytes = 70,
     .multiLine = true},
    {.name = "按钮周期事项确定",
     .kind = K::Button,
     .left = 32,
     .top = 232,
     .width = 80,
     .height = 32,
     .text = "确定",
     .events = {{ev::kClicked, "onAddPeriodicOk"}}},
    {.name = "按钮周期事项取消",
     .kind = K::Button,
     .left = 144,
     .top = 232,
     .width = 80,
     .height = 32,
     .text = "取消",
     .events = {{ev::kClicked, "onAddPeriodicCancel"}}},
};

}  // namespace

const runtime::ui::WindowDef kNewPeriodicItemWindow = {
    .name = "NewPeriodicItemWindow",
    .caption = "周期性事项：",
    .width = 260,
    .height = 306,
    .visibleOnLoad = false,
    .fontPointSize = 8,
    .controls = kControls,
};

}  // namespace forms
