// Export of the search results, or of all four stores, to a new spreadsheet workbook: the two
// buttons `按钮_导出结果` and `按钮_导出全库` on the calendar page of MainWindow. The workbook has the
// sheets "日志", "提醒", "备忘" and "人脉", each with a header row and one row per record, every
// cell a text. Named "Quillarbor导出数据-<date and time>.xlsx", it is written into the user's
// documents folder and opened there with the desktop's spreadsheet application; without one,
// the user chooses where to save it. The user is told where it is. The export only reads the
// stores and the search results the core holds.
#pragma once

#include <string>

namespace exchange {

// Clicked: `按钮_导出结果`. Refuses with a message when the last search left no result (or there
// was none), else builds, fills and shows the workbook.
void onExportResultsButton();
// Clicked: `按钮_导出全库`. Builds, fills and shows the workbook of every record.
void onExportAllButton();

// The steps of the two handlers, on MainWindow's spreadsheet pair `Excel程序` / `Excel工作簿`.
// Starts the spreadsheet application, names it after the time of day, adds a workbook of four
// named sheets with their header rows; "人脉" is the sheet in front.
void createExportWorkbook();
// One row per search result of each kind, in the order its list shows them.
void exportSearchResults();
// One row per record of each store, in store order.
void exportAllTables();
// Saves the workbook into the documents folder and shows it in the desktop's spreadsheet
// application, or else saves it where the user chooses (Cancel: nothing is written); tells
// where it went, or why it could not be saved.
void saveExportWorkbook();
// At start-up: workbooks that exports of earlier versions left in the temporary folder, where
// the session would delete them with the user's edits, move into the documents folder.
void rescueTemporaryExportWorkbooks();

// The folder exported workbooks go into (the user's documents folder), and the path of the last
// workbook written (empty before the first), for tests.
std::string exportFolder();
std::string lastExportPath();

}  // namespace exchange
