// The contacts page: the table view on lxr35, its pop-up menu and the letter groups.
//
// A letter group keeps, beside its table, where each of its rows came from: the lxr35 record
// number and the three values copied. A delete or an edit while the group is on show goes to
// that record only after checking that lxr35 still holds the copied values there, so it can
// never touch a contact other than the one the row shows; when the trace is lost (the copy is
// incomplete, or lxr35 changed underneath) it is refused. The traces live as long as the
// program and follow the renumbering of the page's own deletes.
//
// Edits arrive through the group table itself: the view writes a typed cell into the table on
// show, and the page watches each group table it built. A row whose values no longer match its
// trace was just edited: the new values go to the traced lxr35 record (and become the trace),
// or, refused, the row gets its copied values back, so the cell shows what is stored.
//
// Protected stores: copyDatabaseStructure gives the copy lxr35's password, so the copy is opened
// with the password the contact provider holds. That property always carries lxr35's current
// password: start-up writes the typed password into it, and protecting or unprotecting the
// stores during the run writes the new one (the empty text when removed). The two program
// globals are tried after it, the one set during the run first.
#include "contacts/contacts_page.h"

#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/contacts.h"
#include "core/globals.h"
#include "runtime/base/files.h"
#include "runtime/base/number.h"
#include "runtime/base/text.h"
#include "runtime/pinyin/pinyin.h"
#include "runtime/store/store.h"
#include "runtime/ui/ui.h"
#include "shell/protection.h"

namespace contacts {

namespace st = runtime::store;
namespace ui = runtime::ui;

namespace {

constexpr const char* kMain = "MainWindow";
constexpr const char* kRightTabs = "选择夹右侧";
constexpr const char* kView = "表格_人脉";
constexpr const char* kProvider = "数据库提供者_联系人";
constexpr const char* kStore = "lxr35";
constexpr const char* kName = core::kContactNameField;
constexpr const char* kPhone = core::kContactPhoneField;
constexpr const char* kRemark = core::kContactRemarkField;
constexpr int kContactsPage = 3;

struct Origin {
    int record = 0;  // 1-based number in lxr35
    std::string name, phone, remark;
};

// Temporary table path -> origin of each of its rows, in row order. Absent: no trace kept. A
// row of an incomplete copy has record 0: its values are known, its record is not.
std::map<std::string, std::vector<Origin>>& traces() {
    static std::map<std::string, std::vector<Origin>> map;
    return map;
}

// Set while the page itself changes a group table: its watcher then leaves the change alone.
bool& changingGroup() {
    static bool changing = false;
    return changing;
}

class ChangingGroup {
public:
    ChangingGroup() : was_(changingGroup()) { changingGroup() = true; }
    ~ChangingGroup() { changingGroup() = was_; }
    ChangingGroup(const ChangingGroup&) = delete;
    ChangingGroup& operator=(const ChangingGroup&) = delete;

private:
    bool was_;
};

std::string storeFile() { return core::programPath("/data/lxr35.edb"); }

std::string textOf(const ui::Value& value) {
    const std::string* text = std::get_if<std::string>(&value);
    return text ? *text : std::string();
}

std::string shownFile() { return textOf(ui::getProperty(kMain, kProvider, "file")); }

std::string fieldText(const char* field) { return st::valueText(st::readField(field)); }

Origin currentOrigin() {
    core::Contact contact = core::readContact();
    return Origin{st::getRecordNumber(), std::move(contact.name), std::move(contact.phone),
                  std::move(contact.remark)};
}

// Page 0 and back: the page-change handler then shows the contacts page with its rows as they are.
void showContactsPageAnew() {
    ui::setInt(kMain, kRightTabs, "page", 0);
    ui::setInt(kMain, kRightTabs, "page", kContactsPage);
}

std::string deleteQuestion(int number) { return "确定要删除 [ " + runtime::toText(number) + " ] 号记录么？"; }

// Opens the fresh copy at `path`; it is current on success. A copy of a protected lxr35 carries
// its password (see the file comment for which one that is).
bool openCopy(const std::string& path) {
    if (!st::isDatabaseEncrypted(path)) return st::openDatabase(path);
    std::vector<std::string> candidates;
    for (const std::string& p : {textOf(ui::getProperty(kMain, kProvider, "password")),
                                 core::databasePassword, core::startupPassword}) {
        if (!p.empty()) candidates.push_back(p);
    }
    for (const std::string& password : candidates) {
        if (st::openDatabase(path, std::string_view(password))) return true;
    }
    return false;
}

constexpr const char* kGroupFiles[] = {"ad.edb", "eh.edb", "il.edb", "mp.edb", "qt.edb", "uz.edb"};

void watchGroup(const std::string& path);

void filterContacts(const char* fileName, std::initializer_list<const char*> initials) {
    const std::string folder = runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp);
    // No private folder to be had: the copy is not made anywhere else.
    if (folder.empty()) {
        ui::showMessageBox("复制结构失败");
        return;
    }
    const std::string path = folder + fileName;
    traces().erase(path);
    // Closed even when its file has gone: a table still open under the path could not be opened
    // again, and the appends below would then go elsewhere. The file goes with its log, which a
    // new table under the name would otherwise take for its own: a group left open by the last
    // session keeps its rows there.
    if (st::isDatabaseOpen(path) && st::selectDatabase(path)) st::closeDatabase();
    st::deleteTableFile(path);
    st::selectDatabase(kStore);
    if (!st::copyDatabaseStructure(path)) {
        ui::showMessageBox("复制结构失败");
        return;
    }
    // Should the copy not open, lxr35 would still be current: nothing may be appended then.
    if (!openCopy(path)) {
        st::selectDatabase(kStore);
        ui::showMessageBox("无法打开联系人分组的临时表，请点击“全部”查看所有联系人。", ui::kMbIconError,
                           "错误！");
        return;
    }
    std::vector<Origin> origins;
    bool complete = true;
    for (const char* initial : initials) {
        const std::string wanted = initial;
        complete = st::appendRecordsFrom(
                       kStore,
                       [&] {
                           const std::string name = fieldText(kName);
                           if (runtime::getPinyinInitial(runtime::getLeftText(name, 2), 1) != wanted)
                               return false;
                           origins.push_back(currentOrigin());
                           return true;
                       }) &&
                   complete;
    }
    if (!complete || st::getRecordCount() != static_cast<int>(origins.size())) {
        origins.clear();
        for (int row = 1; row <= st::getRecordCount(); ++row) {
            st::goToRecord(row);
            origins.push_back(currentOrigin());
            origins.back().record = 0;
        }
    }
    traces()[path] = std::move(origins);
    watchGroup(path);
    ui::setProperty(kMain, kProvider, "file", path);
}

// The record of lxr35 that row `row` of the group table at `path` was copied from, when lxr35
// still holds the copied values there; lxr35 is then current on that record.
const Origin* tracedOrigin(const std::string& path, int row) {
    auto found = traces().find(path);
    if (found == traces().end() || row < 1 || row > static_cast<int>(found->second.size())) return nullptr;
    st::Table* copy = st::findOpenTable(path);
    if (copy == nullptr || copy->recordCount() != static_cast<int>(found->second.size())) return nullptr;
    const Origin& origin = found->second[row - 1];
    st::selectDatabase(kStore);
    if (origin.record < 1 || origin.record > st::getRecordCount()) return nullptr;
    st::goToRecord(origin.record);
    const Origin now = currentOrigin();
    if (now.record != origin.record || now.name != origin.name || now.phone != origin.phone ||
        now.remark != origin.remark) {
        return nullptr;
    }
    return &origin;
}

// After lxr35 lost `record`: every trace follows the renumbering, and a row copied from that
// record can no longer be traced (its values stay known, for an edit refused later).
void followDeletion(int record) {
    for (auto& [path, origins] : traces()) {
        for (Origin& origin : origins) {
            if (origin.record == record) {
                origin.record = 0;
            } else if (origin.record > record) {
                --origin.record;
            }
        }
    }
}

// After `row` of the group at `path` was deleted together with its `record` of lxr35.
void forgetDeleted(const std::string& path, int row, int record) {
    if (auto found = traces().find(path);
        found != traces().end() && row >= 1 && row <= static_cast<int>(found->second.size())) {
        found->second.erase(found->second.begin() + (row - 1));
    }
    followDeletion(record);
}

std::string groupText(const st::Table& copy, int row, const char* field) {
    const std::vector<st::FieldDef>& fields = copy.fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == field) return st::valueText(copy.read(row, static_cast<int>(i) + 1));
    }
    return {};
}

void writeGroupText(st::Table& copy, int row, const char* field, const std::string& text) {
    const std::vector<st::FieldDef>& fields = copy.fields();
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == field) copy.write(row, static_cast<int>(i) + 1, text);
    }
}

// Rows of the group table at `path` whose values differ from their trace, with those values.
std::vector<Origin> editedRows(const std::string& path) {
    std::vector<Origin> edited;
    auto found = traces().find(path);
    st::Table* copy = st::findOpenTable(path);
    // Rows added or removed are not an edit of the view; the traces then no longer fit anyway.
    if (found == traces().end() || copy == nullptr ||
        copy->recordCount() != static_cast<int>(found->second.size())) {
        return edited;
    }
    for (int row = 1; row <= copy->recordCount(); ++row) {
        const Origin& origin = found->second[row - 1];
        // `record` carries the group's row here.
        Origin now{row, groupText(*copy, row, kName), groupText(*copy, row, kPhone),
                   groupText(*copy, row, kRemark)};
        if (now.name != origin.name || now.phone != origin.phone || now.remark != origin.remark) {
            edited.push_back(std::move(now));
        }
    }
    return edited;
}

// The row gets the values it was copied with again.
void restoreRow(const std::string& path, int row) {
    st::Table* copy = st::findOpenTable(path);
    auto found = traces().find(path);
    if (copy == nullptr || found == traces().end() || row < 1 || row > static_cast<int>(found->second.size()))
        return;
    const Origin& origin = found->second[row - 1];
    ChangingGroup changing;
    if (groupText(*copy, row, kName) != origin.name) writeGroupText(*copy, row, kName, origin.name);
    if (groupText(*copy, row, kPhone) != origin.phone) writeGroupText(*copy, row, kPhone, origin.phone);
    if (groupText(*copy, row, kRemark) != origin.remark) writeGroupText(*copy, row, kRemark, origin.remark);
}

// A row typed into under a letter group: to its lxr35 record, or refused.
void onGroupEdited(const std::string& path, const Origin& typed) {
    const int row = typed.record;  // here: the row of the group table
    if (const Origin* origin = tracedOrigin(path, row)) {
        std::vector<std::optional<st::Value>> values(static_cast<size_t>(st::getFieldCount()));
        for (int i = 1; i <= st::getFieldCount(); ++i) {
            const std::string field = st::getFieldName(i);
            if (field == kName && typed.name != origin->name) values[i - 1] = typed.name;
            if (field == kPhone && typed.phone != origin->phone) values[i - 1] = typed.phone;
            if (field == kRemark && typed.remark != origin->remark) values[i - 1] = typed.remark;
        }
        if (st::modifyRecord(values)) {
            // What lxr35 now holds, as it stored it.
            traces()[path][row - 1] = currentOrigin();
            return;
        }
    }
    restoreRow(path, row);
    ui::showMessageBox("该行无法对应到联系人库中的记录，修改没有保存，请点击“全部”按钮后再修改。",
                       ui::kMbIconInfo, "信息！");
    // The view may commit the same cell again while the message is up.
    restoreRow(path, row);
}

void onGroupChanged(const std::string& path) {
    if (changingGroup()) return;
    ChangingGroup changing;
    for (const Origin& typed : editedRows(path)) onGroupEdited(path, typed);
}

// The group table is watched for as long as it is open; it takes its watcher with it when closed.
void watchGroup(const std::string& path) {
    if (st::Table* copy = st::findOpenTable(path)) copy->addObserver([path] { onGroupChanged(path); });
}

void deleteFromGroup(const std::string& path) {
    constexpr const char* kRefused = "该行无法对应到联系人库中的记录，请点击“全部”按钮后再删除。";
    const int row = ui::getDbGridFirstSelectedRow(kMain, kView);
    const st::Table* copy = st::findOpenTable(path);
    // An empty view, or no row selected: nothing to delete, as on the whole list.
    if (copy == nullptr || row < 1 || row > copy->recordCount()) return;
    if (tracedOrigin(path, row) == nullptr) {
        ui::showMessageBox(kRefused, ui::kMbIconInfo, "信息！");
        return;
    }
    // The user sees the group's rows, numbered from 1: the question names that row.
    if (ui::showMessageBox(deleteQuestion(row), ui::kMbOkCancel, "询问？") != ui::kIdOk) return;
    // The question is modal, but check the trace again before anything is removed.
    if (tracedOrigin(path, row) == nullptr) {
        ui::showMessageBox(kRefused, ui::kMbIconInfo, "信息！");
        return;
    }
    const int record = st::getRecordNumber();
    st::deleteRecords();
    st::packDatabase();
    if (st::selectDatabase(path)) {
        ChangingGroup changing;
        st::goToRecord(row);
        st::deleteRecords();
        st::packDatabase();
    }
    forgetDeleted(path, row, record);
    st::selectDatabase(kStore);
    showContactsPageAnew();
}

}  // namespace

bool isWholeContactListShown() { return shownFile() == storeFile(); }

void onContactGridCellChanged() {
    const int row = ui::getDbGridFirstSelectedRow(kMain, kView);
    if (!isWholeContactListShown() && tracedOrigin(shownFile(), row) != nullptr) return;
    st::selectDatabase(kStore);
    st::goToRecord(row);
}

void onContactGridRightButton() { ui::popupMenu(kMain, "人脉菜单"); }

void onAddContactMenu() {
    st::selectDatabase(kStore);
    if (!st::addEmptyRecord()) {
        ui::showMessageBox("添加记录失败！", ui::kMbIconError, "错误！");
        return;
    }
    const int added = st::getRecordNumber();
    showContactsPageAnew();
    // On a long list the new blank row is far below: brought into view, its name cell current.
    if (isWholeContactListShown()) {
        ui::selectDbGridRange(kMain, kView, added, 1, added, 1);
        ui::setFocus(kMain, kView);
    }
}

void onDeleteContactMenu() {
    st::selectDatabase(kStore);
    if (!isWholeContactListShown()) {
        deleteFromGroup(shownFile());
        return;
    }
    const int shown = ui::getDbGridFirstSelectedRow(kMain, kView);
    // Row 0 means the view has no rows; going to record 0 would land on record 1.
    if (shown < 1 || shown > st::getRecordCount()) return;
    if (ui::showMessageBox(deleteQuestion(shown), ui::kMbOkCancel, "询问？") != ui::kIdOk) return;
    const int row = ui::getDbGridFirstSelectedRow(kMain, kView);
    st::selectDatabase(kStore);
    if (row < 1 || row > st::getRecordCount()) return;
    st::goToRecord(row);
    st::deleteRecords();
    st::packDatabase();
    followDeletion(row);
    showContactsPageAnew();
}

void filterContactsAD() { filterContacts("ad.edb", {"a", "b", "c", "ch", "d"}); }
void filterContactsEH() { filterContacts("eh.edb", {"e", "f", "g", "h"}); }
void filterContactsIL() { filterContacts("il.edb", {"i", "j", "k", "l"}); }
void filterContactsMP() { filterContacts("mp.edb", {"m", "n", "o", "p"}); }
void filterContactsQT() { filterContacts("qt.edb", {"q", "r", "s", "sh", "t"}); }
void filterContactsUZ() { filterContacts("uz.edb", {"u", "v", "w", "x", "y", "z", "zh"}); }

void onAllContactsButton() {
    st::selectDatabase(kStore);
    ui::setProperty(kMain, kProvider, "file", storeFile());
}

void deleteLetterGroupTables() {
    const std::string folder = runtime::getSpecialFolderPath(runtime::kSpecialFolderTemp);
    if (folder.empty()) return;
    if (!isWholeContactListShown()) onAllContactsButton();
    for (const char* file : kGroupFiles) {
        const std::string path = folder + file;
        traces().erase(path);
        if (st::isDatabaseOpen(path) && st::selectDatabase(path)) st::closeDatabase();
        st::deleteTableFile(path);
    }
    st::selectDatabase(kStore);
}

void bindContactsHandlers() {
    const struct {
        const char* name;
        void (*function)();
    } handlers[] = {
        {"onContactGridCellChanged", onContactGridCellChanged},
        {"onContactGridRightButton", onContactGridRightButton},
        {"onAddContactMenu", onAddContactMenu},
        {"onDeleteContactMenu", onDeleteContactMenu},
        {"filterContactsAD", filterContactsAD},
        {"filterContactsEH", filterContactsEH},
        {"filterContactsIL", filterContactsIL},
        {"filterContactsMP", filterContactsMP},
        {"filterContactsQT", filterContactsQT},
        {"filterContactsUZ", filterContactsUZ},
        {"onAllContactsButton", onAllContactsButton},
    };
    for (const auto& entry : handlers) ui::bindHandler(entry.name, std::function<void()>(entry.function));
    shell::registerBeforeProtecting(deleteLetterGroupTables);
}

}  // namespace contacts
