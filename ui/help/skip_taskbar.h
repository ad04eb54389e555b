#pragma once

class QWidget;

// Asks the window manager to leave the window off the taskbar and the pager
// (X11 only; elsewhere nothing happens). Call before the window is shown.
void SkipTaskbar(QWidget& window);
