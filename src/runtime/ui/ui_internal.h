// Inside the window system: the loaded windows, their controls (one class per control kind), and
// the delivery state shared by the files of this folder. Not for use outside src/runtime/ui/.
//
// A window's life, and what raises each of its events:
//
// | from          | to        | by                                  | events, in order            |
// |---------------|-----------|-------------------------------------|-----------------------------|
// | not loaded    | loaded    | loadWindow                          | created, size-changed       |
// | loaded        | loaded    | loadWindow again                    | size-changed if restored    |
// | loaded        | closing   | user's close box                    | may-close (false: stays)    |
// | loaded/closing| gone      | destroyUnit (after the running      | about-to-be-destroyed       |
// |               |           | handler), close box answered true   |                             |
// | any           | frozen    | endProgram                          | none ever again             |
//
// While a modal window is open (loadWindow with modal), the windows it disabled and the modal
// window itself stay where the user can reach them:
//
// | what happens                                  | what the window system does        | where        |
// |-----------------------------------------------|------------------------------------|--------------|
// | the user minimises one of them (window        | undone: all back in the normal     | changeEvent, |
// | manager), the program did not ask for it      | state, the modal window active;    | undoMinimise |
// |                                               | the program sees no state change   |              |
// | a disabled window becomes active (a click)    | the modal window is activated      | changeEvent  |
// | the program hides the modal window's owner    | the modal window hides with it     | hideEvent    |
// | the program shows the owner again             | the modal window comes back on top | showEvent    |
// | the program brings a disabled window forward  | the modal window comes forward,    | setForeground|
// |                                               | active                             | Window       |
//
// A window hidden when the modal window opens (the top-edge bar) is not disabled: it is one of
// the ways back to the main window.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/ui/form_def.h"
#include "runtime/ui/ui.h"

class QMenu;

namespace runtime::ui::detail {

class FormWindow;

// Which input events a watched object reports for its control.
enum InputMask : unsigned {
    kMouseInput = 1,
    kKeyInput = 2,
    kFocusInput = 4,
    kWheelInput = 8,
    kAllInput = 15,
};

// One control of a loaded window. Subclasses per kind build their widget in the constructor and
// answer the properties they know; the base answers geometry, visible and enabled.
class Control {
public:
    Control(FormWindow& window, const ControlDef& def);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const ControlDef& def() const { return def_; }
    std::string_view name() const { return def_.name; }
    FormWindow& window() const { return window_; }

    // The screen widget; nullptr for components.
    virtual QWidget* widget() const { return nullptr; }
    // The widget or the component's object.
    virtual QObject* object() const { return widget(); }
    // The parent for the controls this one contains (page `page` of a tab control, a group
    // box); nullptr when it contains none.
    virtual QWidget* childParent(int /*page*/) const { return nullptr; }

    virtual bool set(std::string_view property, const Value& value);
    virtual Value get(std::string_view property) const;

    // List operations; false when the control holds no list.
    virtual bool isList() const { return false; }
    virtual int itemCount() const { return 0; }
    virtual std::string itemText(int) const { return {}; }
    virtual void setItemText(int, std::string_view) {}
    virtual int64_t itemData(int) const { return -1; }
    virtual int addItem(std::string_view, int64_t) { return -1; }
    virtual void clearItems() {}
    virtual bool itemChecked(int) const { return false; }

    // Sees the input events of the watched parts before the generic mapping; true consumes.
    virtual bool onInput(QObject*, QEvent*) { return false; }

    // Week grid and data-bound table view operations; nullptr for the other kinds.
    virtual class GridOps* grid() { return nullptr; }

    // Raises one of this control's events.
    bool raise(int event, const EventArgs& args = {}) const;
    bool hasBinding(int event) const;

protected:
    // Reports the input events of `object` (the widget or a part of it) as this control's.
    void watch(QObject* object, unsigned mask);
    // Applies the definition's position, visibility, state and colours to the widget.
    void placeWidget(QWidget* w);

private:
    FormWindow& window_;
    const ControlDef& def_;
};

// The operations of the week grid and the data-bound table views (rows and columns as the
// callers count them; see ui.h).
class GridOps {
public:
    virtual ~GridOps() = default;
    virtual void reset() {}
    virtual void setCell(int, int, std::string_view) {}
    virtual std::string cell(int, int) const { return {}; }
    virtual void setColumnWidth(int, int) {}
    virtual void setRowHeight(int, int) {}
    virtual void setCentred(int, int, int, int) {}
    virtual void setWordWrap(int, int, int, int, bool) {}
    virtual void setBackColour(int, int, int, int, uint32_t) {}
    virtual void setBold(int, int, int, int) {}
    virtual void setCursor(int, int) {}
    virtual int cursorRow() const { return 0; }
    virtual int cursorColumn() const { return 0; }
    // Data-bound views.
    virtual void setDbColumnWidth(int, int, int) {}
    virtual void setDbCurrentRow(int) {}
    virtual int dbFirstSelectedRow() const { return 0; }
    virtual int dbFirstSelectedColumn() const { return 0; }
    virtual void selectDbRange(int, int, int, int) {}
    virtual void setDbCellsAttribute(int, int, int, int, uint32_t) {}
};

// Re-binds every table view of the window to what its data source's provider names now.
void rebindTableViews(FormWindow& window);
// The table views of the window bound to the data source.
std::vector<Control*> tableViewsOf(FormWindow& window, std::string_view dataSource);
// The bytes of a picture stored with the definitions ("search_icon", "periodic_banner"); empty
// for any other name.
std::string_view storedPicture(std::string_view name);

// Builds the control of `def` with its widget under `parent` (components ignore it); the kinds
// themselves are in control_kinds.h.
std::unique_ptr<Control> createControl(FormWindow& window, const ControlDef& def, QWidget* parent);

// A loaded window: the top-level widget with its controls and menus.
class FormWindow : public QWidget {
public:
    FormWindow(const WindowDef& def);
    ~FormWindow() override;

    const WindowDef& def() const { return def_; }
    std::string_view windowName() const { return def_.name; }
    Control* control(std::string_view name) const;
    const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
    void removeControl(std::string_view name);
    QMenu* menu(std::string_view name) const;

    // The frame the window's outer size includes beyond its client area.
    QSize frameAllowance() const;
    void centreOnScreen();

    bool raiseWindowEvent(int event, const EventArgs& args = {}) const;

    // Top-level windows this modal window disabled, enabled again when it goes.
    std::vector<QPointer<QWidget>> disabledByModal;
    // The window named as parent at the load; this window goes and comes back with it.
    QPointer<FormWindow> owner;
    // Hidden because the program hid its owner; shown again with it.
    bool hiddenWithOwner = false;
    // Set while the window system undoes a state change the program never saw.
    bool quietStateChange = false;
    bool destroying = false;
    // Set while the program itself changes the window state (see changeEvent).
    bool programSetsState = false;
    // Hidden by the program while minimised. A window manager withdraws such a window and the
    // platform then reports it no longer minimised; for the program it stays minimised until
    // the program restores it (restoreByProgram).
    bool hiddenMinimised = false;

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    void buildControls();
    void buildMenus();

    const WindowDef& def_;
    std::vector<std::unique_ptr<Control>> controls_;
    std::map<std::string, QMenu*, std::less<>> menus_;
};

// ---- Delivery state (ui_runtime.cpp) ----

// The loaded window of that name, nullptr when none.
FormWindow* loadedWindow(std::string_view name);
Control* findControl(std::string_view window, std::string_view control);
bool deliver(std::string_view window, std::string_view control, int event, const EventArgs& args);
// The program's change of a window's state (size-changed runs nested).
void setWindowStateByProgram(QWidget* w, Qt::WindowStates state);
// A withdrawn window mapped again starts in the normal state (X11; nothing elsewhere).
void clearIconicStartState(QWidget* w);
// The window, about to be mapped, is listed by neither taskbars nor pagers (X11; nothing
// elsewhere).
void keepOutOfTaskbarAndPager(QWidget* w);
// The program's restore of a minimised or maximised window, hidden or not (size-changed runs
// nested); it does not show the window.
void restoreByProgram(QWidget* w);
// The modal window that disabled `w`, nullptr when none did.
FormWindow* modalDisabling(const QWidget* w);
// `w` itself when it is a modal window that holds others disabled, else modalDisabling(w).
FormWindow* modalInCharge(FormWindow* w);
// Raises the modal window above the windows it disabled and activates it.
void bringModalForward(FormWindow* modal);
// Undoes a minimise the user asked the window manager for: the modal window and every window
// it disabled back in the normal state, the modal window forward (queued after the platform's
// own handling of the minimise).
void undoMinimise(FormWindow* modal);
// The windows loaded with `owner` as parent.
std::vector<FormWindow*> windowsOwnedBy(const FormWindow* owner);
// Closes and deletes the window now, raising its about-to-be-destroyed event.
void destroyWindowNow(FormWindow* window);
bool programEndedState();
// Tray icons belong to their window; called when it goes.
void forgetTrayIcon(std::string_view window);

// True while the program's own operation writes a control, so that widget signals the write
// causes are not taken for user input.
bool programWriting();

class ProgramWriteScope {
public:
    ProgramWriteScope();
    ~ProgramWriteScope();
    ProgramWriteScope(const ProgramWriteScope&) = delete;
    ProgramWriteScope& operator=(const ProgramWriteScope&) = delete;
};

// Text conversions at the Qt boundary.
QString qs(std::string_view utf8);
std::string ss(const QString& s);

// Value conversions for properties.
bool valueToInt(const Value& v, int64_t& out);
bool valueToBool(const Value& v, bool& out);
std::string valueToText(const Value& v);

// Dialog service entry for pop-up menus (dialogs.cpp): answers the chosen item's caption, empty
// when none was chosen.
std::string choosePopupMenuItem(QMenu& menu, std::string_view window, std::string_view menuName);

void resetDialogs();

}  // namespace runtime::ui::detail
