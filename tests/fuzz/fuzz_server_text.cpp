// Any bytes a server sends as a stream title end up in the status line and its tooltip as
// one line of plain text: the label shows it as plain text, and the tooltip, which takes
// markup-like text for rich text, shows it as it is.
#include "status_text.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {
void check(bool ok)
{
    if (!ok)
        abort();
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static const std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // As the stream session takes a title tag.
    const QString title =
        QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size)).trimmed();
    const QString line = statusText(PlaybackEngine::State::Playing, PlaybackEngine::Problem::None, 0, 0, title);

    check(line.size() <= 32 + MaxServerTextLength);
    for (const QChar c : line) {
        const QChar::Category category = c.category();
        check(category != QChar::Other_Control && category != QChar::Separator_Line
              && category != QChar::Separator_Paragraph);
    }

    // As the control bar sets its tooltip.
    const QString tip = Qt::convertFromPlainText(line, Qt::WhiteSpaceNormal);
    QTextDocument shown;
    if (Qt::mightBeRichText(tip))
        shown.setHtml(tip);
    else
        shown.setPlainText(tip);
    check(shown.toRawText() == line);
    return 0;
}
