#pragma once

#include "core/MemberTexts.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

class ServerLink;

// What the file server says about a member, and the flat-rate rules that follow from it.

struct MemberInfo {
    QByteArray id;
    int megabytes = 0;
    QByteArray className; // CP949 bytes as sent; the general class when the server gave none
    int memberClass = 0;  // 0 general, 1 special, 2 morning, 3 afternoon, 4 late-night
    int paidUntil = 0;    // YYYYMMDDHH
};

enum class MemberCheck { NoMember, OverUser, Member };

struct SignOnResult {
    MemberCheck check = MemberCheck::Member;
    MemberInfo member;    // filled when check is Member
    bool answered = true; // false when an exchange got no reply (failed, refused or cut)
};

// Local calendar hour, from an injectable clock so the time rules can be tested at their edges.
struct LocalHour {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;
    int hour = 0; // 0..23
    int stamp() const { return ((year * 10000 + month * 100 + day) * 100) + hour; }
};
using LocalClock = std::function<LocalHour()>;
LocalHour SystemLocalHour();

// The member id's class name as sent by the server: the last matching name decides.
int MemberClassFor(const QByteArray& className);

// member id | megabytes | class name | paid-until; a missing "|" leaves that field empty and
// passes the rest on whole.
MemberInfo ParseMemberReply(const QByteArray& reply);

// The flat-rate time window: the message to show when the member may not transfer now.
std::optional<QString> CheckTimeWindow(const MemberInfo& member, const LocalHour& now);

// "@Connect_start", then the member id, on a link the caller has connected. The link is left
// open; the download client keeps that connection for the life of the process.
SignOnResult SignOn(ServerLink& link, const QByteArray& memberId);

// "@Connect_end", then the member id, on a link the caller has connected; replies are not
// examined. The link is closed afterwards.
void SignOff(ServerLink& link, const QByteArray& memberId);
