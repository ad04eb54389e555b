// The engine proper, built as a module of its own: only this module links GStreamer and
// Qt Network.
#include "PlaybackCore.h"
#include "StreamSession.h"
#include "engine_core.h"

#include <QObject>

class EngineModule final : public QObject, public EngineCoreFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID EngineCoreFactory_iid)
    Q_INTERFACES(EngineCoreFactory)
public:
    std::unique_ptr<EngineCore> create(EngineCore::Settings settings, EngineCore::Events events) override
    {
        return std::make_unique<PlaybackCore>(std::move(settings), std::move(events));
    }
    int abandonedSessions() const override { return StreamSession::abandoned(); }
};

#include "engine_module.moc"
