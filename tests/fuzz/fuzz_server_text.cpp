// Any bytes a server sends as a stream title end up in the status line and its tooltip as
// one line of plain text: the label shows it as plain text, and the tooltip, which takes
// markup-like text for rich text, shows it as it is.
#include "fuzz_check.h"
#include "status_text.h"

#include <QGuiApplication>
#include <QTextDocument>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static const QGuiApplication app(*argc, *argv);
    return 0;
}

void fuzzOne(const QByteArray& input)
{
    // As the stream session takes a title tag.
    const QString line = statusText(PlaybackEngine::State::Playing, PlaybackEngine::Problem::None, 0, 0,
                                    QString::fromUtf8(input).trimmed());
    check(line.size() <= 32 + MaxServerTextLength);
    for (const QChar c : line)
        check(c.category() != QChar::Other_Control && c.category() != QChar::Separator_Line
              && c.category() != QChar::Separator_Paragraph);
    // As the control bar sets its tooltip.
    const QString tip = Qt::convertFromPlainText(line, Qt::WhiteSpaceNormal);
    QTextDocument shown;
    Qt::mightBeRichText(tip) ? shown.setHtml(tip) : shown.setPlainText(tip);
    check(shown.toRawText() == line);
}
