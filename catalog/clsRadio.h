#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

// One station. Slots 0 to 4 are URL, Name, Otkuda, Chastota, Stil; nothing
// is parsed or trimmed, every text comes back exactly as it was stored.
struct RadioRecord {
    QString URL;
    QString Name;
    QString Otkuda;
    QString Chastota;
    QString Stil;

    const QString& slot(qint32 Index) const;  // throws std::out_of_range
};

// The station catalog. Numbers are 0-based in the order stations were added.
// Failures are exceptions and leave the catalog as it was.
class clsRadio {
public:
    // Number of the last station (count - 1), -1 when empty, 0 before Start.
    qint32 KolRadio() const { return kolRadio_; }
    void setKolRadio(qint32 value) { kolRadio_ = value; }

    // Empties the catalog: KolRadio -1, one empty record at index 0.
    void Start();
    // Appends a station; throws std::overflow_error at the 32-bit limit.
    void NewRadio(QString Name, QString URL, QString Otkuda, QString Chastota, QString Stil);
    // Slot Index (0..4) of station Nomer; throws std::out_of_range.
    QString List(qint32 Nomer, qint32 Index) const;
    // First station whose name equals Name exactly, or -1.
    qint32 FoundNomer(const QString& Name) const;

private:
    qint32 kolRadio_ = 0;
    std::vector<RadioRecord> stations_;
};

// The one catalog of the program, created on first use.
clsRadio& Radio();
