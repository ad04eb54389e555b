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
}  // namespace

void ShellOpen(const QString& File)
{
    if (File.isEmpty())
        return;
    if (HasScheme(File)) {
        const QUrl url(File);
        if (url.isValid())
            QDesktopServices::openUrl(url);
        return;
    }
    const QString path = QDir::isAbsolutePath(File) ? File : ProgramFile(File);
    // Handing a missing file to the desktop would pop up its own error box.
    if (!QFileInfo::exists(path))
        return;
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}
