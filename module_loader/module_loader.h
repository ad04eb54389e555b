#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Loads a part of the program that comes as a run-time module: the file beside the executable,
// else (for programs run from the build tree, such as the tests) where the build put it. The
// first one that loads and answers to `fits` is returned; null when none does, with warnings
// naming `what`. Loaded modules stay loaded.
QObject* LoadModule(const QString& fileName, const QString& builtPath, const char* what,
                    const std::function<bool(QObject*)>& fits);

template <typename Interface>
Interface* LoadModule(const QString& fileName, const QString& builtPath, const char* what)
{
    return qobject_cast<Interface*>(LoadModule(fileName, builtPath, what, [](QObject* instance) {
        return qobject_cast<Interface*>(instance) != nullptr;
    }));
}
