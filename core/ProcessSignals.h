#pragma once

#include <QObject>

class QSocketNotifier;

// A file-size limit (ulimit -f) must end a file the way a full disk does: the write fails
// with EFBIG, the file stops with its message and keeps its bytes. The signal's default
// effect would end the whole program before that. Called first in main.
void IgnoreFileSizeSignal();

// The end of the member's session: logout sends SIGTERM, a closed terminal SIGHUP, Ctrl+C
// SIGINT. While an object of this class lives, the first of them reaches endRequested() on
// the object's thread (through a pipe that its event loop watches), so the exit runs as the
// window's own code, with its bounded waits. A second signal ends the process at once: its
// sender will not wait any longer. A signal that was ignored when the program started (nohup)
// stays ignored. Before the object is made and after it is gone, the signals keep their
// default effect. One object at a time.
class SessionEndSignals : public QObject {
    Q_OBJECT
public:
    explicit SessionEndSignals(QObject* parent = nullptr);
    ~SessionEndSignals() override;

    // False when the signals could not be taken over (they keep their default effect).
    bool isWatching() const { return notifier_ != nullptr; }

signals:
    void endRequested(int signalNumber);

private:
    void readPipe();

    int readFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    bool emitted_ = false;
};
