#pragma once

#include <QtGlobal>

class QWidget;

// The exit routine, run by the main window's unload handler. When the window
// is hidden it is shown again and the user is asked first. Returns 1 when the
// user declines (the window must stay open, nothing has been written) and 0
// when the program may end: the settings are written and the tray icon is gone.
qint32 SaveINI(QWidget& form);
