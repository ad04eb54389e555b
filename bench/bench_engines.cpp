#include "bench_engines.h"

#include "PlaybackEngine.h"

#include <gst/gst.h>
#include <vlc/vlc.h>

namespace {

class OurPlayer : public BenchEngine {
public:
    void play(const QString& url) override { engine_.setUrl(url); }
    void stop() override { engine_.setUrl(QString()); }

private:
    PlaybackEngine engine_;
};

// playbin as a naive application uses it: set the address, go to PLAYING, ignore the bus.
class DefaultPlaybin : public BenchEngine {
public:
    ~DefaultPlaybin() override { stop(); }
    void play(const QString& url) override
    {
        stop();
        pipeline_ = gst_element_factory_make("playbin", nullptr);
        g_object_set(pipeline_, "uri", url.toUtf8().constData(), nullptr);
        GstBus* bus = gst_element_get_bus(pipeline_);
        gst_bus_set_flushing(bus, TRUE);
        gst_object_unref(bus);
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    }
    void stop() override
    {
        if (!pipeline_)
            return;
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
        pipeline_ = nullptr;
    }

private:
    GstElement* pipeline_ = nullptr;
};

class VlcListPlayer : public BenchEngine {
public:
    VlcListPlayer()
    {
        const char* args[] = {"--no-video", "--quiet"};
        vlc_ = libvlc_new(2, args);
    }
    ~VlcListPlayer() override
    {
        stop();
        if (vlc_)
            libvlc_release(vlc_);
    }
    void play(const QString& url) override
    {
        stop();
        if (!vlc_)
            return;
        list_ = libvlc_media_list_new(vlc_);
        libvlc_media_t* media = libvlc_media_new_location(vlc_, url.toUtf8().constData());
        libvlc_media_list_add_media(list_, media);
        libvlc_media_release(media);
        listPlayer_ = libvlc_media_list_player_new(vlc_);
        libvlc_media_list_player_set_media_list(listPlayer_, list_);
        libvlc_media_list_player_play(listPlayer_);
    }
    void stop() override
    {
        if (listPlayer_) {
            libvlc_media_list_player_stop(listPlayer_);
            libvlc_media_list_player_release(listPlayer_);
            listPlayer_ = nullptr;
        }
        if (list_) {
            libvlc_media_list_release(list_);
            list_ = nullptr;
        }
    }

private:
    libvlc_instance_t* vlc_ = nullptr;
    libvlc_media_list_t* list_ = nullptr;
    libvlc_media_list_player_t* listPlayer_ = nullptr;
};

} // namespace

std::unique_ptr<BenchEngine> makeOurPlayer()
{
    return std::make_unique<OurPlayer>();
}

std::unique_ptr<BenchEngine> makeDefaultPlaybin()
{
    return std::make_unique<DefaultPlaybin>();
}

std::unique_ptr<BenchEngine> makeVlcListPlayer()
{
    return std::make_unique<VlcListPlayer>();
}
