// Qt keys as the program's key handlers receive them: Windows virtual-key codes and the state
// 1 Ctrl | 2 Shift | 4 Alt, through the real edit box and in the mapping itself.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

#include "runtime/ui/key_codes.h"
#include "support/ui_test_support.h"

namespace uitest {
namespace {

using runtime::ui::detail::modifierState;
using runtime::ui::detail::virtualKeyCode;

TEST(KeyCodes, KeypadDigitsAndSignsArriveAsTheMainRowKeys) {
    for (int d = 0; d <= 9; ++d) EXPECT_EQ(virtualKeyCode(Qt::Key_0 + d, Qt::KeypadModifier), 48 + d);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Minus, Qt::KeypadModifier), 189);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Period, Qt::KeypadModifier), 190);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Slash, Qt::KeypadModifier), 191);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Asterisk, Qt::KeypadModifier), 106);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Plus, Qt::KeypadModifier), 107);
}

TEST(KeyCodes, LettersFunctionKeysAndShiftedSymbols) {
    EXPECT_EQ(virtualKeyCode(Qt::Key_A, Qt::NoModifier), 65);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Z, Qt::ControlModifier), 90);
    EXPECT_EQ(virtualKeyCode(Qt::Key_F1, Qt::NoModifier), 112);
    EXPECT_EQ(virtualKeyCode(Qt::Key_F12, Qt::NoModifier), 123);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Exclam, Qt::ShiftModifier), 49);
    EXPECT_EQ(virtualKeyCode(Qt::Key_ParenRight, Qt::ShiftModifier), 48);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Minus, Qt::NoModifier), 189);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Return, Qt::NoModifier), 13);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Enter, Qt::KeypadModifier), 13);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Control, Qt::ControlModifier), 17);
    EXPECT_EQ(virtualKeyCode(Qt::Key_Delete, Qt::NoModifier), 46);
    EXPECT_EQ(virtualKeyCode(Qt::Key_unknown, Qt::NoModifier), 0);
}

TEST(KeyCodes, ThePressedKeyNeverCountsItself) {
    const auto all = Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier;
    EXPECT_EQ(modifierState(Qt::Key_A, all), 7);
    EXPECT_EQ(modifierState(Qt::Key_Control, all), 6);
    EXPECT_EQ(modifierState(Qt::Key_Shift, all), 5);
    EXPECT_EQ(modifierState(Qt::Key_Alt, all), 3);
    EXPECT_EQ(modifierState(Qt::Key_Control, Qt::ControlModifier), 0);
    EXPECT_EQ(modifierState(Qt::Key_A, Qt::KeypadModifier), 0);
}

class KeyEventsTest : public UiTest {};

TEST_F(KeyEventsTest, HotkeyBoxReportsCodeAndStateOnKeyDownAndUp) {
    ASSERT_TRUE(ui::loadWindow("MainWindow"));
    record("onHotkeyKeyDown");
    record("onHotkeyKeyUp");
    QWidget* box = widget("MainWindow", "编辑框_热键1");
    // One event per key, as the keyboard sends them (QTest would add presses of the modifiers).
    auto key = [box](QEvent::Type type, int k, Qt::KeyboardModifiers m) {
        QKeyEvent e(type, k, m);
        QApplication::sendEvent(box, &e);
    };
    key(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    key(QEvent::KeyPress, Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    key(QEvent::KeyPress, Qt::Key_5, Qt::KeypadModifier);
    key(QEvent::KeyRelease, Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(calls().size(), 4u);
    EXPECT_EQ(calls()[0].args.a, 17);
    EXPECT_EQ(calls()[0].args.b, 0);
    EXPECT_EQ(calls()[1].args.a, 70);
    EXPECT_EQ(calls()[1].args.b, 5);
    EXPECT_EQ(calls()[2].args.a, 53);
    EXPECT_EQ(calls()[2].args.b, 0);
    EXPECT_EQ(calls()[3].handler, "onHotkeyKeyUp");
    EXPECT_EQ(calls()[3].args.b, 1);
    EXPECT_EQ(ui::getText("MainWindow", "编辑框_热键1"), "") << "read-only: keys type nothing";
}

TEST_F(KeyEventsTest, WheelDeliversWholeNotches) {
    ASSERT_TRUE(ui::loadWindow("MainWindow"));
    record("onCalendarWheel");
    QWidget* cal = widget("MainWindow", "月历");
    for (int angle : {120, -240}) {
        QWheelEvent e(QPointF(10, 10), cal->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, angle),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(cal, &e);
    }
    ASSERT_EQ(calls().size(), 2u);
    EXPECT_EQ(calls()[0].args.a, 1);
    EXPECT_EQ(calls()[1].args.a, -2);
}

}  // namespace
}  // namespace uitest
