#pragma once

#include "core/ManagerCommand.h"

#include <QByteArray>

// The download client's launch link: "/url vastrelle://65,98,0,99/" carries its request as
// decimal byte codes, as many as the request needs.
struct LaunchRequest {
    enum class Kind {
        None,       // not a launch link (or nothing after the slashes): a start without one
        Request,    // `request` holds the decoded bytes (empty when every code was 0)
        Unreadable, // a launch link whose request is beyond what any page sends
    };
    Kind kind = Kind::None;
    QByteArray request;
};

// Decoded requests are bounded well above the largest list a page can send (180 files with
// long names and folders are a few kilobytes).
inline constexpr qsizetype kMaxLaunchRequest = 1 << 20;

LaunchRequest DecodeLaunchLink(const QByteArray& argumentText);

// The same decoding for a link on its own, "<scheme>://<codes>/", whatever the scheme: the
// page control's "vastrelle-page" links carry their page action the way launch links carry
// their request. A link of another scheme, or with nothing after the slashes, is None.
LaunchRequest DecodeSchemeLink(const QByteArray& link, const QByteArray& scheme);
