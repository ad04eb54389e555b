// For any address the redirect page is one line of plain ASCII plus CR LF, the address
// cannot leave the refresh attribute, and a browser reading the refresh target back
// reaches the address itself.
//
// The browser's side, without a browser in the loop: the tokenizer rule for a
// single-quoted attribute value (it ends at the first quote, '&' starts a character
// reference), the refresh content rule ("0; url=" and an optional quote), then the URL
// read by QUrl beside the address read by QUrl.
#include "SaveFileUrlm.h"

#include <QUrl>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>

namespace {
constexpr char Head[] = "<html><head><meta http-equiv='refresh' content='";
constexpr char Tail[] =
    "'><meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>"
    "<title>WWW</title></head><body></body></html>\r\n";

void check(bool ok)
{
    if (!ok)
        abort();
}

bool isHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// The attribute value as the tokenizer returns it, or the page is malformed.
QByteArray attributeValue(const QByteArray& page)
{
    check(page.startsWith(Head));
    const qsizetype start = sizeof Head - 1;
    const qsizetype end = page.indexOf('\'', start);
    check(end >= 0 && page.mid(end) == Tail);
    QByteArray value = page.mid(start, end - start);
    // Only "&amp;" may stand for '&': anything else after '&' may be read as a reference.
    for (qsizetype i = value.indexOf('&'); i >= 0; i = value.indexOf('&', i + 1))
        check(value.mid(i, 5) == "&amp;");
    return value.replace("&amp;", "&");
}

// Percent-decoding as URL parsers and servers do it: only '%' and two hex digits.
QByteArray percentDecoded(const QByteArray& text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && isxdigit(uchar(text[i + 1])) && isxdigit(uchar(text[i + 2]))) {
            out += char(QByteArray(text.mid(i + 1, 2)).toInt(nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The refresh target: "0", then ';' or ',', then "url=", then an optional quote.
QByteArray refreshTarget(const QByteArray& content)
{
    qsizetype i = 0;
    const auto skipSpaces = [&] { while (i < content.size() && isHtmlSpace(content[i])) ++i; };
    skipSpaces();
    check(i < content.size() && content[i] == '0');
    ++i;
    check(i < content.size() && (content[i] == ';' || content[i] == ',' || isHtmlSpace(content[i])));
    skipSpaces();
    if (i < content.size() && (content[i] == ';' || content[i] == ','))
        ++i;
    skipSpaces();
    check(content.mid(i, 3).toLower() == "url");
    i += 3;
    skipSpaces();
    check(i < content.size() && content[i] == '=');
    ++i;
    skipSpaces();
    QByteArray target = content.mid(i);
    if (!target.isEmpty() && (target[0] == '\'' || target[0] == '"')) {
        const char quote = target[0];
        target = target.mid(1);
        target.truncate(target.indexOf(quote) < 0 ? target.size() : target.indexOf(quote));
    }
    // The URL parser drops these around and inside the text.
    for (const char c : target)
        check(static_cast<unsigned char>(c) > 0x20);
    return target;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Odd first byte: the rest as UTF-16, lone surrogates and all; else as UTF-8.
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString address = size > 0 && (data[0] & 1)
        ? QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 1), (size - 1) / 2)
        : QString::fromUtf8(bytes.mid(1));

    const QByteArray page = RedirectPage(address);
    for (const char c : page)
        check(static_cast<unsigned char>(c) < 0x80);
    check(page.indexOf('\r') == page.size() - 2 && page.indexOf('\n') == page.size() - 1);

    const QByteArray target = refreshTarget(attributeValue(page));
    check(percentDecoded(target) == percentDecoded(address.toUtf8()));

    // Where the address itself leads, read the same way; QUrl cuts an address at a
    // control character where a browser fails it, so those are compared decoded only.
    const QUrl wanted(address);
    const QUrl reached(QString::fromLatin1(target));
    const bool plain = std::none_of(address.begin(), address.end(), [](QChar c) { return c.unicode() <= 0x20 || c.unicode() == 0x7f; });
    if (plain && wanted.isValid() && !wanted.scheme().isEmpty()) {
        check(reached.isValid());
        check(reached.scheme() == wanted.scheme());
        check(reached.host() == wanted.host());
        check(reached.port() == wanted.port());
    }
    return 0;
}
