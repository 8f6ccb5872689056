#pragma once

#include <QByteArray>

class CCustomControlSite;
class QWebEngineView;

// One per program, made at start-up before any window: every banner asks it for the site
// that decides how the banner behaves. A program (or a test) that wants other sites derives
// from it and overrides CreateSite.
class CCustomOccManager {
public:
    CCustomOccManager();
    virtual ~CCustomOccManager();
    CCustomOccManager(const CCustomOccManager&) = delete;
    CCustomOccManager& operator=(const CCustomOccManager&) = delete;

    // The program's manager; a plain one if the program made none, so a banner always has a
    // site.
    static CCustomOccManager* instance();

    // Call before QApplication exists. The banner's web engine needs OpenGL contexts shared
    // across windows, and needs Chromium flags that fit the machine: no GPU when there is no
    // screen to draw on, no sandbox when running as root, where Chromium refuses it, and no
    // Chromium log lines on the console.
    static void prepareApplication();
    // The flags prepareApplication() puts in QTWEBENGINE_CHROMIUM_FLAGS, given those already
    // there; flags already given are kept and never doubled.
    static QByteArray ChromiumFlags(const QByteArray& given, bool offscreen, bool root);

    // Makes the site for a banner's new view; the view owns it.
    virtual CCustomControlSite* CreateSite(QWebEngineView* view);
};
