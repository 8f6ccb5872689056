#pragma once

#include <QByteArray>

// Manager commands, "word|list|member|server", are made and read here only. The list is the
// download client's file list or the upload client's list key; the server number is the rest
// of the text. A command with a "|" missing is read as each client always read it: the
// download client leaves that field empty and passes the rest on, the upload client ends the
// field at the end of the text.
struct ManagerCommand {
    enum class Kind { Other, Download, Upload };
    Kind kind = Kind::Other; // by the word before the first "|" (the whole text without one)
    QByteArray list;
    QByteArray memberId;
    QByteArray serverNumber;
    QByteArray request; // everything after the word's "|": what a launch link carries
};

ManagerCommand ReadManagerCommand(const QByteArray& text);

// The download client's command for a launch link's request: the word, "|", the request.
QByteArray DownloadManagerCommand(const QByteArray& request);
// The upload client's command for a list the member chose files for.
QByteArray UploadManagerCommand(const QByteArray& listKey, const QByteArray& memberId,
                                const QByteArray& serverNumber);
