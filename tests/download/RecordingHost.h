#pragma once

#include "DesktopSeams.h"
#include "DownloadHost.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <functional>

// The download window as the engine sees it, for tests: it records what is shown, answers
// questions from queues, and runs the engine's timers for real (optionally shortened).
class RecordingHost : public QObject, public DownloadHost {
public:
    struct Message {
        QString text;
        QString caption;
        Icon icon;
        bool onMainThread;
    };

    std::function<void(int)> onTimer; // wired to the engine
    double timerScale = 0.05;         // retry and poll delays, shortened

    QList<Message> messages;
    QStringList statusLines, folderLines, speeds, remaining;
    QString fileCaption, totalCaption;
    int filePosition = 0, totalPosition = 0;
    bool running = false;
    int quits = 0;
    int topmost = 0;
    int saveFolderOffers = 0;
    QList<QPair<int, int>> timerRequests;
    QStringList duplicateQuestions;

    QList<bool> yesNoAnswers;                    // default: yes
    QList<std::optional<QString>> folderAnswers; // default: cancel
    QList<int> duplicateAnswers;                 // default: overwrite
    QStringList folderTitles;

    bool hasMessage(const QString& text) const {
        for (const Message& m : messages)
            if (m.text == text)
                return true;
        return false;
    }

    void showStatus(const QString& t) override { statusLines << t; }
    void showFolder(const QString& t) override { folderLines << t; }
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
    std::optional<QString> chooseFolder(const QString& title) override {
        folderTitles << title;
        return folderAnswers.isEmpty() ? std::nullopt : folderAnswers.takeFirst();
    }
    int askDuplicate(const QString& fileName) override {
        duplicateQuestions << fileName;
        return duplicateAnswers.isEmpty() ? 1 : duplicateAnswers.takeFirst();
    }
    void offerSaveFolderDialog() override { ++saveFolderOffers; }

    void startTimer(int id, int ms) override {
        timerRequests.append({id, ms});
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
    void stopTimer(int id) override {
        if (QTimer* t = timers_.value(id))
            t->stop();
    }
    void moveToTopLeft() override {}
    void restoreAndShow() override {}
    void showWindow() override {}
    void hideToTray() override {}
    void removeTrayIcon() override {}
    void raiseTopmost() override { ++topmost; }
    void quit() override { ++quits; }

private:
    QHash<int, QTimer*> timers_;
};

class RecordingShell : public ShellSeam {
public:
    QStringList urls, folders, files;
    void openUrl(const QString& u) override { urls << u; }
    void openFolder(const QString& p) override { folders << p; }
    void openFile(const QString& p) override { files << p; }
};

class RecordingPower : public PowerSeam {
public:
    int powerOffs = 0;
    void powerOff() override { ++powerOffs; }
};
