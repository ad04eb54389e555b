#include "OpURL.h"

#include "program_folder.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

namespace {
// "http:", "mailto:", "file:" ... but not a one-letter drive such as "C:".
bool HasScheme(const QString& text)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(text).hasMatch();
}


// The handler starts in the program's folder, the process's own current
// folder untouched once it has been started.
void OpenInProgramFolder(const QUrl& url)
{
    const QString before = QDir::currentPath();
    const bool moved = QDir::setCurrent(ProgramFolder());
    QDesktopServices::openUrl(url);
    if (moved)
        QDir::setCurrent(before);
}

}  // namespace

void ShellOpen(const QString& File)
{
    if (File.isEmpty())
        return;
    if (HasScheme(File)) {
        const QUrl url(File);
        if (url.isValid())
            OpenInProgramFolder(url);
        return;
    }
    const QString path = QDir::isAbsolutePath(File) ? File : ProgramFile(File);
    // Handing a missing file to the desktop would pop up its own error box.
    if (!QFileInfo::exists(path))
        return;
    OpenInProgramFolder(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}
