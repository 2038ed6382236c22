// The window system as the program sees it: windows loaded from the definitions the program
// registers at start-up (registerWindows), controls addressed by window name and control name,
// properties read and written by name, and events delivered to the handler bound to (window,
// control, event number). No Qt type appears here; the Qt side lives in this folder's private
// files.
//
// Event delivery: one event at a time on the one UI thread, each handler to its end. An event
// raised by the program's own operation runs nested inside that operation: writing an edit box's
// "text" raises its content-changed event once, writing another "page" into a tab control raises
// page-changed, restoring a window raises size-changed. A checked radio button raises nothing;
// setting the month calendar's "date" raises nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "runtime/base/datetime.h"

namespace runtime::ui {

// Event numbers as the forms bind them.
namespace event {
inline constexpr int kCreated = 0;      // window
inline constexpr int kMayClose = 1;     // window; a handler answering false keeps it open
inline constexpr int kDestroy = 2;      // window, about to be destroyed
inline constexpr int kSizeChanged = 3;  // window, size or state changed
inline constexpr int kTray = 9;         // window; args.a = 1 left up, 2 double-click, 3 right
inline constexpr int kLeftDown = -1;
inline constexpr int kDoubleClick = -3;
inline constexpr int kRightDown = -4;
inline constexpr int kMouseMove = -6;
inline constexpr int kGotFocus = -7;
inline constexpr int kLostFocus = -8;
inline constexpr int kKeyDown = -9;  // args.a = virtual-key code, args.b = 1 Ctrl|2 Shift|4 Alt
inline constexpr int kKeyUp = -10;
inline constexpr int kWheel = -12;          // args.a = whole notches, positive away from the user
inline constexpr int kClicked = 0;          // button, check box, radio button
inline constexpr int kChanged = 0;          // edit box content, list selection, tab page, calendar date,
                                            // table view current cell, hotkey feedback label
inline constexpr int kItemDoubleClick = 1;  // list box
inline constexpr int kCalendar3 = 3;        // month calendar's right button
inline constexpr int kCellClicked = 5;      // week grid
inline constexpr int kMenuSelected = 100;   // menu item (control = the item's name)
}  // namespace event

struct EventArgs {
    int64_t a = 0, b = 0, c = 0;  // meaning per event, see above
};

// A handler answers true unless it wants to refuse (only may-close looks at the answer).
using Handler = std::function<bool(const EventArgs&)>;

// The forms name handlers by text; the program binds each name to its function once at start.
// Binding a name twice replaces the function. Unbound names do nothing.
void bindHandler(std::string_view handlerName, Handler handler);
inline void bindHandler(std::string_view handlerName, std::function<void()> f) {
    bindHandler(handlerName, Handler([f](const EventArgs&) {
                    f();
                    return true;
                }));
}

// ---- Runtime lifecycle ----
// Creates the application object (once). Safe to call again.
void startRuntime();
struct WindowDef;
// The window definitions loadWindow builds from, handed over by the program at start-up (the
// runtime knows no window of its own). The definitions must outlive the program; a second call
// replaces the first.
void registerWindows(std::span<const WindowDef* const> windows);
// Runs events until no window is loaded or endProgram is called; returns the exit code.
int runMessageLoop();
// Registered once; runs exactly once at endProgram.
void setEndRoutine(std::function<void()> routine);
// Stops all event delivery, runs the end routine, ends the process with `code`. In tests the
// exit can be replaced by a hook (setEndProgramHook) that records the code: endProgram then
// throws runtime::ui::ProgramEnded (ui_testing.h), which event delivery catches, so nothing after
// endProgram runs, as in the program. After it the window system delivers no further event
// until resetForTesting().
[[noreturn]] void endProgram(int code);
void setEndProgramHook(std::function<void(int)> hook);  // for tests; the process keeps running
bool programEnded();

// ---- Windows ----
// Creates the window from its definition (created handler, then size-changed handler, run
// inside). A window loaded with a loaded parent is owned by it: the window manager keeps it
// above its owner. A modal load returns at once but disables the other top-level windows until
// it closes; a close request on a window it disabled brings the modal window forward instead.
// A loaded window is restored when minimised, else activated.
bool loadWindow(std::string_view window, std::string_view parent = {}, bool modal = false);
// Closes the window after the running handler returns (at once when no handler runs). Its
// about-to-be-destroyed handler runs first; a modal window enables the windows it disabled.
void destroyUnit(std::string_view window);
// Removes a component (no screen presence) from its window, releasing what it holds.
void destroyUnit(std::string_view window, std::string_view component);
bool isWindowLoaded(std::string_view window);

// ---- Properties ----
using Value = std::variant<std::monostate, bool, int64_t, double, std::string, DateTime>;

// Property names: "left", "top", "width", "height", "visible", "enabled", "windowState"
// (0 normal, 2 minimised), "caption", "text", "checked", "page", "selection" (-1 none),
// "picture" (bytes of a picture file), "zoom" (percent), "date" (month calendar), "rowCount",
// "columnCount", "password", "file", "provider", "dataSource", "fileName" (common dialog),
// "position" (progress bar), "currentItem" (check-list box). An empty control name addresses
// the window itself.
// Also: "selectionStart", "selectionLength" (edit box, GB18030 bytes), "readOnly" (edit box,
// data source), "minimum"/"maximum" (progress bar), "target" (hyperlink); a common dialog's
// "title", "filter" ("description|patterns", patterns separated by ";"), "folder",
// "mustExist" and "text" (same as "fileName"); a window's "width"/"height" are its outer size.
// Colours (grid, table view cells) are 0xRRGGBB.
// Mouse events carry a = x, b = y (in the control), c = buttons (1 left, 2 right); a list box's
// item double-click carries a = the item's index; a week grid's cell click a = row, b = column.
bool setProperty(std::string_view window, std::string_view control, std::string_view property,
                 const Value& value);
Value getProperty(std::string_view window, std::string_view control, std::string_view property);

// Typed conveniences over the above.
std::string getText(std::string_view window, std::string_view control);
void setText(std::string_view window, std::string_view control, std::string_view text);
int64_t getInt(std::string_view window, std::string_view control, std::string_view property);
void setInt(std::string_view window, std::string_view control, std::string_view property, int64_t v);
bool getBool(std::string_view window, std::string_view control, std::string_view property);
void setBool(std::string_view window, std::string_view control, std::string_view property, bool v);
DateTime getDate(std::string_view window, std::string_view control);
void setDate(std::string_view window, std::string_view control, DateTime date);

void setFocus(std::string_view window, std::string_view control);
bool hasFocus(std::string_view window, std::string_view control);

// A handle stands for a window or control in the hotkey, tooltip and show-window calls.
using Handle = int64_t;
Handle getWindowHandle(std::string_view window, std::string_view control = {});
void setWindowToolTip(Handle handle, std::string_view text, bool balloon, bool centred);
// 0 hide, 1 normal, 9 restore (raises size-changed nested); SetForegroundWindow is activate.
void showWindow(Handle handle, int command);
void setForegroundWindow(Handle handle);

// Pops the window's menu up at the mouse; a chosen item raises its selected event.
void popupMenu(std::string_view window, std::string_view menu);

// ---- Lists (0-based) ----
int getListItemCount(std::string_view window, std::string_view control);
std::string getListItemText(std::string_view window, std::string_view control, int index);
void setListItemText(std::string_view window, std::string_view control, int index, std::string_view text);
int64_t getListItemData(std::string_view window, std::string_view control, int index);
int addListItem(std::string_view window, std::string_view control, std::string_view text, int64_t data = 0);
void clearList(std::string_view window, std::string_view control);
bool isListItemChecked(std::string_view window, std::string_view control, int index);

// ---- Week grid ----
void resetGrid(std::string_view window, std::string_view grid);
void setGridCellData(std::string_view window, std::string_view grid, int row, int column,
                     std::string_view text);
std::string getGridCellData(std::string_view window, std::string_view grid, int row, int column);
void setGridColumnWidth(std::string_view window, std::string_view grid, int column, int width);
void setGridRowHeight(std::string_view window, std::string_view grid, int row, int height);
void setGridAlignmentCentred(std::string_view window, std::string_view grid, int row, int column, int endRow,
                             int endColumn);
void setGridWordWrap(std::string_view window, std::string_view grid, int row, int column, int endRow,
                     int endColumn, bool on);
void setGridBackColour(std::string_view window, std::string_view grid, int row, int column, int endRow,
                       int endColumn, uint32_t rgb);
void setGridBold(std::string_view window, std::string_view grid, int row, int column, int endRow,
                 int endColumn);
void setGridCursor(std::string_view window, std::string_view grid, int row, int column);
int getGridCursorRow(std::string_view window, std::string_view grid);
int getGridCursorColumn(std::string_view window, std::string_view grid);

// ---- Data-bound table views ----
// Sets the display width of `count` columns from `firstColumn` (1-based) in every view bound to
// the data source.
void setDbGridColumnWidth(std::string_view window, std::string_view dataSource, int firstColumn, int count,
                          int width);
void setDbGridCurrentRow(std::string_view window, std::string_view dataSource, int row);
int getDbGridFirstSelectedRow(std::string_view window, std::string_view view);
int getDbGridFirstSelectedColumn(std::string_view window, std::string_view view);
void selectDbGridRange(std::string_view window, std::string_view view, int row, int column, int endRow,
                       int endColumn);
void setDbGridCellsAttribute(std::string_view window, std::string_view dataSource, int row, int column,
                             int endRow, int endColumn, uint32_t rgb);

// ---- Tray and hotkeys ----
// Adds or replaces the window's notification-area icon; empty icon bytes remove it. False when
// the desktop has no notification area.
bool setTrayIcon(std::string_view window, std::string_view iconBytes, std::string_view tooltip = {});
// Ids from 33001, one more each call (refused ones included); 0 when refused. A press raises
// event 0 of the notify control with a = id, b = 0.
int registerGlobalHotkey(Handle owner, Handle notify, int modifierBits, int virtualKey);
bool unregisterGlobalHotkey(Handle owner, int id);

// ---- Dialogs ----
inline constexpr int kMbOk = 0, kMbOkCancel = 1, kMbIconError = 16, kMbIconWarning = 48, kMbIconInfo = 64;
inline constexpr int kIdOk = 0, kIdCancel = 1, kIdAbort = 2, kIdRetry = 3, kIdIgnore = 4, kIdYes = 5,
                     kIdNo = 6;
int showMessageBox(std::string_view text, int flags = 0, std::string_view title = "信息：");
// Kind 4 masks the entry. True on OK with the entry stored in `out`.
bool showInputBox(std::string_view prompt, std::string_view title, std::string_view initial, std::string& out,
                  int kind = 0);
// The common file dialog component of `window`; true when a file was chosen ("fileName").
bool showCommonDialog(std::string_view window, std::string_view dialog);
// Copies a file into a folder, asking before replacing a file of the same name.
bool copyFilesByShell(std::string_view sourceFile, std::string_view destinationFolder);
// Asks where to save a file, proposing `fileName` in `folder` (empty or missing: the user's
// documents folder, getSpecialFolderPath); `filter` as a common dialog's ("description|patterns").
// True on OK with the chosen full path in `chosen`; a file there already is replaced only when
// the user agreed.
bool showSaveFileDialog(std::string_view title, std::string_view folder, std::string_view fileName,
                        std::string_view filter, std::string& chosen);

// Every dialog above goes through one service that tests replace (see dialogs_testing.h).

// ---- Desktop ----
// Opens the file with the desktop's default application for `mimeType` (the freedesktop
// association of the user's session). False when no application is registered for the type,
// its desktop entry is missing, or it cannot be started; the file is then shown by nothing.
bool openWithDesktopApplication(std::string_view path, std::string_view mimeType);
// Whether openWithDesktopApplication would find an application to start for `mimeType`.
bool hasDesktopApplication(std::string_view mimeType);

}  // namespace runtime::ui
