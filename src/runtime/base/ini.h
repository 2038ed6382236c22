// The settings file: a UTF-8 initialisation file read and written one key at a time, with the
// forgiving semantics of the classic profile functions. A write replaces the file atomically.
// A file from elsewhere reads the same: a leading byte-order mark is nothing, and a file that is
// not valid UTF-8 is GB18030; a write puts it back as UTF-8 without a mark.
#pragma once

#include <string>
#include <string_view>

namespace runtime {

inline constexpr int kIniValueMaxBytes = 10239;

// The value with blanks and one pair of enclosing quotes removed, cut to 10,239 bytes; the
// default when the file, section or key is missing. Names compare without letter case.
std::string readIniText(const std::string& file, std::string_view section, std::string_view key,
                        std::string_view defaultValue = {});

// Sets the key, creating the file and section when missing; every other line stays as it was.
// False when the file cannot be written; the old file is then untouched.
bool writeIniText(const std::string& file, std::string_view section, std::string_view key,
                  std::string_view value);

}  // namespace runtime
