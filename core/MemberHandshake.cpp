#include "MemberHandshake.h"

#include "ServerLink.h"
#include "StringSplitter.h"
#include "TextCodec.h"
#include "WireNumbers.h"

#include <ctime>

namespace {
QByteArray cp949(const char* utf8) {
    return ToCp949(QString::fromUtf8(utf8));
}
} // namespace

namespace MemberText {
QString pleaseLogIn() {
    return QStringLiteral("회원 로그인후 이용해주세요.");
}
QString alreadyInUse() {
    return QStringLiteral("이미 해당아이디는 사용중입니다.");
}
QString errorCaption() {
    return QStringLiteral("회원정보 (오류)");
}
QString timeCaption() {
    return QStringLiteral("정보");
}
} // namespace MemberText

LocalHour SystemLocalHour() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour};
}

int MemberClassFor(const QByteArray& className) {
    static const char* const kClasses[] = {"스페셜정액제", "오전정액제", "오후정액제",
                                           "심야정액제"};
    int memberClass = 0;
    for (int i = 0; i < 4; ++i) {
        if (className == cp949(kClasses[i]))
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
        info.className = cp949("일반회원");
    info.memberClass = MemberClassFor(info.className);
    return info;
}

std::optional<QString> CheckTimeWindow(const MemberInfo& member, const LocalHour& now) {
    if (member.memberClass == 0)
        return std::nullopt;
    if (member.paidUntil < now.stamp())
        return QStringLiteral("정액 사용기간이 만료 되었습니다.\n충전후 이용하세요.");
    const int h = now.hour;
    if (member.memberClass == 2 && (h < 6 || h > 16))
        return QStringLiteral("오전정액(6시~16시)사용자입니다.\n사용가능 시간이 아닙니다.");
    if (member.memberClass == 3 && (h < 13 || h > 23))
        return QStringLiteral("오후정액(13시~24시)사용자입니다.\n사용가능 시간이 아닙니다.");
    if (member.memberClass == 4 && !(h >= 0 && h < 6))
        return QStringLiteral("심야정액(0시~5시)사용자입니다.\n사용가능 시간이 아닙니다.");
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
