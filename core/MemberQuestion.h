#pragma once

#include <QString>
#include <QtGlobal>
#include <utility>

// A question an engine puts to the member. The window shows it when its turn comes (one box
// at a time, in the order they were asked) and hands the answer back through the engine's
// answer() from its own event loop. The engine waits for it in a named state, never in a
// nested event loop, and may withdraw it (the box closes, or is never shown).
struct MemberQuestion {
    enum class Kind {
        ExitAnyway,         // files are unfinished: end anyway? Yes or No
        DuplicateFile,      // the duplicate-file dialog for the file named `text`
        Folder,             // the folder chooser titled `text`: a folder, or cancelled
        SaveFolderSettings, // the save-folder dialog; answered when it closes
    };
    quint64 id = 0;
    Kind kind = Kind::ExitAnyway;
    QString text;    // the question, the file's name, or the chooser's title
    QString caption; // the box's caption, where it has one
};

enum class MemberAnswer { Yes, No, Overwrite, Resume, FolderChosen, Cancelled, Closed };

struct MemberReply {
    MemberReply(MemberAnswer a = MemberAnswer::Closed, QString f = {})
        : answer(a), folder(std::move(f)) {}
    MemberAnswer answer;
    QString folder; // with FolderChosen
};
