// One application object for the page tests, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <cstdlib>

#include "forms/forms.h"
#include "runtime/ui/ui.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    runtime::ui::startRuntime();
    runtime::ui::registerWindows(forms::allWindows());
    QFont font("WenQuanYi Micro Hei");
    font.setPointSize(9);
    QApplication::setFont(font);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
