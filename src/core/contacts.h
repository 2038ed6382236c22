// The contact store lxr35 as the modules read it. A letter group's table has the same fields,
// so a contact reads the same from lxr35 and from a group.
#pragma once

#include <string>

namespace core {

inline constexpr const char* kContactNameField = "姓名";
inline constexpr const char* kContactPhoneField = "电话";
inline constexpr const char* kContactRemarkField = "备注";

struct Contact {
    std::string name;    // 姓名
    std::string phone;   // 电话
    std::string remark;  // 备注
    friend bool operator==(const Contact&, const Contact&) = default;
};

// The current record of the current store, read as a contact.
Contact readContact();

}  // namespace core
