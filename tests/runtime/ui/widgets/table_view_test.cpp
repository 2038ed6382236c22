// The data-bound table view over in-memory tables: what it shows, how it follows changes, edits
// in place or refuses them, and its 1-based row, selection and width interface. The model runs
// under QAbstractItemModelTester in fatal mode throughout.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <map>
#include <memory>

#include "fake_table.h"
#include "runtime/base/datetime.h"
#include "runtime/ui/widgets/table_view.h"

using runtime::makeDate;
using runtime::store::FieldDef;
using runtime::store::FieldType;
using runtime::ui::widgets::TableModel;
using runtime::ui::widgets::TableView;

namespace {

// Open tables by path, standing in for the store's registry with its close listeners.
struct Registry {
    std::map<std::string, std::unique_ptr<FakeTable>> open;
    std::map<int, std::function<void(runtime::store::Table*)>> closeListeners;
    int nextListener = 1;
    runtime::store::Table* find(std::string_view path) {
        auto it = open.find(std::string(path));
        return it == open.end() ? nullptr : it->second.get();
    }
    void close(const std::string& path) {
        auto it = open.find(path);
        if (it == open.end()) return;
        for (auto& [id, f] : std::map(closeListeners)) f(it->second.get());
        open.erase(it);
    }
    TableModel::Source source() {
        return {[this](std::string_view p) { return find(p); },
                [this](std::function<void(runtime::store::Table*)> f) {
                    closeListeners[nextListener] = std::move(f);
                    return nextListener++;
                },
                [this](int id) { closeListeners.erase(id); }};
    }
    FakeTable* contacts(const std::string& path) {
        auto t = std::make_unique<FakeTable>(path, std::vector<FieldDef>{{"姓名", FieldType::Text, 10},
                                                                         {"电话", FieldType::Text, 15},
                                                                         {"备注", FieldType::Text, 100}});
        auto* raw = t.get();
        open[path] = std::move(t);
        return raw;
    }
};

struct Host {
    Registry registry;
    QWidget window;
    TableView* view;
    std::unique_ptr<QAbstractItemModelTester> tester;
    Host() {
        auto* v = new TableView(&window);
        v->setObjectName(QStringLiteral("表格_人脉"));
        v->setGeometry(0, 0, 385, 375);
        window.resize(385, 375);
        window.show();
        view = window.findChild<TableView*>(QStringLiteral("表格_人脉"));
        view->tableModel()->setSource(registry.source());
        tester = std::make_unique<QAbstractItemModelTester>(
            view->tableModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    QString text(int row, int column) const {
        return view->model()->index(row - 1, column - 1).data().toString();
    }
};

}  // namespace

TEST(TableViewShows, RecordsInOrderOneColumnPerFieldDatesAsDateText) {
    Host h;
    auto table =
        std::make_unique<FakeTable>("/d/tx35.edb", std::vector<FieldDef>{{"初始日期", FieldType::DateTime, 0},
                                                                         {"循环周期", FieldType::Integer, 0},
                                                                         {"循环单位", FieldType::Text, 2},
                                                                         {"提醒内容", FieldType::Text, 100}});
    table->add({makeDate(2024, 3, 5), int32_t{2}, std::string("周"), std::string("倒垃圾")});
    table->add({makeDate(2023, 12, 31), int32_t{1}, std::string("年"), std::string("生日")});
    h.registry.open["/d/tx35.edb"] = std::move(table);
    h.view->showTable("/d/tx35.edb");
    ASSERT_EQ(h.view->model()->rowCount(), 2);
    ASSERT_EQ(h.view->model()->columnCount(), 4);
    EXPECT_EQ(h.view->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("初始日期"));
    EXPECT_EQ(h.view->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("提醒内容"));
    EXPECT_EQ(h.text(1, 1), QStringLiteral("2024年3月5日"));
    EXPECT_EQ(h.text(1, 2), QStringLiteral("2"));
    EXPECT_EQ(h.text(1, 3), QStringLiteral("周"));
    EXPECT_EQ(h.text(2, 1), QStringLiteral("2023年12月31日"));
    EXPECT_EQ(h.text(2, 4), QStringLiteral("生日"));
}

TEST(TableViewShows, NoOpenTableUnderThePathShowsNothing) {
    Host h;
    h.view->showTable("/nowhere/lxr35.edb");
    EXPECT_EQ(h.view->model()->rowCount(), 0);
    EXPECT_EQ(h.view->model()->columnCount(), 0);
    h.view->showTable("");
    EXPECT_EQ(h.view->model()->rowCount(), 0);
}

TEST(TableViewLive, FollowsAddsWritesAndRemovals) {
    Host h;
    FakeTable* t = h.registry.contacts("/d/lxr35.edb");
    t->add({std::string("张三"), std::string("123"), std::string()});
    h.view->showTable("/d/lxr35.edb");
    ASSERT_EQ(h.view->model()->rowCount(), 1);
    t->add({std::string("李四"), std::string("456"), std::string("同事")});
    EXPECT_EQ(h.view->model()->rowCount(), 2);
    EXPECT_EQ(h.text(2, 3), QStringLiteral("同事"));
    QSignalSpy changed(h.view->model(), &QAbstractItemModel::dataChanged);
    t->write(1, 2, std::string("999"));
    EXPECT_GE(changed.count(), 1);
    EXPECT_EQ(h.text(1, 2), QStringLiteral("999"));
    t->removeFirst();
    EXPECT_EQ(h.view->model()->rowCount(), 1);
    EXPECT_EQ(h.text(1, 1), QStringLiteral("李四"));
}

TEST(TableViewLive, ATableClosedUnderTheViewShowsNothingAndAReopenedOneShowsAgain) {
    Host h;
    FakeTable* t = h.registry.contacts("/tmp/ad.edb");
    t->add({std::string("阿一")});
    h.view->showTable("/tmp/ad.edb");
    ASSERT_EQ(h.view->model()->rowCount(), 1);
    h.registry.close("/tmp/ad.edb");
    EXPECT_EQ(h.view->model()->rowCount(), 0);
    h.view->viewport()->repaint();
    FakeTable* again = h.registry.contacts("/tmp/ad.edb");
    again->add({std::string("白二")});
    again->add({std::string("蔡三")});
    h.view->showTable("/tmp/ad.edb");  // the provider is given the same file again
    EXPECT_EQ(h.view->model()->rowCount(), 2);
    EXPECT_EQ(again->observerCount(), 1u);
    again->add({std::string("陈四")});
    EXPECT_EQ(h.view->model()->rowCount(), 3);
}

TEST(TableViewLive, ClosingAnotherTableLeavesTheViewAlone) {
    Host h;
    h.registry.contacts("/d/lxr35.edb")->add({std::string("张三")});
    h.registry.contacts("/tmp/ad.edb");
    h.view->showTable("/d/lxr35.edb");
    h.registry.close("/tmp/ad.edb");
    EXPECT_EQ(h.view->model()->rowCount(), 1);
}

TEST(TableViewLive, SwitchingTablesLeavesNoObserverBehind) {
    Host h;
    FakeTable* a = h.registry.contacts("/d/lxr35.edb");
    FakeTable* b = h.registry.contacts("/tmp/eh.edb");
    h.view->showTable("/d/lxr35.edb");
    EXPECT_EQ(a->observerCount(), 1u);
    h.view->showTable("/tmp/eh.edb");
    EXPECT_EQ(a->observerCount(), 0u);
    EXPECT_EQ(b->observerCount(), 1u);
}

TEST(TableViewEdit, EditableViewWritesTheTypedCellIntoTheRecord) {
    Host h;
    FakeTable* t = h.registry.contacts("/d/lxr35.edb");
    t->add({std::string("张三"), std::string("123"), std::string()});
    t->add({std::string("李四"), std::string("456"), std::string()});
    h.view->showTable("/d/lxr35.edb");
    h.view->setReadOnly(false);
    h.view->setFocus();
    h.view->setCurrentRow(2);
    h.view->selectRange(2, 3, 2, 3);
    QTest::keyClick(h.view, Qt::Key_F2);
    auto* editor = h.view->findChild<QLineEdit*>();
    ASSERT_TRUE(editor);
    editor->setText(QStringLiteral("老同学"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();  // the delegate commits on a queued call
    EXPECT_EQ(runtime::store::valueText(t->read(2, 3)), "老同学");
    EXPECT_EQ(t->writes, 1);
    EXPECT_EQ(h.text(2, 3), QStringLiteral("老同学"));
    EXPECT_EQ(runtime::store::valueText(t->read(1, 3)), "");
}

TEST(TableViewEdit, ReadOnlyViewRefusesEdits) {
    Host h;
    FakeTable* t = h.registry.contacts("/d/rz35.edb");
    t->add({std::string("x"), std::string("y"), std::string("z")});
    h.view->showTable("/d/rz35.edb");
    h.view->setReadOnly(true);
    const QModelIndex index = h.view->model()->index(0, 0);
    EXPECT_FALSE(h.view->model()->flags(index) & Qt::ItemIsEditable);
    EXPECT_FALSE(h.view->model()->setData(index, QStringLiteral("changed"), Qt::EditRole));
    h.view->setFocus();
    h.view->setCurrentRow(1);
    QTest::keyClick(h.view, Qt::Key_F2);
    QTest::keyClicks(h.view, QStringLiteral("abc"));
    QTest::keyClick(h.view, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(h.view->findChildren<QLineEdit*>().isEmpty());
    EXPECT_EQ(t->writes, 0);
    EXPECT_EQ(runtime::store::valueText(t->read(1, 1)), "x");
}

TEST(TableViewEdit, EditedTextBecomesTheFieldsType) {
    EXPECT_EQ(std::get<int32_t>(TableModel::valueFromText(QStringLiteral("42"), FieldType::Integer)), 42);
    EXPECT_EQ(std::get<runtime::DateTime>(
                  TableModel::valueFromText(QStringLiteral("2024年3月5日"), FieldType::DateTime)),
              makeDate(2024, 3, 5));
    EXPECT_EQ(std::get<std::string>(TableModel::valueFromText(QStringLiteral("文字"), FieldType::Text)),
              "文字");
}

TEST(TableViewSelection, CurrentRowSelectionAndBlocksAreOneBased) {
    Host h;
    FakeTable* t = h.registry.contacts("/d/lxr35.edb");
    for (int i = 0; i < 6; ++i) t->add({std::string("人") + std::to_string(i)});
    h.view->showTable("/d/lxr35.edb");
    QSignalSpy current(h.view, &TableView::currentCellChanged);
    h.view->setCurrentRow(4);
    EXPECT_EQ(h.view->firstSelectedRow(), 4);
    EXPECT_EQ(h.view->firstSelectedColumn(), 1);
    ASSERT_GE(current.count(), 1);
    EXPECT_EQ(current.last()[0].toInt(), 4);
    EXPECT_EQ(current.last()[1].toInt(), 1);
    h.view->selectRange(2, 2, 3, 9);  // end column clipped to 3
    EXPECT_EQ(h.view->firstSelectedRow(), 2);
    EXPECT_EQ(h.view->firstSelectedColumn(), 2);
    EXPECT_EQ(h.view->selectionModel()->selectedIndexes().size(), 4);
    h.view->selectRange(7, 1, 7, 1);  // start outside: nothing changes
    EXPECT_EQ(h.view->firstSelectedRow(), 2);
    h.view->setCurrentRow(0);
    h.view->setCurrentRow(99);
    EXPECT_EQ(h.view->currentRow(), 2);
}

TEST(TableViewSelection, ColourMarksExactlyTheBlock) {
    Host h;
    FakeTable* t = h.registry.contacts("/d/lxr35.edb");
    for (int i = 0; i < 4; ++i) t->add({std::string("人") + std::to_string(i)});
    h.view->showTable("/d/lxr35.edb");
    const QColor red(255, 0, 0);
    h.view->setCellsColour(3, 2, 3, 2, red);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) {
            const QVariant v = h.view->model()->index(r, c).data(Qt::ForegroundRole);
            EXPECT_EQ(v.isValid(), r == 2 && c == 1) << r << "," << c;
        }
    EXPECT_EQ(h.view->model()->index(2, 1).data(Qt::ForegroundRole).value<QColor>(), red);
    t->add({std::string("新")});  // rows changed: marks dropped
    EXPECT_FALSE(h.view->model()->index(2, 1).data(Qt::ForegroundRole).isValid());
}

TEST(TableViewLayout, WidthsInViewUnitsScaleWithZoomAndZeroHides) {
    Host h;
    h.registry.contacts("/d/lxr35.edb")->add({std::string("a")});
    h.view->showTable("/d/lxr35.edb");
    h.view->setColumnWidths(1, 1, 200);
    h.view->setColumnWidths(2, 2, 300);
    EXPECT_EQ(h.view->columnWidth(0), 80);
    EXPECT_EQ(h.view->columnWidth(1), 120);
    EXPECT_EQ(h.view->columnWidth(2), 120);
    const int rowHeight100 = h.view->verticalHeader()->defaultSectionSize();
    h.view->setZoom(150);
    EXPECT_EQ(h.view->columnWidth(0), 120);
    EXPECT_GT(h.view->verticalHeader()->defaultSectionSize(), rowHeight100);
    EXPECT_GT(h.view->font().pointSizeF(), QApplication::font().pointSizeF());
    h.view->setZoom(0);
    EXPECT_EQ(h.view->zoom(), TableView::kMinZoom);
    h.view->setZoom(100);
    h.view->setColumnWidths(3, 1, 0);
    EXPECT_TRUE(h.view->isColumnHidden(2));
    // Widths survive a change of the table on show.
    h.registry.contacts("/tmp/ad.edb");
    h.view->showTable("/tmp/ad.edb");
    EXPECT_EQ(h.view->columnWidth(1), 120);
}

TEST(TableViewInput, RightButtonRaisesItsEventOnTheRowClicked) {
    Host h;
    FakeTable* t = h.registry.contacts("/d/lxr35.edb");
    for (int i = 0; i < 3; ++i) t->add({std::string("人") + std::to_string(i)});
    h.view->showTable("/d/lxr35.edb");
    QSignalSpy right(h.view, &TableView::rightButtonDown);
    const QRect cell = h.view->visualRect(h.view->model()->index(2, 0));
    QTest::mouseClick(h.view->viewport(), Qt::RightButton, {}, cell.center());
    EXPECT_EQ(right.count(), 1);
    EXPECT_EQ(h.view->firstSelectedRow(), 3);
}
