#pragma once

#include "DownloadHost.h"
#include "RecordingTransferHost.h"

#include <QStringList>

// The download window as the engine sees it: the recorder every engine test uses, plus the
// download client's own lines and questions answered from queues.
class RecordingHost : public RecordingTransferHost, public DownloadHost {
public:
    QStringList folderLines;
    int saveFolderOffers = 0;
    QStringList duplicateQuestions;
    QList<std::optional<QString>> folderAnswers; // default: cancel
    QList<int> duplicateAnswers;                 // default: overwrite
    QStringList folderTitles;

    void showFolder(const QString& t) override { folderLines << t; }
    std::optional<QString> chooseFolder(const QString& title) override {
        folderTitles << title;
        return folderAnswers.isEmpty() ? std::nullopt : folderAnswers.takeFirst();
    }
    int askDuplicate(const QString& fileName) override {
        duplicateQuestions << fileName;
        return duplicateAnswers.isEmpty() ? 1 : duplicateAnswers.takeFirst();
    }
    void offerSaveFolderDialog() override { ++saveFolderOffers; }
    void moveToTopLeft() override {}
};
