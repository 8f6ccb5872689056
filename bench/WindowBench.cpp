// The download window as a user meets it: time until it is on screen, time until the first
// byte arrives, resident memory idle and while downloading (banner included), and the user
// interface thread's time per polling tick.
//
//   vaultry-bench-window <entry of a large file>   (file server from VAULTRY_FILE_SERVER)

#include "core/SettingsStore.h"
#include "core/WebEngineStart.h"
#include "download/window/CVaultry_downloadDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

QElapsedTimer gSinceMain;

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

// Waits while events run, until `done` or the time runs out.
template <class Done> bool waitUntil(Done done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || t.elapsed() >= timeoutMs)
            loop.quit();
    });
    check.start(5);
    loop.exec();
    return done();
}

class FirstPaint : public QObject {
public:
    qint64 at = -1;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && at < 0)
            at = gSinceMain.elapsed();
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    gSinceMain.start();
    WebEngineStart::prepareApplication();
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <entry>\n", argv[0]);
        return 2;
    }
    const qint64 appReady = gSinceMain.elapsed();
    FirstPaint paint;
    CVaultry_downloadDlg window{QByteArray()};
    window.installEventFilter(&paint);
    window.show();
    waitUntil([&] { return paint.at >= 0; }, 10000);
    std::printf("application object ready      %6lld ms after main\n", qint64(appReady));
    std::printf("window painted                %6lld ms after main\n", paint.at);

    // Let the banner load, then the window is idle.
    waitUntil([] { return false; }, 4000);
    std::printf("resident memory, idle         %6ld MiB\n", residentKiB() / 1024);
    const double idleBefore = threadCpuMs();
    waitUntil([] { return false; }, 2000);
    std::printf("UI thread CPU while idle      %8.3f ms per 250 ms (this bench's own 5 ms "
                "wake-ups included)\n",
                (threadCpuMs() - idleBefore) / 8.0);

    const qint64 requested = gSinceMain.elapsed();
    window.receiveRequest("Vaultry_downloader_Manager|" + QByteArray(argv[1]) + "?|bench|1");
    auto& table = window.engine().table();
    waitUntil([&] { return table.count() > 0 && table.record(0).done > 0; }, 20000);
    std::printf("first byte                    %6lld ms after the request\n",
                gSinceMain.elapsed() - requested);
    const double cpuBefore = threadCpuMs();
    QElapsedTimer downloading;
    downloading.start();
    long peak = 0;
    waitUntil(
        [&] {
            peak = std::max(peak, residentKiB());
            return table.record(0).state == RowState::Done;
        },
        600000);
    const double seconds = double(downloading.elapsed()) / 1000.0;
    const double ticks = seconds / 0.25;
    std::printf("resident memory, downloading  %6ld MiB (peak)\n", peak / 1024);
    std::printf("download                      %8.2f s, %.0f MB/s\n", seconds,
                double(table.record(0).size) / 1e6 / seconds);
    std::printf("UI thread CPU per tick        %8.3f ms (all UI work over %.0f ticks;\n"
                "                                        this bench's own 5 ms wake-ups "
                "included)\n",
                (threadCpuMs() - cpuBefore) / ticks, ticks);
    return 0;
}
