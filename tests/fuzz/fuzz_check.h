#pragma once
// The driver every target shares: libFuzzer hands each input to the target's
// fuzzOne, and a failed check aborts, which libFuzzer keeps as a finding.
#include <QByteArray>

#include <cstdint>
#include <cstdlib>

void fuzzOne(const QByteArray& input);

inline void check(bool ok)
{
    if (!ok)
        abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzOne(QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
