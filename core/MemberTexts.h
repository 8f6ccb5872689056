#pragma once

#include <QString>
#include <QStringList>

// What the member handshake says, and the member class names the file server sends.
namespace MemberText {
inline QString pleaseLogIn() {
    return QStringLiteral("회원 로그인후 이용해주세요.");
}
inline QString alreadyInUse() {
    return QStringLiteral("이미 해당아이디는 사용중입니다.");
}
inline QString errorCaption() {
    return QStringLiteral("회원정보 (오류)");
}
inline QString timeCaption() {
    return QStringLiteral("정보");
}
// The class of a member the server names no class for.
inline QString generalClass() {
    return QStringLiteral("일반회원");
}
// The flat-rate classes, in the order of their numbers 1 to 4: special, morning, afternoon,
// late night.
inline QStringList flatRateClasses() {
    return {QStringLiteral("스페셜정액제"), QStringLiteral("오전정액제"),
            QStringLiteral("오후정액제"), QStringLiteral("심야정액제")};
}
// The time window's refusals.
inline QString periodExpired() {
    return QStringLiteral("정액 사용기간이 만료 되었습니다.\n충전후 이용하세요.");
}
inline QString outsideMorning() {
    return QStringLiteral("오전정액(6시~16시)사용자입니다.\n사용가능 시간이 아닙니다.");
}
inline QString outsideAfternoon() {
    return QStringLiteral("오후정액(13시~24시)사용자입니다.\n사용가능 시간이 아닙니다.");
}
inline QString outsideLateNight() {
    return QStringLiteral("심야정액(0시~5시)사용자입니다.\n사용가능 시간이 아닙니다.");
}
} // namespace MemberText
