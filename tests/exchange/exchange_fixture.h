// The real main window with the real stores in a folder of its own (what start-up does, less the
// single-instance guard and the settings file), the exchange handlers bound, dialogs scripted,
// and a fixed clock so export file names are known.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "calendar/calendar.h"
#include "contacts/contacts_page.h"
#include "contacts/memo.h"
#include "exchange/exchange.h"
#include "exchange/export.h"
#include "exchange/import_contacts.h"
#include "runtime/base/datetime.h"
#include "runtime/base/files.h"
#include "runtime/sheet/sheet.h"
#include "runtime/store/store.h"
#include "runtime/ui/control_registry.h"
#include "runtime/ui/dialogs_testing.h"
#include "runtime/ui/ui.h"
#include "runtime/ui/ui_testing.h"
#include "search/search.h"
#include "shell/globals.h"
#include "store/opening.h"

namespace qbtest {

namespace st = runtime::store;
namespace ui = runtime::ui;
namespace sheet = runtime::sheet;

inline constexpr const char* kMain = "MainWindow";

class ExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qb_exchange_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        std::filesystem::create_directories(dir_ + "/tmp");
        runtime::setRunDirectoryForTesting(dir_);
        setenv("TMPDIR", (dir_ + "/tmp").c_str(), 1);
        runtime::setClockForTesting([] { return runtime::DateTime{runtime::makeDate(2024, 6, 1).days + 0.5}; });

        ui::startRuntime();
        ui::resetForTesting();
        ui::useScriptedDialogs();
        st::closeAllDatabases();
        shell::startupPassword.clear();
        shell::databasePassword.clear();
        ended_ = -1;
        ui::setEndProgramHook([this](int code) { ended_ = code; });

        calendar::bindCalendarHandlers();
        contacts::bindMemoHandlers();
        contacts::bindContactsHandlers();
        search::bindSearchHandlers();
        exchange::bindExchangeHandlers();
        ASSERT_TRUE(ui::loadWindow(kMain));
        stores::createMissingDataFiles();
        stores::openTables();
        stores::bindDataProviders();
        ui::setDate(kMain, "月历", runtime::makeDate(2024, 6, 1));
        ui::clearDialogScript();
    }

    void TearDown() override {
        ui::resetForTesting();
        st::closeAllDatabases();
        runtime::setClockForTesting({});
        runtime::setRunDirectoryForTesting("");
        unsetenv("TMPDIR");
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    static void addDiary(runtime::DateTime day, const std::string& text) {
        ASSERT_TRUE(st::selectDatabase("rz35"));
        ASSERT_TRUE(st::addRecord({day, text}));
    }
    static void addItem(runtime::DateTime start, int period, const std::string& unit, const std::string& text) {
        ASSERT_TRUE(st::selectDatabase("tx35"));
        ASSERT_TRUE(st::addRecord({start, int32_t(period), unit, text}));
    }
    static void setMemo(const std::string& text) {
        ASSERT_TRUE(st::selectDatabase("bw35"));
        ASSERT_TRUE(st::addRecord({text}));
    }
    static void addContact(const std::string& name, const std::string& phone = "", const std::string& remark = "") {
        ASSERT_TRUE(st::selectDatabase("lxr35"));
        ASSERT_TRUE(st::addRecord({name, phone, remark}));
    }
    static void searchFor(const std::string& keyword) {
        ui::setText(kMain, "编辑框关键词", keyword);
        search::searchAll();
        ui::clearDialogScript();
    }

    // Every record of the open table, each field as text.
    static std::vector<std::vector<std::string>> rowsOf(const std::string& store) {
        std::vector<std::vector<std::string>> rows;
        st::Table* table = st::findOpenTable(store);
        if (!table) return rows;
        for (int i = 1; i <= table->recordCount(); ++i) {
            std::vector<std::string> row;
            for (int f = 1; f <= static_cast<int>(table->fields().size()); ++f) row.push_back(st::valueText(table->read(i, f)));
            rows.push_back(row);
        }
        return rows;
    }

    static std::vector<ui::ShownDialog> messages() {
        std::vector<ui::ShownDialog> out;
        for (const ui::ShownDialog& d : ui::shownDialogs()) {
            if (d.kind == ui::DialogKind::MessageBox) out.push_back(d);
        }
        return out;
    }

    // The cells of one sheet as texts, row by row up to its used size.
    static std::vector<std::vector<std::string>> cellsOf(const sheet::Worksheet& s) {
        std::vector<std::vector<std::string>> rows;
        const sheet::UsedSize size = s.usedSize();
        for (int r = 1; r <= size.rows; ++r) {
            std::vector<std::string> row;
            for (int c = 1; c <= size.columns; ++c) row.push_back(s.cell(r, c).asText());
            rows.push_back(row);
        }
        return rows;
    }

    std::string dir_;
    int ended_ = -1;
};

}  // namespace qbtest
