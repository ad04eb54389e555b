#include "program_folder.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString& overriddenFolder()
{
    static QString folder;
    return folder;
}
}  // namespace

QString ProgramFolder()
{
    const QString& folder = overriddenFolder();
    return folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
}

QString ProgramFile(const QString& name)
{
    return QDir(ProgramFolder()).filePath(name);
}

void SetProgramFolder(const QString& folder)
{
    overriddenFolder() = folder;
}
