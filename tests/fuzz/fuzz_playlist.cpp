// A server's answer fed as the player feeds it: first line the content type, second the
// address, the rest the body. Any answer gives a bounded list of stream addresses or
// nothing, and never a crash.
#include "PlaylistParser.h"

#include <cstdint>
#include <cstdlib>

namespace {
QByteArray takeLine(QByteArray& rest)
{
    const qsizetype end = rest.indexOf('\n');
    const QByteArray line = end < 0 ? rest : rest.left(end);
    rest = end < 0 ? QByteArray() : rest.mid(end + 1);
    return line;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray body(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray type = takeLine(body);
    const QUrl url(QString::fromUtf8(takeLine(body)));

    // On the headers, on the first bytes, and on the whole answer.
    detectPlaylist(type, url, {});
    detectPlaylist(type, url, body.left(512));
    const PlaylistKind kind = detectPlaylist(type, url, body);
    if (kind == PlaylistKind::None)
        return 0;
    const QStringList entries = parsePlaylist(body, kind, url);
    if (entries.size() > MaxPlaylistEntries)
        abort();
    for (const QString& entry : entries)
        if (!isStreamAddress(QUrl(entry)))
            abort();
    return 0;
}
