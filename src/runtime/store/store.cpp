// The registry of open tables and the operations on the current one. Tables are registered
// under their store names; at most one is current.
//
//   state            operation                         next state
//   none current     openDatabase                      the opened table current, on record 1
//   any              selectDatabase(name or path)      that table current (cursor kept)
//   T current        closeDatabase                     none current, T closed
//   any              closeAllDatabases                 none current, none open
//
// The cursor of a table runs from 1 to its record count, and count + 1 after the last record,
// where reads give empty values.
#include <algorithm>
#include <filesystem>
#include <map>

#include "runtime/base/datetime.h"
#include "runtime/base/number.h"
#include "runtime/store/store.h"
#include "runtime/store/store_testing.h"
#include "runtime/store/table_file.h"

namespace runtime::store {
namespace {

using detail::TableFile;

struct Registry {
    std::vector<std::unique_ptr<TableFile>> tables;
    TableFile* current = nullptr;
    std::string lastError;
    detail::Refusal refusal{OpenFailure::None, {}};
    std::map<int, std::function<void(Table*)>> closeListeners;
    int nextListener = 1;
};

Registry& registry() {
    static Registry r;
    return r;
}

bool fail(std::string text) {
    registry().lastError = std::move(text);
    return false;
}

std::string normalizePath(std::string_view path) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(path), ec);
    if (ec) p = std::filesystem::path(path);
    return p.lexically_normal().string();
}

TableFile* find(std::string_view nameOrPath) {
    Registry& r = registry();
    for (auto& t : r.tables) {
        if (t->storeName() == nameOrPath) return t.get();
    }
    const std::string path = normalizePath(nameOrPath);
    for (auto& t : r.tables) {
        if (t->path() == path) return t.get();
    }
    return nullptr;
}

TableFile* current() {
    TableFile* t = registry().current;
    if (!t) fail("没有当前表");
    return t;
}

// The current table positioned on a record, or null with the reason.
TableFile* onRecord() {
    TableFile* t = current();
    if (t && (t->cursor() < 1 || t->cursor() > t->recordCount())) {
        fail("没有当前记录：" + t->storeName());
        return nullptr;
    }
    return t;
}

void closeTable(TableFile* t) {
    Registry& r = registry();
    const auto listeners = r.closeListeners;
    for (const auto& [id, onClose] : listeners) {
        if (onClose) onClose(t);
    }
    if (r.current == t) r.current = nullptr;
    std::erase_if(r.tables, [t](const std::unique_ptr<TableFile>& p) { return p.get() == t; });
}

bool sameKind(FieldType a, FieldType b) {
    const auto texty = [](FieldType t) { return t == FieldType::Text || t == FieldType::Memo; };
    return a == b || (texty(a) && texty(b));
}

bool protectionFor(std::string_view password, detail::Protection& p) {
    if (password.empty()) return true;
    std::string error;
    p.params = detail::paramsForPassword(password);
    p.key = detail::deriveKey(password, p.params, error);
    return p.key || fail(error);
}

}  // namespace

namespace detail {
void setLastError(std::string text) { registry().lastError = std::move(text); }
}  // namespace detail

std::string valueText(const Value& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* i = std::get_if<int32_t>(&v)) return toText(static_cast<int64_t>(*i));
    if (const auto* d = std::get_if<DateTime>(&v)) return dateTimeToText(*d);
    return {};
}

int32_t valueInt(const Value& v) {
    if (const auto* i = std::get_if<int32_t>(&v)) return *i;
    if (const auto* s = std::get_if<std::string>(&v)) return toInteger(*s);
    if (const auto* d = std::get_if<DateTime>(&v)) return toInteger(d->days);
    return 0;
}

DateTime valueDate(const Value& v) {
    if (const auto* d = std::get_if<DateTime>(&v)) return *d;
    if (const auto* i = std::get_if<int32_t>(&v)) return DateTime{static_cast<double>(*i)};
    if (const auto* s = std::get_if<std::string>(&v); s && !s->empty()) return toDateTime(*s);
    return {};
}

bool createTable(const std::string& path, const std::vector<FieldDef>& fields, std::string_view password) {
    detail::Protection protection;
    if (!protectionFor(password, protection)) return false;
    std::string error;
    return detail::createTableFiles(normalizePath(path), fields, protection, detail::CompanionMode::WithTable,
                                    error) ||
           fail(error);
}

bool createTableWithoutCompanion(const std::string& path, const std::vector<FieldDef>& fields) {
    std::string error;
    return detail::createTableFiles(normalizePath(path), fields, {}, detail::CompanionMode::None, error) ||
           fail(error);
}

bool createBlankCompanion(const std::string& edtPath) {
    std::string error;
    return detail::createBlankCompanion(normalizePath(edtPath), error) || fail(error);
}

bool deleteTableFile(const std::string& path) {
    const std::string full = normalizePath(path);
    if (isDatabaseOpen(full)) return fail("表文件正在使用，无法删除：" + full);
    const bool gone =
        detail::deleteWithSideFiles(full) && detail::deleteWithSideFiles(detail::companionPath(full));
    return gone || fail("无法删除表文件：" + full);
}

int removeInterruptedLeftovers(const std::string& folder) {
    return detail::removeInterruptedLeftovers(folder);
}

bool openDatabase(const std::string& path, std::optional<std::string_view> password) {
    Registry& r = registry();
    const std::string full = normalizePath(path);
    r.refusal = {OpenFailure::Other, full};
    for (auto& t : r.tables) {
        if (t->path() == full) return fail("表文件已经打开：" + full);
    }
    const std::string name = detail::storeNameOf(full);
    for (auto& t : r.tables) {
        if (t->storeName() == name) return fail("已有同名的表打开：" + name);
    }
    std::string error;
    auto table = TableFile::open(full, password, error, r.refusal);
    if (!table) return fail(error);
    r.refusal = {OpenFailure::None, {}};
    table->setCursor(1);
    r.current = table.get();
    r.tables.push_back(std::move(table));
    return true;
}

bool selectDatabase(std::string_view storeNameOrPath) {
    TableFile* t = find(storeNameOrPath);
    if (!t) return fail("没有打开名为“" + std::string(storeNameOrPath) + "”的表");
    registry().current = t;
    return true;
}

bool closeDatabase() {
    TableFile* t = current();
    if (!t) return false;
    closeTable(t);
    return true;
}

void closeAllDatabases() {
    Registry& r = registry();
    while (!r.tables.empty()) closeTable(r.tables.back().get());
}

bool isDatabaseOpen(const std::string& path) {
    const std::string full = normalizePath(path);
    for (auto& t : registry().tables) {
        if (t->path() == full) return true;
    }
    return false;
}

Table* currentTable() { return registry().current; }

Table* findOpenTable(std::string_view storeNameOrPath) { return find(storeNameOrPath); }

std::string lastError() { return registry().lastError; }

OpenFailure lastOpenFailure() { return registry().refusal.why; }

std::string lastOpenFailureFile() { return registry().refusal.file; }

int addCloseListener(std::function<void(Table*)> onClose) {
    Registry& r = registry();
    r.closeListeners.emplace(r.nextListener, std::move(onClose));
    return r.nextListener++;
}

void removeCloseListener(int id) { registry().closeListeners.erase(id); }

int getRecordCount() {
    TableFile* t = current();
    return t ? t->recordCount() : 0;
}

int getFieldCount() {
    TableFile* t = current();
    return t ? static_cast<int>(t->fields().size()) : 0;
}

std::string getFieldName(int position) {
    TableFile* t = current();
    if (!t) return {};
    if (position < 1 || position > static_cast<int>(t->fields().size())) {
        fail("没有第 " + std::to_string(position) + " 个字段：" + t->storeName());
        return {};
    }
    return t->fields()[position - 1].name;
}

bool goToFirstRecord() {
    TableFile* t = current();
    if (!t) return false;
    t->setCursor(1);
    return true;
}

bool skipRecords() {
    TableFile* t = current();
    if (!t) return false;
    if (t->cursor() > t->recordCount()) return fail("已在最后一条记录之后：" + t->storeName());
    t->setCursor(t->cursor() + 1);
    return true;
}

bool goToRecord(int number) {
    TableFile* t = current();
    if (!t) return false;
    if (t->recordCount() == 0) {
        t->setCursor(1);
        return fail("表中没有记录：" + t->storeName());
    }
    t->setCursor(std::clamp(number, 1, t->recordCount()));
    return true;
}

int getRecordNumber() {
    TableFile* t = registry().current;
    return t ? t->cursor() : 0;
}

Value readField(std::string_view name) {
    TableFile* t = registry().current;
    if (!t) return {};
    const int i = t->fieldIndex(name);
    if (i < 0) {
        fail("没有字段“" + std::string(name) + "”：" + t->storeName());
        return {};
    }
    const int n = t->cursor();
    if (n < 1 || n > t->recordCount()) return {};
    return t->cell(n, i);
}

Value readField(int position) {
    TableFile* t = registry().current;
    return t ? t->read(t->cursor(), position) : Value{};
}

bool writeField(std::string_view name, const Value& value) { return writeFieldTo(name, {}, value); }

bool writeFieldTo(std::string_view name, std::string_view tableName, const Value& value) {
    TableFile* t = tableName.empty() ? current() : find(tableName);
    if (!t) return tableName.empty() ? false : fail("没有打开名为“" + std::string(tableName) + "”的表");
    const int i = t->fieldIndex(name);
    if (i < 0) return fail("没有字段“" + std::string(name) + "”：" + t->storeName());
    if (t->cursor() < 1 || t->cursor() > t->recordCount()) return fail("没有当前记录：" + t->storeName());
    return t->writeCells(t->cursor(), {{i, value}});
}

bool addRecord(const std::vector<Value>& values) { return addRecords({values}); }

bool addEmptyRecord() { return addRecords({{}}); }

bool addRecords(const std::vector<std::vector<Value>>& records) {
    TableFile* t = current();
    if (!t) return false;
    if (!t->addRecords(records)) return false;
    t->setCursor(t->recordCount());
    return true;
}

bool modifyRecord(const std::vector<std::optional<Value>>& values) {
    TableFile* t = onRecord();
    if (!t) return false;
    if (values.size() > t->fields().size()) return fail("值的个数多于字段数：" + t->storeName());
    std::vector<std::pair<int, Value>> cells;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i]) cells.emplace_back(static_cast<int>(i), *values[i]);
    }
    return cells.empty() || t->writeCells(t->cursor(), cells);
}

bool deleteRecords() {
    TableFile* t = onRecord();
    return t && t->markDeleted(t->cursor());
}

bool packDatabase() {
    TableFile* t = current();
    if (!t) return false;
    const int before = t->recordCount();
    if (!t->pack()) return false;
    if (t->recordCount() != before) t->setCursor(1);
    return true;
}

namespace {
// A search that found nothing leaves the cursor after the last record.
bool notFound(TableFile* t) {
    t->setCursor(t->recordCount() + 1);
    return fail("没有找到符合条件的记录：" + t->storeName());
}
}  // namespace

bool findRecord(const Condition& condition) {
    TableFile* t = current();
    if (!t) return false;
    for (int n = std::max(t->cursor(), 1); n <= t->recordCount(); ++n) {
        if (t->isDeleted(n)) continue;
        t->setCursor(n);
        if (!condition || condition()) return true;
    }
    return notFound(t);
}

bool findRecordOnDay(int position, DateTime day) {
    TableFile* t = current();
    if (!t) return false;
    if (position < 1 || position > static_cast<int>(t->fields().size()) ||
        t->fields()[position - 1].type != FieldType::DateTime) {
        return fail("第 " + std::to_string(position) + " 个字段不是日期字段：" + t->storeName());
    }
    if (const int n = t->firstOnDay(position - 1, day, std::max(t->cursor(), 1))) {
        t->setCursor(n);
        return true;
    }
    return notFound(t);
}

bool appendRecordsFrom(std::string_view sourceName, const Condition& condition) {
    Registry& r = registry();
    TableFile* dest = current();
    if (!dest) return false;
    TableFile* source = find(sourceName);
    if (!source) return fail("没有打开名为“" + std::string(sourceName) + "”的表");
    std::vector<int> from;  // source field index per destination field, -1 for none
    for (const FieldDef& f : dest->fields()) {
        const int i = source->fieldIndex(f.name);
        from.push_back(i >= 0 && sameKind(source->fields()[i].type, f.type) ? i : -1);
    }
    const int savedCursor = source->cursor();
    const int count = source->recordCount();
    std::vector<std::vector<Value>> taken;
    for (int n = 1; n <= count && n <= source->recordCount(); ++n) {
        if (source->isDeleted(n)) continue;
        r.current = source;
        source->setCursor(n);
        const bool take = !condition || condition();
        if (!take) continue;
        std::vector<Value> values;
        for (int i : from) values.push_back(i >= 0 ? source->cell(n, i) : Value{});
        taken.push_back(std::move(values));
    }
    r.current = dest;
    source->setCursor(savedCursor);
    if (taken.empty()) return true;
    if (!dest->addRecords(taken)) return false;
    dest->setCursor(dest->recordCount());
    return true;
}

bool copyDatabaseStructure(const std::string& newPath) {
    TableFile* t = current();
    return t && t->copyStructure(normalizePath(newPath));
}

bool isDatabaseEncrypted(const std::string& path) {
    const std::string full = normalizePath(path);
    registry().refusal = {OpenFailure::None, {}};
    for (auto& t : registry().tables) {
        if (t->path() == full) return t->isProtected();
    }
    std::string error;
    const std::optional<bool> answer = detail::probeProtected(full, error, registry().refusal);
    if (!answer) return fail(error);
    registry().refusal = {OpenFailure::None, {}};
    return *answer;
}

bool setDatabasePassword(std::string_view password) {
    TableFile* t = current();
    return t && t->setPassword(password);
}

bool setDatabasePasswordOnTables(const std::vector<std::string>& storeNamesOrPaths,
                                 std::string_view password) {
    std::vector<TableFile*> tables;
    for (const std::string& name : storeNamesOrPaths) {
        TableFile* t = find(name);
        if (!t) return fail("没有打开名为“" + name + "”的表");
        tables.push_back(t);
    }
    return TableFile::setPasswordTogether(tables, password);
}

namespace testing {
void setKeyDerivationCost(uint64_t opslimit, uint64_t memlimit) {
    detail::setKdfLimitsForTesting(opslimit, memlimit);
}
void setKeyDerivationMaximum(uint64_t opslimit, uint64_t memlimit) {
    detail::setKdfMaximumForTesting(opslimit, memlimit);
}
void forgetDerivedKeys() { detail::clearKeyCacheForTesting(); }
int keyDerivations() { return detail::keyDerivationCount(); }
}  // namespace testing

}  // namespace runtime::store
