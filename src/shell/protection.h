// Protecting the four stores with one password from the settings page, and removing it. The
// check box `选择框_加密` and the label `标签_加密状态` are the run's record of the state: start-up
// sets them, these handlers keep them up to date.
#pragma once

#include <functional>

namespace shell {

// Run just before the stores take a password: plain copies of their records that a module keeps
// (the contacts page's letter groups) must not outlive the protection. The contacts page hands
// it over when it binds its handlers.
void registerBeforeProtecting(std::function<void()> step);

void onEncryptCheckClicked();
void setPasswordOnAllTables();

}  // namespace shell
