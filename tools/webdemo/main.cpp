// vaultry-webdemo: the demo's browser where there is no display.
//
//   vaultry-webdemo --page URL --applications DIR --member ID [--screenshot FILE.png]
//                   [--upload FILE]...
//
// Loads the member's file page offscreen, ticks every file, types the member id, saves a
// picture of the page, presses "다운로드" and hands the link to the handler the .desktop files
// in DIR name for it (as the desktop would run it), waits for the handler to end; then, with
// --upload, presses "업로드" and answers the page control's chooser with those files.
#include "WebDemo.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vaultry-webdemo"));
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption page(QStringLiteral("page"), QStringLiteral("The file page."),
                                  QStringLiteral("URL"));
    const QCommandLineOption applications(QStringLiteral("applications"),
                                          QStringLiteral("Folder of the link handlers."),
                                          QStringLiteral("DIR"));
    const QCommandLineOption member(QStringLiteral("member"), QStringLiteral("Member id."),
                                    QStringLiteral("ID"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Picture of the page."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption upload(QStringLiteral("upload"),
                                    QStringLiteral("A file the chooser answers with."),
                                    QStringLiteral("FILE"));
    parser.addOptions({page, applications, member, screenshot, upload});
    parser.process(app);
    if (!parser.isSet(page) || !parser.isSet(applications) || !parser.isSet(member)) {
        parser.showHelp(2);
    }
    WebDemoOptions options;
    options.page = QUrl(parser.value(page));
    options.applications = parser.value(applications);
    options.member = parser.value(member);
    options.screenshot = parser.value(screenshot);
    options.uploadFiles = parser.values(upload);
    WebDemo demo(options);
    return demo.run();
}
