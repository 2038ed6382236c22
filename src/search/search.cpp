// The keyword search and its result handlers. The search reads every store from its first record
// through its record count, one skipRecords at a time, and tests each text for the keyword as
// findText would find it from the first byte, letter case ignored; store answers are not examined
// (a failed read is the empty text, which holds no keyword). The lines of a date list are sorted
// before they go into the list.
#include "search/search.h"

#include "search/result_lists.h"

#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "calendar/calendar.h"
#include "contacts/contacts_page.h"
#include "runtime/base/datetime.h"
#include "runtime/base/text.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"
#include "search/search_lines.h"

namespace search {

namespace st = runtime::store;
namespace ui = runtime::ui;
using detail::ResultLine;

namespace {

constexpr const char* kMain = "MainWindow";
constexpr const char* kKeywordBox = "编辑框关键词";
constexpr const char* kHint = "请在这里输入关键词并回车...";
constexpr const char* kMemoFound = "找到！请点击查看";
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

void addNotFoundWhenEmpty(const char* list) {
    if (ui::getListItemCount(kMain, list) == 0) ui::addListItem(kMain, list, kNotFound);
}

// Scans the store's records; `line` is asked for the list line of each record whose text field
// holds the keyword.
template <typename LineOf>
std::vector<ResultLine> scanStore(const char* store, const char* textField, const std::string& word, LineOf line) {
    std::vector<ResultLine> found;
    st::selectDatabase(store);
    st::goToFirstRecord();
    const int count = st::getRecordCount();
    for (int i = 0; i < count; ++i) {
        if (holdsKeyword(st::readField(textField), word)) found.push_back(line());
        st::skipRecords();
    }
    return found;
}

// The lines go into the list in date order, or "未找到！" alone when there are none.
void fillListByDate(const char* list, std::vector<ResultLine> lines) {
    detail::sortLinesByDate(lines);
    for (const ResultLine& found : lines) ui::addListItem(kMain, list, found.text, found.data);
    addNotFoundWhenEmpty(list);
}

int currentItem(const char* list) { return static_cast<int>(ui::getInt(kMain, list, "selection")); }

// The chosen line's text, or nothing when no line is chosen.
bool chosenLine(const char* list, std::string& text) {
    const int item = currentItem(list);
    if (item < 0 || item >= ui::getListItemCount(kMain, list)) return false;
    text = ui::getListItemText(kMain, list, item);
    return true;
}

void showDateOfLine(const std::string& text) {
    ui::setDate(kMain, kCalendar, runtime::toDateTime(text));
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
    const std::string word = keyword();
    if (word.empty() || word == kHint) {
        ui::showMessageBox("请输入要搜索的关键词！", ui::kMbIconInfo, "信息！");
        return;
    }

    fillListByDate(kDiaryList, scanStore("rz35", "日志", word, [] {
                       return ResultLine{runtime::dateTimeToText(st::valueDate(st::readField("日期"))), 0};
                   }));
    fillListByDate(kReminderList, scanStore("tx35", "提醒内容", word, [] {
                       return ResultLine{runtime::dateTimeToText(st::valueDate(st::readField("初始日期"))),
                                         st::getRecordNumber()};
                   }));

    st::selectDatabase("bw35");
    st::goToFirstRecord();
    if (holdsKeyword(st::readField("bw"), word)) ui::addListItem(kMain, kMemoList, kMemoFound);
    addNotFoundWhenEmpty(kMemoList);

    // A contact gives one line however many of its fields hold the keyword: name, then the fields
    // at positions 2 (电话) and 3 (备注).
    st::selectDatabase("lxr35");
    st::goToFirstRecord();
    const int contacts = st::getRecordCount();
    for (int i = 0; i < contacts; ++i) {
        if (holdsKeyword(st::readField("姓名"), word) || holdsKeyword(st::readField(2), word) ||
            holdsKeyword(st::readField(3), word)) {
            ui::addListItem(kMain, kContactList, fieldText(st::readField("姓名")), st::getRecordNumber());
        }
        st::skipRecords();
    }
    addNotFoundWhenEmpty(kContactList);
}

void onKeywordKeyDown(const ui::EventArgs& args) {
    if (args.a == 13) searchAll();
}

void onKeywordBoxFocus() { ui::setText(kMain, kKeywordBox, ""); }

void onSearchPictureClick() { searchAll(); }

void onDiaryResultSelected() {
    std::string text;
    if (!chosenLine(kDiaryList, text) || text == kNotFound) return;
    showDateOfLine(text);
    selectKeywordInDiary();
}

void onReminderResultSelected() {
    std::string text;
    if (!chosenLine(kReminderList, text) || text == kNotFound) return;
    showDateOfLine(text);
}

void onMemoResultSelected() {
    std::string text;
    if (!chosenLine(kMemoList, text) || text == kNotFound) return;
    ui::setInt(kMain, kRightTabs, "page", 2);
    selectKeywordInMemo();
}

void onContactResultSelected() {
    const int item = currentItem(kContactList);
    if (item < 0 || item >= ui::getListItemCount(kMain, kContactList)) return;
    // The line's number is a record of lxr35: a letter group on show gives way to the whole list.
    if (!contacts::isWholeContactListShown()) contacts::onAllContactsButton();
    ui::setInt(kMain, kRightTabs, "page", 3);
    const int record = ui::getListItemText(kMain, kContactList, item) == kNotFound
                           ? 0
                           : static_cast<int>(ui::getListItemData(kMain, kContactList, item));
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
