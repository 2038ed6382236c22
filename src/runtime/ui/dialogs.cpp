// The dialog service: every message box, input box, common file dialog, save-file dialog,
// file-replace question and pop-up menu of the program goes through here. In the program they are Qt dialogs
// (their standard buttons translated: 确定, 取消); in scripted mode (dialogs_testing.h) they take the next
// scripted answer and are recorded instead of shown.
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpacerItem>
#include <deque>

#include "runtime/base/files.h"
#include "runtime/ui/control_registry.h"
#include "runtime/ui/dialogs_testing.h"
#include "runtime/ui/ui_internal.h"

namespace runtime::ui {

namespace detail {

namespace {

struct Script {
    bool on = false;
    std::deque<int> messageAnswers;
    std::deque<std::pair<bool, std::string>> inputAnswers;
    std::deque<std::pair<bool, std::string>> commonAnswers;
    std::deque<std::pair<bool, std::string>> saveAnswers;
    std::deque<std::string> menuAnswers;
    std::vector<ShownDialog> shown;
};

// A program started by a test as a child process cannot be scripted through this header: when
// QUILLARBOR_DIALOG_LOG names a file, its dialogs are scripted from the start, each shown dialog
// is appended to that file as one line "kind|title|text|flags", and QUILLARBOR_DIALOG_ANSWERS
// gives the message-box answers, comma-separated (none left: Cancel), QUILLARBOR_DIALOG_INPUTS
// the texts that input boxes are answered with, OK each (none left: Cancel). Pop-up menus are
// logged but shown for real there: the test drives them with real input.
struct EnvironmentScript {
    std::string log;
};

EnvironmentScript& environmentScript() {
    static EnvironmentScript e;
    return e;
}

Script makeScript() {
    Script s;
    const QByteArray log = qgetenv("QUILLARBOR_DIALOG_LOG");
    if (!log.isEmpty()) {
        s.on = true;
        environmentScript().log = log.toStdString();
        for (const QByteArray& a : qgetenv("QUILLARBOR_DIALOG_ANSWERS").split(',')) {
            bool ok = false;
            int answer = a.trimmed().toInt(&ok);
            if (ok) s.messageAnswers.push_back(answer);
        }
        if (qEnvironmentVariableIsSet("QUILLARBOR_DIALOG_INPUTS")) {
            for (const QByteArray& text : qgetenv("QUILLARBOR_DIALOG_INPUTS").split(','))
                s.inputAnswers.emplace_back(true, text.toStdString());
        }
    }
    return s;
}

Script& script() {
    static Script s = makeScript();
    return s;
}

void record(ShownDialog d) {
    if (!environmentScript().log.empty()) {
        QFile f(QString::fromStdString(environmentScript().log));
        if (f.open(QIODevice::Append)) {
            f.write(QByteArray::number(static_cast<int>(d.kind)) + "|" + QByteArray::fromStdString(d.title) +
                    "|" + QByteArray::fromStdString(d.text) + "|" + QByteArray::number(d.flags) + "\n");
        }
    }
    script().shown.push_back(std::move(d));
}

template <typename T>
bool popFront(std::deque<T>& q, T& out) {
    if (q.empty()) return false;
    out = std::move(q.front());
    q.pop_front();
    return true;
}

QWidget* dialogParent() {
    QWidget* w = QApplication::activeWindow();
    return w && w->isVisible() ? w : nullptr;
}

int qtMessageBox(std::string_view text, int flags, std::string_view title) {
    QMessageBox box(dialogParent());
    setUpMessageBox(box, text, flags, title);
    using B = QMessageBox::StandardButton;
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked) return kIdCancel;  // closed: counts as Cancel
    switch (box.standardButton(clicked)) {
        case B::Ok: return kIdOk;
        case B::Abort: return kIdAbort;
        case B::Retry: return kIdRetry;
        case B::Ignore: return kIdIgnore;
        case B::Yes: return kIdYes;
        case B::No: return kIdNo;
        default: return kIdCancel;
    }
}

// "description|patterns|description|patterns" as a Qt name filter list. Qt takes the patterns
// from the parentheses it shows after each description; where a description names its
// patterns itself, as the program's do ("Excel工作簿（*.xls;*.xlsx）"), Qt's own are hidden so
// they are not shown twice.
QString qtFilter(const std::string& filter, bool& hideDetails) {
    const QStringList parts = qs(filter).split(QLatin1Char('|'));
    QStringList entries;
    hideDetails = true;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        if (!parts[i].contains(patterns)) hideDetails = false;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    if (entries.isEmpty()) hideDetails = false;
    return entries.join(QStringLiteral(";;"));
}

// Copies in pieces under a modal progress display when the file is large.
bool copyWithProgress(const QString& from, const QString& to, bool showProgress) {
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) return false;
    const QString part = to + QStringLiteral(".part");
    QFile out(part);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const qint64 total = in.size();
    std::unique_ptr<QProgressDialog> progress;
    if (showProgress && total > (4 << 20)) {
        progress =
            std::make_unique<QProgressDialog>(QStringLiteral("正在复制 %1").arg(QFileInfo(from).fileName()),
                                              QStringLiteral("取消"), 0, 1000, dialogParent());
        progress->setWindowModality(Qt::ApplicationModal);
        progress->setMinimumDuration(0);
    }
    qint64 done = 0;
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        ok = !chunk.isEmpty() && out.write(chunk) == chunk.size();
        done += chunk.size();
        if (progress) {
            progress->setValue(int(total ? done * 1000 / total : 1000));
            QCoreApplication::processEvents();
            if (progress->wasCanceled()) ok = false;
        }
    }
    ok = ok && out.flush();
    out.close();
    if (ok) {
        QFile::remove(to);
        ok = QFile::rename(part, to);
    }
    if (!ok) QFile::remove(part);
    return ok;
}

}  // namespace

std::string choosePopupMenuItem(QMenu& menu, std::string_view window, std::string_view menuName) {
    Script& s = script();
    if (s.on && !environmentScript().log.empty()) {
        record({DialogKind::PopupMenu, std::string(menuName), std::string(window), 0, {}});
    } else if (s.on) {
        s.shown.push_back({DialogKind::PopupMenu, std::string(menuName), std::string(window), 0, {}});
        std::string item;
        popFront(s.menuAnswers, item);
        return item;
    }
    QAction* chosen = menu.exec(QCursor::pos());
    return chosen ? ss(chosen->objectName()) : std::string();
}

void resetDialogs() {
    Script& s = script();
    const bool on = s.on;
    s = Script{};
    s.on = on;
}

}  // namespace detail

using namespace detail;

void setUpMessageBox(QMessageBox& box, std::string_view text, int flags, std::string_view title) {
    box.setWindowTitle(qs(title));
    box.setText(qs(text));
    switch (flags & 0xF0) {
        case kMbIconError: box.setIcon(QMessageBox::Critical); break;
        case 32: box.setIcon(QMessageBox::Question); break;
        case kMbIconWarning: box.setIcon(QMessageBox::Warning); break;
        case kMbIconInfo: box.setIcon(QMessageBox::Information); break;
        default: break;
    }
    using B = QMessageBox::StandardButton;
    QMessageBox::StandardButtons buttons = B::Ok;
    B escape = B::Ok;
    switch (flags & 0x0F) {
        case 1:
            buttons = B::Ok | B::Cancel;
            escape = B::Cancel;
            break;
        case 2:
            buttons = B::Abort | B::Retry | B::Ignore;
            escape = B::Abort;
            break;
        case 3:
            buttons = B::Yes | B::No | B::Cancel;
            escape = B::Cancel;
            break;
        case 4:
            buttons = B::Yes | B::No;
            escape = B::No;
            break;
        case 5:
            buttons = B::Retry | B::Cancel;
            escape = B::Cancel;
            break;
        default: break;
    }
    box.setStandardButtons(buttons);
    box.setEscapeButton(escape);
    // Qt sizes a message box for its text, and for its title with 50 pixels beside it: a window
    // manager's title bar gives a short text's box the window icon and up to three buttons, and
    // draws the title in a font of its own, often larger or bold, so a short title got cut.
    const int titleRoom =
        QFontMetrics(box.font()).horizontalAdvance(box.windowTitle()) * 3 / 2 + kTitleBarControls;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(titleRoom, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

// ---- Test seam ----

void useScriptedDialogs(bool on) { script().on = on; }
bool scriptedDialogs() { return script().on; }
void pushMessageBoxAnswer(int answer) {
    script().on = true;
    script().messageAnswers.push_back(answer);
}
void pushInputBoxAnswer(bool ok, std::string text) {
    script().on = true;
    script().inputAnswers.emplace_back(ok, std::move(text));
}
void pushCommonDialogAnswer(bool ok, std::string fileName) {
    script().on = true;
    script().commonAnswers.emplace_back(ok, std::move(fileName));
}
void pushSaveFileDialogAnswer(bool ok, std::string path) {
    script().on = true;
    script().saveAnswers.emplace_back(ok, std::move(path));
}
void pushMenuAnswer(std::string itemCaption) {
    script().on = true;
    script().menuAnswers.push_back(std::move(itemCaption));
}
std::vector<ShownDialog> shownDialogs() { return script().shown; }
void clearDialogScript() { resetDialogs(); }

// ---- Dialogs ----

int showMessageBox(std::string_view text, int flags, std::string_view title) {
    if (title.empty()) title = "信息：";
    Script& s = script();
    if (s.on) {
        record({DialogKind::MessageBox, std::string(text), std::string(title), flags, {}});
        int answer = kIdCancel;
        popFront(s.messageAnswers, answer);
        return answer;
    }
    startRuntime();
    return qtMessageBox(text, flags, title);
}

bool showInputBox(std::string_view prompt, std::string_view title, std::string_view initial, std::string& out,
                  int kind) {
    Script& s = script();
    if (s.on) {
        record({DialogKind::InputBox, std::string(prompt), std::string(title), kind, {}});
        std::pair<bool, std::string> answer{false, {}};
        popFront(s.inputAnswers, answer);
        if (answer.first) out = answer.second;
        return answer.first;
    }
    startRuntime();
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(qs(title));
    dialog.setLabelText(qs(prompt));
    dialog.setTextValue(qs(initial));
    dialog.setTextEchoMode(kind == 4 ? QLineEdit::Password : QLineEdit::Normal);
    if (dialog.exec() != QDialog::Accepted) return false;
    out = ss(dialog.textValue());
    return true;
}

bool showCommonDialog(std::string_view window, std::string_view dialog) {
    Control* c = findControl(window, dialog);
    if (!c || c->def().kind != ControlKind::CommonDialog) return false;
    const std::string title = valueToText(c->get("title"));
    const std::string filter = valueToText(c->get("filter"));
    Script& s = script();
    if (s.on) {
        record({DialogKind::CommonDialog, title, filter, 0, {}});
        std::pair<bool, std::string> answer{false, {}};
        popFront(s.commonAnswers, answer);
        if (answer.first) c->set("fileName", answer.second);
        return answer.first;
    }
    bool mustExist = false;
    valueToBool(c->get("mustExist"), mustExist);
    bool hideDetails = false;
    QFileDialog fd(dialogParent(), qs(title), qs(valueToText(c->get("folder"))),
                   qtFilter(filter, hideDetails));
    fd.setOption(QFileDialog::HideNameFilterDetails, hideDetails);
    fd.setAcceptMode(QFileDialog::AcceptOpen);
    fd.setFileMode(mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (fd.exec() != QDialog::Accepted || fd.selectedFiles().isEmpty()) return false;
    c->set("fileName", ss(fd.selectedFiles().constFirst()));
    return true;
}

bool showSaveFileDialog(std::string_view title, std::string_view folder, std::string_view fileName,
                        std::string_view filter, std::string& chosen) {
    startRuntime();
    // A file dialog opened on a folder that is not there opens on the working folder instead,
    // which is the program's own.
    QString start = qs(folder);
    if (start.isEmpty() || !QFileInfo(start).isDir())
        start = qs(getSpecialFolderPath(kSpecialFolderDocuments));
    const QString proposed = QDir(start).filePath(qs(fileName));
    Script& s = script();
    if (s.on) {
        record({DialogKind::SaveFileDialog, std::string(title), std::string(filter), 0, ss(proposed)});
        std::pair<bool, std::string> answer{false, {}};
        popFront(s.saveAnswers, answer);
        if (answer.first) chosen = answer.second;
        return answer.first;
    }
    bool hideDetails = false;
    QFileDialog fd(dialogParent(), qs(title), proposed, qtFilter(std::string(filter), hideDetails));
    fd.setOption(QFileDialog::HideNameFilterDetails, hideDetails);
    fd.setAcceptMode(QFileDialog::AcceptSave);
    fd.setFileMode(QFileDialog::AnyFile);
    const QString suffix = QFileInfo(qs(fileName)).suffix();
    if (!suffix.isEmpty()) fd.setDefaultSuffix(suffix);
    if (fd.exec() != QDialog::Accepted || fd.selectedFiles().isEmpty()) return false;
    chosen = ss(fd.selectedFiles().constFirst());
    return true;
}

bool copyFilesByShell(std::string_view sourceFile, std::string_view destinationFolder) {
    const QFileInfo source(qs(sourceFile));
    if (!source.isFile()) return false;
    QString folder = qs(destinationFolder);
    if (folder.isEmpty()) return false;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    if (!QFileInfo(folder).isDir()) return false;
    const QString target = folder + source.fileName();
    const QFileInfo targetInfo(target);
    if (targetInfo.exists()) {
        if (targetInfo.canonicalFilePath() == source.canonicalFilePath()) return true;  // already there
        const int answer = showMessageBox(
            ss(QStringLiteral("目标文件夹中已有名为“%1”的文件。\n要替换它吗？").arg(source.fileName())),
            4 | kMbIconWarning, "确认文件替换");
        if (answer != kIdYes) return false;
    }
    return copyWithProgress(source.filePath(), target, !script().on);
}

}  // namespace runtime::ui
