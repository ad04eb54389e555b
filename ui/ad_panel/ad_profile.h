#pragma once

// Puts the panel's Chromium switches before those QTWEBENGINE_CHROMIUM_FLAGS
// holds (the environment's come last and so win) and has Qt draw the browser
// without OpenGL, unless the environment says otherwise. Call it before the
// application object exists: Qt and Chromium read them only once.
void SetAdBrowserSwitches();
