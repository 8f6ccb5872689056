#pragma once

#include <QString>
#include <QWidget>

class CCustomControlSite;
class QWebEngineView;

// The banner in the lower part of a main window. The web view inside is made only a moment
// after the banner was first shown: the first view of a process starts the web engine, which
// takes long enough to hold up the window's appearance and its first request.
class CWebBrowser_banner : public QWidget {
    Q_OBJECT
public:
    // How long after the first show the view is made.
    static constexpr int kViewDelayMs = 150;

    explicit CWebBrowser_banner(QWidget* parent = nullptr);
    ~CWebBrowser_banner() override;

    // Loads the page once; no reload or retry follows. Before the view exists the address is
    // kept and loaded when it appears (the last one given wins).
    void Navigate2(const QString& url);

    // Makes the view now if it has not been made: a window whose first request is on the
    // wire starts the web engine while it waits for the answers.
    void createViewNow() { createView(); }

    // The program is ending: the view and its page go now, so that the web engine winds down
    // while the last exchanges travel. No view is made after this.
    void endView();

    // Null until the view has been made.
    QWebEngineView* view() const { return view_; }
    CCustomControlSite* site() const { return site_; }

signals:
    void viewCreated();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createView();

    QWebEngineView* view_ = nullptr;
    CCustomControlSite* site_ = nullptr;
    QString pendingUrl_;
    bool creationQueued_ = false;
    bool ended_ = false;
};
