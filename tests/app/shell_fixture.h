// The fixture of the shell tests: the program's whole start-up, run in-process on the real
// MainWindow in a fresh program folder, with scripted dialogs, a fixed clock and an end hook
// that records the exit code. Each test gets its own runtime folder, so the single-instance lock
// of one test never blocks the next.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "calendar/calendar.h"
#include "contacts/contacts_page.h"
#include "contacts/memo.h"
#include "runtime/base/datetime.h"
#include "runtime/base/files.h"
#include "runtime/store/store.h"
#include "runtime/ui/dialogs_testing.h"
#include "runtime/ui/ui.h"
#include "runtime/ui/ui_testing.h"
#include "shell/globals.h"
#include "shell/lifecycle.h"

namespace shelltest {

namespace ui = runtime::ui;
namespace st = runtime::store;

inline constexpr const char* kMain = "MainWindow";

inline std::string makeTempFolder(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "_XXXXXX";
    if (!mkdtemp(pattern.data())) return {};
    return pattern;
}

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = makeTempFolder("qb_shell");
        ASSERT_FALSE(folder_.empty());
        runFolder_ = makeTempFolder("qb_shell_run");
        chmod(runFolder_.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runFolder_.c_str(), 1);
        runtime::setRunDirectoryForTesting(folder_);
        runtime::setClockForTesting([] { return runtime::makeDate(2024, 3, 8); });
        ui::setEndProgramHook([this](int code) { exitCode_ = code; });
        ui::useScriptedDialogs();
    }

    void TearDown() override {
        ui::resetForTesting();
        st::closeAllDatabases();
        shell::freeProgramGlobals();
        shell::encryptedFlag = false;
        shell::hotkeyId = 0;
        runtime::setClockForTesting({});
        runtime::setRunDirectoryForTesting({});
        std::filesystem::remove_all(folder_);
        std::filesystem::remove_all(runFolder_);
    }

    // Binds the handlers as the entry does and loads the main window; answers whether the
    // program is still running afterwards.
    bool start() {
        shell::bindShellHandlers();
        calendar::bindCalendarHandlers();
        contacts::bindMemoHandlers();
        contacts::bindContactsHandlers();
        ui::loadWindow(kMain);
        QApplication::processEvents();
        return !exitCode_.has_value();
    }

    std::string path(const std::string& relative) const { return folder_ + relative; }

    std::vector<ui::ShownDialog> messages() const {
        std::vector<ui::ShownDialog> out;
        for (const ui::ShownDialog& d : ui::shownDialogs())
            if (d.kind == ui::DialogKind::MessageBox) out.push_back(d);
        return out;
    }

    std::string folder_, runFolder_;
    std::optional<int> exitCode_;
};

}  // namespace shelltest
