// The handler names the forms give the export buttons, the import button and ImportContactsWindow.
#include "exchange/exchange.h"
#include "exchange/export.h"
#include "exchange/import_contacts.h"
#include "runtime/ui/ui.h"

namespace exchange {

void bindExchangeHandlers() {
    using runtime::ui::bindHandler;
    bindHandler("onExportResultsButton", std::function<void()>(onExportResultsButton));
    bindHandler("onExportAllButton", std::function<void()>(onExportAllButton));
    bindHandler("onImportContactsButton", std::function<void()>(onImportContactsButton));
    bindHandler("onImportWindowCreated", std::function<void()>(onImportWindowCreated));
    bindHandler("onImportWindowDestroy", std::function<void()>(onImportWindowDestroy));
    bindHandler("onChooseExcelFile", std::function<void()>(onChooseExcelFile));
    bindHandler("onStartImport", std::function<void()>(onStartImport));
    bindHandler("onImportQuit", std::function<void()>(onImportQuit));
}

}  // namespace exchange
