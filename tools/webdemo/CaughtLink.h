#pragma once

#include <QString>
#include <QUrl>

// The text of a link a page asked the browser to open. QUrl takes no host with "," in it,
// which every launch link has (its codes), so such a link arrives invalid and its text is
// the one the parse error quotes.
QString CaughtLinkText(const QUrl& url);
