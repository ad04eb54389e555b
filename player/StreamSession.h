#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

typedef struct _GstElement GstElement;

// What a pipeline reports; handed to the UI thread by a queued call.
struct SessionEvent {
    enum class Kind { Playing, Buffering, Title, EndOfStream, Error };
    Kind kind = Kind::Error;
    int percent = 0;
    QString text;
    bool permanent = false;   // errors: retrying the same address will not help
};

// One GStreamer playbin for one address. It lives on a thread of its own, so that no
// state change ever waits on the UI thread; destroying the session returns at once and
// leaves the teardown to that thread, also when the server hangs.
class StreamSession {
public:
    using Handler = std::function<void(const SessionEvent&)>;

    struct Options {
        int timeoutSeconds = 10;
        double volume = 1.0;
        bool muted = false;
        QByteArray contentType;   // what the server said it sends, if known
    };

    // handler runs on context's thread, and only while context lives.
    // audioSink: a floating element to play into, or null for the desktop's output.
    StreamSession(QObject* context, Handler handler, const QString& uri, GstElement* audioSink,
                  const Options& options);
    ~StreamSession();
    StreamSession(const StreamSession&) = delete;
    StreamSession& operator=(const StreamSession&) = delete;

    void pause();
    void resume();
    void setVolume(double volume);
    void setMuted(bool muted);

    // How long the output has had nothing left to play, in ms; 0 before the first audio.
    qint64 starvedMs() const;

    struct Shared;

private:
    std::shared_ptr<Shared> d;
};
