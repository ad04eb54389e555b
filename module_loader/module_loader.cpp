#include "module_loader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>
#include <QStringList>

QObject* LoadModule(const QString& fileName, const QString& builtPath, const char* what,
                    const std::function<bool(QObject*)>& fits)
{
    const QString besideProgram = QDir(QCoreApplication::applicationDirPath()).filePath(fileName);
    QStringList files{besideProgram};
    if (QFileInfo(builtPath) != QFileInfo(besideProgram))
        files << builtPath;
    for (const QString& file : std::as_const(files)) {
        if (!QFileInfo::exists(file))
            continue;
        QPluginLoader loader(file);
        if (QObject* const instance = loader.instance(); instance && fits(instance))
            return instance;
        qWarning("Tolva: the %s %s did not load: %s", what, qPrintable(file),
                 qPrintable(loader.errorString()));
    }
    qWarning("Tolva: no %s loaded from %s", what, qPrintable(files.join(QStringLiteral(", "))));
    return nullptr;
}
