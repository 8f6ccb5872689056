#pragma once

#include <QtGlobal>
#include <vector>

// Moves a download's bytes from its data connection into the file at the file's position.
// Where the system allows it the bytes go through a pipe inside the kernel (splice), never
// through the program, which halves the copying of a large file; elsewhere it reads into a
// buffer and writes that.
class SocketToFile {
public:
    enum class Status {
        Moved,        // `bytes` are in the file
        Silent,       // nothing came within the socket's receive slice
        Closed,       // the peer closed the connection
        ReceiveError, // the connection failed
        WriteError,   // the file took only `bytes`; `error` says why
    };
    struct Step {
        Status status;
        qint64 bytes = 0;
        int error = 0;
    };

    SocketToFile(int socket, int file);
    ~SocketToFile();
    SocketToFile(const SocketToFile&) = delete;
    SocketToFile& operator=(const SocketToFile&) = delete;

    // At most `want` bytes (never more: what lies beyond stays unread in the socket).
    Step move(qint64 want);

private:
    Step moveSpliced(qint64 want);
    Step moveBuffered(qint64 want);
    // Bytes already in the pipe, written the plain way (the file would not take a splice).
    Step drainPipeBuffered(qint64 inPipe);

    int socket_;
    int file_;
    int pipe_[2] = {-1, -1};
    bool spliced_ = false;
    std::vector<char> buffer_;
};
