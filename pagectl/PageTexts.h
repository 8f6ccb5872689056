#pragma once

#include <QString>

// What the page control tells the member, in the words and captions of the clients' boxes.
namespace PageText {

// The page control's own name, for what concerns no client in particular (a link that
// names no known action, the single running instance).
inline QString pageControlName() {
    return QStringLiteral("웹페이지 도우미");
}
inline QString pageErrorCaption() {
    return pageControlName() + QStringLiteral(" (오류)");
}

inline QString unreadableLink() {
    return QStringLiteral("웹페이지의 요청을 읽을수 없습니다.\n홈페이지에서 다시 실행해주세요.");
}
inline QString unknownAction() {
    return QStringLiteral("알수 없는 웹페이지 요청입니다.\n홈페이지에서 다시 실행해주세요.");
}
inline QString unreadableUpload() {
    return QStringLiteral("업로드 요청을 읽을수 없습니다.\n홈페이지에서 다시 실행해주세요.");
}

inline QString chooserTitle() {
    return QStringLiteral("업로드할 파일 선택");
}

inline QString serviceUnreachable(const QString& url, const QString& why) {
    return QStringLiteral("업로드할 파일을 등록할수 없습니다.\n서버에 연결할수 없습니다.\n(%1: %2)")
        .arg(url, why);
}
inline QString registrationRefused(int status, const QString& text) {
    return QStringLiteral("업로드할 파일을 등록하지 못했습니다.\n서버의 응답: %1 %2")
        .arg(status)
        .arg(text);
}
inline QString unreadableRegistration() {
    return QStringLiteral("업로드할 파일을 등록하지 못했습니다.\n서버의 응답을 읽을수 없습니다.");
}
inline QString choiceNotRecorded(const QString& why) {
    return QStringLiteral("고른 파일을 기록할수 없습니다.\n(%1)").arg(why);
}

inline QString clientMissing(const QString& program) {
    return QStringLiteral("%1 프로그램을 찾을수 없습니다.\n설치를 확인해주세요.").arg(program);
}
inline QString clientNotStarted(const QString& program) {
    return QStringLiteral("%1 프로그램을 실행할수 없습니다.").arg(program);
}
inline QString uploaderSilent() {
    return QStringLiteral("업로더가 응답하지 않습니다.\n잠시 후 홈페이지에서 다시 실행해주세요.");
}
inline QString uploaderNotFed() {
    return QStringLiteral("업로더에 업로드 요청을 전달하지 못했습니다.\n홈페이지에서 다시 "
                          "실행해주세요.");
}
inline QString controlWindowTaken() {
    return QStringLiteral("업로더와 연결할 창을 만들수 없습니다.");
}
inline QString runningControlSilent() {
    return QStringLiteral("실행중인 웹페이지 도우미가 응답하지 않습니다.\n잠시 후 다시 "
                          "실행해주세요.");
}

} // namespace PageText
