// For any address the redirect page is one line of plain ASCII plus CR LF, the address
// cannot leave the refresh attribute, and the refresh target, read as a browser reads it,
// leads where the address does. The browser's side, without a browser in the loop: a
// single-quoted attribute value ends at the first quote and '&' starts a character
// reference; after "url=" a quote starts a quoted target, and blanks end or are dropped.
#include "SaveFileUrlm.h"
#include "fuzz_check.h"

#include <QUrl>

#include <algorithm>

namespace {
constexpr char Head[] = "<html><head><meta http-equiv='refresh' content='0; url=";
constexpr char Tail[] = "'><meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>"
                        "<title>WWW</title></head><body></body></html>\r\n";
constexpr qsizetype Start = sizeof Head - 1;

// Percent-decoding as URL parsers and servers do it: only '%' and two hex digits.
QByteArray percentDecoded(const QByteArray& text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool escape = text[i] == '%' && i + 2 < text.size() && isxdigit(uchar(text[i + 1])) && isxdigit(uchar(text[i + 2]));
        out += escape ? char(text.mid(i + 1, 2).toInt(nullptr, 16)) : text[i];
        i += escape ? 2 : 0;
    }
    return out;
}
}  // namespace

void fuzzOne(const QByteArray& input)
{
    // Odd first byte: the rest as UTF-16, lone surrogates and all; else as UTF-8.
    const QString address = !input.isEmpty() && (input[0] & 1)
        ? QString::fromUtf16(reinterpret_cast<const char16_t*>(input.constData() + 1), (input.size() - 1) / 2)
        : QString::fromUtf8(input.mid(1));
    const QByteArray page = RedirectPage(address);
    check(std::all_of(page.begin(), page.end(), [](char c) { return uchar(c) < 0x80; }));
    check(page.indexOf('\r') == page.size() - 2 && page.indexOf('\n') == page.size() - 1);

    const qsizetype end = page.indexOf('\'', Start);
    check(page.startsWith(Head) && end >= 0 && page.mid(end) == Tail);
    QByteArray target = page.mid(Start, end - Start);
    for (qsizetype i = target.indexOf('&'); i >= 0; i = target.indexOf('&', i + 1))
        check(target.mid(i, 5) == "&amp;");  // anything else after '&' may be read as a reference
    check(std::none_of(target.begin(), target.end(), [](char c) { return uchar(c) <= 0x20 || c == '"'; }));
    check(percentDecoded(target.replace("&amp;", "&")) == percentDecoded(address.toUtf8()));

    // QUrl cuts an address at a control character where a browser fails it: those compare decoded only.
    const QUrl wanted(address), reached(QString::fromLatin1(target));
    if (std::all_of(address.begin(), address.end(), [](QChar c) { return c.unicode() > 0x20 && c.unicode() != 0x7f; })
        && wanted.isValid() && !wanted.scheme().isEmpty())
        check(reached.isValid() && reached.scheme() == wanted.scheme() && reached.host() == wanted.host()
              && reached.port() == wanted.port());
}
