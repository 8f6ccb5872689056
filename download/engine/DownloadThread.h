#pragma once

#include "core/DataJob.h"
#include "core/SettingsStore.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <optional>

// The member's answer to the duplicate-file question, for the file it was asked about.
enum class DuplicateAnswer { None, Overwrite, Resume };

// Everything one download attempt needs, fixed when it starts: the worker works from this
// and its DownloadProgress, never from the list.
struct DownloadJob : DataJob {
    QByteArray extension;
    QByteArray fileKey;
    QString root;
    QStringList subfolder; // checked components under the root
    QString localName;     // checked file name
    // The row's name was changed to be safe and it has no file yet: a new file is made under
    // the first of localName's numbered names that exists nowhere in the folder and is none of
    // `taken` (the names other rows of the folder save under).
    bool makeNewName = false;
    QSet<QString> taken;
    // The file was stopped by the user (or the time rule): it resumes at the local size,
    // whatever the duplicate-file setting says.
    bool resume = false;
    DuplicateAnswer duplicateAnswer = DuplicateAnswer::None;
    DuplicatePolicy duplicatePolicy = DuplicatePolicy::Resume; // the cached "DOWN_File_over"
    int stallLimitMs = 60000; // a data connection silent this long is a failed attempt
};

struct DownloadProgress : TransferProgress {
    std::atomic<bool> receiveError{false};    // shown by the window, never by the worker
    std::atomic<bool> alreadyComplete{false}; // the local file was whole before any byte came

    // The name the worker made a new file under (makeNewName), once it is made; set once.
    void claimName(const QString& name) {
        claimedName_ = name;
        claimed_.store(true);
    }
    std::optional<QString> claimedName() const {
        return claimed_.load() ? std::optional<QString>(claimedName_) : std::nullopt;
    }

private:
    QString claimedName_; // published by claimed_
    std::atomic<bool> claimed_{false};
};

// Moves one file from its data server into the save folder.
class DownloadThread {
public:
    static constexpr int kDataPort = 7301;
    static constexpr int kMaxNumber = 9999; // of the numbered names a renamed row tries

    DownloadThread(const DownloadJob& job, DownloadProgress& progress)
        : job_(job), progress_(progress) {}
    void run();

private:
    void receiveInto(class DataSocket& socket, int file, qint64 offset);
    // Makes the renamed row's new file; its name goes to the progress.
    int createNamed(const class SaveFolder& folder);
    bool giveUp() const { return job_.giveUp(progress_); }

    const DownloadJob& job_;
    DownloadProgress& progress_;
};
