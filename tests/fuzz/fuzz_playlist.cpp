// A server's answer fed as the player feeds it: first line the content type, second the
// address, the rest the body. Any answer gives a bounded list of stream addresses or
// nothing, and never a crash.
#include "PlaylistParser.h"
#include "fuzz_check.h"

void fuzzOne(const QByteArray& input)
{
    const QList<QByteArray> lines = input.split('\n');
    const QByteArray type = lines.value(0), address = lines.value(1), body = input.mid(type.size() + address.size() + 2);
    const QUrl url(QString::fromUtf8(address));
    // On the headers, on the first bytes, and on the whole answer.
    detectPlaylist(type, url, {});
    detectPlaylist(type, url, body.left(512));
    const PlaylistKind kind = detectPlaylist(type, url, body);
    if (kind == PlaylistKind::None)
        return;
    const QStringList entries = parsePlaylist(body, kind, url);
    check(entries.size() <= MaxPlaylistEntries);
    for (const QString& entry : entries)
        check(isStreamAddress(QUrl(entry)));
}
