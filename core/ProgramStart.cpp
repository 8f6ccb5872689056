#include "core/ProgramStart.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef VAULTRY_VERSION
#define VAULTRY_VERSION "0"
#endif

namespace {

QtMessageHandler g_previous = nullptr;
bool g_handlerInstalled = false;
bool g_quiet = false;
QByteArray g_startingProgram; // set while the platform plugin starts

// Lines the toolkit prints for what is expected here: the offscreen platform (unattended runs,
// the demo without a display) cannot raise a window, and the web engine runs without GL there
// (and on machines without a GPU driver) and draws in software.
bool isKnownNoise(const QString& message) {
    static const char* const noise[] = {
        "This plugin does not support raise()",
        "This plugin does not support propagateSizeHints()",
        "No suitable graphics backend found",
    };
    const QString line = message.trimmed();
    for (const char* known : noise)
        if (line == QLatin1String(known))
            return true;
    return false;
}

void printLine(const QByteArray& program, const QByteArray& text) {
    std::fprintf(stderr, "%s: %s\n", program.constData(), text.constData());
}

const char kNoDisplayHint[] =
    "set DISPLAY or WAYLAND_DISPLAY to a running desktop session, or QT_QPA_PLATFORM=offscreen "
    "to run without one";

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg && !g_startingProgram.isEmpty()) {
        // Qt would abort and leave a core dump behind for a missing desktop session.
        printLine(g_startingProgram, "cannot open a window: " + message.toLocal8Bit());
        printLine(g_startingProgram, kNoDisplayHint);
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (g_quiet && type == QtWarningMsg && isKnownNoise(message))
        return;
    if (g_previous)
        g_previous(type, context, message);
    else
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

void ensureHandler() {
    if (g_handlerInstalled)
        return;
    g_previous = qInstallMessageHandler(handler);
    g_handlerInstalled = true;
}

bool isHelpOrVersion(const char* argument) {
    for (const char* word : {"-h", "--help", "-help", "-?", "--help-all", "-v", "--version"})
        if (std::strcmp(argument, word) == 0)
            return true;
    return false;
}

} // namespace

QString ProgramVersion() {
    return QStringLiteral(VAULTRY_VERSION);
}

std::optional<int> AnswerHelpOrVersion(int argc, char** argv, const ProgramInfo& info) {
    if (argc < 2 || !isHelpOrVersion(argv[1]))
        return std::nullopt;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(info.name);
    QCoreApplication::setApplicationVersion(ProgramVersion());
    QCommandLineParser parser;
    parser.setApplicationDescription(info.description);
    for (const auto& [name, description] : info.arguments)
        parser.addPositionalArgument(name, description);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (info.addOptions)
        info.addOptions(parser);
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(info.name), qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(version) && !parser.isSet(help)) {
        std::printf("%s %s\n", qPrintable(info.name), qPrintable(ProgramVersion()));
        return 0;
    }
    std::fputs(qPrintable(parser.helpText()), stdout);
    return 0;
}

bool BeginDisplayStart(int argc, char** argv, const QString& program) {
    const QByteArray name = program.toLocal8Bit();
    bool platformNamed = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < argc && !platformNamed; ++i)
        platformNamed = std::strcmp(argv[i], "-platform") == 0;
    const bool display = !qEnvironmentVariableIsEmpty("DISPLAY") ||
                         !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
                         qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
    if (!platformNamed && !display) {
        printLine(name, "no display: this program opens windows");
        printLine(name, kNoDisplayHint);
        return false;
    }
    ensureHandler();
    g_startingProgram = name;
    return true;
}

void EndDisplayStart() {
    g_startingProgram.clear();
}

void QuietToolkitLogging() {
    // Rules of the program: QT_LOGGING_RULES and a logging configuration file still win.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    ensureHandler();
    g_quiet = true;
}
