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
#include "core/globals.h"
#include "core/opening.h"
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
#include "support/program_fixture.h"

namespace qbtest {

namespace sheet = runtime::sheet;

class ExchangeTest : public ProgramFixture {
protected:
    ExchangeTest()
        : ProgramFixture("qb_exchange", kCalendar | kMemo | kContacts | kSearch | kExchange,
                         Start::kMainWindow) {
        fixClock(runtime::DateTime{runtime::makeDate(2024, 6, 1).days + 0.5});
    }

    void SetUp() override {
        ProgramFixture::SetUp();
        if (HasFatalFailure()) return;
        ui::setDate(kMain, "月历", runtime::makeDate(2024, 6, 1));
        ui::clearDialogScript();
    }

    // The code the program ended with, -1 while it runs.
    void programEnded(int code) override { ended_ = code; }

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
            for (int f = 1; f <= static_cast<int>(table->fields().size()); ++f)
                row.push_back(st::valueText(table->read(i, f)));
            rows.push_back(row);
        }
        return rows;
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

    int ended_ = -1;
};

}  // namespace qbtest
