#pragma once

#include <QString>
#include <QUrl>

// The built-in start page, as an address that carries its own page text.
inline constexpr char StartPageAddress[] =
    "about:<html><body scroll='no'><center><table style='border:0px;'><td>"
    "<font face='Times New Roman' size='6'>Радиоприёмник Tolva</font>"
    "</td></table></center></body></html>";

// How many advertisement pages the host has: 0.html to 4.html.
inline constexpr int ReklamaPageCount = 5;

// "http://" + the advertisement host + "/reklama/".
QString DefaultReklamaURL();
// The base address, n in decimal digits, ".html".
QUrl ReklamaPage(const QString& base, int n);
// The page text the start page address carries.
QString StartPageHtml();
