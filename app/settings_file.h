#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// "Tolva.ini" beside the program remembers NomerRadio. Neither operation
// ever fails outward: a missing, malformed or unwritable file is passed over.
namespace SettingsFile {

QString Path();

// Sets NomerRadio from the file, or leaves it unchanged.
void ReadSettings();
// Stores NomerRadio; the file on disk is always either the old or the new one.
void WriteSettings();

// The file's text for a station number, and the number a file's text holds.
QByteArray Format(qint32 nomer);
std::optional<qint32> Parse(const QByteArray& text);

}  // namespace SettingsFile
