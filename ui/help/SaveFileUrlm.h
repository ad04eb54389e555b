#pragma once

#include <QByteArray>
#include <QString>

// Opens a web address in the user's browser by way of a one-line redirect
// page "0.html" (or the next free number) written into the program's folder.
// Reports nothing; when no page can be written it opens nothing.
void SaveFileUrl(const QString& URL);

// The redirect page's bytes for an address, line end included, in
// Windows-1251. The address is encoded so that it cannot leave the
// attribute it sits in.
QByteArray RedirectPage(const QString& URL);

// How many page names SaveFileUrl tries before it gives up.
inline constexpr int RedirectPageAttempts = 100;
