#include "clsRadio.h"

#include <limits>
#include <stdexcept>

const QString& RadioRecord::slot(qint32 Index) const
{
    switch (Index) {
    case 0: return URL;
    case 1: return Name;
    case 2: return Otkuda;
    case 3: return Chastota;
    case 4: return Stil;
    default: throw std::out_of_range("station field index out of range");
    }
}

void clsRadio::Start()
{
    kolRadio_ = -1;
    stations_.assign(1, RadioRecord{});
}

void clsRadio::NewRadio(QString Name, QString URL, QString Otkuda, QString Chastota, QString Stil)
{
    if (kolRadio_ == std::numeric_limits<qint32>::max())
        throw std::overflow_error("station catalog is full");
    const qint32 last = kolRadio_ + 1;
    if (last < 0)
        throw std::out_of_range("station count out of range");

    // Build the grown array aside so a failed allocation changes nothing.
    std::vector<RadioRecord> grown = stations_;
    grown.resize(static_cast<std::size_t>(last) + 1);
    grown[static_cast<std::size_t>(last)] = RadioRecord{std::move(URL), std::move(Name), std::move(Otkuda),
                                                        std::move(Chastota), std::move(Stil)};
    stations_ = std::move(grown);
    kolRadio_ = last;
}

QString clsRadio::List(qint32 Nomer, qint32 Index) const
{
    if (Nomer < 0 || static_cast<std::size_t>(Nomer) >= stations_.size())
        throw std::out_of_range("station number out of range");
    return stations_[static_cast<std::size_t>(Nomer)].slot(Index);
}

qint32 clsRadio::FoundNomer(const QString& Name) const
{
    const qint32 last = kolRadio_;
    for (qint32 i = 0; i <= last; ++i) {
        if (List(i, 1) == Name)
            return i;
    }
    return -1;
}

clsRadio& Radio()
{
    static clsRadio catalog;
    return catalog;
}
