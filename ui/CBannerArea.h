#pragma once

#include "ui/BannerModule.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

// The banner's place in the lower part of a main window. The web view inside is made only a
// moment after the area was first shown (or when the window asks for it): the first view of a
// process loads the banner module and starts the web engine, which takes long enough to hold
// up the window's appearance and its first request. For a screen reader the area is one named
// region; Tab never stops on it.
class CBannerArea : public QWidget {
    Q_OBJECT
public:
    // How long after the first show the view is made.
    static constexpr int kViewDelayMs = 150;

    explicit CBannerArea(QWidget* parent = nullptr);
    ~CBannerArea() override;

    // Loads the page once; no reload or retry follows. Before the view exists the address is
    // kept and loaded when it appears (the last one given wins).
    void Navigate2(const QString& url);

    // Makes the view now if it has not been made: a window whose first request is on the
    // wire starts the web engine while it waits for the answers.
    void createViewNow() { createView(); }

    // The program is ending: the view and its page go now, so that the web engine winds down
    // while the last exchanges travel. No view is made after this.
    void endView();

    // The web view, null until it has been made (and for good where the module is missing).
    QWidget* viewWidget() const { return viewWidget_; }

    // Where the module is looked for: the program's folder, then <program folder>/../lib/vaultry
    // (where the package installs it).
    static QStringList moduleFolders();
    // Tests look elsewhere; an empty list restores the program's folders.
    static void setModuleFolders(const QStringList& folders);

signals:
    void viewCreated();

protected:
    // Makes the web view inside the area; null when no view can be had. The area loads the
    // banner module for it; a build that links the web engine may make it directly.
    virtual BannerModule::View* makeView(const BannerModule::Host& host);

    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createView();

    BannerModule::View* view_ = nullptr; // lives as long as viewWidget_
    QPointer<QWidget> viewWidget_;
    QString pendingUrl_;
    bool creationQueued_ = false;
    bool viewAttempted_ = false;
    bool ended_ = false;
};
