#include "reklama_address.h"

#include "tolva_config.h"

QString DefaultReklamaURL()
{
    return QStringLiteral("http://") + QString::fromUtf8(TolvaConfig::AdHost) + QStringLiteral("/reklama/");
}

QUrl ReklamaPage(const QString& base, int n)
{
    return QUrl(base + QString::number(n) + QStringLiteral(".html"));
}

QString StartPageHtml()
{
    return QString::fromUtf8(StartPageAddress).mid(int(sizeof("about:") - 1));
}
