// The table store: table files (.edb) with a memo companion (.edt), opened into a registry under
// their store names (file name without folder and extension), one of them current. The free
// functions act on the current table, as the program has always used them; Table is the same
// thing as an object, for the data-bound views that read a table without moving its cursor.
//
// Every operation answers yes or no and keeps the reason of a "no" as lastError(). Every
// completed operation is committed to disk before it returns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/base/datetime.h"

namespace runtime::store {

enum class FieldType { DateTime, Integer, Text, Memo };

struct FieldDef {
    std::string name;
    FieldType type = FieldType::Text;
    int width = 0;  // GB18030 bytes, for Text fields
};

// Empty (monostate) is what a read gives where there is no record; otherwise the field's type:
// DateTime, int32_t (Integer) or std::string (Text and Memo).
using Value = std::variant<std::monostate, DateTime, int32_t, std::string>;

// Value helpers: the empty value reads as 0, the zero date or "" respectively.
std::string valueText(const Value& v);
int32_t valueInt(const Value& v);
DateTime valueDate(const Value& v);

// Creates a new, empty table file (and its companion when a field is a memo). Refuses to
// overwrite an existing file. An empty password leaves it unprotected.
bool createTable(const std::string& path, const std::vector<FieldDef>& fields,
                 std::string_view password = {});
// The two halves of an empty table, file by file, for the program's templates: the unprotected
// table file alone, and a blank memo companion. A blank companion binds to the table that first
// opens with it (that table's memos then read empty), so a missing .edt can be written next to
// an existing .edb. Both refuse to overwrite an existing file.
bool createTableWithoutCompanion(const std::string& path, const std::vector<FieldDef>& fields);
bool createBlankCompanion(const std::string& edtPath);
// Deletes a table file that is not open, with its memo companion and the journals and logs of
// both: a file made later under the name never takes another file's log for its own. True when
// none of them is left.
bool deleteTableFile(const std::string& path);
// Removes from `folder` what an interrupted operation of the table store left there: journals of
// several files' commit that no journal names any more, and half-built new table files with their
// journals. Only files of this user's that their names and contents prove to be such; answers
// how many went.
int removeInterruptedLeftovers(const std::string& folder);

class Table;

// ---- Registry and current table ----
// Opens, verifies every record and makes the table current on its first record. Refused: a
// missing or damaged file or companion, a protected file without its password or with a wrong
// one (lastError tells which), a path already open, a store name already taken. A password
// given for an unprotected file is ignored.
bool openDatabase(const std::string& path, std::optional<std::string_view> password = std::nullopt);
bool selectDatabase(std::string_view storeNameOrPath);
bool closeDatabase();
void closeAllDatabases();
bool isDatabaseOpen(const std::string& path);
// The current table, or nullptr.
Table* currentTable();
// The open table registered under the name or path, or nullptr.
Table* findOpenTable(std::string_view storeNameOrPath);
std::string lastError();
// Why the last openDatabase or isDatabaseEncrypted that failed on its file failed; None after one
// that succeeded. A damaged file is told apart from a wrong password by the file's key check.
enum class OpenFailure {
    None,
    Missing,         // the table file or its companion is not there
    Damaged,         // it is there but not a whole table file of its kind
    PasswordNeeded,  // protected, and no password was given
    WrongPassword,   // protected, and the password fails the key check
    Other,           // anything else: a newer format, no memory for the key, a failed write
};
OpenFailure lastOpenFailure();
// The file that failure was about: the table file or its companion.
std::string lastOpenFailureFile();
// Called with a table just before it closes (closeDatabase, closeAllDatabases): a view that
// holds the Table* lets go of it. Returns an id for removeCloseListener.
int addCloseListener(std::function<void(Table*)> onClose);
void removeCloseListener(int id);

// ---- On the current table ----
int getRecordCount();
int getFieldCount();
std::string getFieldName(int position);
bool goToFirstRecord();
bool skipRecords();           // one on; stops after the last record
bool goToRecord(int number);  // 1-based, clamped to the records present
int getRecordNumber();        // 1-based; count + 1 after the last
Value readField(std::string_view name);
Value readField(int position);
bool writeField(std::string_view name, const Value& value);
bool writeFieldTo(std::string_view name, std::string_view tableName, const Value& value);  // empty: current
bool addRecord(const std::vector<Value>& values = {});
bool addEmptyRecord();
// Appends many records in one transaction (imports, bulk loads); the last becomes current.
bool addRecords(const std::vector<std::vector<Value>>& records);
bool modifyRecord(const std::vector<std::optional<Value>>& values);  // nullopt keeps the field
bool deleteRecords();                                                // marks the current record
bool packDatabase();                                                 // removes the marked records
using Condition = std::function<bool()>;
// Records marked deleted are passed over by both. The condition must not close tables.
bool findRecord(const Condition& condition);
// The same as findRecord with the condition "the date field at `position` falls on the day of
// `day`" (its year, month and day; the time of day is not compared), answered from an index of
// days the table keeps per date field, so that a lookup does not pass over every record.
bool findRecordOnDay(int position, DateTime day);
bool appendRecordsFrom(std::string_view sourceName, const Condition& condition);
bool copyDatabaseStructure(const std::string& newPath);
bool isDatabaseEncrypted(const std::string& path);
bool setDatabasePassword(std::string_view password);
// The same for several open tables at once, all or none: after a crash at any point every one
// of them is under its old protection or every one under the new. At most five tables.
bool setDatabasePasswordOnTables(const std::vector<std::string>& storeNamesOrPaths,
                                 std::string_view password);

// ---- The same table as an object ----
class Table {
public:
    virtual ~Table() = default;
    virtual const std::string& storeName() const = 0;
    virtual const std::string& path() const = 0;
    virtual const std::vector<FieldDef>& fields() const = 0;
    virtual int recordCount() const = 0;
    // Record `number` and `fieldPosition` are 1-based, as everywhere in the store; empty value
    // out of range. Does not move the cursor.
    virtual Value read(int number, int fieldPosition) const = 0;
    // Writes one field of record `number` (the data-bound view's in-place edit).
    virtual bool write(int number, int fieldPosition, const Value& value) = 0;
    virtual bool isDeleted(int number) const = 0;
    // Called after every change to the table's records (add, write, delete, pack, password).
    // Returns an id for removeObserver.
    virtual int addObserver(std::function<void()> onChange) = 0;
    virtual void removeObserver(int id) = 0;
};

}  // namespace runtime::store
