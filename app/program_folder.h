#pragma once

#include <QString>

// The folder of the running executable, never the current directory.
QString ProgramFolder();
// A file in the program's folder, joined with exactly one separator.
QString ProgramFile(const QString& name);
// Tests point the program at a temporary folder; empty restores the default.
void SetProgramFolder(const QString& folder);
