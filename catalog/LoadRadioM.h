#pragma once

#include <QString>

struct StreamHosts {
    QString A;  // the .m3u playlists
    QString B;  // the raw stream on port 4570
    QString C;  // the .asx playlist
};

// Fills the catalog with the built-in stations, using the configured hosts.
void LoadRadio();
// The same with other hosts (a local server in tests).
void LoadRadio(const StreamHosts& hosts);
