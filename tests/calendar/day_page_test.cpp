// The day page: diary writing at every keystroke, choosing dates by calendar, wheel, "回到今日".
#include "pages_fixture.h"
#include "support/flush_counter.h"

namespace pages {
namespace {

using DiaryWriting = CalendarPages;
using ChoosingDates = CalendarPages;

TEST_F(DiaryWriting, ChoosingADayWithoutRecordEmptiesTheBoxAndCreatesNothing) {
    startOnToday();
    addDiary(at(2024, 3, 1), "old text");
    choose(at(2024, 3, 1));
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "old text");
    choose(at(2024, 3, 2, 15, 0, 0));
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "");
    EXPECT_EQ(diaryRecords().size(), 1u);
    EXPECT_EQ(ui::getText(kMain, "分组框_今日志"), "日志-2024年3月2日");
    EXPECT_EQ(ui::getText(kMain, "分组框_事项"), "周期事项-2024年3月2日");
}

TEST_F(DiaryWriting, FirstCharacterAddsTheDayRecordAtMidnight) {
    startOnToday();
    choose(at(2024, 2, 29, 18, 45, 0));  // the calendar may carry a time of day
    typeInto(kMain, "编辑框_本日志", "a");
    const std::vector<DiaryRow> rows = diaryRecords();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].day, at(2024, 2, 29).days);
    EXPECT_EQ(rows[0].text, "a");
}

TEST_F(DiaryWriting, EveryKeystrokeRewritesTheWholeTextOfTheOneRecord) {
    startOnToday();
    addDiary(at(2024, 3, 7), "yesterday");
    QWidget* box = find(kMain, "编辑框_本日志");
    ASSERT_NE(box, nullptr);
    const std::string typed = "Hello, diary";
    for (size_t i = 0; i < typed.size(); ++i) {
        QTest::keyClick(box, typed[i]);
        const std::vector<DiaryRow> rows = diaryRecords();
        ASSERT_EQ(rows.size(), 2u) << "after key " << i;
        EXPECT_EQ(rows[1].text, typed.substr(0, i + 1));
        EXPECT_EQ(rows[1].day, at(2024, 3, 8).days);
        EXPECT_EQ(rows[0].text, "yesterday");
    }
    // A program write (a paste of a whole text) is written whole as well, Chinese included.
    ui::setText(kMain, "编辑框_本日志", "今天下雨\r\n第二行");
    ASSERT_EQ(diaryRecords().size(), 2u);
    EXPECT_EQ(diaryRecords()[1].text, ui::getText(kMain, "编辑框_本日志"));
}

TEST_F(DiaryWriting, EmptyingTheTextDeletesTheRecordAndPacksTheStore) {
    startOnToday();
    addDiary(at(2024, 3, 1), "first");
    addDiary(at(2024, 3, 8), "ab");
    addDiary(at(2024, 3, 9), "last");
    choose(at(2024, 3, 8));
    ASSERT_EQ(ui::getText(kMain, "编辑框_本日志"), "ab");
    QWidget* box = find(kMain, "编辑框_本日志");
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Backspace);
    ASSERT_EQ(diaryRecords().size(), 3u);
    EXPECT_EQ(diaryRecords()[1].text, "a");
    QTest::keyClick(box, Qt::Key_Backspace);
    const std::vector<DiaryRow> rows = diaryRecords();  // checks that nothing is left marked
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].text, "first");
    EXPECT_EQ(rows[1].text, "last");
    choose(at(2024, 3, 9));
    choose(at(2024, 3, 8));
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "");
    EXPECT_EQ(diaryRecords().size(), 2u);
}

TEST_F(DiaryWriting, SpacesAndLineBreaksAreATextLikeAnyOther) {
    startOnToday();
    QWidget* box = find(kMain, "编辑框_本日志");
    QTest::keyClick(box, Qt::Key_Space);
    ASSERT_EQ(diaryRecords().size(), 1u);
    EXPECT_EQ(diaryRecords()[0].text, " ");
    QTest::keyClick(box, Qt::Key_Return);
    ASSERT_EQ(diaryRecords().size(), 1u);
    EXPECT_EQ(diaryRecords()[0].text, " \n");
}

TEST_F(DiaryWriting, ARecordCarryingATimeOfDayIsFoundByItsDateText) {
    startOnToday();
    addDiary(at(2024, 3, 3, 15, 0, 0), "imported with a time");
    addDiary(at(2024, 3, 4, 23, 59, 59), "late");
    choose(at(2024, 3, 3));
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "imported with a time");
    typeInto(kMain, "编辑框_本日志", "!");
    ASSERT_EQ(diaryRecords().size(), 2u);
    EXPECT_EQ(diaryRecords()[0].text, "!imported with a time");  // typed where the cursor stood
    EXPECT_EQ(diaryRecords()[0].day, at(2024, 3, 3, 15, 0, 0).days);
    choose(at(2024, 3, 4, 8, 0, 0));
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "late");
    choose(at(2024, 3, 5));
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "");
}

TEST_F(DiaryWriting, AFailedWriteIsSaidOnceAndTheNextChangeStoresTheWholeText) {
    startOnToday();
    choose(at(2024, 3, 6));
    QWidget* box = find(kMain, "编辑框_本日志");
    ASSERT_NE(box, nullptr);
    {
        FilesCannotGrow full;
        QTest::keyClicks(box, "abc");  // the add fails three times
    }
    EXPECT_TRUE(diaryRecords().empty());
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "abc");
    std::vector<ui::ShownDialog> shown = messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text.rfind("本日日志未能写入：", 0), 0u) << shown[0].text;
    EXPECT_NE(shown[0].text.find("rz35"), std::string::npos) << shown[0].text;  // the store's reason
    EXPECT_EQ(shown[0].flags, 0x10);
    EXPECT_EQ(shown[0].title, "错误！");

    QTest::keyClicks(box, "d");
    std::vector<DiaryRow> rows = diaryRecords();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text, ui::getText(kMain, "编辑框_本日志"));
    EXPECT_EQ(rows[0].text.size(), 4u);

    // A later run of failures, now on the found record, is said again, once.
    {
        FilesCannotGrow full;
        QTest::keyClicks(box, "ef");
    }
    EXPECT_EQ(diaryRecords()[0].text.size(), 4u);
    QTest::keyClicks(box, "g");
    EXPECT_EQ(diaryRecords()[0].text, ui::getText(kMain, "编辑框_本日志"));
    EXPECT_EQ(diaryRecords()[0].text.size(), 7u);
    EXPECT_EQ(messages().size(), 2u);
}

TEST_F(DiaryWriting, AnotherDateRefillsTheBoxWithoutCarryingTextOver) {
    startOnToday();
    addDiary(at(2024, 3, 2), "march second");
    typeInto(kMain, "编辑框_本日志", "today");
    choose(at(2024, 3, 5));
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "");
    typeInto(kMain, "编辑框_本日志", "x");
    choose(at(2024, 3, 2));
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "march second");
    const std::vector<DiaryRow> rows = diaryRecords();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].text, "march second");
    EXPECT_EQ(rows[1].text, "today");
    EXPECT_EQ(rows[2].day, at(2024, 3, 5).days);
    EXPECT_EQ(rows[2].text, "x");
}

TEST_F(DiaryWriting, UndoAfterChoosingAnotherDateCannotBringBackTheOtherDaysText) {
    startOnToday();
    choose(at(2024, 3, 4));
    QWidget* box = find(kMain, "编辑框_本日志");
    ASSERT_NE(box, nullptr);
    QTest::keyClicks(box, "monday");
    choose(at(2024, 3, 5));
    // Undo in the refilled box has nothing of 4 March to restore, so nothing lands on 5 March.
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "");
    const std::vector<DiaryRow> rows = diaryRecords();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].day, at(2024, 3, 4).days);
    EXPECT_EQ(rows[0].text, "monday");
    // The same keys do undo what was typed on this date.
    QTest::keyClicks(box, "tuesday");
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_NE(ui::getText(kMain, "编辑框_本日志"), "tuesday");
    EXPECT_EQ(diaryRecords().size(), ui::getText(kMain, "编辑框_本日志").empty() ? 1u : 2u);
}

TEST_F(DiaryWriting, AUserClickOnTheCalendarShowsThatDay) {
    startOnToday();
    addDiary(at(2024, 3, 20), "spring");
    auto* cal = find<runtime::ui::widgets::MonthCalendar>(kMain, "月历");
    ASSERT_NE(cal, nullptr);
    int row = 0, column = 0;
    ASSERT_TRUE(cal->findCell(QDate(2024, 3, 20), row, column));
    QTest::mouseClick(cal, Qt::LeftButton, {}, cal->cellRect(row, column).center());
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "spring");
    EXPECT_EQ(ui::getText(kMain, "分组框_今日志"), "日志-2024年3月20日");
}

// Showing a day writes its text into the box, whose change writes it back into the store: the same
// text, which commits nothing. Moving the calendar over fifty days of a protected diary makes no
// flush.
class ProtectedDiary : public CalendarPages {
protected:
    void SetUp() override {
        protectWith_ = "日记的密码";
        CalendarPages::SetUp();
    }
};

TEST_F(ProtectedDiary, MovingTheCalendarOverFiftyDaysWritesNothing) {
    for (int d = 0; d < 50; ++d)
        addDiary(DateTime{at(2024, 2, 1).days + d}, "第" + std::to_string(d) + "天的日记");
    startOnToday();
    const int before = qbtest::flushes();
    for (int d = 0; d < 50; ++d) {
        choose(DateTime{at(2024, 2, 1).days + d});
        ASSERT_EQ(ui::getText(kMain, "编辑框_本日志"), "第" + std::to_string(d) + "天的日记");
    }
    EXPECT_EQ(qbtest::flushes(), before);
}

void turnWheel(int angle) {
    QWidget* cal = find(kMain, "月历");
    ASSERT_NE(cal, nullptr);
    const QPointF pos(cal->width() / 2.0, cal->height() / 2.0);
    QWheelEvent wheel(pos, cal->mapToGlobal(pos), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(cal, &wheel);
}

TEST_F(ChoosingDates, WheelMovesOneMonthFromTodayNotFromTheShownDate) {
    now_ = at(2024, 1, 31, 9, 15, 0);
    startOnToday();
    addDiary(at(2024, 2, 29), "leap day");
    choose(at(2024, 6, 15));
    ui::setInt(kMain, "选择夹右侧", "page", 2);
    turnWheel(120);
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 0);
    EXPECT_EQ(runtime::dateTimeToText(ui::getDate(kMain, "月历"), runtime::DateTextForm::DateOnly),
              "2024年2月29日");
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "leap day");
    EXPECT_EQ(ui::getText(kMain, "分组框_今日志"), "日志-2024年2月29日");
    turnWheel(240);
    EXPECT_EQ(runtime::dateTimeToText(ui::getDate(kMain, "月历"), runtime::DateTextForm::DateOnly),
              "2024年2月29日");
    turnWheel(-120);
    EXPECT_EQ(runtime::dateTimeToText(ui::getDate(kMain, "月历"), runtime::DateTextForm::DateOnly),
              "2023年12月31日");
    choose(at(2024, 5, 1));
    turnWheel(60);  // less than one notch counts as 0, which moves back
    EXPECT_EQ(runtime::dateTimeToText(ui::getDate(kMain, "月历"), runtime::DateTextForm::DateOnly),
              "2023年12月31日");
}

TEST_F(ChoosingDates, BackToTodayShowsTodayOnPageZero) {
    startOnToday();
    addDiary(at(2024, 3, 8), "today's text");
    addItem(at(2024, 3, 1), 1, "周", "weekly");
    choose(at(2024, 1, 10));
    ui::setInt(kMain, "选择夹右侧", "page", 1);
    ui::pushMenuAnswer("回到今日");
    auto* cal = find<runtime::ui::widgets::MonthCalendar>(kMain, "月历");
    QTest::mouseClick(cal, Qt::RightButton, {}, QPoint(100, 100));
    ASSERT_FALSE(ui::shownDialogs().empty());
    EXPECT_EQ(ui::shownDialogs()[0].text, "今日");
    EXPECT_EQ(ui::getInt(kMain, "选择夹右侧", "page"), 0);
    EXPECT_EQ(ui::getText(kMain, "编辑框_本日志"), "today's text");
    EXPECT_EQ(listLines(), std::vector<std::string>{"weekly"});
    EXPECT_EQ(ui::getDate(kMain, "月历").days, now_.days);
}

}  // namespace
}  // namespace pages
