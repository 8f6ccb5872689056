#include "core/ProcessSignals.h"
#include "core/ProgramStart.h"
#include "core/WebEngineStart.h"
#include "download/DownloadStartup.h"
#include "ui/DesktopApplication.h"

#include <QApplication>

int main(int argc, char** argv) {
    IgnoreFileSizeSignal(); // before anything can write a file
    const ProgramInfo info{
        QStringLiteral("Vaultry_DOWN"),
        QStringLiteral("The Vaultry download client. The service's web page starts it through a "
                       "vastrelle:// launch link; a second start hands its link to the running "
                       "client."),
        {{QStringLiteral("/url LINK"), QStringLiteral("The launch link to carry out.")}}};
    if (const auto answered = AnswerHelpOrVersion(argc, argv, info))
        return *answered;
    QuietToolkitLogging();
    if (!BeginDisplayStart(argc, argv, info.name))
        return 1;
    WebEngineStart::prepareApplication(); // for the banner's web engine, loaded later
    QApplication app(argc, argv);
    EndDisplayStart();
    QApplication::setApplicationName(QStringLiteral("Vaultry_DOWN"));
    QApplication::setQuitOnLastWindowClosed(false);
    SetUpDesktopApplication(DesktopId::Download);
    static const char* const skins[] = {"images/download_bg.bmp", "images/config_bg.bmp", nullptr};
    if (!RequireSkins(info.name, skins))
        return 1;
    // The argument text is read as the launch link rules say: nothing here takes from it.
    return RunDownloadClient(QApplication::arguments().mid(1));
}
