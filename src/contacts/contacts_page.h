// The contacts page (page 3 of `选择夹右侧`): the contact store lxr35 in the table view `表格_人脉`,
// its pop-up menu to add and delete contacts, and the seven buttons below it that show the whole
// list ("全部") or one letter group of it.
//
// Which list is on show is the file name of the provider `数据库提供者_联系人`, and only that:
//
// | on show         | by                      | becomes                                    |
// |-----------------|-------------------------|--------------------------------------------|
// | any             | filterContactsXX        | that group's temporary table, rebuilt anew |
// | any             | onAllContactsButton     | lxr35 again                                |
// | a letter group  | deleteLetterGroupTables | lxr35 again, every group's table deleted   |
//
// A letter group is a copy: a table in the temporary-files folder with lxr35's structure, holding
// the contacts whose name begins with a GB2312 hanzi whose first pinyin reading has one of the
// group's initials, grouped by initial. Adding and deleting always act on lxr35; a cell edited
// in a group goes to the lxr35 record its row was copied from as well, while that record still
// holds what was copied (else the edit is refused and the cell shows the stored value again).
// The folder is the user's own and the table readable by the user alone.
#pragma once

namespace contacts {

// Current cell of `表格_人脉` changed: lxr35's current record follows the selected row (while a
// letter group is on show, the record the row was copied from).
void onContactGridCellChanged();
// Right button on `表格_人脉`: the pop-up menu "人脉菜单".
void onContactGridRightButton();
// "新增联系人": a blank record at the end of lxr35, shown by switching to the page anew; on the
// whole list its name cell becomes current, in view.
void onAddContactMenu();
// "删除联系人": asks (naming the row as the view numbers it), then deletes the contact of the
// selected row from lxr35 and packs it. While a letter group is on show, that is the lxr35 record
// the row was copied from (and the row leaves the copy too); a row that can no longer be traced
// to its record is refused with a message. Without a row to delete it does nothing.
void onDeleteContactMenu();

// The letter buttons "A-D" .. "U-Z".
void filterContactsAD();
void filterContactsEH();
void filterContactsIL();
void filterContactsMP();
void filterContactsQT();
void filterContactsUZ();
// "全部": the view shows lxr35 again; the group table last shown stays open.
void onAllContactsButton();

// The letter groups' tables are plain copies of contacts: protecting the stores takes them away
// (closed first; a group on show gives way to the whole list). The next press of a letter button
// makes its table again, protected like lxr35. Handed to the shell by bindContactsHandlers.
void deleteLetterGroupTables();

// Whether `表格_人脉` shows lxr35 itself (and not a letter group).
bool isWholeContactListShown();

// Binds every handler name above, and hands the shell deleteLetterGroupTables to run before it
// protects the stores.
void bindContactsHandlers();

}  // namespace contacts
