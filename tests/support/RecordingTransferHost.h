#pragma once

#include "DesktopSeams.h"
#include "TransferHost.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <functional>

// A main window as an engine sees it, for tests: it records what is shown and answers
// questions from a queue.
class RecordingTransferHost : public QObject, public virtual TransferHost {
public:
    struct Message {
        QString text;
        QString caption;
        Icon icon;
        bool onMainThread;
    };

    QList<Message> messages;
    QStringList statusLines, speeds, remaining;
    QString fileCaption, totalCaption;
    int filePosition = 0, totalPosition = 0;
    bool running = false;
    int quits = 0, topmost = 0, shown = 0, hidden = 0, trayRemovals = 0;
    QList<bool> yesNoAnswers; // default: yes

    bool hasMessage(const QString& text) const { return countOf(text) > 0; }
    int countOf(const QString& text) const {
        int n = 0;
        for (const Message& m : messages)
            n += m.text == text ? 1 : 0;
        return n;
    }

    void showStatus(const QString& t) override { statusLines << t; }
    void showSpeed(const QString& t) override { speeds << t; }
    void showRemaining(const QString& t) override { remaining << t; }
    void showFileProgress(int p, const QString& c) override {
        filePosition = p;
        fileCaption = c;
    }
    void showTotalProgress(int p, const QString& c) override {
        totalPosition = p;
        totalCaption = c;
    }
    void showRunning(bool r) override { running = r; }
    void message(const QString& text, const QString& caption, Icon icon) override {
        messages.append({text, caption, icon, QThread::currentThread() == thread()});
    }
    bool askYesNo(const QString& text, const QString& caption) override {
        messages.append({text, caption, Icon::Information, true});
        return yesNoAnswers.isEmpty() ? true : yesNoAnswers.takeFirst();
    }
    void restoreAndShow() override { ++shown; }
    void showWindow() override { ++shown; }
    void hideToTray() override { ++hidden; }
    void raiseTopmost() override { ++topmost; }
    void removeTrayIcon() override { ++trayRemovals; }
    void quit() override {
        ++trayRemovals;
        ++quits;
    }
};

class RecordingShell : public ShellSeam {
public:
    QStringList urls, folders, files;
    void openUrl(const QString& u) override { urls << u; }
    void openFolder(const QString& p, const QString&) override { folders << p; }
    void openFile(const QString& p) override { files << p; }
};

class RecordingPower : public PowerSeam {
public:
    int powerOffs = 0;
    void powerOff() override { ++powerOffs; }
};
