#pragma once

#include <QString>

// What a screen reader says for a control: its name, and what it does where the name alone
// does not tell.
struct ControlText {
    QString name;
    QString description;
};

// The kit's own texts: the labels drawn into the art (the art generator draws these very
// strings, so what is read out is what is seen) and the names of the controls.
namespace KitText {

// Button labels of the art.
inline QString startLabel() {
    return QStringLiteral("시작");
}
inline QString stopLabel() {
    return QStringLiteral("중지");
}
inline QString exitLabel() {
    return QStringLiteral("종료");
}
inline QString deleteLabel() {
    return QStringLiteral("삭제");
}
inline QString deleteCompletedLabel() {
    return QStringLiteral("완료삭제");
}
inline QString openFileLabel() {
    return QStringLiteral("파일열기");
}
inline QString openFolderLabel() {
    return QStringLiteral("폴더열기");
}
inline QString settingsLabel() {
    return QStringLiteral("환경설정");
}
inline QString saveLabel() {
    return QStringLiteral("저장");
}
inline QString cancelLabel() {
    return QStringLiteral("취소");
}
inline QString browseLabel() {
    return QStringLiteral("찾기");
}

// Captions of the window pictures beside the status lines and bars.
inline QString speedCaption() {
    return QStringLiteral("속도");
}
inline QString remainingCaption() {
    return QStringLiteral("남은시간");
}
inline QString fileBarCaption() {
    return QStringLiteral("현재파일");
}
inline QString totalBarCaption() {
    return QStringLiteral("전체");
}
inline QString folderCaption() {
    return QStringLiteral("저장폴더");
}

// Buttons.
inline ControlText start() {
    return {startLabel(), QStringLiteral("목록의 파일 전송을 시작합니다")};
}
inline ControlText stop() {
    return {stopLabel(), QStringLiteral("파일 전송을 멈춥니다")};
}
inline ControlText exit() {
    return {exitLabel(), QStringLiteral("프로그램을 종료합니다")};
}
inline ControlText deleteSelected() {
    return {deleteLabel(), QStringLiteral("선택한 파일을 목록에서 지웁니다")};
}
inline ControlText deleteCompleted() {
    return {deleteCompletedLabel(), QStringLiteral("전송이 끝난 파일을 목록에서 지웁니다")};
}
inline ControlText openFile() {
    return {openFileLabel(), QStringLiteral("선택한 파일을 엽니다")};
}
inline ControlText openFolder() {
    return {openFolderLabel(), QStringLiteral("선택한 파일의 저장폴더를 엽니다")};
}
inline ControlText settings() {
    return {settingsLabel(), QStringLiteral("환경설정 창을 엽니다")};
}
inline ControlText moveToTop() {
    return {QStringLiteral("맨 위로"), QStringLiteral("선택한 파일을 목록의 맨 위로 옮깁니다")};
}
inline ControlText moveUp() {
    return {QStringLiteral("위로"), QStringLiteral("선택한 파일을 한 칸 위로 옮깁니다")};
}
inline ControlText moveDown() {
    return {QStringLiteral("아래로"), QStringLiteral("선택한 파일을 한 칸 아래로 옮깁니다")};
}
inline ControlText moveToBottom() {
    return {QStringLiteral("맨 아래로"), QStringLiteral("선택한 파일을 목록의 맨 아래로 옮깁니다")};
}
inline ControlText minimise() {
    return {QStringLiteral("최소화"), QStringLiteral("창을 최소화합니다")};
}
inline ControlText hide() {
    return {QStringLiteral("숨기기"), QStringLiteral("창을 알림 영역으로 숨깁니다")};
}
inline ControlText close() {
    return {QStringLiteral("닫기"), QStringLiteral("프로그램을 종료합니다")};
}
inline ControlText save() {
    return {saveLabel(), QStringLiteral("설정을 저장하고 창을 닫습니다")};
}
inline ControlText cancel() {
    return {cancelLabel(), QStringLiteral("저장하지 않고 창을 닫습니다")};
}
inline ControlText browse() {
    return {browseLabel(), QStringLiteral("기본 저장폴더를 고릅니다")};
}

// Other controls.
inline ControlText list() {
    return {QStringLiteral("파일 목록"),
            QStringLiteral("위아래 화살표로 파일을 고르고, Shift와 함께 여러 개를 고릅니다")};
}
inline QString statusLine() {
    return QStringLiteral("상태");
}
inline QString banner() {
    return QStringLiteral("광고");
}
inline QString settingsWindow() {
    return QStringLiteral("환경설정");
}
inline QString defaultFolderField() {
    return QStringLiteral("기본 저장폴더");
}

// The list commands' boxes.
inline QString refusedWhileTransferring() {
    return QStringLiteral("전송중에는 사용할수 없습니다.");
}
inline QString chooseRowsToDelete() {
    return QStringLiteral("삭제할 파일을 선택하세요.");
}
inline QString deleteQuestion() {
    return QStringLiteral("삭제하시겠습니까?");
}
inline QString deleteCaption() {
    return QStringLiteral("삭제확인");
}

// The tray menu; its show-window item is each program's own (ClientProfile).
inline QString trayHomepage() {
    return QStringLiteral("홈페이지 접속");
}
inline QString traySettings() {
    return QStringLiteral("환경설정");
}
inline QString trayExit() {
    return QStringLiteral("프로그램종료");
}
inline QString showDownloadWindow() {
    return QStringLiteral("파일 다운로드 창보기");
}
inline QString showUploadWindow() {
    return QStringLiteral("파일 업로드 창보기");
}

// The settings dialog's labels, radio buttons and check boxes.
inline QString defaultFolderLabel() {
    return QStringLiteral("기본 저장폴더 설정 : ");
}
inline QString sameNameLabel() {
    return QStringLiteral("같은파일의 이름 : ");
}
inline QString downloadDoneLabel() {
    return QStringLiteral("다운로드 완료시 : ");
}
inline QString transferDoneLabel() {
    return QStringLiteral("전송 완료시 : ");
}
inline QString alwaysOverwrite() {
    return QStringLiteral("항상 덮어쓰기");
}
inline QString askFirst() {
    return QStringLiteral("확인후 전송");
}
inline QString resumeExisting() {
    return QStringLiteral("이어받기");
}
inline QString downloadAutostart() {
    return QStringLiteral("컨트롤러 시작시 자동으로 전송하기");
}
inline QString useSaveFolder() {
    return QStringLiteral("저장폴더 설정 사용");
}
inline QString deleteFromList() {
    return QStringLiteral("목록삭제");
}
inline QString endProgramAutomatically() {
    return QStringLiteral("프로그램 자동종료");
}
inline QString shutDownSystem() {
    return QStringLiteral("시스템종료");
}
inline QString uploadAutostart() {
    return QStringLiteral("파일추가시 자동전송");
}
inline QString trayWhileSending() {
    return QStringLiteral("파일전송시 트레이아이콘 표시");
}
inline QString showTransferWindow() {
    return QStringLiteral("전송창 표시");
}
inline QString endProgram() {
    return QStringLiteral("프로그램종료");
}

} // namespace KitText
