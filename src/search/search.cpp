// The keyword search and its result handlers. The search reads every store from its first record
// through its record count, one skipRecords at a time, and tests each text for the keyword as
// findText would find it from the first byte, letter case ignored; store answers are not examined
// (a failed read is the empty text, which holds no keyword). The results are held in the core,
// the dated kinds sorted first; the lists show them and the jumps read them there.
#include "search/search.h"

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "calendar/calendar.h"
#include "contacts/contacts_page.h"
#include "core/diary.h"
#include "core/periodic_items.h"
#include "core/search_results.h"
#include "core/stores.h"
#include "runtime/base/datetime.h"
#include "runtime/base/text.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"
#include "search/search_lines.h"

namespace search {

namespace st = runtime::store;
namespace ui = runtime::ui;
using core::ResultKind;
using core::SearchResult;

namespace {

constexpr const char* kMain = "MainWindow";
constexpr const char* kKeywordBox = "编辑框关键词";
constexpr const char* kHint = "请在这里输入关键词并回车...";
constexpr const char* kMemoFound = "找到！请点击查看";
constexpr const char* kNotFound = "未找到！";
constexpr const char* kDiaryList = "列表框_日志搜索结果";
constexpr const char* kReminderList = "列表框_提醒搜索结果";
constexpr const char* kMemoList = "列表框_备忘搜索结果";
constexpr const char* kContactList = "列表框_人脉搜索结果";
constexpr const char* kCalendar = "月历";
constexpr const char* kRightTabs = "选择夹右侧";
constexpr const char* kDiaryBox = "编辑框_本日志";
constexpr const char* kMemoBox = "编辑框备忘便签";
constexpr const char* kContactView = "表格_人脉";
constexpr const char* kContactSource = "数据源_联系人";
// Pure red, the Windows colour value 0xFF (0x00BBGGRR), as the window system takes colours: 0xRRGGBB.
constexpr uint32_t kRed = 0xFF0000;

std::string keyword() { return ui::getText(kMain, kKeywordBox); }

std::string fieldText(const st::Value& value) { return st::valueText(value); }

// Whether the field's value holds the keyword; a text is tested where it is, not copied.
bool holdsKeyword(const st::Value& value, const std::string& word) {
    if (const auto* text = std::get_if<std::string>(&value)) return detail::containsKeyword(*text, word);
    return detail::containsKeyword(fieldText(value), word);
}

// Scans the store's records; `result` is asked for the result of each record whose text field
// holds the keyword.
template <typename ResultOf>
std::vector<SearchResult> scanStore(const char* store, const char* textField, const std::string& word,
                                    ResultOf result) {
    std::vector<SearchResult> found;
    st::selectDatabase(store);
    st::goToFirstRecord();
    const int count = st::getRecordCount();
    for (int i = 0; i < count; ++i) {
        if (holdsKeyword(st::readField(textField), word)) found.push_back(result());
        st::skipRecords();
    }
    return found;
}

// The current record's result under its date field: the date, shown as its text.
SearchResult datedResult(const char* dateField) {
    const runtime::DateTime date = st::valueDate(st::readField(dateField));
    return SearchResult{st::getRecordNumber(), date, runtime::dateTimeToText(date)};
}

// The list shows its kind's results line for line, the record number as the line's data where
// the list carries one, or "未找到！" alone when there are none.
void showResults(const char* list, ResultKind kind) {
    const bool numbered = kind == ResultKind::PeriodicItem || kind == ResultKind::Contact;
    const std::vector<SearchResult>& results = core::searchResults(kind);
    for (const SearchResult& r : results) ui::addListItem(kMain, list, r.text, numbered ? r.record : 0);
    if (results.empty()) ui::addListItem(kMain, list, kNotFound);
}

void holdAndShow(const char* list, ResultKind kind, std::vector<SearchResult> results) {
    core::setSearchResults(kind, std::move(results));
    showResults(list, kind);
}

// The result behind the list's chosen line; null when no line is chosen or it is "未找到！".
const SearchResult* chosenResult(const char* list, ResultKind kind) {
    const int item = static_cast<int>(ui::getInt(kMain, list, "selection"));
    const std::vector<SearchResult>& results = core::searchResults(kind);
    if (item < 0 || item >= static_cast<int>(results.size())) return nullptr;
    return &results[static_cast<std::size_t>(item)];
}

void showDate(runtime::DateTime date) {
    ui::setDate(kMain, kCalendar, date);
    calendar::onCalendarDateChanged();
    ui::setInt(kMain, kRightTabs, "page", 0);
}

void selectKeywordIn(const char* box) {
    const std::string word = keyword();
    int length = runtime::getTextLength(word);
    int position = word.empty() ? 1 : runtime::findText(ui::getText(kMain, box), word, 1, true);
    if (position < 1) {
        // The box's text no longer holds the keyword: the caret goes to the start.
        position = 1;
        length = 0;
    }
    ui::setFocus(kMain, box);
    ui::setInt(kMain, box, "selectionStart", position - 1);
    ui::setInt(kMain, box, "selectionLength", length);
}

}  // namespace

void searchAll() {
    for (const char* list : {kDiaryList, kReminderList, kMemoList, kContactList}) ui::clearList(kMain, list);
    core::clearSearchResults();
    const std::string word = keyword();
    if (word.empty() || word == kHint) {
        ui::showMessageBox("请输入要搜索的关键词！", ui::kMbIconInfo, "信息！");
        return;
    }

    std::vector<SearchResult> diary = scanStore(core::kDiaryStore, core::kDiaryTextField, word,
                                                [] { return datedResult(core::kDiaryDateField); });
    detail::sortByDate(diary);
    holdAndShow(kDiaryList, ResultKind::Diary, std::move(diary));
    std::vector<SearchResult> items = scanStore(core::kPeriodicStore, core::kItemTextField, word,
                                                [] { return datedResult(core::kItemStartField); });
    detail::sortByDate(items);
    holdAndShow(kReminderList, ResultKind::PeriodicItem, std::move(items));

    std::vector<SearchResult> memo;
    st::selectDatabase(core::kMemoStore);
    st::goToFirstRecord();
    if (holdsKeyword(st::readField("bw"), word)) memo.push_back({st::getRecordNumber(), {}, kMemoFound});
    holdAndShow(kMemoList, ResultKind::Memo, std::move(memo));

    // A contact gives one result however many of its fields hold the keyword: name, then the
    // fields at positions 2 (电话) and 3 (备注).
    std::vector<SearchResult> contacts;
    st::selectDatabase(core::kContactStore);
    st::goToFirstRecord();
    const int contactCount = st::getRecordCount();
    for (int i = 0; i < contactCount; ++i) {
        if (holdsKeyword(st::readField("姓名"), word) || holdsKeyword(st::readField(2), word) ||
            holdsKeyword(st::readField(3), word)) {
            contacts.push_back(SearchResult{st::getRecordNumber(), {}, fieldText(st::readField("姓名"))});
        }
        st::skipRecords();
    }
    holdAndShow(kContactList, ResultKind::Contact, std::move(contacts));
}

void onKeywordKeyDown(const ui::EventArgs& args) {
    if (args.a == 13) searchAll();
}

void onKeywordBoxFocus() { ui::setText(kMain, kKeywordBox, ""); }

void onSearchPictureClick() { searchAll(); }

void onDiaryResultSelected() {
    const SearchResult* result = chosenResult(kDiaryList, ResultKind::Diary);
    if (!result) return;
    showDate(result->date);
    selectKeywordInDiary();
}

void onReminderResultSelected() {
    const SearchResult* result = chosenResult(kReminderList, ResultKind::PeriodicItem);
    if (!result) return;
    showDate(result->date);
}

void onMemoResultSelected() {
    if (!chosenResult(kMemoList, ResultKind::Memo)) return;
    ui::setInt(kMain, kRightTabs, "page", 2);
    selectKeywordInMemo();
}

void onContactResultSelected() {
    const int item = static_cast<int>(ui::getInt(kMain, kContactList, "selection"));
    if (item < 0 || item >= ui::getListItemCount(kMain, kContactList)) return;
    // The "未找到！" line selects with record number 0.
    const SearchResult* result = chosenResult(kContactList, ResultKind::Contact);
    const int record = result ? result->record : 0;
    // The record is one of lxr35: a letter group on show gives way to the whole list.
    if (!contacts::isWholeContactListShown()) contacts::onAllContactsButton();
    ui::setInt(kMain, kRightTabs, "page", 3);
    ui::setDbGridCurrentRow(kMain, kContactSource, record);
    int row = ui::getDbGridFirstSelectedRow(kMain, kContactView);
    int column = ui::getDbGridFirstSelectedColumn(kMain, kContactView);
    ui::selectDbGridRange(kMain, kContactView, row, column, row, column);
    row = ui::getDbGridFirstSelectedRow(kMain, kContactView);
    column = ui::getDbGridFirstSelectedColumn(kMain, kContactView);
    ui::setDbGridCellsAttribute(kMain, kContactSource, row, column, row, column, kRed);
}

void selectKeywordInDiary() { selectKeywordIn(kDiaryBox); }

void selectKeywordInMemo() { selectKeywordIn(kMemoBox); }

void bindSearchHandlers() {
    const struct {
        const char* name;
        void (*function)();
    } plain[] = {
        {"searchAll", searchAll},
        {"onKeywordBoxFocus", onKeywordBoxFocus},
        {"onSearchPictureClick", onSearchPictureClick},
        {"onDiaryResultSelected", onDiaryResultSelected},
        {"onReminderResultSelected", onReminderResultSelected},
        {"onMemoResultSelected", onMemoResultSelected},
        {"onContactResultSelected", onContactResultSelected},
    };
    for (const auto& entry : plain) ui::bindHandler(entry.name, std::function<void()>(entry.function));
    ui::bindHandler("onKeywordKeyDown", ui::Handler([](const ui::EventArgs& args) {
                        onKeywordKeyDown(args);
                        return true;
                    }));
}

}  // namespace search
