// The list of window definitions the form loader searches.
#include "forms/forms.h"

#include <array>

namespace forms {

std::span<const runtime::ui::WindowDef* const> allWindows() {
    static const std::array<const runtime::ui::WindowDef*, 5> windows = {
        &kMainWindow, &kNewPeriodicItemWindow, &kEditPeriodicItemWindow, &kImportContactsWindow,
        &kTopEdgeBarWindow};
    return windows;
}

const runtime::ui::WindowDef* findWindow(std::string_view name) {
    for (const runtime::ui::WindowDef* w : allWindows())
        if (name == w->name) return w;
    return nullptr;
}

}  // namespace forms
