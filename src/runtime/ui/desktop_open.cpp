// Opening a file with the desktop's own application for its type, the freedesktop way: the
// default application for the MIME type is the desktop entry xdg-mime names (it reads the
// user's and the system's mimeapps.list, and falls back to the entries that claim the type);
// the entry is looked up by its id in the applications folders of XDG_DATA_HOME and
// XDG_DATA_DIRS, and its Exec line is run with the file.
//
// The entry is run here rather than through xdg-open: xdg-open falls back to a web browser or
// mailcap when no application is registered, and answers success for an application that
// never started, while the caller must know that nothing showed the file.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTextStream>

#include "runtime/ui/ui.h"
#include "runtime/ui/ui_internal.h"

namespace runtime::ui {

namespace {

// The desktop entry id of the default application for `mimeType`, or the empty text.
QString defaultApplicationId(const QString& mimeType) {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForFinished(10000) || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    const QString id =
        QString::fromUtf8(query.readAllStandardOutput()).trimmed().section(QLatin1Char('\n'), 0, 0);
    return id.endsWith(QLatin1String(".desktop")) && !id.contains(QLatin1Char('/')) ? id : QString();
}

QStringList applicationFolders() {
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty()) home = QDir::homePath() + QStringLiteral("/.local/share");
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty()) dirs = QStringLiteral("/usr/local/share:/usr/share");
    QStringList folders{home + QStringLiteral("/applications")};
    for (const QString& d : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders << d + QStringLiteral("/applications");
    return folders;
}

// An id "vendor-app.desktop" may also stand for the file vendor/app.desktop.
QString findDesktopEntry(const QString& id) {
    for (const QString& folder : applicationFolders()) {
        QString relative = id;
        for (;;) {
            const QString candidate = folder + QLatin1Char('/') + relative;
            if (QFileInfo(candidate).isFile()) return candidate;
            const int dash = relative.indexOf(QLatin1Char('-'));
            if (dash < 0 || relative.indexOf(QLatin1Char('/')) >= 0) break;
            relative[dash] = QLatin1Char('/');
        }
    }
    return {};
}

// The Exec value of the [Desktop Entry] group, with the value escapes undone; empty when the
// entry is hidden or is no application.
QString execLine(const QString& entryPath) {
    QFile file(entryPath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QTextStream in(&file);
    bool inEntry = false, hidden = false, application = true;
    QString exec;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (!inEntry || equals < 0 || line.startsWith(QLatin1Char('#'))) continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if (key == QLatin1String("Exec")) exec = value;
        if (key == QLatin1String("Hidden")) hidden = value == QLatin1String("true");
        if (key == QLatin1String("Type")) application = value == QLatin1String("Application");
    }
    if (hidden || !application) return {};
    // The value escapes; a backslash before anything else belongs to the Exec quoting and stays.
    QString unescaped;
    for (int i = 0; i < exec.size(); ++i) {
        if (exec[i] != QLatin1Char('\\') || i + 1 == exec.size()) {
            unescaped += exec[i];
            continue;
        }
        switch (exec[i + 1].unicode()) {
            case 's': unescaped += QLatin1Char(' '); break;
            case 'n': unescaped += QLatin1Char('\n'); break;
            case 't': unescaped += QLatin1Char('\t'); break;
            case 'r': unescaped += QLatin1Char('\r'); break;
            case '\\': unescaped += QLatin1Char('\\'); break;
            default: unescaped += QLatin1Char('\\'); continue;
        }
        ++i;
    }
    return unescaped;
}

// The Exec line as program and arguments, the field codes filled in with the one file.
QStringList commandFor(const QString& exec, const QString& file) {
    QStringList words;
    QString word;
    bool inWord = false, quoted = false, gaveFile = false;
    for (int i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size()) {
                word += exec[++i];
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                word += c;
            }
            continue;
        }
        if (c == QLatin1Char('"')) {
            quoted = inWord = true;
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inWord) words << word;
            word.clear();
            inWord = false;
        } else if (c == QLatin1Char('%') && i + 1 < exec.size()) {
            const QChar code = exec[++i];
            if (code == QLatin1Char('%')) {
                word += c;
                inWord = true;
            } else if (QStringLiteral("fFuU").contains(code)) {
                word += file;
                inWord = gaveFile = true;
            }
            // Every other code (%i %c %k and the deprecated ones) stands for nothing here.
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words << word;
    if (!words.isEmpty() && !gaveFile) words << file;
    return words;
}

// The program and arguments that open `file` with the default application for `mimeType`;
// empty when there is none to start.
QStringList applicationCommand(const QString& mimeType, const QString& file) {
    const QString id = defaultApplicationId(mimeType);
    if (id.isEmpty()) return {};
    const QString entry = findDesktopEntry(id);
    if (entry.isEmpty()) return {};
    const QStringList command = commandFor(execLine(entry), file);
    if (command.isEmpty()) return {};
    const QString& program = command.constFirst();
    if (QStandardPaths::findExecutable(program).isEmpty() && !QFileInfo(program).isExecutable()) return {};
    return command;
}

}  // namespace

bool openWithDesktopApplication(std::string_view path, std::string_view mimeType) {
    const QString file = QFileInfo(detail::qs(path)).absoluteFilePath();
    if (!QFileInfo(file).isFile()) return false;
    QStringList command = applicationCommand(detail::qs(mimeType), file);
    if (command.isEmpty()) return false;
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}

bool hasDesktopApplication(std::string_view mimeType) {
    return !applicationCommand(detail::qs(mimeType), QStringLiteral("/dev/null")).isEmpty();
}

}  // namespace runtime::ui
