// The entry: start the runtime, hand it the window definitions, register the end routine, bind
// every handler name the forms use (each module then hands the shell what start-up and
// protection need of it), load the main window (whose created handler brings the whole system
// up) and run the events.
#include "calendar/calendar.h"
#include "contacts/contacts_page.h"
#include "contacts/memo.h"
#include "core/globals.h"
#include "exchange/exchange.h"
#include "exchange/export.h"
#include "forms/forms.h"
#include "runtime/ui/ui.h"
#include "search/search.h"
#include "shell/lifecycle.h"

int main() {
    runtime::ui::startRuntime();
    runtime::ui::registerWindows(forms::allWindows());
    runtime::ui::setEndRoutine(core::freeProgramGlobals);
    shell::bindShellHandlers();
    calendar::bindCalendarHandlers();
    contacts::bindMemoHandlers();
    contacts::bindContactsHandlers();
    search::bindSearchHandlers();
    exchange::bindExchangeHandlers();
    exchange::rescueTemporaryExportWorkbooks();
    runtime::ui::loadWindow("MainWindow");
    runtime::ui::runMessageLoop();
    return 0;
}
