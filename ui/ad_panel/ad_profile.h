#pragma once

#include <QWebEngineProfile>

#include <memory>

// The advertisement panel's browser profile: off the record, so nothing is
// written to disk, and without an HTTP cache, so every page is fetched
// afresh. Script dialogs, error pages, icons and outside handlers for
// unknown schemes are off.
std::unique_ptr<QWebEngineProfile> MakeAdProfile();

// Puts the panel's Chromium switches before those QTWEBENGINE_CHROMIUM_FLAGS
// holds (the environment's come last and so win) and has Qt draw the browser
// without OpenGL, unless the environment says otherwise. Call it before the
// application object exists: Qt and Chromium read them only once.
void SetAdBrowserSwitches();
