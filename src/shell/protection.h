// Protecting the four stores with one password from the settings page, and removing it. The
// check box `选择框_加密` and the label `标签_加密状态` are the run's record of the state: start-up
// sets them, these handlers keep them up to date.
#pragma once

namespace shell {

void onEncryptCheckClicked();
void setPasswordOnAllTables();

}  // namespace shell
