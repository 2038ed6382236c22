// The control kinds whose widgets come from the widgets library: picture box, month calendar,
// week grid and data-bound table view. Here they get their names, places, properties and events.
//
// A table view shows what its data source's provider names: view -> "dataSource" -> the data
// source's "provider" -> the provider's "file". A write anywhere along that chain re-binds every
// view of the window (FormWindow::rebindViews).
#include <QColor>
#include <algorithm>

#include "runtime/ui/control_kinds.h"
#include "runtime/ui/widgets/month_calendar.h"
#include "runtime/ui/widgets/picture_box.h"
#include "runtime/ui/widgets/table_view.h"
#include "runtime/ui/widgets/week_grid.h"

namespace runtime::ui::detail {

namespace {

class PictureBoxControl : public Control {
public:
    PictureBoxControl(FormWindow& win, const ControlDef& def, QWidget* parent) : Control(win, def) {
        box_ = new widgets::PictureBox(parent);
        const std::string_view stored = storedPicture(def.target);
        if (!stored.empty()) {
            bytes_ = std::string(stored);
            box_->setPictureBytes(bytes_);
        }
        placeWidget(box_);
    }
    QWidget* widget() const override { return box_; }
    bool set(std::string_view p, const Value& v) override {
        if (p == "picture") {
            bytes_ = valueToText(v);
            box_->setPictureBytes(bytes_);
            return true;
        }
        return Control::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "picture") return bytes_;
        return Control::get(p);
    }

private:
    QPointer<widgets::PictureBox> box_;
    std::string bytes_;
};

class MonthCalendarControl : public Control {
public:
    MonthCalendarControl(FormWindow& win, const ControlDef& def, QWidget* parent) : Control(win, def) {
        cal_ = new widgets::MonthCalendar(parent);
        cal_->setObjectName(qs(def.name));
        cal_->setGeometry(def.left, def.top, def.width, def.height);
        if (def.hidden) cal_->hide();
        if (def.disabled) cal_->setEnabled(false);
        // The calendar reports its own wheel and right button; the rest is generic.
        watch(cal_, kMouseInput | kKeyInput | kFocusInput);
        QObject::connect(cal_, &widgets::MonthCalendar::dateChanged, cal_,
                         [this] { raise(event::kChanged); });
        QObject::connect(cal_, &widgets::MonthCalendar::wheelTurned, cal_, [this](int notches) {
            raise(event::kWheel, EventArgs{notches, 0, 0});
        });
        QObject::connect(cal_, &widgets::MonthCalendar::rightButtonPressed, cal_, [this](QPoint p) {
            raise(event::kCalendar3, EventArgs{p.x(), p.y(), 2});
        });
    }
    QWidget* widget() const override { return cal_; }
    bool set(std::string_view p, const Value& v) override {
        if (p == "date") {
            if (const DateTime* d = std::get_if<DateTime>(&v)) return cal_->setDate(*d);
            if (const double* d = std::get_if<double>(&v)) return cal_->setDate(DateTime{*d});
            return false;
        }
        return Control::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "date") return cal_->date();
        return Control::get(p);
    }

private:
    QPointer<widgets::MonthCalendar> cal_;
};

class WeekGridControl : public Control, public GridOps {
public:
    WeekGridControl(FormWindow& win, const ControlDef& def, QWidget* parent) : Control(win, def) {
        grid_ = new widgets::WeekGrid(parent);
        placeWidget(grid_);
        QObject::connect(grid_, &widgets::WeekGrid::cellClicked, grid_, [this](int row, int column) {
            raise(event::kCellClicked, EventArgs{row, column, 0});
        });
        QObject::connect(grid_, &widgets::WeekGrid::rightButtonDown, grid_, [this](QPoint p) {
            raise(event::kRightDown, EventArgs{p.x(), p.y(), 2});
        });
    }
    QWidget* widget() const override { return grid_; }
    GridOps* grid() override { return this; }
    bool set(std::string_view p, const Value& v) override {
        int64_t n = 0;
        if (p == "rowCount" && valueToInt(v, n)) {
            grid_->setRowCount(int(n));
            return true;
        }
        if (p == "columnCount" && valueToInt(v, n)) {
            grid_->setColumnCount(int(n));
            return true;
        }
        return Control::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "rowCount") return int64_t(grid_->rowCount());
        if (p == "columnCount") return int64_t(grid_->columnCount());
        return Control::get(p);
    }

    void reset() override { grid_->reset(); }
    void setCell(int r, int c, std::string_view t) override { grid_->setCellText(r, c, qs(t)); }
    std::string cell(int r, int c) const override { return ss(grid_->cellText(r, c)); }
    void setColumnWidth(int c, int w) override { grid_->setColumnWidth(c, w); }
    void setRowHeight(int r, int h) override { grid_->setRowHeight(r, h); }
    void setCentred(int r, int c, int er, int ec) override { grid_->setCentred(r, c, er, ec); }
    void setWordWrap(int r, int c, int er, int ec, bool on) override { grid_->setWordWrap(r, c, er, ec, on); }
    void setBackColour(int r, int c, int er, int ec, uint32_t rgb) override {
        grid_->setBackColour(r, c, er, ec, QColor::fromRgb(rgb));
    }
    void setBold(int r, int c, int er, int ec) override { grid_->setBold(r, c, er, ec); }
    void setCursor(int r, int c) override { grid_->setFocusCell(r, c); }
    int cursorRow() const override { return grid_->focusRow(); }
    int cursorColumn() const override { return grid_->focusColumn(); }

private:
    QPointer<widgets::WeekGrid> grid_;
};

class DbTableViewControl : public Control, public GridOps {
public:
    DbTableViewControl(FormWindow& win, const ControlDef& def, QWidget* parent)
        : Control(win, def), dataSource_(def.target) {
        view_ = new widgets::TableView(parent);
        placeWidget(view_);
        QObject::connect(view_, &widgets::TableView::currentCellChanged, view_, [this](int row, int column) {
            raise(event::kChanged, EventArgs{row, column, 0});
        });
        QObject::connect(view_, &widgets::TableView::rightButtonDown, view_, [this](QPoint p) {
            raise(event::kRightDown, EventArgs{p.x(), p.y(), 2});
        });
    }
    QWidget* widget() const override { return view_; }
    GridOps* grid() override { return this; }
    const std::string& dataSource() const { return dataSource_; }

    bool set(std::string_view p, const Value& v) override {
        int64_t n = 0;
        if (p == "zoom" && valueToInt(v, n)) {
            view_->setZoom(
                int(std::clamp<int64_t>(n, widgets::TableView::kMinZoom, widgets::TableView::kMaxZoom)));
            return true;
        }
        if (p == "dataSource") {
            dataSource_ = valueToText(v);
            rebind();
            return true;
        }
        return Control::set(p, v);
    }
    Value get(std::string_view p) const override {
        if (p == "zoom") return int64_t(view_->zoom());
        if (p == "dataSource") return dataSource_;
        if (p == "rowCount") return int64_t(view_->tableModel()->rowCount());
        if (p == "columnCount") return int64_t(view_->tableModel()->columnCount());
        return Control::get(p);
    }

    // Shows the table its data source's provider names.
    void rebind() {
        Control* source = window().control(dataSource_);
        if (!source || source->def().kind != ControlKind::DataSource) {
            view_->showTable(std::string());
            return;
        }
        bool readOnly = true;
        valueToBool(source->get("readOnly"), readOnly);
        view_->setReadOnly(readOnly);
        Control* provider = window().control(valueToText(source->get("provider")));
        view_->showTable(provider ? valueToText(provider->get("file")) : std::string());
    }

    void setDbColumnWidth(int first, int count, int width) override {
        view_->setColumnWidths(first, count, width);
    }
    void setDbCurrentRow(int row) override { view_->setCurrentRow(row); }
    int dbFirstSelectedRow() const override { return view_->firstSelectedRow(); }
    int dbFirstSelectedColumn() const override { return view_->firstSelectedColumn(); }
    void selectDbRange(int r, int c, int er, int ec) override { view_->selectRange(r, c, er, ec); }
    void setDbCellsAttribute(int r, int c, int er, int ec, uint32_t rgb) override {
        view_->setCellsColour(r, c, er, ec, QColor::fromRgb(rgb));
    }

private:
    QPointer<widgets::TableView> view_;
    std::string dataSource_;
};

}  // namespace

std::unique_ptr<Control> createPictureBox(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<PictureBoxControl>(window, def, parent);
}
std::unique_ptr<Control> createMonthCalendar(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<MonthCalendarControl>(window, def, parent);
}
std::unique_ptr<Control> createWeekGrid(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<WeekGridControl>(window, def, parent);
}
std::unique_ptr<Control> createDbTableView(FormWindow& window, const ControlDef& def, QWidget* parent) {
    return std::make_unique<DbTableViewControl>(window, def, parent);
}

void rebindTableViews(FormWindow& window) {
    for (const auto& c : window.controls())
        if (c->def().kind == ControlKind::DbTableView) static_cast<DbTableViewControl*>(c.get())->rebind();
}

std::vector<Control*> tableViewsOf(FormWindow& window, std::string_view dataSource) {
    std::vector<Control*> views;
    for (const auto& c : window.controls())
        if (c->def().kind == ControlKind::DbTableView &&
            static_cast<DbTableViewControl*>(c.get())->dataSource() == dataSource)
            views.push_back(c.get());
    return views;
}

}  // namespace runtime::ui::detail
