#pragma once

#include <QString>

// The download client's own texts.
namespace DownloadText {
inline QString caption() {
    return QStringLiteral("다운로더");
}
inline QString errorCaption() {
    return QStringLiteral("다운로더 (오류)");
}
inline QString cannotConnect() {
    return QStringLiteral("파일전송 서버에 접속할수 없습니다.");
}
inline QString tooManyFiles() {
    return QStringLiteral("추가할수 있는 파일의 개수를 초과할수 없습니다.\n총개수 : 180개 제한");
}
inline QString chooseSaveFolder() {
    return QStringLiteral("저장 폴더를 지정하세요");
}
inline QString chooseDownloadFolder() {
    return QStringLiteral("다운로드할 폴더를 지정하세요.");
}
inline QString receiveError() {
    return QStringLiteral("수신에러.");
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
inline QString downloading() {
    return QStringLiteral("' 다운로드중");
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
inline QString error() {
    return QStringLiteral("오류");
}
// Shown as it stands, doubled percent sign included, when the list has been emptied.
inline QString emptyTotalCaption() {
    return QStringLiteral("0%/0%%(0/0 Byte)");
}
} // namespace DownloadText
