#pragma once

#include <QString>
#include <QStringList>

// What a desktop does with a link it has a handler for: find the .desktop file whose MimeType
// lists "x-scheme-handler/<scheme>" and run its Exec line with the link in place of %u. The
// demo's offscreen browser and the tests hand the page's links over this way, so they run
// exactly what a member's desktop runs.
namespace DesktopEntry {

// The .desktop file in `folder` that handles links of `scheme` ("" when none does).
QString handlerFor(const QString& folder, const QString& scheme);

// The Exec line of `desktopFile` as program and arguments, its field codes expanded for
// `url` (the link is added at the end when the line has no place for it); empty when the
// file has no usable Exec line.
QStringList commandFor(const QString& desktopFile, const QString& url);

// The link's scheme: the text before its first ':'.
QString schemeOf(const QString& url);

} // namespace DesktopEntry
