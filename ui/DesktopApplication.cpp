#include "ui/DesktopApplication.h"

#include "core/ProgramStart.h"
#include "ui/DesktopShell.h"
#include "ui/SkinPath.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

void SetUpDesktopApplication(const char* desktopId) {
    QGuiApplication::setDesktopFileName(QString::fromLatin1(desktopId));
    QCoreApplication::setApplicationVersion(ProgramVersion());
    InstallQtTranslations();
    static DesktopShell shell;
    ShellSeam::installDesktop(&shell);
}

bool InstallQtTranslations() {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

bool RequireSkins(const QString& program, const char* const* skins) {
    bool found = true;
    for (; *skins; ++skins) {
        const QString skin = QString::fromLatin1(*skins);
        if (!skinPath(skin).isEmpty())
            continue;
        std::fprintf(stderr, "%s: the skin picture %s is missing; looked in: %s\n",
                     qPrintable(program), qPrintable(skin),
                     qPrintable(skinSearchRoots().join(QStringLiteral(", "))));
        found = false;
    }
    return found;
}
