// The five windows of the program as data: each window's definition lives in its own file here
// and the window system's form loader builds a window from it by name, once the program has
// handed it allWindows() (runtime::ui::registerWindows). Handlers are named, not linked: the
// program binds the names with runtime::ui::bindHandler.
#pragma once

#include <span>
#include <string_view>

#include "runtime/ui/form_def.h"

namespace forms {

extern const runtime::ui::WindowDef kMainWindow;
extern const runtime::ui::WindowDef kNewPeriodicItemWindow;
extern const runtime::ui::WindowDef kEditPeriodicItemWindow;
extern const runtime::ui::WindowDef kImportContactsWindow;
extern const runtime::ui::WindowDef kTopEdgeBarWindow;

// Every window definition, the start window first.
std::span<const runtime::ui::WindowDef* const> allWindows();
// nullptr when there is no window of that name.
const runtime::ui::WindowDef* findWindow(std::string_view name);

}  // namespace forms
