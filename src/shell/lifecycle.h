// The program's life cycle: the main window's created handler brings the whole system up in a
// fixed order; the guard lets one instance run; the two ways of quitting; the destroy handler.
//
//   state      event                              function                   next
//   starting   MainWindow created                 onMainWindowCreated        running | ended
//   starting   another instance holds the guard   ensureSingleInstance       ended (exit 0)
//   running    close button, OK                   onMainWindowCloseRequest   ended (exit 0)
//   running    close button, Cancel               onMainWindowCloseRequest   running
//   running    tray menu "退出", OK               onTrayMenuExit             ended (tray icon removed first)
//   running    MainWindow destroyed               onMainWindowDestroy        (zoom written, tables closed)
//
// Ending goes through runtime::ui::endProgram, which stops event delivery before anything else,
// so no handler runs after it; the stores need no closing since every operation is on disk.
#pragma once

#include <functional>

namespace shell {

// What start-up asks of the calendar once the stores are open: show the day chosen in `月历` and
// rebuild the week view. The calendar stands above the shell and hands them over when it binds
// its handlers, before MainWindow is loaded.
struct DayViews {
    std::function<void()> showChosenDay;
    std::function<void()> rebuildWeekView;
};
void registerDayViews(DayViews views);

void onMainWindowCreated();
void ensureSingleInstance();
bool onMainWindowCloseRequest();
void onTrayMenuExit();
void onMainWindowDestroy();

// Binds every handler name of the shell's windows to its function.
void bindShellHandlers();

}  // namespace shell
