#include "PlaylistParser.h"

#include <QFile>
#include <QHash>
#include <QLibrary>
#include <QTemporaryDir>

#include <cctype>

#include <totem-pl-parser.h>

namespace {

QByteArray baseType(const QByteArray& contentType)
{
    return contentType.split(';').first().trimmed().toLower();
}

PlaylistKind kindFromType(const QByteArray& type)
{
    if (type == "audio/x-mpegurl" || type == "audio/mpegurl" || type == "application/x-mpegurl"
        || type == "application/vnd.apple.mpegurl")
        return PlaylistKind::M3u;
    if (type == "audio/x-scpls" || type == "application/pls+xml")
        return PlaylistKind::Pls;
    if (type == "video/x-ms-asx" || type == "audio/x-ms-asx" || type == "video/x-ms-wax"
        || type == "audio/x-ms-wax" || type == "video/x-ms-wvx")
        return PlaylistKind::Asx;
    if (type == "application/xspf+xml")
        return PlaylistKind::Xspf;
    return PlaylistKind::None;
}

PlaylistKind kindFromPath(const QUrl& url)
{
    const QString path = url.path().toLower();
    if (path.endsWith(".m3u") || path.endsWith(".m3u8"))
        return PlaylistKind::M3u;
    if (path.endsWith(".pls"))
        return PlaylistKind::Pls;
    if (path.endsWith(".asx") || path.endsWith(".wax") || path.endsWith(".wvx"))
        return PlaylistKind::Asx;
    if (path.endsWith(".xspf"))
        return PlaylistKind::Xspf;
    return PlaylistKind::None;
}

PlaylistKind kindFromContent(const QByteArray& head)
{
    QByteArray text = head.left(512).trimmed().toLower();
    if (text.startsWith("\xef\xbb\xbf"))
        text = text.mid(3).trimmed();
    if (text.startsWith("#extm3u") || text.startsWith("http://") || text.startsWith("https://"))
        return PlaylistKind::M3u;
    if (text.startsWith("[playlist]"))
        return PlaylistKind::Pls;
    if (text.startsWith("<asx"))
        return PlaylistKind::Asx;
    if (text.startsWith("<?xml") || text.startsWith("<playlist")) {
        if (text.contains("<asx"))
            return PlaylistKind::Asx;
        if (text.contains("<playlist"))
            return PlaylistKind::Xspf;
    }
    return PlaylistKind::None;
}

const char* suffixFor(PlaylistKind kind)
{
    switch (kind) {
    case PlaylistKind::M3u: return "list.m3u";
    case PlaylistKind::Pls: return "list.pls";
    case PlaylistKind::Asx: return "list.asx";
    case PlaylistKind::Xspf: return "list.xspf";
    case PlaylistKind::None: break;
    }
    return "list";
}

// totem-pl-parser and what it pulls in (GIO, libxml2, libarchive) are loaded with
// the first list, not with the program, whose start they would slow. Never unloaded.
struct TotemCalls {
    decltype(&totem_pl_parser_new) create = nullptr;
    decltype(&totem_pl_parser_parse_with_base) parse = nullptr;
};

const TotemCalls& totem()
{
    static const TotemCalls calls = [] {
        QLibrary library(QStringLiteral("totem-plparser"), 18);
        TotemCalls found;
        if (library.load()) {
            found.create = reinterpret_cast<decltype(found.create)>(library.resolve("totem_pl_parser_new"));
            found.parse = reinterpret_cast<decltype(found.parse)>(library.resolve("totem_pl_parser_parse_with_base"));
        }
        return found.create && found.parse ? found : TotemCalls{};
    }();
    return calls;
}

// totem-pl-parser is a GObject; this keeps its reference counted the RAII way.
struct ParserRef {
    TotemPlParser* p = totem().create();
    ~ParserRef() { g_object_unref(p); }
};

void onEntry(TotemPlParser*, const gchar* uri, GHashTable*, gpointer data)
{
    static_cast<QStringList*>(data)->append(QString::fromUtf8(uri));
}

// totem-pl-parser (3.26) counts the .pls keys that start with "file", then looks up file1,
// file2, ... until it has found that many: a repeated key, a "FileName=" or a "File01=" has it
// look for ever. Only keys it can find stay, each once, its last value as it would take it.
QByteArray countablePls(QByteArray text)
{
    text.replace('\r', '\n');
    const QList<QByteArray> lines = text.split('\n');
    QHash<QByteArray, qsizetype> lastLineOfKey;
    QList<bool> keep(lines.size(), true);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype eq = line.indexOf('=');
        if (line.startsWith('#') || line.startsWith('[') || eq < 0)
            continue;
        qsizetype start = 0;
        while (start < eq && std::isspace(static_cast<unsigned char>(line[start])))
            ++start;
        const QByteArray key = line.mid(start, eq - start).toLower();
        if (!key.startsWith("file"))
            continue;
        const QByteArray number = key.mid(4);
        bool ok = false;
        const int n = number.toInt(&ok);
        if (!ok || n < 1 || n > 999 || number != QByteArray::number(n)) {
            keep[i] = false;
            continue;
        }
        if (const auto seen = lastLineOfKey.constFind(key); seen != lastLineOfKey.constEnd())
            keep[*seen] = false;
        lastLineOfKey.insert(key, i);
    }
    QByteArray out;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (keep[i])
            out += lines[i] + '\n';
    return out;
}

// totem-pl-parser's own XML reader (3.26, used for .asx) looks for ever for the end of a
// comment that has none.
bool hasOpenComment(const QByteArray& text)
{
    for (qsizetype at = text.indexOf("<!--"); at >= 0; at = text.indexOf("<!--", at)) {
        at = text.indexOf("-->", at + 4);
        if (at < 0)
            return true;
    }
    return false;
}

} // namespace

bool isStreamAddress(const QUrl& url)
{
    static const QStringList schemes{QStringLiteral("http"), QStringLiteral("https"),
                                     QStringLiteral("mms"), QStringLiteral("mmsh"),
                                     QStringLiteral("icy")};
    return url.isValid() && !url.host().isEmpty() && schemes.contains(url.scheme().toLower());
}

bool isPlaylistAddress(const QUrl& url)
{
    return kindFromPath(url) != PlaylistKind::None;
}

bool isHlsPlaylist(const QByteArray& text)
{
    return text.contains("#EXT-X-");
}

bool isAudioContentType(const QByteArray& contentType)
{
    const QByteArray type = baseType(contentType);
    if (kindFromType(type) != PlaylistKind::None)
        return false;
    return type.startsWith("audio/") || type == "application/ogg" || type == "application/x-ogg";
}

bool isAsfContentType(const QByteArray& contentType)
{
    // Windows Media servers send streams and their .asx lists alike under this type.
    return baseType(contentType) == "video/x-ms-asf";
}

PlaylistKind detectPlaylist(const QByteArray& contentType, const QUrl& url, const QByteArray& head)
{
    // Content first: servers send playlists as text/plain and streams under .m3u-like names.
    if (const PlaylistKind k = kindFromContent(head); k != PlaylistKind::None)
        return k;
    if (const PlaylistKind k = kindFromType(baseType(contentType)); k != PlaylistKind::None)
        return k;
    if (isAudioContentType(contentType))
        return PlaylistKind::None;
    if (isAsfContentType(contentType) && !head.isEmpty())
        return PlaylistKind::None;   // binary, so not the text of a list
    return kindFromPath(url);
}

QStringList parsePlaylist(const QByteArray& text, PlaylistKind kind, const QUrl& base)
{
    if (kind == PlaylistKind::None || text.trimmed().isEmpty() || hasOpenComment(text) || !totem().parse)
        return {};
    // The parser reads local files only; the original address is the base for relative entries.
    const QTemporaryDir dir;
    if (!dir.isValid())
        return {};
    const QString path = dir.filePath(QString::fromLatin1(suffixFor(kind)));
    const QByteArray contents = kind == PlaylistKind::Pls ? countablePls(text) : text;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size())
        return {};
    file.close();

    QStringList entries;
    const ParserRef parser;
    g_object_set(parser.p, "recurse", FALSE, "disable-unsafe", TRUE, nullptr);
    g_signal_connect(parser.p, "entry-parsed", G_CALLBACK(onEntry), &entries);
    const QByteArray fileUri = QUrl::fromLocalFile(path).toEncoded();
    const QByteArray baseUri = base.toEncoded();
    const TotemPlParserResult parsed =
        totem().parse(parser.p, fileUri.constData(), baseUri.constData(), FALSE);
    if (parsed != TOTEM_PL_PARSER_RESULT_SUCCESS)
        return {};
    // Some formats resolve relative names against the file, not the base: put them back on
    // the base. Local names, devices and other schemes stay out: a station's list has no
    // business there. A list of thousands is cut: each entry may cost a timeout.
    const QString folder = QUrl::fromLocalFile(dir.path()).toString() + QLatin1Char('/');
    QStringList result;
    for (const QString& e : std::as_const(entries)) {
        const QUrl url = e.startsWith(folder) ? base.resolved(QUrl(e.mid(folder.size()))) : QUrl(e);
        if (isStreamAddress(url))
            result.append(e.startsWith(folder) ? url.toString() : e);
        if (result.size() == MaxPlaylistEntries)
            break;
    }
    return result;
}
