// Properties of windows and controls by name, the list operations, and the week grid and table
// view operations, all addressed by window and control name. An unknown window, control or
// property reads as empty and refuses writes; nothing here throws or crashes on bad names.
#include <QApplication>
#include <cmath>

#include "runtime/base/number.h"
#include "runtime/ui/ui_internal.h"

namespace runtime::ui {

namespace detail {

bool valueToInt(const Value& v, int64_t& out) {
    if (const auto* i = std::get_if<int64_t>(&v))
        out = *i;
    else if (const auto* b = std::get_if<bool>(&v))
        out = *b ? 1 : 0;
    else if (const auto* d = std::get_if<double>(&v)) {
        if (!std::isfinite(*d)) return false;
        out = int64_t(std::trunc(*d));
    } else if (const auto* s = std::get_if<std::string>(&v))
        out = toInteger(*s);
    else
        return false;
    return true;
}

bool valueToBool(const Value& v, bool& out) {
    if (const auto* b = std::get_if<bool>(&v))
        out = *b;
    else if (const auto* i = std::get_if<int64_t>(&v))
        out = *i != 0;
    else if (const auto* d = std::get_if<double>(&v))
        out = *d != 0;
    else if (const auto* s = std::get_if<std::string>(&v))
        out = *s == "true" || toNumber(*s) != 0;
    else
        return false;
    return true;
}

std::string valueToText(const Value& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* i = std::get_if<int64_t>(&v)) return toText(*i);
    if (const auto* d = std::get_if<double>(&v)) return toText(*d);
    if (const auto* b = std::get_if<bool>(&v)) return *b ? "true" : "false";
    if (const auto* t = std::get_if<DateTime>(&v)) return dateTimeToText(*t);
    return {};
}

namespace {

bool setWindowProperty(FormWindow& w, std::string_view p, const Value& v) {
    int64_t n = 0;
    bool b = false;
    if (p == "caption" || p == "text") {
        w.setWindowTitle(qs(valueToText(v)));
        return true;
    }
    if (p == "visible" && valueToBool(v, b)) {
        w.hiddenMinimised = !b && (w.hiddenMinimised || (w.windowState() & Qt::WindowMinimized));
        w.setVisible(b);
        return true;
    }
    if (p == "enabled" && valueToBool(v, b)) {
        w.setEnabled(b);
        return true;
    }
    if (!valueToInt(v, n)) return false;
    const QSize frame = w.frameAllowance();
    if (p == "left")
        w.move(int(n), w.pos().y());
    else if (p == "top")
        w.move(w.pos().x(), int(n));
    else if (p == "width")
        w.setFixedWidth(std::max(0, int(n) - frame.width()));
    else if (p == "height")
        w.setFixedHeight(std::max(1, int(n) - frame.height()));
    else if (p == "windowState") {
        if (w.hiddenMinimised && n == 2) return true;
        if (w.hiddenMinimised) restoreByProgram(&w);
        Qt::WindowStates s = w.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
        if (n == 2)
            s |= Qt::WindowMinimized;
        else if (n == 1)
            s |= Qt::WindowMaximized;
        if (s != w.windowState()) setWindowStateByProgram(&w, s);  // size-changed runs nested
    } else {
        return false;
    }
    return true;
}

Value getWindowProperty(const FormWindow& w, std::string_view p) {
    const QSize frame = w.frameAllowance();
    if (p == "caption" || p == "text") return ss(w.windowTitle());
    if (p == "visible") return w.isVisible();
    if (p == "enabled") return w.isEnabled();
    if (p == "left") return int64_t(w.pos().x());
    if (p == "top") return int64_t(w.pos().y());
    if (p == "width") return int64_t(w.width() + frame.width());
    if (p == "height") return int64_t(w.height() + frame.height());
    if (p == "windowState") {
        if ((w.windowState() & Qt::WindowMinimized) || (w.hiddenMinimised && !w.isVisible()))
            return int64_t(2);
        if (w.windowState() & Qt::WindowMaximized) return int64_t(1);
        return int64_t(0);
    }
    return {};
}

Control* listControl(std::string_view window, std::string_view control) {
    Control* c = findControl(window, control);
    return c && c->isList() ? c : nullptr;
}

GridOps* gridOf(std::string_view window, std::string_view control) {
    Control* c = findControl(window, control);
    return c ? c->grid() : nullptr;
}

template <typename F>
void forViewsOf(std::string_view window, std::string_view dataSource, F f) {
    FormWindow* w = loadedWindow(window);
    if (!w) return;
    for (Control* c : tableViewsOf(*w, dataSource))
        if (GridOps* g = c->grid()) f(*g);
}

}  // namespace

}  // namespace detail

using namespace detail;

bool setProperty(std::string_view window, std::string_view control, std::string_view property,
                 const Value& value) {
    FormWindow* w = loadedWindow(window);
    if (!w) return false;
    if (control.empty()) return setWindowProperty(*w, property, value);
    Control* c = w->control(control);
    return c && c->set(property, value);
}

Value getProperty(std::string_view window, std::string_view control, std::string_view property) {
    FormWindow* w = loadedWindow(window);
    if (!w) return {};
    if (control.empty()) return getWindowProperty(*w, property);
    Control* c = w->control(control);
    return c ? c->get(property) : Value{};
}

std::string getText(std::string_view window, std::string_view control) {
    return valueToText(getProperty(window, control, "text"));
}
void setText(std::string_view window, std::string_view control, std::string_view text) {
    setProperty(window, control, "text", std::string(text));
}
int64_t getInt(std::string_view window, std::string_view control, std::string_view property) {
    int64_t n = 0;
    return valueToInt(getProperty(window, control, property), n) ? n : 0;
}
void setInt(std::string_view window, std::string_view control, std::string_view property, int64_t v) {
    setProperty(window, control, property, v);
}
bool getBool(std::string_view window, std::string_view control, std::string_view property) {
    bool b = false;
    return valueToBool(getProperty(window, control, property), b) && b;
}
void setBool(std::string_view window, std::string_view control, std::string_view property, bool v) {
    setProperty(window, control, property, v);
}
DateTime getDate(std::string_view window, std::string_view control) {
    const Value v = getProperty(window, control, "date");
    if (const auto* d = std::get_if<DateTime>(&v)) return *d;
    return DateTime{};
}
void setDate(std::string_view window, std::string_view control, DateTime date) {
    setProperty(window, control, "date", date);
}

// ---- Lists ----

int getListItemCount(std::string_view window, std::string_view control) {
    Control* c = listControl(window, control);
    return c ? c->itemCount() : 0;
}
std::string getListItemText(std::string_view window, std::string_view control, int index) {
    Control* c = listControl(window, control);
    return c ? c->itemText(index) : std::string();
}
void setListItemText(std::string_view window, std::string_view control, int index, std::string_view text) {
    if (Control* c = listControl(window, control)) c->setItemText(index, text);
}
int64_t getListItemData(std::string_view window, std::string_view control, int index) {
    Control* c = listControl(window, control);
    return c ? c->itemData(index) : -1;
}
int addListItem(std::string_view window, std::string_view control, std::string_view text, int64_t data) {
    Control* c = listControl(window, control);
    return c ? c->addItem(text, data) : -1;
}
void clearList(std::string_view window, std::string_view control) {
    if (Control* c = listControl(window, control)) c->clearItems();
}
bool isListItemChecked(std::string_view window, std::string_view control, int index) {
    Control* c = listControl(window, control);
    return c && c->itemChecked(index);
}

// ---- Week grid ----

void resetGrid(std::string_view window, std::string_view grid) {
    if (GridOps* g = gridOf(window, grid)) g->reset();
}
void setGridCellData(std::string_view window, std::string_view grid, int row, int column,
                     std::string_view text) {
    if (GridOps* g = gridOf(window, grid)) g->setCell(row, column, text);
}
std::string getGridCellData(std::string_view window, std::string_view grid, int row, int column) {
    GridOps* g = gridOf(window, grid);
    return g ? g->cell(row, column) : std::string();
}
void setGridColumnWidth(std::string_view window, std::string_view grid, int column, int width) {
    if (GridOps* g = gridOf(window, grid)) g->setColumnWidth(column, width);
}
void setGridRowHeight(std::string_view window, std::string_view grid, int row, int height) {
    if (GridOps* g = gridOf(window, grid)) g->setRowHeight(row, height);
}
void setGridAlignmentCentred(std::string_view window, std::string_view grid, int row, int column, int endRow,
                             int endColumn) {
    if (GridOps* g = gridOf(window, grid)) g->setCentred(row, column, endRow, endColumn);
}
void setGridWordWrap(std::string_view window, std::string_view grid, int row, int column, int endRow,
                     int endColumn, bool on) {
    if (GridOps* g = gridOf(window, grid)) g->setWordWrap(row, column, endRow, endColumn, on);
}
void setGridBackColour(std::string_view window, std::string_view grid, int row, int column, int endRow,
                       int endColumn, uint32_t rgb) {
    if (GridOps* g = gridOf(window, grid)) g->setBackColour(row, column, endRow, endColumn, rgb);
}
void setGridBold(std::string_view window, std::string_view grid, int row, int column, int endRow,
                 int endColumn) {
    if (GridOps* g = gridOf(window, grid)) g->setBold(row, column, endRow, endColumn);
}
void setGridCursor(std::string_view window, std::string_view grid, int row, int column) {
    if (GridOps* g = gridOf(window, grid)) g->setCursor(row, column);
}
int getGridCursorRow(std::string_view window, std::string_view grid) {
    GridOps* g = gridOf(window, grid);
    return g ? g->cursorRow() : 0;
}
int getGridCursorColumn(std::string_view window, std::string_view grid) {
    GridOps* g = gridOf(window, grid);
    return g ? g->cursorColumn() : 0;
}

// ---- Data-bound table views ----

void setDbGridColumnWidth(std::string_view window, std::string_view dataSource, int firstColumn, int count,
                          int width) {
    forViewsOf(window, dataSource, [&](GridOps& g) { g.setDbColumnWidth(firstColumn, count, width); });
}
void setDbGridCurrentRow(std::string_view window, std::string_view dataSource, int row) {
    forViewsOf(window, dataSource, [&](GridOps& g) { g.setDbCurrentRow(row); });
}
int getDbGridFirstSelectedRow(std::string_view window, std::string_view view) {
    GridOps* g = gridOf(window, view);
    return g ? g->dbFirstSelectedRow() : 0;
}
int getDbGridFirstSelectedColumn(std::string_view window, std::string_view view) {
    GridOps* g = gridOf(window, view);
    return g ? g->dbFirstSelectedColumn() : 0;
}
void selectDbGridRange(std::string_view window, std::string_view view, int row, int column, int endRow,
                       int endColumn) {
    if (GridOps* g = gridOf(window, view)) g->selectDbRange(row, column, endRow, endColumn);
}
void setDbGridCellsAttribute(std::string_view window, std::string_view dataSource, int row, int column,
                             int endRow, int endColumn, uint32_t rgb) {
    forViewsOf(window, dataSource,
               [&](GridOps& g) { g.setDbCellsAttribute(row, column, endRow, endColumn, rgb); });
}

}  // namespace runtime::ui
