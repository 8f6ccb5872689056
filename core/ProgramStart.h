#pragma once

#include <QList>
#include <QString>

#include <optional>
#include <utility>

class QCommandLineParser;

// What every program does before it makes its application object: answers --help and
// --version on standard output without a window, keeps the console free of the toolkit's
// known noise, and turns "no display" into a line on standard error and status 1 instead of
// an abort.

// The desktop entries the programs belong to (share/applications/<id>.desktop). The same
// name is the Wayland app id, so the desktop finds each window's icon and entry.
namespace DesktopId {
inline constexpr const char* Download = "vastrelle-download";
inline constexpr const char* Upload = "vastrelle-upload";
inline constexpr const char* PageControl = "vastrelle-page";
} // namespace DesktopId

struct ProgramInfo {
    QString name;        // "Vaultry_DOWN"
    QString description; // what it is, shown under the usage line
    // Positional arguments as --help lists them: name and description.
    QList<std::pair<QString, QString>> arguments;
    // Options of its own, added to the parser beside --help and --version.
    void (*addOptions)(QCommandLineParser&) = nullptr;
};

// The version of the programs, as the build names it.
QString ProgramVersion();

// When the first argument asks for --help (-h, -?, --help-all) or --version (-v), answers it
// on standard output and returns the exit status (0; 2 for an unknown option beside it).
// Otherwise returns nothing and leaves the arguments as they are: the clients' launch
// arguments ("/url ...") are never read here. Makes a QCoreApplication only for the answer,
// so call it before the program's own application object exists.
std::optional<int> AnswerHelpOrVersion(int argc, char** argv, const ProgramInfo& info);

// Before the QApplication: false, with a line on standard error, when no display can be had
// (no DISPLAY, WAYLAND_DISPLAY, Wayland session, QT_QPA_PLATFORM or -platform). Until
// EndDisplayStart(), a platform plugin that fails anyway ends the program the same way with
// status 1, where Qt would abort.
bool BeginDisplayStart(int argc, char** argv, const QString& program);
void EndDisplayStart();

// Logging defaults of the programs (QT_LOGGING_RULES still overrides them): the web engine's
// context lines are not printed, nor the offscreen platform's "does not support raise()".
void QuietToolkitLogging();
