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
#include "core/globals.h"
#include "runtime/base/datetime.h"
#include "runtime/base/files.h"
#include "runtime/store/store.h"
#include "runtime/ui/dialogs_testing.h"
#include "runtime/ui/ui.h"
#include "runtime/ui/ui_testing.h"
#include "shell/lifecycle.h"
#include "support/program_fixture.h"

namespace shelltest {

using namespace qbtest;  // kMain, ui, st, makeTempFolder and the rest of the shared fixture

// start() binds the handlers as the entry does, less search and exchange, and loads the main window.
class ShellTest : public ProgramFixture {
protected:
    ShellTest() : ProgramFixture("qb_shell", kShell | kCalendar | kMemo | kContacts, Start::kFolderOnly) {
        fixClock(runtime::makeDate(2024, 3, 8));
    }
};

}  // namespace shelltest
