// The memo page. The memo record, once added, is never deleted: emptying the box stores the empty
// text in it.
//
// A write that fails leaves the store as it was and the box keeps its text; the next change writes
// the whole text again. The failure is said once, when a run of failures begins: coming back to
// the page reloads the note from the store, so an unsaved text would otherwise go without a word,
// and a message at every keystroke would stop the typing.
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

// True while the memo's writes fail; the next write that succeeds clears it.
bool memoWriteFailing = false;
}  // namespace

void showMemo() {
    store::goToFirstRecord();
    ui::setText(kMainWindow, kMemoBox, store::valueText(store::readField(kMemoField)));
}

void onMemoTextChanged() {
    store::selectDatabase("bw35");
    std::string reason;
    if (store::getRecordCount() == 0 && !store::addEmptyRecord()) reason = store::lastError();
    store::goToFirstRecord();
    const bool stored = store::writeField(kMemoField, store::Value{ui::getText(kMainWindow, kMemoBox)});
    if (!stored && reason.empty()) reason = store::lastError();
    if (!stored && !memoWriteFailing) {
        ui::showMessageBox(
            "备忘便签未能写入：" + reason +
                "\r\n框中的文字没有丢失，问题排除后再改动一下即可重新保存；在此之前请勿离开本页。",
            0x10, "错误！");
    }
    memoWriteFailing = !stored;
}

void bindMemoHandlers() { ui::bindHandler("onMemoTextChanged", std::function<void()>(onMemoTextChanged)); }

}  // namespace contacts
