// The four schemas and their templates, made through the table store itself rather than carried
// as bytes, so they always match the engine that opens them.
#include "core/stores.h"

#include <array>

namespace core {

using runtime::store::FieldDef;
using runtime::store::FieldType;

const Schema& diarySchema() {
    static const Schema s{{"日期", FieldType::DateTime, 0}, {"日志", FieldType::Memo, 0}};
    return s;
}

const Schema& periodicItemSchema() {
    static const Schema s{{"初始日期", FieldType::DateTime, 0},
                          {"循环周期", FieldType::Integer, 0},
                          {"循环单位", FieldType::Text, 2},
                          {"提醒内容", FieldType::Text, 100}};
    return s;
}

const Schema& memoSchema() {
    static const Schema s{{"bw", FieldType::Memo, 0}};
    return s;
}

const Schema& contactSchema() {
    static const Schema s{
        {"姓名", FieldType::Text, 10}, {"电话", FieldType::Text, 15}, {"备注", FieldType::Text, 100}};
    return s;
}

const Schema* schemaOf(std::string_view storeName) {
    if (storeName == kDiaryStore) return &diarySchema();
    if (storeName == kPeriodicStore) return &periodicItemSchema();
    if (storeName == kMemoStore) return &memoSchema();
    if (storeName == kContactStore) return &contactSchema();
    return nullptr;
}

bool writeTemplate(std::string_view file, const std::string& path) {
    static constexpr std::array<std::string_view, 6> kFiles{"rz35.edb", "rz35.edt", "tx35.edb",
                                                            "bw35.edb", "bw35.edt", "lxr35.edb"};
    bool known = false;
    for (std::string_view f : kFiles) known = known || f == file;
    if (!known) return false;
    const std::string_view store = file.substr(0, file.size() - 4);
    if (file.ends_with(".edt")) return runtime::store::createBlankCompanion(path);
    return runtime::store::createTableWithoutCompanion(path, *schemaOf(store));
}

bool writeTemplateInto(const std::string& folder, std::string_view file) {
    return writeTemplate(file, folder + "/" + std::string(file));
}

}  // namespace core
