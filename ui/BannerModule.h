#pragma once

#include <QString>

#include <functional>

class QDialog;
class QWidget;

// What the banner module (the one part of the programs that links the web engine) and the
// program hand each other. The module is loaded only when a banner's web view is due, so the
// web engine's libraries cost nothing while the program starts. Process-wide state stays in
// the program: the module reaches the member's browser and the windows' boxes through the
// host the program gives it, never through copies of its own.
namespace BannerModule {

struct Host {
    std::function<void(const QString& url)> openUrl; // in the member's browser
    std::function<int(QDialog& box)> runBox;         // modal, as every box of the windows runs
};

// A web view the module made inside a banner area; it goes when its widget goes.
class View {
public:
    virtual ~View() = default;
    virtual QWidget* widget() = 0;
    // Keeps the banner on the site of `url` and loads it once.
    virtual void navigate(const QString& url) = 0;
};

// The module's entry, looked up by name: a view filling `area`, shown, with no page yet.
using MakeView = View* (*)(QWidget* area, const Host* host);
inline constexpr char kMakeViewSymbol[] = "vaultry_banner_make_view";
// The module's file, without the platform's suffix.
inline constexpr char kFileName[] = "vaultry-banner";

} // namespace BannerModule
