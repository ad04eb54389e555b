#pragma once

#include <QString>

// Opens a document or web address with the desktop's default handler.
// A relative name means a file in the program's folder, whatever the current
// folder is. Failures are passed over: a missing file opens nothing.
void ShellOpen(const QString& File);
