// Screenshots of the controls as the program fills them, saved as PNG into the build folder to
// be looked at: the calendar page with lunar dates, the week grid with its header row, the
// contacts table. Each test also checks that the shot is not blank.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <map>
#include <memory>

#include "fake_table.h"
#include "runtime/base/datetime.h"
#include "runtime/ui/widgets/month_calendar.h"
#include "runtime/ui/widgets/table_view.h"
#include "runtime/ui/widgets/week_grid.h"

using namespace runtime::ui::widgets;

namespace {

QString shotPath(const char* name) {
    return QDir(QStringLiteral(QB_SCREENSHOT_DIR)).filePath(QString::fromUtf8(name));
}

int distinctColours(const QImage& image) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3) seen.insert(image.pixel(x, y));
    return seen.size();
}

}  // namespace

TEST(Screenshots, MonthCalendarWithLunarDates) {
    MonthCalendar calendar;
    calendar.resize(365, 262);
    // March 2023 holds the start of a leap month (闰二月, the 22nd).
    ASSERT_TRUE(calendar.setDate(runtime::makeDate(2023, 3, 22)));
    calendar.show();
    const QImage shot = calendar.grab().toImage();
    ASSERT_TRUE(shot.save(shotPath("month_calendar.png")));
    EXPECT_GT(distinctColours(shot), 10);
}

TEST(Screenshots, WeekGridWithHeaderRow) {
    WeekGrid grid;
    grid.resize(365, 262);
    grid.reset();
    grid.setRowCount(8);
    grid.setColumnCount(5);
    const char* headers[] = {"", "日期", "周", "日志(预览)", "事项(预览)"};
    for (int c = 0; c < 5; ++c) grid.setCellText(0, c, QString::fromUtf8(headers[c]));
    const int widths[] = {0, 40, 20, 150, 130};
    for (int c = 0; c < 5; ++c) grid.setColumnWidth(c, widths[c]);
    grid.setCentred(0, 0, 8, 2);
    grid.setCentred(0, 0, 0, 4);
    grid.setWordWrap(1, 3, 8, 8, true);
    grid.setBackColour(1, 1, 8, 2, QColor(236, 236, 236));
    grid.setBold(0, 0, 0, 4);
    const char* weekdays[] = {"一", "二", "三", "四", "五", "六", "日"};
    for (int r = 1; r <= 7; ++r) {
        grid.setRowHeight(r, 33);
        grid.setCellText(r, 0, QStringLiteral("2024年3月%1日").arg(r + 3));
        grid.setCellText(r, 1, r == 4 ? QStringLiteral("今日") : QStringLiteral("3.%1").arg(r + 3));
        grid.setCellText(r, 2, QString::fromUtf8(weekdays[r - 1]));
    }
    grid.setCellText(2, 3, QStringLiteral("早上去公园跑步，下午整理了书架上的旧书，晚上和家人一起包饺子。"));
    grid.setCellText(4, 3, QStringLiteral("写周报"));
    grid.setCellText(4, 4, QStringLiteral("交水电费\r\n给妈妈打电话\r\n"));
    grid.setCellText(6, 4, QStringLiteral("倒垃圾\r\n"));
    grid.setFocusCell(4, 2);
    grid.show();
    const QImage shot = grid.grab().toImage();
    ASSERT_TRUE(shot.save(shotPath("week_grid.png")));
    EXPECT_GT(distinctColours(shot), 10);
}

TEST(Screenshots, ContactsTable) {
    FakeTable table("/d/lxr35.edb", {{"姓名", runtime::store::FieldType::Text, 10},
                                     {"电话", runtime::store::FieldType::Text, 15},
                                     {"备注", runtime::store::FieldType::Text, 100}});
    table.add({std::string("张伟"), std::string("13800138000"), std::string("大学同学")});
    table.add({std::string("王芳"), std::string("021-55501234"), std::string("房东，每月五号交租")});
    table.add({std::string("陈静"), std::string("13912345678"), std::string("")});
    table.add({std::string("Alice"), std::string("+44 20 7946 0000"), std::string("London office")});
    TableView view;
    view.resize(385, 375);
    view.tableModel()->setSource(
        {[&](std::string_view p) -> runtime::store::Table* { return p == "/d/lxr35.edb" ? &table : nullptr; },
         {},
         {}});
    view.showTable("/d/lxr35.edb");
    view.setReadOnly(false);
    view.setColumnWidths(1, 1, 200);
    view.setColumnWidths(2, 1, 300);
    view.setColumnWidths(3, 1, 350);
    view.setCurrentRow(2);
    view.setCellsColour(3, 1, 3, 1, QColor(255, 0, 0));
    view.show();
    const QImage shot = view.grab().toImage();
    ASSERT_TRUE(shot.save(shotPath("contacts_table.png")));
    EXPECT_GT(distinctColours(shot), 10);
}
