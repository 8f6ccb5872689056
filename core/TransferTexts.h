#pragma once

#include "core/TransferRecord.h"

#include <QString>
#include <QStringList>

// Texts both clients show alike: row states, the completion message and the exit question.
namespace TransferText {
// The two clients' captions; the page control speaks for either under them too.
inline QString downloadCaption() {
    return QStringLiteral("다운로더");
}
inline QString downloadErrorCaption() {
    return QStringLiteral("다운로더 (오류)");
}
inline QString uploadCaption() {
    return QStringLiteral("업로더");
}
inline QString uploadErrorCaption() {
    return QStringLiteral("업로더 (오류)");
}
// A download request that cannot be taken as it stands.
inline QString unreadableDownload() {
    return QStringLiteral("다운로드 요청을 읽을수 없습니다.\n홈페이지에서 다시 실행해주세요.");
}
// No private folder for the single-instance lock and the window bus: `program` cannot start.
inline QString noPrivateFolder(const QString& program, const QString& folders) {
    return QStringLiteral("%1를 시작할 수 없습니다.\n사용자 전용 실행 폴더(%2)를 만들 수 없거나 "
                          "안전하지 않습니다.\n폴더의 소유자와 권한(700)을 확인해주세요.")
        .arg(program, folders);
}
inline QString cannotConnect() {
    return QStringLiteral("파일전송 서버에 접속할수 없습니다.");
}
inline QString allDone() {
    return QStringLiteral("모든 파일이 전송완료되었습니다.");
}
// The end of a list in which some files could not be transferred.
inline QString notTransferred(int files) {
    return QStringLiteral("%1개의 파일을 전송하지 못했습니다.").arg(files);
}
inline QString doneCaption() {
    return QStringLiteral("전송완료");
}
// The notification's action that opens the save folder, as the window's button says it.
inline QString openFolder() {
    return QStringLiteral("폴더열기");
}
// Why the machine is kept awake, as the desktop lists it.
inline QString keepsAwake() {
    return QStringLiteral("파일 전송중");
}
inline QString unfinishedExit() {
    return QStringLiteral("전송이 완료되지 않은 파일이 있습니다.\n그래도 종료 하시겠습니까?");
}
inline QString exitCaption() {
    return QStringLiteral("종료확인");
}
inline QString waiting() {
    return QStringLiteral("대기");
}
inline QString transferring() {
    return QStringLiteral("전송중");
}
inline QString error() {
    return QStringLiteral("오류");
}
inline QString complete() {
    return QStringLiteral("완료");
}
// The transfer list's column titles, in column order.
inline QStringList columnTitles() {
    return {QStringLiteral("파일명"), QStringLiteral("파일크기"), QStringLiteral("진행상태")};
}
} // namespace TransferText

// What the state column says for a row in `state`.
inline QString RowStateText(RowState state) {
    switch (state) {
    case RowState::Waiting:
        return TransferText::waiting();
    case RowState::Transferring:
    case RowState::StopRequested:
        return TransferText::transferring();
    case RowState::Finishing:
    case RowState::Done:
        return TransferText::complete();
    case RowState::Failed:
    case RowState::Errored:
        return TransferText::error();
    }
    return {};
}
