// The test seam of the dialog service. In scripted mode no dialog appears: each message box,
// input box, common file dialog, save-file dialog, file-replace question and pop-up menu takes
// the next scripted answer of its kind and is recorded. A dialog with no answer left answers
// Cancel (message box), false (input box, file dialogs), chooses nothing (menu), and is
// recorded all the same.
#pragma once

#include <string>
#include <vector>

namespace runtime::ui {

enum class DialogKind { MessageBox, InputBox, CommonDialog, PopupMenu, SaveFileDialog };

struct ShownDialog {
    DialogKind kind = DialogKind::MessageBox;
    std::string text;   // message, prompt, the dialog's title, or the menu's name
    std::string title;  // message/input box title; file dialog filter; menu's window
    int flags = 0;      // message-box flags; input-box kind
    std::string path;   // save-file dialog: the proposed full path
};

// Scripted mode on (tests) or off (real Qt dialogs). Pushing an answer turns it on.
void useScriptedDialogs(bool on = true);
bool scriptedDialogs();

void pushMessageBoxAnswer(int answer);  // kIdOk .. kIdNo
void pushInputBoxAnswer(bool ok, std::string text);
void pushCommonDialogAnswer(bool ok, std::string fileName);  // full path of the chosen file
void pushSaveFileDialogAnswer(bool ok, std::string path);    // the path chosen to save to
void pushMenuAnswer(std::string itemCaption);                // "" chooses nothing

std::vector<ShownDialog> shownDialogs();
// Forgets the answers left and the record.
void clearDialogScript();

}  // namespace runtime::ui
