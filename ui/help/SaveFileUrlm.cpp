#include "SaveFileUrlm.h"

#include "OpURL.h"
#include "program_folder.h"

#include <QCoreApplication>
#include <QFile>

namespace {
constexpr char PageHead[] = "<html><head><meta http-equiv='refresh' content='0; url=";
constexpr char PageTail[] =
    "'><meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>"
    "<title>WWW</title></head><body></body></html>";

// The address comes from web pages, so it must not be able to close the
// attribute and add markup to a page the browser opens as a local file.
// Quotes, angle brackets, controls, spaces and everything outside ASCII are
// percent-encoded (UTF-8), which leaves the page plain ASCII and so valid
// Windows-1251; '&' becomes "&amp;" so the browser reads back exactly '&'
// instead of taking "&copy" and the like for character references.
QByteArray EncodedAddress(const QString& URL)
{
    QByteArray out;
    const QByteArray utf8 = URL.toUtf8();
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '&') {
            out += "&amp;";
        } else if (b <= 0x20 || b >= 0x7f || b == '\'' || b == '"' || b == '<' || b == '>') {
            static constexpr char hex[] = "0123456789ABCDEF";
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 0x0f];
        } else {
            out += c;
        }
    }
    return out;
}
}  // namespace

QByteArray RedirectPage(const QString& URL)
{
    return QByteArray(PageHead) + EncodedAddress(URL) + PageTail + "\r\n";
}

void SaveFileUrl(const QString& URL)
{
    const QByteArray page = RedirectPage(URL);
    QString written;
    for (int n = 0; n < RedirectPageAttempts && written.isEmpty(); ++n) {
        const QString name = ProgramFile(QString::number(n) + QStringLiteral(".html"));
        QFile file(name);
        // Only the open decides whether the next name is tried; a short
        // write is passed over like every other error here.
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(page);
            written = name;
        }
    }
    if (written.isEmpty())
        return;
    QCoreApplication::processEvents();
    ShellOpen(written);
}
