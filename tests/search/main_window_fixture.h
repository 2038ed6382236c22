// The real main window with the real stores, in a folder of its own: what start-up does, less the
// single-instance guard and the settings file. Each test gets fresh empty stores, its own
// temporary-files folder (TMPDIR) for the letter groups, and scripted dialogs.
#pragma once

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
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
#include "search/search.h"
#include "shell/globals.h"
#include "store/opening.h"

namespace qbtest {

namespace st = runtime::store;
namespace ui = runtime::ui;

inline constexpr const char* kMain = "MainWindow";

// The widget of a control, found by its object name (the control's name) in the open windows.
template <typename T>
T* findWidget(const char* name) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (T* widget = top->findChild<T*>(QString::fromUtf8(name))) return widget;
    }
    return nullptr;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qb_search_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        tmp_ = dir_ + "/tmp";
        std::filesystem::create_directories(tmp_);
        runtime::setRunDirectoryForTesting(dir_);
        setenv("TMPDIR", tmp_.c_str(), 1);

        ui::startRuntime();
        ui::resetForTesting();
        ui::useScriptedDialogs();
        st::closeAllDatabases();
        shell::startupPassword.clear();
        shell::databasePassword.clear();

        calendar::bindCalendarHandlers();
        contacts::bindMemoHandlers();
        contacts::bindContactsHandlers();
        search::bindSearchHandlers();
        ASSERT_TRUE(ui::loadWindow(kMain));
        stores::createMissingDataFiles();
        if (protectWith_.empty()) {
            stores::openTables();
        } else {
            protectStoreFiles(protectWith_);
            ui::pushInputBoxAnswer(true, protectWith_);
            stores::openTablesWithPassword();
        }
        stores::bindDataProviders();
        ui::setDate(kMain, "月历", runtime::makeDate(2024, 6, 1));
        ui::clearDialogScript();
    }

    void TearDown() override {
        ui::resetForTesting();
        st::closeAllDatabases();
        shell::startupPassword.clear();
        shell::databasePassword.clear();
        runtime::setRunDirectoryForTesting("");
        unsetenv("TMPDIR");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    // Protects the four closed store files with `password`, as an earlier run would have.
    void protectStoreFiles(const std::string& password) {
        for (const char* name : {"rz35", "tx35", "bw35", "lxr35"}) {
            ASSERT_TRUE(st::openDatabase(shell::programPath("/data/" + std::string(name) + ".edb")));
            ASSERT_TRUE(st::setDatabasePassword(password));
            ASSERT_TRUE(st::closeDatabase());
        }
    }

    static void addContact(const std::string& name, const std::string& phone = "", const std::string& remark = "") {
        ASSERT_TRUE(st::selectDatabase("lxr35"));
        ASSERT_TRUE(st::addRecord({name, phone, remark}));
    }

    // The names of the open table under `storeNameOrPath`, in record order.
    static std::vector<std::string> namesOf(const std::string& storeNameOrPath) {
        std::vector<std::string> names;
        st::Table* table = st::findOpenTable(storeNameOrPath);
        if (table == nullptr) return names;
        for (int i = 1; i <= table->recordCount(); ++i) names.push_back(st::valueText(table->read(i, 1)));
        return names;
    }

    static std::string providerFile() {
        ui::Value v = ui::getProperty(kMain, "数据库提供者_联系人", "file");
        const std::string* text = std::get_if<std::string>(&v);
        return text ? *text : std::string();
    }

    std::string groupFile(const char* name) const { return tmp_ + "/" + name; }
    std::string storeFile() const { return dir_ + "/data/lxr35.edb"; }

    int shownRows() const { return static_cast<int>(ui::getInt(kMain, "表格_人脉", "rowCount")); }

    static std::vector<ui::ShownDialog> messages() {
        std::vector<ui::ShownDialog> out;
        for (const ui::ShownDialog& d : ui::shownDialogs()) {
            if (d.kind == ui::DialogKind::MessageBox) out.push_back(d);
        }
        return out;
    }

    std::string dir_, tmp_;
    std::string protectWith_;  // set by a test class before SetUp to start with protected stores
};

}  // namespace qbtest
