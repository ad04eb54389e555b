#include "settings_file.h"

#include "program_folder.h"
#include "station_numbers.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>
#include <limits>

namespace SettingsFile {
namespace {

constexpr char kMarker[] = "[NomerRadio]";
constexpr qint64 kMaxSize = 64 * 1024;  // the real file is 20 bytes

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

// Reads the file the way sequential "input" of comma-separated fields does.
class FieldReader {
public:
    explicit FieldReader(const QByteArray& text) : text_(text) {}

    // A text field: blanks skipped; a quoted field runs to the next quote,
    // any other ends at a comma or the line end (its trailing blanks dropped).
    std::optional<QByteArray> textField()
    {
        skipBlanksAndLineEnds();
        if (atEnd())
            return std::nullopt;
        QByteArray field;
        if (text_[pos_] == '"') {
            const qsizetype close = text_.indexOf('"', pos_ + 1);
            if (close < 0)
                return std::nullopt;
            field = text_.mid(pos_ + 1, close - pos_ - 1);
            pos_ = close + 1;
            skipToDelimiter();
        } else {
            const qsizetype start = pos_;
            while (!atEnd() && text_[pos_] != ',' && !isLineEnd(text_[pos_]))
                ++pos_;
            field = text_.mid(start, pos_ - start);
            while (!field.isEmpty() && isBlank(field.back()))
                field.chop(1);
        }
        consumeDelimiter();
        return field;
    }

    // A number field: blanks skipped; it ends at a blank, a comma or the line end.
    std::optional<QByteArray> numberField()
    {
        skipBlanksAndLineEnds();
        const qsizetype start = pos_;
        while (!atEnd() && text_[pos_] != ',' && !isBlank(text_[pos_]) && !isLineEnd(text_[pos_]))
            ++pos_;
        if (pos_ == start)
            return std::nullopt;
        return text_.mid(start, pos_ - start);
    }

private:
    bool atEnd() const { return pos_ >= text_.size(); }
    void skipBlanksAndLineEnds()
    {
        while (!atEnd() && (isBlank(text_[pos_]) || isLineEnd(text_[pos_])))
            ++pos_;
    }
    void skipToDelimiter()
    {
        while (!atEnd() && text_[pos_] != ',' && !isLineEnd(text_[pos_]))
            ++pos_;
    }
    void consumeDelimiter()
    {
        if (atEnd())
            return;
        if (text_[pos_] == ',') {
            ++pos_;
        } else if (text_[pos_] == '\r') {
            ++pos_;
            if (!atEnd() && text_[pos_] == '\n')
                ++pos_;
        } else if (text_[pos_] == '\n') {
            ++pos_;
        }
    }

    const QByteArray& text_;
    qsizetype pos_ = 0;
};

// A decimal number, rounded half to even when it has a fraction; nothing
// that does not fit 32 bits.
std::optional<qint32> toWholeNumber(const QByteArray& field)
{
    bool ok = false;
    const double value = field.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value);  // default rounding mode: half to even
    if (rounded < std::numeric_limits<qint32>::min() || rounded > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return static_cast<qint32>(rounded);
}

}  // namespace

QString Path()
{
    return ProgramFile(QStringLiteral("Tolva.ini"));
}

QByteArray Format(qint32 nomer)
{
    const qint64 value = nomer;
    QByteArray text = QByteArray(kMarker) + "\r\n";
    text += value < 0 ? '-' : ' ';
    text += QByteArray::number(value < 0 ? -value : value);
    text += " \r\n";
    return text;
}

std::optional<qint32> Parse(const QByteArray& text)
{
    FieldReader reader(text);
    const std::optional<QByteArray> first = reader.textField();
    if (!first || *first != kMarker)
        return std::nullopt;
    const std::optional<QByteArray> number = reader.numberField();
    if (!number)
        return std::nullopt;
    return toWholeNumber(*number);
}

void ReadSettings()
{
    QFile file(Path());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray text = file.read(kMaxSize);
    if (const std::optional<qint32> nomer = Parse(text))
        NomerRadio = *nomer;
}

void WriteSettings()
{
    const QString path = Path();
    // A file the user made read-only stays as it is, as a failed open would leave it.
    const QFileInfo existing(path);
    if (existing.exists() && !existing.isWritable())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(Format(NomerRadio));
    file.commit();
}

}  // namespace SettingsFile
