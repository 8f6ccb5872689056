#pragma once

#include "DesktopSeams.h"
#include "TransferHost.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <functional>

// A main window as an engine sees it, for tests: it records what is shown, answers
// questions from a queue, and runs the engine's timers for real (shortened).
class RecordingTransferHost : public QObject, public virtual TransferHost {
public:
    struct Message {
        QString text;
        QString caption;
        Icon icon;
        bool onMainThread;
    };

    std::function<void(int)> onTimer; // wired to the engine
    double timerScale = 0.05;         // retry and progress delays, shortened
    // With a manual clock no timer runs by itself: the test fires them.
    bool manualClock = false;
    QHash<int, int> armed; // timer id -> milliseconds, while armed on the manual clock

    QList<Message> messages;
    QStringList statusLines, speeds, remaining;
    QString fileCaption, totalCaption;
    int filePosition = 0, totalPosition = 0;
    bool running = false;
    int quits = 0, topmost = 0, shown = 0, hidden = 0, trayRemovals = 0;
    QList<QPair<int, int>> timerRequests;
    QList<bool> yesNoAnswers; // default: yes

    bool hasMessage(const QString& text) const { return countOf(text) > 0; }
    int countOf(const QString& text) const {
        int n = 0;
        for (const Message& m : messages)
            n += m.text == text ? 1 : 0;
        return n;
    }
    int timerCount(int id) const {
        int n = 0;
        for (const auto& r : timerRequests)
            n += r.first == id ? 1 : 0;
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
    void startEngineTimer(int id, int ms) override {
        timerRequests.append({id, ms});
        if (manualClock) {
            armed[id] = ms;
            return;
        }
        QTimer*& timer = timers_[id];
        if (!timer) {
            timer = new QTimer(this);
            timer->setSingleShot(true);
            connect(timer, &QTimer::timeout, this, [this, id] {
                if (onTimer)
                    onTimer(id);
            });
        }
        timer->start(int(ms * timerScale));
    }
    void stopEngineTimer(int id) override {
        armed.remove(id);
        if (QTimer* t = timers_.value(id))
            t->stop();
    }
    // Runs an armed timer of the manual clock; false when it is not armed.
    bool fire(int id) {
        if (!armed.remove(id))
            return false;
        if (onTimer)
            onTimer(id);
        return true;
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

private:
    QHash<int, QTimer*> timers_;
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
