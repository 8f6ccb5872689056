#pragma once

#include <QByteArray>
#include <QtGlobal>

// What every row of a transfer list holds, whichever way its file travels. Only the engine's
// thread touches a record: workers report through their TransferProgress, and the engine
// copies what they report into the row.
struct TransferRecord {
    enum State { Waiting = 0, Transferring = 1, StopRequested = 2, Done = 3, Failed = 4 };

    quint64 id = 0;         // stays with the record when rows move; 0 for an empty slot
    QByteArray name;        // file name as the server sent it (code page 949)
    QByteArray dataAddress; // dotted IPv4 of the data server the server named for it
    qint64 size = 0;        // as announced
    qint64 done = 0;        // bytes the receiving side holds
    int state = Waiting;
    bool started = false; // a data connection got as far as the file's bytes

    // Still to be sent: not done, or done by a connection that has not finished with it.
    bool pending() const { return state != Done || started; }
};
