#include "support/ui_test_support.h"

#include <QApplication>
#include <QCoreApplication>

namespace uitest {

void UiTest::SetUp() {
    ui::resetForTesting();
    ui::useScriptedDialogs(true);
    flushDeletes();
}

void UiTest::TearDown() {
    ui::resetForTesting();
    flushDeletes();
}

void UiTest::record(const std::string& handlerName, bool answer) {
    ui::bindHandler(handlerName, ui::Handler([this, handlerName, answer](const ui::EventArgs& a) {
                        calls_.push_back({handlerName, a});
                        return answer;
                    }));
}

std::vector<std::string> UiTest::names() const {
    std::vector<std::string> n;
    for (const Call& c : calls_) n.push_back(c.handler);
    return n;
}

QWidget* widget(std::string_view window, std::string_view control) {
    return ui::findControlWidget(window, control);
}

const ui::ControlDef* controlDef(std::string_view window, std::string_view control) {
    const ui::WindowDef* w = forms::findWindow(window);
    if (!w) return nullptr;
    for (const ui::ControlDef& c : w->controls)
        if (control == c.name) return &c;
    return nullptr;
}

void reveal(std::string_view window, std::string_view control) {
    QWidget* top = ui::findWindowWidget(window);
    if (!top) return;
    top->show();
    top->activateWindow();
    QApplication::setActiveWindow(top);
    // From the control outwards: each tab control on the way turns to the page that holds it.
    const ui::ControlDef* c = controlDef(window, control);
    while (c && *c->container) {
        const ui::ControlDef* container = controlDef(window, c->container);
        if (container && container->kind == ui::ControlKind::TabControl)
            ui::setInt(window, container->name, "page", c->page);
        c = container;
    }
    QCoreApplication::processEvents();
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

}  // namespace uitest
