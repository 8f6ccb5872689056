#include "core/MemberHandshake.h"

#include "core/ServerLink.h"
#include "core/StringSplitter.h"
#include "core/TextCodec.h"
#include "core/WireNumbers.h"

#include <ctime>

LocalHour SystemLocalHour() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour};
}

int MemberClassFor(const QByteArray& className) {
    const QStringList classes = MemberText::flatRateClasses();
    int memberClass = 0;
    for (int i = 0; i < classes.size(); ++i) {
        if (className == ToCp949(classes[i]))
            memberClass = i + 1;
    }
    return memberClass;
}

MemberInfo ParseMemberReply(const QByteArray& reply) {
    MemberInfo info;
    if (!reply.contains('|')) {
        // A bare reply names the member and nothing else.
        info.id = reply;
    } else {
        const HeadAndRest id = CutAtFirst(reply, '|');
        const HeadAndRest megabytes = CutAtFirst(id.rest, '|');
        const HeadAndRest className = CutAtFirst(megabytes.rest, '|');
        info.id = id.head;
        info.megabytes = ParseWireInt32(megabytes.head);
        info.className = className.head;
        info.paidUntil = ParseWireInt32(className.rest);
    }
    if (info.className.isEmpty())
        info.className = ToCp949(MemberText::generalClass());
    info.memberClass = MemberClassFor(info.className);
    return info;
}

std::optional<QString> CheckTimeWindow(const MemberInfo& member, const LocalHour& now) {
    if (member.memberClass == 0)
        return std::nullopt;
    if (member.paidUntil < now.stamp())
        return MemberText::periodExpired();
    const int h = now.hour;
    if (member.memberClass == 2 && (h < 6 || h > 16))
        return MemberText::outsideMorning();
    if (member.memberClass == 3 && (h < 13 || h > 23))
        return MemberText::outsideAfternoon();
    if (member.memberClass == 4 && !(h >= 0 && h < 6))
        return MemberText::outsideLateNight();
    return std::nullopt;
}

SignOnResult SignOn(ServerLink& link, const QByteArray& memberId) {
    link.Exchange("@Connect_start");
    bool answered = !link.lost();
    const QByteArray reply = link.Exchange(memberId);
    answered = answered && !link.lost();
    if (reply == "No_member")
        return {MemberCheck::NoMember, {}, answered};
    if (reply == "Over_user")
        return {MemberCheck::OverUser, {}, answered};
    return {MemberCheck::Member, ParseMemberReply(reply), answered};
}

void SignOff(ServerLink& link, const QByteArray& memberId) {
    link.Exchange("@Connect_end");
    link.Exchange(memberId);
    link.Close();
}
