#pragma once

#include <QString>

// The upload client's own texts.
namespace UploadText {
inline QString caption() {
    return QStringLiteral("업로더");
}
inline QString errorCaption() {
    return QStringLiteral("업로더 (오류)");
}
// The connection failure box carries the application title, as the framework's box does.
inline QString applicationTitle() {
    return QStringLiteral("Shuttlebox");
}
inline QString cannotConnect() {
    return QStringLiteral("파일전송 서버에 접속할수 없습니다.");
}
inline QString offsetError() {
    return QStringLiteral("파일용량 수신에러.");
}
inline QString serverLost() {
    return QStringLiteral("서버와 연결되지 않아 접속이 종료되었습니다.");
}
inline QString cannotOpen() {
    return QStringLiteral(
        "업로드할 파일을 열수 없습니다.\n업로드할 파일이 존재하는지 확인해주세요.");
}
inline QString allDone() {
    return QStringLiteral("모든 파일이 전송완료되었습니다.");
}
inline QString doneCaption() {
    return QStringLiteral("전송완료");
}
inline QString unfinishedExit() {
    return QStringLiteral("전송이 완료되지 않은 파일이 있습니다.\n그래도 종료 하시겠습니까?");
}
inline QString exitCaption() {
    return QStringLiteral("종료확인");
}
inline QString uploading() {
    return QStringLiteral("' 업로드중");
}
inline QString waiting() {
    return QStringLiteral("대기");
}
inline QString transferring() {
    return QStringLiteral("전송중");
}
inline QString complete() {
    return QStringLiteral("완료");
}
inline QString startFromHomepage() {
    return QStringLiteral("홈페이지에서 실행해주세요.");
}
} // namespace UploadText
