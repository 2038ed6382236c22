// The real main window with the real stores, in a folder of its own: what start-up does, less the
// single-instance guard and the settings file. Each test gets fresh empty stores, its own
// temporary-files folder (inside its runtime folder) for the letter groups, and scripted dialogs.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "calendar/calendar.h"
#include "contacts/contacts_page.h"
#include "contacts/memo.h"
#include "core/globals.h"
#include "core/opening.h"
#include "runtime/base/datetime.h"
#include "runtime/base/files.h"
#include "runtime/store/store.h"
#include "runtime/ui/dialogs_testing.h"
#include "runtime/ui/ui.h"
#include "runtime/ui/ui_testing.h"
#include "search/search.h"
#include "support/program_fixture.h"

namespace qbtest {

class MainWindowTest : public ProgramFixture {
protected:
    // The clock is not fixed: the tests set the calendar's date themselves.
    MainWindowTest()
        : ProgramFixture("qb_search", kCalendar | kMemo | kContacts | kSearch, Start::kMainWindow) {}

    void SetUp() override {
        ProgramFixture::SetUp();
        if (HasFatalFailure()) return;
        ui::setDate(kMain, "月历", runtime::makeDate(2024, 6, 1));
        ui::clearDialogScript();
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

    static std::string groupFile(const char* name) {
        return runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp) + name;
    }
    std::string storeFile() const { return dir_ + "/data/lxr35.edb"; }

    int shownRows() const { return static_cast<int>(ui::getInt(kMain, "表格_人脉", "rowCount")); }
};

}  // namespace qbtest
