// The Qt side of the window system, for code inside src/runtime/ui/ (the widgets library
// included) that needs the real objects behind the names of ui.h. Everything here runs on the UI
// thread. The program never includes this header.
//
// Every loaded window is a top-level QWidget whose objectName is the window's name; every control
// with a screen presence is a QWidget whose objectName is the control's name; components (common
// dialogs, providers, data sources, spreadsheet and database components) are plain QObjects with
// their name as objectName, children of their window.
#pragma once

#include <string>
#include <string_view>

#include "runtime/ui/form_def.h"
#include "runtime/ui/ui.h"

class QMessageBox;
class QObject;
class QWidget;

namespace runtime::ui {

// The window's top-level widget, nullptr when the window is not loaded.
QWidget* findWindowWidget(std::string_view window);

// The control's object (widget or component), nullptr when there is none. An empty control name
// answers the window's widget.
QObject* findControlObject(std::string_view window, std::string_view control);
QWidget* findControlWidget(std::string_view window, std::string_view control);

// The control's kind; false when there is no such control.
bool findControlKind(std::string_view window, std::string_view control, ControlKind& kind);

// The (window, control) names of an object created by the form loader; false for any other
// object. A window's own widget answers an empty control name.
bool controlNameOf(const QObject* object, std::string& window, std::string& control);

// Delivers the event to the handler bound to (window, control, event) and answers the handler's
// answer; true when nothing is bound, the control is unknown, or the program has ended. Runs
// nested when called from inside a handler, as program-raised events do.
bool raiseEvent(std::string_view window, std::string_view control, int event, const EventArgs& args);

// The widget a handle from getWindowHandle stands for; nullptr when it has gone.
QWidget* widgetForHandle(Handle handle);

// What a window manager's title bar holds beside a dialog's title: the window icon and up to
// three buttons with their margins, in pixels.
inline constexpr int kTitleBarControls = 120;
// Sets up `box` as showMessageBox shows it: title, text, the icon and buttons of the flags, and
// at least the width its title needs on a title bar.
void setUpMessageBox(QMessageBox& box, std::string_view text, int flags, std::string_view title);

}  // namespace runtime::ui
