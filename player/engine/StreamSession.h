#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

typedef struct _GstElement GstElement;

// What a pipeline reports; handed to the UI thread by a queued call.
struct SessionEvent {
    enum class Kind { Playing, Buffering, Title, EndOfStream, Error };
    // Errors: what retrying could help.
    enum class Failure {
        Transient,   // the network: the same address again, later
        Permanent,   // gone or forbidden
        Type,        // nothing could decode what came: another way of opening it
        Output,      // no sound output
    };
    Kind kind = Kind::Error;
    int percent = 0;   // Buffering: how full the cushion is
    QString text;
    Failure failure = Failure::Transient;
};

// One GStreamer playbin for one address, on a thread of its own, so that no state change ever
// waits on the UI thread. Destroying the session returns at once and leaves the teardown to
// that thread, also when the server hangs.
//
// Between decoder and output sits a queue of decoded audio: what a server sends ahead of time
// stays there as a cushion. When the output has really run dry (the queue reported empty and
// the pipeline clock passed the end of the last audio handed to the sink), the pipeline pauses
// and the queue holds back until it has the next cushion target (1, 2, 4, 8 s); its "running"
// signal resumes playing.
class StreamSession {
public:
    using Handler = std::function<void(const SessionEvent&)>;

    struct Options {
        int timeoutSeconds = 10;
        double volume = 1.0;
        bool muted = false;
        bool typeHint = true;   // may tell the typefinder what the server says it sends
        int underrunsSoFar = 0; // earlier underruns on this address: the cushion starts bigger
    };

    // handler runs on context's thread, and only while context lives.
    // audioSink: a floating element to play into, or null for the desktop's output.
    StreamSession(QObject* context, Handler handler, const QString& uri, GstElement* audioSink,
                  const Options& options);
    ~StreamSession();
    StreamSession(const StreamSession&) = delete;
    StreamSession& operator=(const StreamSession&) = delete;

    void setVolume(double volume);
    void setMuted(bool muted);

    // Dropped sessions whose thread has not ended yet.
    static int abandoned();

    struct Shared;

private:
    std::shared_ptr<Shared> d;
};
