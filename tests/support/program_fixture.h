// The base of the test suites that drive the real program in-process: a fresh program folder per
// test, the real MainWindow and the four stores, scripted dialogs, an optional fixed clock and an
// end hook, all put back to the program's first state afterwards.
//
// A suite picks, in its constructor, the folder's name, the modules whose handlers it binds and
// how far SetUp goes:
//
//   Start          SetUp leaves                                   typical suite
//   kFolderOnly    folders, environment, seams; nothing loaded    the shell: a test calls start()
//   kMainWindow    MainWindow loaded, stores created, opened       the pages, search, exchange
//                  (protected with protectWith_ when it is set)
//                  and bound to the table views
//
// Each test gets three private folders: dir_ (the program folder, the run directory), tmp_
// (TMPDIR) and runFolder_ (XDG_RUNTIME_DIR: the single-instance lock and, inside it, the
// program's temporary-files folder), so nothing of one test is seen by the next. The variables
// are restored after the test.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "runtime/base/datetime.h"
#include "runtime/store/store.h"
#include "runtime/ui/dialogs_testing.h"
#include "runtime/ui/ui.h"
#include "runtime/ui/ui_testing.h"

namespace qbtest {

namespace st = runtime::store;
namespace ui = runtime::ui;

inline constexpr const char* kMain = "MainWindow";

// A new empty folder /tmp/<prefix>_XXXXXX; empty text when it cannot be made.
std::string makeTempFolder(const std::string& prefix);

// The open top-level window of that name, or null.
QWidget* windowWidget(const char* window);

// A control of an open window, found by its object name (the control's name), or null.
template <typename T = QWidget>
T* find(const char* window, const char* control) {
    QWidget* top = windowWidget(window);
    return top ? top->findChild<T*>(QString::fromUtf8(control)) : nullptr;
}

// The first control of that name in any open window, or null.
template <typename T>
T* findWidget(const char* name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (T* widget = top->findChild<T*>(QString::fromUtf8(name))) return widget;
    }
    return nullptr;
}

// The modules whose handler names the forms use; bound in the entry's order.
enum Module : unsigned {
    kShell = 1u << 0,
    kCalendar = 1u << 1,
    kMemo = 1u << 2,
    kContacts = 1u << 3,
    kSearch = 1u << 4,
    kExchange = 1u << 5,
    kEveryModule = (1u << 6) - 1,
};

enum class Start { kFolderOnly, kMainWindow };

class ProgramFixture : public ::testing::Test {
protected:
    // `prefix` names the folders in /tmp; `modules` is an or of Module.
    ProgramFixture(std::string prefix, unsigned modules, Start start);

    void SetUp() override;
    void TearDown() override;

    // Called by the window system's endProgram; the program code after it does not run (the
    // window system throws ui::ProgramEnded). Records the exit code unless a suite says otherwise.
    virtual void programEnded(int code) { exitCode_ = code; }

    // Fixes "now" for the program at now_ (which a test may move later). Without it the real
    // clock runs. Call in the constructor.
    void fixClock(runtime::DateTime now) {
        now_ = now;
        fixedClock_ = true;
    }

    // The whole start-up as the entry runs it: binds the handlers and loads MainWindow, whose
    // created handler brings the system up. Answers whether the program is still running.
    bool start();

    // Protects the four closed store files with `password`, as an earlier run would have.
    void protectStoreFiles(const std::string& password);

    // Windows closed by the window system go away at the next turn of the event loop.
    static void flushDeletes();

    std::string path(const std::string& relative) const { return dir_ + relative; }

    // Records written straight into the open stores, as another run would have left them.
    static void addDiary(runtime::DateTime day, const std::string& text);
    static void addItem(runtime::DateTime start, int period, const std::string& unit,
                        const std::string& text);
    static void setMemo(const std::string& text);
    static void addContact(const std::string& name, const std::string& phone = "",
                           const std::string& remark = "");

    // The message boxes shown so far, in order.
    static std::vector<ui::ShownDialog> messages();

    std::string dir_, tmp_, runFolder_;
    std::optional<int> exitCode_;
    runtime::DateTime now_;
    std::string protectWith_;  // set before SetUp to start on protected stores (kMainWindow)

private:
    void bindModules() const;
    void loadMainWindow();

    std::string prefix_;
    unsigned modules_;
    Start start_;
    bool fixedClock_ = false;
    std::optional<std::string> oldTmp_, oldRun_;
    bool environmentSaved_ = false;
};

}  // namespace qbtest
