#pragma once

#include "TransferTexts.h"

#include <QString>

// The download client's own texts.
namespace DownloadText {
inline QString caption() {
    return TransferText::downloadCaption();
}
inline QString errorCaption() {
    return TransferText::downloadErrorCaption();
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
// Entries the file server never answered (a time-out or a lost connection).
inline QString notListed(int entries) {
    return QStringLiteral("서버의 응답이 없어 %1개의 파일을 목록에 추가하지 못했습니다.")
        .arg(entries);
}
// A running client held the instance lock but never took the hand-over.
inline QString handOverFailed() {
    return QStringLiteral("실행중인 다운로더가 응답하지 않아 요청을 전하지 못했습니다.\n"
                          "잠시 후 다시 시도해주세요.");
}
inline QString diskFull() {
    return QStringLiteral("디스크 공간이 부족하여 다운로드를 멈추었습니다.\n"
                          "공간을 확보한 후 다시 시작하면 이어받습니다.");
}
inline QString receiveError() {
    return QStringLiteral("수신에러.");
}
inline QString downloading() {
    return QStringLiteral("' 다운로드중");
}
// Shown as it stands, doubled percent sign included, when the list has been emptied.
inline QString emptyTotalCaption() {
    return QStringLiteral("0%/0%%(0/0 Byte)");
}
} // namespace DownloadText
