#pragma once

#include <QWebEngineProfile>

#include <memory>

// The advertisement panel's browser profile: off the record, so nothing is
// written to disk, and without an HTTP cache, so every page is fetched
// afresh. Script dialogs, error pages, icons and outside handlers for
// unknown schemes are off.
std::unique_ptr<QWebEngineProfile> MakeAdProfile();
