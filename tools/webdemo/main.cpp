// vaultry-webdemo: the demo's browser where there is no display.
//
//   vaultry-webdemo --page URL --applications DIR --member ID [--screenshot FILE.png]
//                   [--upload FILE]...
//
// Loads the member's file page offscreen, ticks every file, types the member id, saves a
// picture of the page, presses "다운로드" and hands the link to the handler the .desktop files
// in DIR name for it (as the desktop would run it), waits for the handler to end; then, with
// --upload, presses "업로드" and answers the page control's chooser with those files.
#include "core/ProgramStart.h"
#include "core/WebEngineStart.h"
#include "tools/webdemo/WebDemo.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

const QCommandLineOption kPage(QStringLiteral("page"), QStringLiteral("The file page."),
                               QStringLiteral("URL"));
const QCommandLineOption kApplications(QStringLiteral("applications"),
                                       QStringLiteral("Folder of the link handlers."),
                                       QStringLiteral("DIR"));
const QCommandLineOption kMember(QStringLiteral("member"), QStringLiteral("Member id."),
                                 QStringLiteral("ID"));
const QCommandLineOption kScreenshot(QStringLiteral("screenshot"),
                                     QStringLiteral("Picture of the page."),
                                     QStringLiteral("FILE"));
const QCommandLineOption kUpload(QStringLiteral("upload"),
                                 QStringLiteral("A file the chooser answers with."),
                                 QStringLiteral("FILE"));

void addOptions(QCommandLineParser& parser) {
    parser.addOptions({kPage, kApplications, kMember, kScreenshot, kUpload});
}

} // namespace

int main(int argc, char** argv) {
    const ProgramInfo info{QStringLiteral("vaultry-webdemo"),
                           QStringLiteral("The demo's browser: the member's file page, offscreen, "
                                          "its buttons pressed and its links handed to the "
                                          "link handlers."),
                           {},
                           addOptions};
    if (const auto answered = AnswerHelpOrVersion(argc, argv, info))
        return *answered;
    QuietToolkitLogging();
    if (!BeginDisplayStart(argc, argv, info.name))
        return 1;
    WebEngineStart::prepareApplication(); // the web engine's attribute and quiet flags
    QApplication app(argc, argv);
    EndDisplayStart();
    QApplication::setApplicationName(info.name);
    QApplication::setApplicationVersion(ProgramVersion());
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    addOptions(parser);
    parser.process(app);
    if (!parser.isSet(kPage) || !parser.isSet(kApplications) || !parser.isSet(kMember)) {
        parser.showHelp(2);
    }
    WebDemoOptions options;
    options.page = QUrl(parser.value(kPage));
    options.applications = parser.value(kApplications);
    options.member = parser.value(kMember);
    options.screenshot = parser.value(kScreenshot);
    options.uploadFiles = parser.values(kUpload);
    WebDemo demo(options);
    return demo.run();
}
