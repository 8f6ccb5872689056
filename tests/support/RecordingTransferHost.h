#pragma once

#include "core/DesktopSeams.h"
#include "core/TransferHost.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <functional>
#include <optional>

// A main window as an engine sees it, for tests: it records what is shown, and answers
// questions as a window does, from the event loop after ask() has returned, with the next
// answer of the queue for its kind. With `manualAnswers` nothing is answered by itself: the
// test answers the open questions when it chooses.
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
    // Wired to the engine's answer().
    std::function<void(quint64, const MemberReply&)> answerer;
    bool manualAnswers = false;
    QList<MemberQuestion> questions; // every question, in the order asked
    QList<quint64> withdrawn, answered;
    QList<bool> yesNoAnswers;                    // default: yes
    QList<MemberAnswer> duplicateAnswers;        // default: overwrite
    QList<std::optional<QString>> folderAnswers; // default: cancel
    QStringList folderTitles, duplicateQuestions;
    int saveFolderOffers = 0;

    // The latest question of `kind` that is neither answered nor withdrawn.
    std::optional<MemberQuestion> open(MemberQuestion::Kind kind) const {
        for (auto q = questions.crbegin(); q != questions.crend(); ++q) {
            if (q->kind == kind && !withdrawn.contains(q->id) && !answered.contains(q->id))
                return *q;
        }
        return std::nullopt;
    }
    int openCount() const {
        int n = 0;
        for (const MemberQuestion& q : questions)
            n += !withdrawn.contains(q.id) && !answered.contains(q.id) ? 1 : 0;
        return n;
    }
    // Answers the open question of `kind`, as the member would; false when none is open.
    bool answer(MemberQuestion::Kind kind, const MemberReply& reply) {
        const std::optional<MemberQuestion> q = open(kind);
        if (!q)
            return false;
        answered << q->id;
        if (answerer)
            answerer(q->id, reply);
        return true;
    }

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
    void ask(const MemberQuestion& question) override {
        questions << question;
        if (question.kind == MemberQuestion::Kind::Folder)
            folderTitles << question.text;
        else if (question.kind == MemberQuestion::Kind::DuplicateFile)
            duplicateQuestions << question.text;
        else if (question.kind == MemberQuestion::Kind::SaveFolderSettings)
            ++saveFolderOffers;
        if (manualAnswers)
            return;
        const MemberReply reply = scriptedReply(question.kind);
        QTimer::singleShot(0, this, [this, id = question.id, reply] {
            if (withdrawn.contains(id) || answered.contains(id))
                return;
            answered << id;
            if (answerer)
                answerer(id, reply);
        });
    }
    void withdraw(quint64 questionId) override { withdrawn << questionId; }
    MemberReply scriptedReply(MemberQuestion::Kind kind) {
        switch (kind) {
        case MemberQuestion::Kind::ExitAnyway:
            return (yesNoAnswers.isEmpty() || yesNoAnswers.takeFirst()) ? MemberAnswer::Yes
                                                                        : MemberAnswer::No;
        case MemberQuestion::Kind::DuplicateFile:
            return duplicateAnswers.isEmpty() ? MemberAnswer::Overwrite
                                              : duplicateAnswers.takeFirst();
        case MemberQuestion::Kind::Folder: {
            const std::optional<QString> folder =
                folderAnswers.isEmpty() ? std::nullopt : folderAnswers.takeFirst();
            return folder ? MemberReply(MemberAnswer::FolderChosen, *folder)
                          : MemberReply(MemberAnswer::Cancelled);
        }
        case MemberQuestion::Kind::SaveFolderSettings:
            return MemberAnswer::Closed;
        }
        return {};
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
