#include "ui/CBannerArea.h"

#include "core/DesktopSeams.h"
#include "core/LogCategories.h"
#include "ui/KitTexts.h"
#include "ui/ModalSeam.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QTimer>

#include <utility>

namespace {

QStringList g_moduleFolders;

// For a screen reader the banner is one named region; the page's own content lies inside it.
QAccessibleInterface* bannerFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("CBannerArea") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Section);
    return nullptr;
}

// The module's entry, from the first folder that holds a module that loads. The library stays
// loaded for the rest of the process: the web engine it brings cannot be unloaded.
BannerModule::MakeView loadModule() {
#ifdef VAULTRY_BANNER_MODULE
    // Loaded into an application that did not ask for shared OpenGL contexts before it was
    // made, the web engine crashes on its first view.
    if (!QCoreApplication::testAttribute(Qt::AA_ShareOpenGLContexts)) {
        qCWarning(lcBanner, "no banner: the web engine was not prepared before the application");
        return nullptr;
    }
    QStringList tried;
    for (const QString& folder : CBannerArea::moduleFolders()) {
        const QString path = QDir(folder).filePath(QLatin1String(BannerModule::kFileName));
        QLibrary library(path);
        library.setLoadHints(QLibrary::PreventUnloadHint);
        if (!library.load()) {
            tried << library.errorString();
            continue;
        }
        if (auto make = reinterpret_cast<BannerModule::MakeView>(
                library.resolve(BannerModule::kMakeViewSymbol))) {
            qCDebug(lcBanner, "banner module loaded from %s", qPrintable(library.fileName()));
            return make;
        }
        tried << library.errorString();
    }
    qCWarning(lcBanner, "no banner: the banner module did not load (%s)",
              qPrintable(tried.join(QLatin1String("; "))));
#endif
    return nullptr;
}

} // namespace

CBannerArea::CBannerArea(QWidget* parent) : QWidget(parent) {
    static const bool accessible = (QAccessible::installFactory(bannerFactory), true);
    Q_UNUSED(accessible);
    setAccessibleName(KitText::banner());
    // Tab never stops here; a click gives the page the keyboard (see the module's site).
    setFocusPolicy(Qt::NoFocus);
}

CBannerArea::~CBannerArea() = default;

QStringList CBannerArea::moduleFolders() {
    if (!g_moduleFolders.isEmpty())
        return g_moduleFolders;
    const QString dir = QCoreApplication::applicationDirPath();
    return {dir, QDir::cleanPath(dir + QLatin1String("/../lib/vaultry"))};
}

void CBannerArea::setModuleFolders(const QStringList& folders) {
    g_moduleFolders = folders;
}

void CBannerArea::Navigate2(const QString& url) {
    if (url.trimmed().isEmpty())
        return;
    if (viewWidget_) {
        view_->navigate(url);
        return;
    }
    if (!ended_)
        pendingUrl_ = url;
}

void CBannerArea::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (viewWidget_ || creationQueued_)
        return;
    // Let the window reach the screen and take its first request first: the page control
    // answers the window's announcement within milliseconds, and starting the engine holds
    // the window's thread for some 40 ms, which would delay that request's sign-on.
    creationQueued_ = true;
    QTimer::singleShot(kViewDelayMs, this, &CBannerArea::createView);
}

void CBannerArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (viewWidget_)
        viewWidget_->setGeometry(rect());
}

void CBannerArea::endView() {
    ended_ = true;
    pendingUrl_.clear();
    view_ = nullptr;
    delete viewWidget_.data();
}

BannerModule::View* CBannerArea::makeView(const BannerModule::Host& host) {
    const BannerModule::MakeView make = loadModule();
    return make ? make(this, &host) : nullptr;
}

void CBannerArea::createView() {
    // One attempt: a module that is missing stays missing, and the area stays empty.
    if (viewWidget_ || ended_ || std::exchange(viewAttempted_, true))
        return;
    BannerModule::Host host;
    host.openUrl = [](const QString& url) { ShellSeam::current().openUrl(url); };
    host.runBox = [](QDialog& box) { return ModalSeam::run(box); };
    view_ = makeView(host);
    if (!view_)
        return;
    viewWidget_ = view_->widget();
    viewWidget_->setGeometry(rect());
    emit viewCreated();
    if (!pendingUrl_.isEmpty())
        view_->navigate(std::exchange(pendingUrl_, QString()));
}
