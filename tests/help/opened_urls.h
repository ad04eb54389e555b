#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QUrl>

#include <functional>

// Stands in for the desktop's handler of files while a test runs: what the
// code under test asks the desktop to open is recorded instead of opened.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    QList<QUrl> urls;
    std::function<void(const QUrl&)> onOpen;  // runs at the moment of opening

public Q_SLOTS:
    void open(const QUrl& url)
    {
        urls.append(url);
        if (onOpen)
            onOpen(url);
    }
};
