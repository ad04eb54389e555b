#pragma once

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>

// Stands in for the desktop's default handler while a test runs: whatever
// the code under test asks the desktop to open is recorded here instead of
// starting a browser.
class OpenedUrls : public QObject {
    Q_OBJECT
public:
    OpenedUrls()
    {
        for (const char* scheme : Schemes)
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
    }
    ~OpenedUrls() override
    {
        for (const char* scheme : Schemes)
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }

    QList<QUrl> urls;
    // Runs at the moment of opening, to look at the state of the caller then.
    std::function<void(const QUrl&)> onOpen;

public Q_SLOTS:
    void open(const QUrl& url)
    {
        urls.append(url);
        if (onOpen)
            onOpen(url);
    }

private:
    static constexpr const char* Schemes[] = {"file", "http", "https", "mailto"};
};
