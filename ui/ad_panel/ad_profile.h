#pragma once

#include <QWebEngineProfile>

#include <memory>

// The advertisement panel's browser profile: off the record, so nothing is
// written to disk, and without an HTTP cache, so every page is fetched
// afresh. Script dialogs, error pages, icons and outside handlers for
// unknown schemes are off.
std::unique_ptr<QWebEngineProfile> MakeAdProfile();

// Adds the panel's Chromium switches to those QTWEBENGINE_CHROMIUM_FLAGS
// holds (the environment's come last and so win) and has Qt Quick draw the
// browser's frames in software. Both are read once, when the first profile
// starts the web engine: call it before the application object exists.
void SetAdBrowserSwitches();
