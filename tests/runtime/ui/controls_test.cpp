// The control kinds as the user and the program meet them: what an edit box lets the user type,
// its up-down arrows, selections counted in bytes, the list operations, the check-list box, the
// combo box, the progress bar, picture boxes and components.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include "runtime/base/text.h"
#include "runtime/ui/widgets/picture_box.h"
#include "support/ui_test_support.h"

namespace uitest {
namespace {

const char* const W = "MainWindow";
const char* const N = "NewPeriodicItemWindow";

class ControlsTest : public UiTest {};

TEST_F(ControlsTest, DigitsBoxTakesOnlyMinusAndDigitsUpToItsByteLimit) {
    ASSERT_TRUE(ui::loadWindow(N));
    auto* box = widgetAs<QLineEdit>(N, "编辑框循环周期");
    ASSERT_NE(box, nullptr);
    QTest::keyClicks(box, "a1x");
    EXPECT_EQ(ui::getText(N, "编辑框循环周期"), "1");
    QTest::keyClicks(box, "-23");
    EXPECT_EQ(ui::getText(N, "编辑框循环周期"), "1-") << "at most 2 bytes";
    // The program writes past the limits.
    ui::setText(N, "编辑框循环周期", "年12345");
    EXPECT_EQ(ui::getText(N, "编辑框循环周期"), "年12345");
}

TEST_F(ControlsTest, MultiLineBoxRefusesTypingBeyondItsBytes) {
    ASSERT_TRUE(ui::loadWindow(N));
    auto* box = widgetAs<QPlainTextEdit>(N, "编辑框提醒内容");
    ASSERT_NE(box, nullptr);
    const std::string text68 = std::string(34, 'a') + std::string(34, 'b');  // 68 bytes
    ui::setText(N, "编辑框提醒内容", text68);
    box->moveCursor(QTextCursor::End);
    QInputMethodEvent typed;  // Chinese arrives through the input method
    typed.setCommitString(QStringLiteral("中"));
    QApplication::sendEvent(box, &typed);  // 2 bytes: 70, fits
    EXPECT_EQ(ui::getText(N, "编辑框提醒内容"), text68 + "中");
    QTest::keyClicks(box, "x");  // 71: refused
    EXPECT_EQ(ui::getText(N, "编辑框提醒内容"), text68 + "中");
}

TEST_F(ControlsTest, MultiLineBoxKeepsThePartOfAPasteThatFits) {
    ASSERT_TRUE(ui::loadWindow(N));
    auto* box = widgetAs<QPlainTextEdit>(N, "编辑框提醒内容");
    ASSERT_NE(box, nullptr);
    // 40 Chinese characters and an emoji: 84 bytes, more than the box's 70.
    QString longText;
    for (int i = 0; i < 40; ++i) longText += QChar(0x4E00 + i);
    longText += QString::fromUtf8("\xF0\x9F\x98\x80");
    QApplication::clipboard()->setText(longText);
    box->paste();
    const std::string kept = ui::getText(N, "编辑框提醒内容");
    EXPECT_EQ(runtime::getTextLength(kept), 70);
    EXPECT_EQ(QString::fromStdString(kept), longText.left(35));

    // Into the middle of a text: the end stays, and the paste fills only the room left.
    ui::setText(N, "编辑框提醒内容", std::string(60, 'a') + "end");
    QTextCursor c = box->textCursor();
    c.setPosition(30);
    box->setTextCursor(c);
    QApplication::clipboard()->setText(QStringLiteral("1234567890"));
    box->paste();
    EXPECT_EQ(ui::getText(N, "编辑框提醒内容"),
              std::string(30, 'a') + "1234567" + std::string(30, 'a') + "end");
    EXPECT_EQ(box->textCursor().position(), 37);

    // A text longer than the limit, written by the program, can still be shortened by the user.
    ui::setText(N, "编辑框提醒内容", std::string(80, 'z'));
    box->moveCursor(QTextCursor::End);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(ui::getText(N, "编辑框提醒内容"), std::string(79, 'z'));
}

TEST_F(ControlsTest, NarrowUnitComboShowsItsCharacterWhole) {
    const char* E = "EditPeriodicItemWindow";
    ASSERT_TRUE(ui::loadWindow(E));
    ui::setBool(E, "", "visible", true);
    auto* combo = widgetAs<QComboBox>(E, "组合框循环单位");
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->width(), 35);
    QLineEdit* edit = combo->lineEdit();
    ASSERT_NE(edit, nullptr);
    for (const char* unit : {"年", "月", "周", "日"}) {
        ui::setText(E, "组合框循环单位", unit);
        // Unscrolled, the cursor after the one character stands a whole character right of
        // where it stands before it; a field too narrow scrolls the text to show the cursor.
        edit->home(false);
        const int before = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        edit->end(false);
        const int after = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        const int advance = edit->fontMetrics().horizontalAdvance(QString::fromUtf8(unit));
        EXPECT_EQ(after - before, advance) << unit;
        EXPECT_LT(after, edit->width()) << unit;
    }
}

TEST_F(ControlsTest, GroupBoxCaptionsStayClearOfTheControlsBelowThem) {
    ASSERT_TRUE(ui::loadWindow(W));
    // Each group box with the first control inside it, as the forms place them (11 to 14
    // pixels below the box's top).
    const std::pair<const char*, const char*> boxes[] = {
        {"分组框4", "表格_日志一览"}, {"分组框5", "表格_周期事项一览"}, {"分组框_今日志", "编辑框_本日志"}};
    for (const auto& [boxName, childName] : boxes) {
        reveal(W, childName);
        QWidget* box = widget(W, boxName);
        QWidget* child = widget(W, childName);
        ASSERT_NE(box, nullptr);
        ASSERT_NE(child, nullptr);
        // The caption alone: where is its lowest dark pixel?
        child->hide();
        const QImage image = box->grab().toImage();
        child->show();
        int lowestInk = -1;
        for (int y = 0; y < child->y() + 8 && y < image.height(); ++y)
            for (int x = 2; x < std::min(image.width(), 80); ++x)
                if (qGray(image.pixel(x, y)) < 100) lowestInk = y;
        EXPECT_GE(lowestInk, 0) << boxName << ": the caption shows";
        EXPECT_LT(lowestInk, child->y()) << boxName << ": the control covers the caption's foot";
    }
}

TEST_F(ControlsTest, UpDownArrowsStepWithinTheirRangeAndTypingIsRefused) {
    ASSERT_TRUE(ui::loadWindow(W));
    reveal(W, "编辑框2");
    std::vector<std::string> seen;
    ui::bindHandler("onZoomEdited", [&] { seen.push_back(ui::getText(W, "编辑框2")); });
    QWidget* arrows = widget(W, "编辑框2")->parentWidget()->findChild<QWidget*>("编辑框2_updown");
    ASSERT_NE(arrows, nullptr);
    EXPECT_EQ(arrows->geometry().left(), 207 + 25) << "beside the box";
    auto* up = arrows->findChild<QToolButton*>("up");
    auto* down = arrows->findChild<QToolButton*>("down");
    QTest::mouseClick(up, Qt::LeftButton);
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(seen, (std::vector<std::string>{"101", "102"}));
    ui::setText(W, "编辑框2", "150");
    seen.clear();
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_TRUE(seen.empty()) << "at the top of the range nothing changes";
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_EQ(seen, std::vector<std::string>{"149"});
    ui::setText(W, "编辑框2", "20");
    seen.clear();
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(seen, std::vector<std::string>{"90"}) << "a value outside the range comes back into it";

    QTest::keyClicks(widget(W, "编辑框2"), "5");
    EXPECT_EQ(ui::getText(W, "编辑框2"), "90");

    // Hiding the box hides its arrows.
    ui::setBool(W, "编辑框2", "visible", false);
    EXPECT_TRUE(arrows->isHidden());
}

TEST_F(ControlsTest, ClickingATabTakesTheFocusFromTheControlThatHadIt) {
    ASSERT_TRUE(ui::loadWindow(W));
    reveal(W, "编辑框_本日志");
    record("onDiaryBoxFocusLost");
    QWidget* diary = widget(W, "编辑框_本日志");
    diary->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    ASSERT_TRUE(diary->hasFocus());
    // The tab strip of the view tab control: a click on the week view's tab.
    auto* bar = widget(W, "选择夹_视图")->findChild<QTabBar*>();
    ASSERT_NE(bar, nullptr);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    QCoreApplication::processEvents();
    EXPECT_EQ(ui::getInt(W, "选择夹_视图", "page"), 1);
    EXPECT_FALSE(diary->hasFocus());
    EXPECT_EQ(names(), std::vector<std::string>{"onDiaryBoxFocusLost"});
}

TEST_F(ControlsTest, SelectionCountsBytes) {
    ASSERT_TRUE(ui::loadWindow(W));
    ui::setText(W, "编辑框备忘便签", "备忘abc关键词xyz");
    ui::setFocus(W, "编辑框备忘便签");
    ui::setInt(W, "编辑框备忘便签", "selectionStart", 7);  // after "备忘abc"
    ui::setInt(W, "编辑框备忘便签", "selectionLength", 6);
    EXPECT_EQ(widgetAs<QPlainTextEdit>(W, "编辑框备忘便签")->textCursor().selectedText(), "关键词");
    EXPECT_EQ(ui::getInt(W, "编辑框备忘便签", "selectionStart"), 7);
    EXPECT_EQ(ui::getInt(W, "编辑框备忘便签", "selectionLength"), 6);

    ui::setText(W, "编辑框关键词", "日志abc");
    ui::setInt(W, "编辑框关键词", "selectionStart", 4);
    ui::setInt(W, "编辑框关键词", "selectionLength", 2);
    EXPECT_EQ(widgetAs<QLineEdit>(W, "编辑框关键词")->selectedText(), "ab");
}

TEST_F(ControlsTest, ListOperationsKeepTextAndDataApart) {
    ASSERT_TRUE(ui::loadWindow(W));
    const char* L = "列表框_人脉搜索结果";
    EXPECT_EQ(ui::addListItem(W, L, "张三", 12), 0);
    EXPECT_EQ(ui::addListItem(W, L, "李四"), 1);
    EXPECT_EQ(ui::addListItem(W, L, "阿五", 7), 2) << "unsorted: appended at the end";
    EXPECT_EQ(ui::getListItemCount(W, L), 3);
    EXPECT_EQ(ui::getListItemText(W, L, 2), "阿五");
    EXPECT_EQ(ui::getListItemData(W, L, 0), 12);
    EXPECT_EQ(ui::getListItemData(W, L, 1), 0);
    ui::setListItemText(W, L, 0, "张三丰");
    EXPECT_EQ(ui::getListItemText(W, L, 0), "张三丰");
    EXPECT_EQ(ui::getListItemData(W, L, 0), 12) << "text changes keep the data";
    EXPECT_EQ(ui::getListItemText(W, L, -1), "");
    EXPECT_EQ(ui::getListItemText(W, L, 3), "");
    EXPECT_EQ(ui::getListItemData(W, L, 3), -1);
    EXPECT_EQ(ui::getListItemData(W, L, -1), -1);
    ui::setInt(W, L, "selection", 1);
    EXPECT_EQ(ui::getInt(W, L, "selection"), 1);
    ui::setInt(W, L, "selection", -1);
    EXPECT_EQ(ui::getInt(W, L, "selection"), -1);
    ui::clearList(W, L);
    EXPECT_EQ(ui::getListItemCount(W, L), 0);
    EXPECT_EQ(ui::addListItem(W, "按钮1", "x"), -1) << "a button has no list";
}

TEST_F(ControlsTest, UserSelectionRaisesSelectionChangedWithTheNewIndex) {
    ASSERT_TRUE(ui::loadWindow(W));
    reveal(W, "列表框_日志搜索结果");
    std::vector<int64_t> seen;
    ui::bindHandler("onDiaryResultSelected",
                    [&] { seen.push_back(ui::getInt(W, "列表框_日志搜索结果", "selection")); });
    ui::addListItem(W, "列表框_日志搜索结果", "一", 1);
    ui::addListItem(W, "列表框_日志搜索结果", "二", 2);
    auto* list = widgetAs<QListWidget>(W, "列表框_日志搜索结果");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(seen, std::vector<int64_t>{1});
    // A press on the line already selected chooses it again (a result followed a second time).
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
    EXPECT_EQ(seen, (std::vector<int64_t>{1, 1}));
    ui::setInt(W, "列表框_日志搜索结果", "selection", 0);  // the program's own choice raises nothing
    EXPECT_EQ(seen, (std::vector<int64_t>{1, 1}));
}

TEST_F(ControlsTest, CheckListBoxHasNoCurrentLineUntilOneIsClicked) {
    ASSERT_TRUE(ui::loadWindow("ImportContactsWindow"));
    const char* I = "ImportContactsWindow";
    reveal(I, "选择列表框1");
    EXPECT_EQ(ui::addListItem(I, "选择列表框1", "姓名", 1), 0);
    EXPECT_EQ(ui::addListItem(I, "选择列表框1", "电话", 2), 1);
    EXPECT_EQ(ui::getInt(I, "选择列表框1", "currentItem"), -1);
    EXPECT_FALSE(ui::isListItemChecked(I, "选择列表框1", 0));
    auto* list = widgetAs<QListWidget>(I, "选择列表框1");
    list->item(1)->setCheckState(Qt::Checked);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    EXPECT_EQ(ui::getInt(I, "选择列表框1", "currentItem"), 0);
    EXPECT_TRUE(ui::isListItemChecked(I, "选择列表框1", 1));
    EXPECT_FALSE(ui::isListItemChecked(I, "选择列表框1", 5));
    EXPECT_EQ(ui::getListItemData(I, "选择列表框1", 1), 2);
}

TEST_F(ControlsTest, ComboTextCanBeTypedAndSelectionWritten) {
    ASSERT_TRUE(ui::loadWindow(N));
    ui::setInt(N, "组合框循环单位", "selection", 2);
    EXPECT_EQ(ui::getText(N, "组合框循环单位"), "周");
    ui::setText(N, "组合框循环单位", "天");
    EXPECT_EQ(ui::getText(N, "组合框循环单位"), "天");
    EXPECT_EQ(ui::getListItemCount(N, "组合框循环单位"), 4) << "typing adds no item";
}

TEST_F(ControlsTest, ProgressPicturesAndComponents) {
    ASSERT_TRUE(ui::loadWindow("ImportContactsWindow"));
    const char* I = "ImportContactsWindow";
    ui::setInt(I, "进度条1", "position", 60);
    EXPECT_EQ(ui::getInt(I, "进度条1", "position"), 60);
    ui::setInt(I, "进度条1", "position", 400);
    EXPECT_EQ(ui::getInt(I, "进度条1", "position"), 100);
    ui::setText(I, "分组框3", "正在导入数据，请稍等……");
    EXPECT_EQ(ui::getText(I, "分组框3"), "正在导入数据，请稍等……");

    ASSERT_NE(ui::findControlObject(I, "Excel程序1"), nullptr);
    ui::destroyUnit(I, "Excel程序1");
    EXPECT_EQ(ui::findControlObject(I, "Excel程序1"), nullptr);
    ui::destroyUnit(I, "按钮_退出");  // a control with a screen presence stays
    EXPECT_NE(widget(I, "按钮_退出"), nullptr);

    ASSERT_TRUE(ui::loadWindow(W));
    auto* box = qobject_cast<runtime::ui::widgets::PictureBox*>(widget(W, "图片框_今日"));
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->hasPicture()) << "no picture stored";
    auto* icon = qobject_cast<runtime::ui::widgets::PictureBox*>(widget(W, "图片框1"));
    EXPECT_TRUE(icon->hasPicture()) << "the search icon comes with the form";
    const std::string jpeg = std::get<std::string>(ui::getProperty(W, "图片框1", "picture"));
    EXPECT_TRUE(ui::setProperty(W, "图片框_今日", "picture", jpeg));
    EXPECT_TRUE(box->hasPicture());
    EXPECT_TRUE(ui::setProperty(W, "图片框_今日", "picture", std::string()));
    EXPECT_FALSE(box->hasPicture()) << "empty bytes show nothing";

    ASSERT_TRUE(ui::loadWindow(N));
    auto* banner = qobject_cast<runtime::ui::widgets::PictureBox*>(widget(N, "图片框1"));
    EXPECT_TRUE(banner->hasPicture());
}

TEST_F(ControlsTest, WindowPropertiesMoveAndRename) {
    ASSERT_TRUE(ui::loadWindow("TopEdgeBarWindow"));
    const char* B = "TopEdgeBarWindow";
    ui::setInt(B, "", "top", 0);
    ui::setInt(B, "", "left", 800);
    ui::setBool(B, "", "visible", true);
    EXPECT_EQ(ui::getInt(B, "", "left"), 800);
    EXPECT_EQ(ui::getInt(B, "", "top"), 0);
    EXPECT_TRUE(ui::getBool(B, "", "visible"));
    ui::setText(B, "", "新标题");
    EXPECT_EQ(ui::getText(B, ""), "新标题");
}

}  // namespace
}  // namespace uitest
