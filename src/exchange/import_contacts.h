// ImportContactsWindow: the user picks a workbook (.xls or .xlsx), ticks the columns of its
// first worksheet whose header row names a contact field (姓名, 电话, 备注), and imports every
// data row of the worksheet named "sheet1" (letter case aside) as a new contact in lxr35.
//
// | window state        | by                                  | then                          |
// |---------------------|-------------------------------------|-------------------------------|
// | not loaded          | onImportContactsButton              | open, field names listed      |
// | open                | onChooseExcelFile                   | column list from the file     |
// | open                | onStartImport, refused (no line)    | open, message                 |
// | open                | onStartImport                       | rows added, message, closed   |
// | open                | onImportQuit / close box            | closed                        |
//
// A file that cannot be read (missing, damaged, encrypted, not a workbook) is reported in a
// message and nothing is imported; the program and the stores carry on untouched. An import adds
// all its rows in one store transaction, so it never leaves half of a workbook behind.
#pragma once

#include <string>

namespace exchange {

// Clicked: `按钮_导入联系人` on the contacts page. Opens the window as a dialog over MainWindow and
// turns the right tab control to the contacts page.
void onImportContactsButton();
// ImportContactsWindow created / about to be destroyed.
void onImportWindowCreated();
void onImportWindowDestroy();
// Clicked: `按钮_选择excel文件`. Asks for the file (keeping the path shown when cancelled), then
// lists the header cell of every used column of the file's first worksheet, line data = the
// column's number.
void onChooseExcelFile();
// Clicked: `按钮_开始导入联系人`.
void onStartImport();
// Clicked: `按钮_退出`.
void onImportQuit();

// The lower-case column name of columns 1 to 60 ("a" .. "z", "aa" .. "az", "ba" .. "bh"); an
// empty text for any other number.
std::string getExcelColumnName(int column);

}  // namespace exchange
