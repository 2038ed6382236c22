// The memo page. The memo record, once added, is never deleted: emptying the box stores the empty
// text in it.
#include "contacts/memo.h"

#include <functional>
#include <string>

#include "runtime/store/store.h"
#include "runtime/ui/ui.h"

namespace contacts {

namespace store = runtime::store;
namespace ui = runtime::ui;

namespace {
constexpr const char* kMainWindow = "MainWindow";
constexpr const char* kMemoBox = "编辑框备忘便签";
constexpr const char* kMemoField = "bw";
}  // namespace

void showMemo() {
    store::goToFirstRecord();
    ui::setText(kMainWindow, kMemoBox, store::valueText(store::readField(kMemoField)));
}

void onMemoTextChanged() {
    store::selectDatabase("bw35");
    if (store::getRecordCount() == 0) store::addEmptyRecord();
    store::goToFirstRecord();
    store::writeField(kMemoField, store::Value{ui::getText(kMainWindow, kMemoBox)});
}

void bindMemoHandlers() { ui::bindHandler("onMemoTextChanged", std::function<void()>(onMemoTextChanged)); }

}  // namespace contacts
