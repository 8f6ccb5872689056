#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QWebEnginePage>

#include <memory>

class QWebEngineProfile;
class QWebEngineView;

// Records every navigation the page asks for and lets only the service's own pages load.
class RecordingPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;
    QList<QUrl> asked;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override;
};

// The member's file page in a real browser engine (offscreen), used the way a member uses
// it: rows ticked and buttons pressed with the mouse, the member id typed.
class HomepageDriver {
public:
    explicit HomepageDriver(QWebEngineProfile* profile);
    ~HomepageDriver();

    // A fresh view on the page, loaded.
    bool open(const QUrl& page);
    QWebEngineView* view() const { return view_.get(); }
    const QList<QUrl>& asked() const { return page_->asked; }

    QVariant evaluate(const QString& script);
    // Clicks the centre of the first element a script expression finds, scrolled into view.
    bool click(const QString& element);
    // Ticks a row by clicking it, and waits until its box shows the tick.
    bool tick(const QString& entry);
    bool typeMember(const QString& text);
    // The page's notice, "" when none shows.
    QString notice();

    // Script expressions for the row that shows `entry` and the button labelled `text`.
    static QString rowOf(const QString& entry);
    static QString buttonNamed(const QString& text);

    // The bytes of a link: scheme, "://", decimal codes separated by ",", "/".
    static bool decodeLink(const QUrl& url, const QString& scheme, QByteArray& bytes);

private:
    QPoint centreOf(const QString& element);

    QWebEngineProfile* profile_;
    std::unique_ptr<QWebEngineView> view_;
    RecordingPage* page_ = nullptr;
};
