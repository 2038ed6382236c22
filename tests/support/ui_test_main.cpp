// One QApplication for all window-system tests, on the offscreen platform, with scripted dialogs.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include "forms/forms.h"
#include "runtime/ui/dialogs_testing.h"
#include "runtime/ui/ui.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    runtime::ui::startRuntime();
    runtime::ui::registerWindows(forms::allWindows());
    runtime::ui::useScriptedDialogs(true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
