// TopEdgeBarWindow: the thin yellow bar at the top of the screen that stands for the hidden main
// window in the screen-top minimise mode. It has no controls; a click on it brings the main
// window back.
#include "forms/forms.h"
#include "runtime/ui/ui.h"

namespace forms {

const runtime::ui::WindowDef kTopEdgeBarWindow = {
    .name = "TopEdgeBarWindow",
    .caption = "",
    .width = 380,
    .height = 5,
    .frame = runtime::ui::Frame::NoFrame,
    .systemMenu = false,
    .visibleOnLoad = false,
    .centred = false,
    .inTaskbar = false,
    .alwaysOnTop = true,
    .backColour = runtime::ui::rgb(255, 255, 0),
    .events = {{runtime::ui::event::kLeftDown, "onTopBarClicked"}},
};

}  // namespace forms
