// The spreadsheet exchange of the program: export (export.h) and the contact import (import_contacts.h).
#pragma once

namespace exchange {

// Binds every handler name the forms give the export buttons, the import button and
// ImportContactsWindow.
void bindExchangeHandlers();

}  // namespace exchange
