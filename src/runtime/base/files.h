// Files and folders. Paths are plain UTF-8 strings with "/" separators.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace runtime {

// The executable's folder, without a trailing "/".
std::string getRunDirectory();
// Tests run the program's start-up in a folder of their own; an empty text restores the real one.
void setRunDirectoryForTesting(std::string folder);

inline constexpr int kSpecialFolderDocuments = 1;
inline constexpr int kSpecialFolderTemp = 11;
// A folder of the system, with a trailing "/"; other kinds than these two: empty text.
// Kind 1: the user's documents folder, where the user's own files live and nothing of ours or of
// the session removes them: the folder `xdg-user-dir DOCUMENTS` names (the home folder when the
// user has none set), made (0700) when missing; the home folder when there is no xdg-user-dir
// or the folder cannot be made.
// Kind 11: the temporary-files folder. The folder is the user's own, readable by nobody else:
// "quillarbor-temp" in $XDG_RUNTIME_DIR, or "quillarbor-temp-<uid>" in $TMPDIR (else /tmp). It
// is made 0700 when missing and checked at every call: a folder of ours open to others is
// closed again; a link, a file or a folder of another user under that name is refused, and the
// answer is then the empty text.
std::string getSpecialFolderPath(int kind);

bool fileExists(const std::string& path);
// The whole file; empty for a missing or unreadable one.
std::string readFile(const std::string& path);
// Replaces the file atomically and durably (temporary file, fsync, rename).
bool writeFile(const std::string& path, std::string_view bytes);
bool deleteFile(const std::string& path);
// Renames `from` to `to` unless something already bears the name `to`.
bool moveFileNoReplace(const std::string& from, const std::string& to);
// Makes the file readable and writable by its owner alone (0600).
bool makeFilePrivate(const std::string& path);
// Creates the folder for its owner alone (0700), or closes a folder of this user's that is open
// to others; a link to a folder is followed (the user may keep a folder elsewhere). False when
// the folder is not there or not this user's afterwards.
bool makeFolderPrivate(const std::string& path);
// Makes every regular file of this user's directly in `folder` readable and writable by its owner
// alone; links are left alone. Answers how many it had to close.
int makeFilesPrivate(const std::string& folder);
// Removes what whole-file writes killed midway left in `folder`: regular files of ours named
// "<name>.tmp-XXXXXX" (six letters or digits) that no write in progress holds, for each name
// of `names`, or for any name when `names` is empty. Answers how many went.
int removeStaleWriteTemporaries(const std::string& folder, const std::vector<std::string>& names = {});
// False when the folder exists already or cannot be made.
bool createDirectory(const std::string& path);

void sleepMilliseconds(int ms);

}  // namespace runtime
