#include "core/ProcessSignals.h"
#include "core/ProgramStart.h"
#include "core/WebEngineStart.h"
#include "ui/DesktopApplication.h"
#include "upload/UploadStartup.h"

#include <QApplication>

int main(int argc, char** argv) {
    IgnoreFileSizeSignal(); // before anything can write a file
    const ProgramInfo info{
        QStringLiteral("Vaultry_UPLOAD"),
        QStringLiteral("The Vaultry upload client. The service's web page starts it while its "
                       "page control runs, and feeds it the member's upload lists; it reads no "
                       "other argument."),
        {}};
    if (const auto answered = AnswerHelpOrVersion(argc, argv, info))
        return *answered;
    QuietToolkitLogging();
    if (!BeginDisplayStart(argc, argv, info.name))
        return 1;
    WebEngineStart::prepareApplication(); // for the banner's web engine, loaded later
    QApplication app(argc, argv);
    EndDisplayStart();
    QApplication::setApplicationName(QStringLiteral("Vaultry_UPLOAD"));
    QApplication::setQuitOnLastWindowClosed(false);
    SetUpDesktopApplication(DesktopId::Upload);
    static const char* const skins[] = {"images/upload_bg.bmp", "images/config_bg.bmp", nullptr};
    if (!RequireSkins(info.name, skins))
        return 1;
    return RunUploadClient();
}
