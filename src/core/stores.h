// The four stores: their names, record layouts and the empty files they start from. The order
// of the fields is part of the interface: records are added with their values in field order,
// and some readers address fields by position.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/store/store.h"

namespace core {

// The store names, under which the four tables are open from start-up to the end.
inline constexpr const char* kDiaryStore = "rz35";
inline constexpr const char* kPeriodicStore = "tx35";
inline constexpr const char* kMemoStore = "bw35";
inline constexpr const char* kContactStore = "lxr35";

using Schema = std::vector<runtime::store::FieldDef>;

const Schema& diarySchema();  // rz35: 日期 DateTime, 日志 Memo
const Schema&
periodicItemSchema();  // tx35: 初始日期 DateTime, 循环周期 Integer, 循环单位 Text 2, 提醒内容 Text 100
const Schema& memoSchema();     // bw35: bw Memo
const Schema& contactSchema();  // lxr35: 姓名 Text 10, 电话 Text 15, 备注 Text 100

// The schema of a store by its name ("rz35", "tx35", "bw35", "lxr35"); null for any other.
const Schema* schemaOf(std::string_view storeName);

// Writes the empty template of one of the six data files, named by its relative name
// ("rz35.edb", "rz35.edt", "tx35.edb", "bw35.edb", "bw35.edt", "lxr35.edb"), at `path`. An
// existing file is never touched (the answer is then no). A .edb is written alone, a .edt as a
// blank companion that binds to its table at the first open, so the six can be written file by
// file and a missing .edt next to an existing .edb. The reason of a no is the store's last error.
bool writeTemplate(std::string_view file, const std::string& path);
// The same into `folder` (no trailing "/"), under the file's own name.
bool writeTemplateInto(const std::string& folder, std::string_view file);

}  // namespace core
