// Any bytes as "Tolva.ini" give a station number or nothing; what the writer writes
// reads back as the number it was written for.
#include "fuzz_check.h"
#include "settings_file.h"

#include <cstring>

void fuzzOne(const QByteArray& input)
{
    const std::optional<qint32> read = SettingsFile::Parse(input);
    check(!read || SettingsFile::Parse(SettingsFile::Format(*read)) == read);
    qint32 nomer = 0;
    std::memcpy(&nomer, input.constData(), std::min(size_t(input.size()), sizeof nomer));
    check(SettingsFile::Parse(SettingsFile::Format(nomer)) == nomer);
}
