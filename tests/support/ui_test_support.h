// Shared helpers of the window-system tests: a fixture that starts every test from no windows
// and no handlers, handler recorders, and lookups of the real widgets behind the names.
#pragma once

#include <gtest/gtest.h>

#include <QWidget>
#include <string>
#include <vector>

#include "forms/forms.h"
#include "runtime/ui/control_registry.h"
#include "runtime/ui/dialogs_testing.h"
#include "runtime/ui/ui.h"
#include "runtime/ui/ui_testing.h"

namespace uitest {

namespace ui = runtime::ui;

struct Call {
    std::string handler;
    ui::EventArgs args;
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Binds the name to a handler that appends to calls() and answers `answer`.
    void record(const std::string& handlerName, bool answer = true);
    std::vector<std::string> names() const;
    std::vector<Call>& calls() { return calls_; }

private:
    std::vector<Call> calls_;
};

QWidget* widget(std::string_view window, std::string_view control);
template <typename T>
T* widgetAs(std::string_view window, std::string_view control) {
    return qobject_cast<T*>(widget(window, control));
}

const ui::ControlDef* controlDef(std::string_view window, std::string_view control);

// Shows the window, makes it the active window, and turns every tab control on the way to
// the control to the page that holds it.
void reveal(std::string_view window, std::string_view control);

// Deletes the windows that destroyUnit left for deferred deletion.
void flushDeletes();

}  // namespace uitest
