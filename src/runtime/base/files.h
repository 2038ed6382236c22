// Files and folders. Paths are plain UTF-8 strings with "/" separators.
#pragma once

#include <string>
#include <string_view>

namespace runtime {

// The executable's folder, without a trailing "/".
std::string getRunDirectory();
// Tests run the program's start-up in a folder of their own; an empty text restores the real one.
void setRunDirectoryForTesting(std::string folder);

inline constexpr int kSpecialFolderTemp = 11;
// Kind 11: the temporary-files folder, with a trailing "/". Other kinds: empty text.
std::string getSpecialFolderPath(int kind);

bool fileExists(const std::string& path);
// The whole file; empty for a missing or unreadable one.
std::string readFile(const std::string& path);
// Replaces the file atomically and durably (temporary file, fsync, rename).
bool writeFile(const std::string& path, std::string_view bytes);
bool deleteFile(const std::string& path);
// False when the folder exists already or cannot be made.
bool createDirectory(const std::string& path);

void sleepMilliseconds(int ms);

}  // namespace runtime
