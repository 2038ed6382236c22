// The program inside a benchmark: MainWindow loaded on the offscreen platform over a program
// folder whose stores hold a dataset, as the shell's start leaves it (handlers bound, stores
// open, providers bound), with scripted dialogs. For benchmarks that time one handler; the
// start-up benchmark runs the real executable instead.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/century.h"
#include "calendar/calendar.h"
#include "contacts/contacts_page.h"
#include "contacts/memo.h"
#include "core/opening.h"
#include "exchange/exchange.h"
#include "forms/forms.h"
#include "runtime/base/datetime.h"
#include "runtime/base/files.h"
#include "runtime/store/store.h"
#include "runtime/ui/dialogs_testing.h"
#include "runtime/ui/ui.h"
#include "runtime/ui/ui_testing.h"
#include "search/search.h"

namespace bench {

// The day every in-process benchmark takes for today; the century ends the day before.
inline runtime::DateTime benchToday() { return runtime::makeDate(2024, 6, 15); }

// Makes `folder` a program folder whose stores hold `century` (an existing folder is emptied).
inline bool writeProgramFolder(const std::string& folder, const Century& century) {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder + "/data");
    if (writeDataFolder(folder + "/data", century)) return true;
    std::fprintf(stderr, "could not write the dataset: %s\n", runtime::store::lastError().c_str());
    return false;
}

// Points the desktop's application registry at an empty folder, so that no spreadsheet
// application of this machine is started by an export (the export then asks where to save).
inline void hideDesktopApplications(const std::string& folder) {
    const std::string none = folder + "/no-applications";
    std::filesystem::create_directories(none);
    for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"}) {
        setenv(name, none.c_str(), 1);
    }
}

// Starts the program in a folder that writeProgramFolder made; false when its diary does not
// hold `days` records.
inline bool startProgramIn(const std::string& folder, int days) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    runtime::ui::startRuntime();
    runtime::ui::registerWindows(forms::allWindows());
    runtime::setRunDirectoryForTesting(folder);
    const runtime::DateTime today = benchToday();
    runtime::setClockForTesting([today] { return runtime::DateTime{today.days + 10.0 / 24}; });
    runtime::ui::setEndProgramHook([](int code) { std::fprintf(stderr, "the program ended (%d)\n", code); });
    runtime::ui::useScriptedDialogs();
    calendar::bindCalendarHandlers();
    contacts::bindMemoHandlers();
    contacts::bindContactsHandlers();
    search::bindSearchHandlers();
    exchange::bindExchangeHandlers();
    if (!runtime::ui::loadWindow("MainWindow")) return false;
    core::createMissingDataFiles();
    core::openTables();
    core::bindDataProviders();
    return runtime::store::selectDatabase("rz35") && runtime::store::getRecordCount() == days;
}

inline bool startProgramOn(const std::string& folder, const Century& century) {
    return writeProgramFolder(folder, century) &&
           startProgramIn(folder, static_cast<int>(century.diary.size()));
}

// Ends what startProgramIn started; the folder stays for the next start.
inline void endProgram() {
    runtime::ui::resetForTesting();
    runtime::store::closeAllDatabases();
}

}  // namespace bench
