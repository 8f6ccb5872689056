#pragma once

#include <QByteArray>

// One action a member's web page asks of this machine, read from a "vastrelle-page://" link
// (or handed over by a second page control). Every field is the page's code page 949 bytes.
struct PageAction {
    enum class Kind {
        Download, // `command` is a whole download manager command
        Upload,   // the member chooses files here; `member` and `server` go into the list
    };
    Kind kind = Kind::Download;
    QByteArray command;
    QByteArray member;
    QByteArray server;

    // The bytes the link carried, which is also what goes to a running page control.
    QByteArray payload() const;
};

struct PageActionRead {
    enum class Status {
        Ok,
        NotALink,      // not a "vastrelle-page://<codes>/" link, or no code in it that counts
        Unreadable,    // a request beyond what any page sends
        UnknownAction, // the first word names no action
        BadDownload,   // a download command without files, member and server
        BadUpload,     // an upload choice without a usable member and server number
    };
    Status status = Status::NotALink;
    PageAction action;
};

// The link as the browser passes it to the handler.
PageActionRead ReadPageLink(const QByteArray& link);
// A decoded payload (from a link, or from another page control).
PageActionRead ReadPageAction(const QByteArray& payload);

// "<scheme>://<decimal codes>/", the form the page writes its links in.
QByteArray EncodeSchemeLink(const QByteArray& scheme, const QByteArray& bytes);
