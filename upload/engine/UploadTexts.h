#pragma once

#include "core/TransferTexts.h"

#include <QString>

// The upload client's own texts.
namespace UploadText {
inline QString caption() {
    return TransferText::uploadCaption();
}
inline QString errorCaption() {
    return TransferText::uploadErrorCaption();
}
// The connection failure box carries the application title, as the framework's box does.
inline QString applicationTitle() {
    return QStringLiteral("Shuttlebox");
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
// The server stopped answering while it listed the files.
inline QString listCutShort() {
    return QStringLiteral("서버의 응답이 없어 파일 목록을 모두 받지 못했습니다.");
}
inline QString uploading() {
    return QStringLiteral("' 업로드중");
}
inline QString startFromHomepage() {
    return QStringLiteral("홈페이지에서 실행해주세요.");
}
inline QString windowTitle() {
    return QStringLiteral("Vastrelle - 업로드");
}
inline QString programEndBox() {
    return QStringLiteral("창닫기");
}
inline QString systemEndBox() {
    return QStringLiteral("컴퓨터종료");
}
} // namespace UploadText
