#pragma once

#include <QByteArray>
#include <QtGlobal>

// Where a row stands. The state column shows the text that goes with it (RowStateText), so
// the row and its text cannot disagree.
enum class RowState : quint8 {
    Waiting,       // "대기": listed, or put back to wait for a start
    Transferring,  // "전송중": a worker is on it, or its retry is due
    StopRequested, // "전송중": stopped by the member (or the time rule); resumes on a start
    Finishing,     // "완료": every byte is there, its worker is still finishing
    Done,          // "완료"
    Failed,        // "오류": retries used up; passed over until the list's end
    Errored,       // "오류": failed, and taken again by the next start
};

// What every row of a transfer list holds, whichever way its file travels. Only the engine's
// thread touches a record: workers report through their TransferProgress, and the engine
// copies what they report into the row. The state changes through TransferTable::setState.
struct TransferRecord {

    quint64 id = 0;         // stays with the record when rows move; 0 for an empty slot
    QByteArray name;        // file name as the server sent it (code page 949)
    QByteArray dataAddress; // dotted IPv4 of the data server the server named for it
    qint64 size = 0;        // as announced
    qint64 done = 0;        // bytes the receiving side holds
    RowState state = RowState::Waiting;
    bool started = false; // a data connection got as far as the file's bytes

    // Still to be sent: not done, or done by a connection that has not finished with it.
    bool pending() const { return state != RowState::Done || started; }
    bool isComplete() const { return state == RowState::Done; }
};
