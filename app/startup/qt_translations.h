#pragma once

#include <QLocale>

// Installs Qt's own translations (standard buttons, dialogs, the web view's
// texts) for the locale, from the folder where Qt keeps them. Returns false
// when there are none for it; Qt then speaks English, as before.
bool LoadQtTranslations(const QLocale& locale = QLocale::system());
