// One application object for the suites that drive the program's windows: the runtime started
// with the five windows registered, on the offscreen platform unless the test script gives the
// suite its X server.
#include <gtest/gtest.h>

#include <cstdlib>

#include "forms/forms.h"
#include "runtime/ui/ui.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    runtime::ui::startRuntime();
    runtime::ui::registerWindows(forms::allWindows());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
