// Any bytes as "Tolva.ini" give a station number or nothing; what the writer writes
// reads back as the number it was written for.
#include "settings_file.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<qint32> read = SettingsFile::Parse(text);
    if (read && SettingsFile::Parse(SettingsFile::Format(*read)) != read)
        abort();

    qint32 nomer = 0;
    std::memcpy(&nomer, data, std::min(size, sizeof nomer));
    if (SettingsFile::Parse(SettingsFile::Format(nomer)) != nomer)
        abort();
    return 0;
}
