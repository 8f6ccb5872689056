#pragma once

#include "core/TransferTexts.h"

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
inline QString windowTitle() {
    return QStringLiteral("Willowmere - 다운로드");
}
inline QString programEndBox() {
    return QStringLiteral("프로그램종료");
}
inline QString systemEndBox() {
    return QStringLiteral("시스템종료");
}
// The open-file command on a file that has no bytes yet.
inline QString cannotPlay() {
    return QStringLiteral("선택한 파일은 전송되지 않아 재생할수 없습니다.");
}
inline QString playbackErrorCaption() {
    return QStringLiteral("재생오류");
}
// A start without a launch link.
inline QString alreadyRunning() {
    return QStringLiteral("다운로더가 이미 실행중입니다.");
}
inline QString startFromHomepage() {
    return QStringLiteral("홈페이지에서 실행해주세요");
}
inline QString okButton() {
    return QStringLiteral("확인");
}
// The duplicate-file dialog.
inline QString duplicateCaption() {
    return QStringLiteral("중복파일");
}
inline QString alreadyExists() {
    return QStringLiteral("다운로드할 파일이 이미 존제합니다.");
}
inline QString overwrite() {
    return QStringLiteral("덮어쓰기");
}
inline QString resume() {
    return QStringLiteral("이어받기");
}
// The save-folder dialog.
inline QString saveFolderCaption() {
    return QStringLiteral("저장폴더 설정");
}
inline QString saveFolderFrame() {
    return QStringLiteral("저장폴더지정");
}
inline QString chooseFolderButton() {
    return QStringLiteral("폴더선택");
}
inline QString saveFolderHint() {
    return QStringLiteral("저장폴더 변경은 환경설정에서 변경할 수 있습니다.");
}
inline QString dontAskAgain() {
    return QStringLiteral("다음부터 이 메시지 띄우지 않음");
}
inline QString chooseFolderToDownloadInto() {
    return QStringLiteral("다운받을 폴더를 선택하세요.");
}
} // namespace DownloadText
