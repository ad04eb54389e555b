#include "LoadRadioM.h"

#include "clsRadio.h"
#include "tolva_config.h"

namespace {

enum class Host { A, B, C };

struct BuiltInStation {
    const char16_t* Name;
    const char16_t* Otkuda;
    const char16_t* Chastota;
    const char16_t* Stil;
    Host host;
    const char* path;
};

// Texts as broadcast by the stations, trailing blanks included.
constexpr BuiltInStation kStations[] = {
    {u"98 и 8 хитов", u"интернет", u"Москва", u"музыка", Host::A, "/online/moskva_fm/98_8_fm_online.m3u"},
    {u"Best FM", u"интернет", u"Москва", u"?", Host::A, "/online/moskva_fm/best_fm_online.m3u"},
    {u"Business FM", u"Москва", u"87.5 FM", u"бизнес", Host::A, "/online/moskva_fm/biznes_fm_online.m3u"},
    {u"NewTone FM", u"интернет", u"Москва", u"музыка, новости", Host::A, "/online/moskva_fm/newtone_fm_online.m3u"},
    {u"Дикое Радио", u"Москва ", u"интернет", u"рок", Host::B, "/"},
    {u"КЕКС FM", u"Москва", u"89.9 FM", u"поп, юмор", Host::A, "/online/moskva_fm/keks_fm_online.m3u"},
    {u"Максимум", u"Москва ", u"103.7 FM", u"музыка", Host::A, "/online/moskva_fm/maximum_online.m3u"},
    {u"Мегаполис FM", u"интернет", u"Москва", u"поп музыка", Host::A, "/online/moskva_fm/megapolis_fm_online.m3u"},
    {u"Мелодия", u"Санкт-Петербург ", u"91.1 FM", u"ретро", Host::C,
     "/asx/radio/radiostation/radiomelody/melody_32.asx"},
    {u"Наше Радио", u"Москва ", u"101.7 FM", u"рок", Host::A, "/online/moskva_fm/nashe_fm_online.m3u"},
    {u"Радио Звезда", u"Москва", u"интернет", u"новости", Host::A, "/online/moskva_fm/radio_zvezda_online.m3u"},
    {u"Радио Карнавал", u"интернет", u"Москва", u"музыка", Host::A, "/online/moskva_fm/karnaval_fm_online.m3u"},
    {u"Ретро FM", u"Москва", u"интернет", u"ретро 70-90 годы", Host::A, "/online/moskva_fm/retro_fm_online.m3u"},
    {u"Рок НА Радио", u"интернет", u"Москва", u"рок", Host::A, "/online/moskva_fm/95_2_fm_online.m3u"},
    {u"Русское Радио", u"Москва ", u"105.7 FM", u"музыка", Host::A, "/online/moskva_fm/russkoe_online.m3u"},
    {u"Серебряный Дождь", u"Москва ", u"101.1 FM", u"музыка", Host::A, "/online/moskva_fm/silver_rain_online.m3u"},
    {u"Шансон", u"Москва ", u"103.0 FM", u"шансон", Host::A, "/online/moskva_fm/shanson_fm_online.m3u"},
};

QString streamAddress(const StreamHosts& hosts, Host host, const char* path)
{
    switch (host) {
    case Host::A: return QStringLiteral("http://") + hosts.A + QLatin1String(path);
    case Host::B: return QStringLiteral("http://") + hosts.B + QStringLiteral(":4570") + QLatin1String(path);
    case Host::C: return QStringLiteral("http://") + hosts.C + QLatin1String(path);
    }
    return {};
}

}  // namespace

void LoadRadio()
{
    LoadRadio(StreamHosts{QString::fromUtf8(TolvaConfig::StreamHostA), QString::fromUtf8(TolvaConfig::StreamHostB),
                          QString::fromUtf8(TolvaConfig::StreamHostC)});
}

void LoadRadio(const StreamHosts& hosts)
{
    clsRadio& radio = Radio();
    radio.Start();
    for (const BuiltInStation& s : kStations) {
        radio.NewRadio(QString::fromUtf16(s.Name), streamAddress(hosts, s.host, s.path), QString::fromUtf16(s.Otkuda),
                       QString::fromUtf16(s.Chastota), QString::fromUtf16(s.Stil));
    }
}
