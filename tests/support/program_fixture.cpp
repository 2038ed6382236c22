// The shared program fixture: folders, environment and seams in, everything back out.
#include "support/program_fixture.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include "calendar/calendar.h"
#include "contacts/contacts_page.h"
#include "contacts/memo.h"
#include "core/globals.h"
#include "core/opening.h"
#include "core/search_results.h"
#include "exchange/exchange.h"
#include "forms/forms.h"
#include "runtime/base/files.h"
#include "search/search.h"
#include "shell/lifecycle.h"

namespace qbtest {

namespace {

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

void restoreEnvironment(const char* name, const std::optional<std::string>& value) {
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

// Every global of the program as it is when the program starts: zero, false or empty; no search
// results held.
void resetProgramGlobals() {
    core::freeProgramGlobals();
    core::clearSearchResults();
    core::weekViewCentreDate = {};
    core::hotkeyModifiers = 0;
    core::hotkeyKeyCode = 0;
    core::periodicItemStartDate = {};
    core::hotkeyId = 0;
    core::encryptedFlag = false;
}

void removeFolder(const std::string& folder) {
    if (folder.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

}  // namespace

std::string makeTempFolder(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "_XXXXXX";
    if (!mkdtemp(pattern.data())) return {};
    return pattern;
}

QWidget* windowWidget(const char* window) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QString::fromUtf8(window)) return top;
    }
    return nullptr;
}

ProgramFixture::ProgramFixture(std::string prefix, unsigned modules, Start start)
    : prefix_(std::move(prefix)), modules_(modules), start_(start) {}

void ProgramFixture::SetUp() {
    oldTmp_ = environmentValue("TMPDIR");
    oldRun_ = environmentValue("XDG_RUNTIME_DIR");
    environmentSaved_ = true;

    dir_ = makeTempFolder(prefix_);
    tmp_ = makeTempFolder(prefix_ + "_tmp");
    runFolder_ = makeTempFolder(prefix_ + "_run");
    ASSERT_FALSE(dir_.empty() || tmp_.empty() || runFolder_.empty()) << "no temporary folder for " << prefix_;
    chmod(runFolder_.c_str(), 0700);
    setenv("TMPDIR", tmp_.c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runFolder_.c_str(), 1);
    runtime::setRunDirectoryForTesting(dir_);

    ui::startRuntime();
    ui::registerWindows(forms::allWindows());
    ui::resetForTesting();
    st::closeAllDatabases();
    resetProgramGlobals();
    if (fixedClock_) runtime::setClockForTesting([this] { return now_; });
    ui::useScriptedDialogs();
    ui::setEndProgramHook([this](int code) { programEnded(code); });

    if (start_ == Start::kMainWindow) loadMainWindow();
}

void ProgramFixture::TearDown() {
    ui::resetForTesting();
    flushDeletes();
    st::closeAllDatabases();
    resetProgramGlobals();
    runtime::setClockForTesting({});
    runtime::setRunDirectoryForTesting({});
    if (environmentSaved_) {
        restoreEnvironment("TMPDIR", oldTmp_);
        restoreEnvironment("XDG_RUNTIME_DIR", oldRun_);
    }
    removeFolder(dir_);
    removeFolder(tmp_);
    removeFolder(runFolder_);
}

void ProgramFixture::bindModules() const {
    if (modules_ & kShell) shell::bindShellHandlers();
    if (modules_ & kCalendar) calendar::bindCalendarHandlers();
    if (modules_ & kMemo) contacts::bindMemoHandlers();
    if (modules_ & kContacts) contacts::bindContactsHandlers();
    if (modules_ & kSearch) search::bindSearchHandlers();
    if (modules_ & kExchange) exchange::bindExchangeHandlers();
}

// What the shell's created handler does for the stores, without the shell: the window first (the
// protected opening writes the password into its providers), then the files and the tables.
void ProgramFixture::loadMainWindow() {
    bindModules();
    ASSERT_TRUE(ui::loadWindow(kMain));
    core::createMissingDataFiles();
    if (protectWith_.empty()) {
        core::openTables();
    } else {
        protectStoreFiles(protectWith_);
        ui::pushInputBoxAnswer(true, protectWith_);
        core::openTablesWithPassword();
    }
    core::bindDataProviders();
}

bool ProgramFixture::start() {
    bindModules();
    ui::loadWindow(kMain);
    QApplication::processEvents();
    return !exitCode_.has_value();
}

void ProgramFixture::protectStoreFiles(const std::string& password) {
    for (const char* name : {"rz35", "tx35", "bw35", "lxr35"}) {
        ASSERT_TRUE(st::openDatabase(core::programPath("/data/" + std::string(name) + ".edb")));
        ASSERT_TRUE(st::setDatabasePassword(password));
        ASSERT_TRUE(st::closeDatabase());
    }
}

void ProgramFixture::flushDeletes() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ProgramFixture::addDiary(runtime::DateTime day, const std::string& text) {
    ASSERT_TRUE(st::selectDatabase("rz35"));
    ASSERT_TRUE(st::addRecord({st::Value{day}, st::Value{text}}));
}

void ProgramFixture::addItem(runtime::DateTime start, int period, const std::string& unit,
                             const std::string& text) {
    ASSERT_TRUE(st::selectDatabase("tx35"));
    ASSERT_TRUE(
        st::addRecord({st::Value{start}, st::Value{int32_t(period)}, st::Value{unit}, st::Value{text}}));
}

void ProgramFixture::setMemo(const std::string& text) {
    ASSERT_TRUE(st::selectDatabase("bw35"));
    ASSERT_TRUE(st::addRecord({st::Value{text}}));
}

void ProgramFixture::addContact(const std::string& name, const std::string& phone,
                                const std::string& remark) {
    ASSERT_TRUE(st::selectDatabase("lxr35"));
    ASSERT_TRUE(st::addRecord({st::Value{name}, st::Value{phone}, st::Value{remark}}));
}

std::vector<ui::ShownDialog> ProgramFixture::messages() {
    std::vector<ui::ShownDialog> out;
    for (const ui::ShownDialog& d : ui::shownDialogs()) {
        if (d.kind == ui::DialogKind::MessageBox) out.push_back(d);
    }
    return out;
}

}  // namespace qbtest
