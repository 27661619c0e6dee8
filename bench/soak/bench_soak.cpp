// corvanta_soak_bench CAMERA_A CAMERA_B [RESTARTS]
//
// A production day of the live preview in a shown PreviewWin: RESTARTS
// (default 1000) times one of, in turn, Stop+Start, a stream switch
// (Stream1 <-> Stream2) and a camera switch (CAMERA_A <-> CAMERA_B, each
// "host:port" of an RTSP server serving /1 and /2), each waiting for the
// first picture. Open descriptors, threads and resident memory are sampled
// after a warm-up and at the end, both times stopped and settled (the
// teardown of a stopped stream runs off the GUI thread). Prints both samples
// and the verdict against the goal: descriptors and threads back to their
// start value +-2, RSS growth below 10 MB. Exits 1 when the goal is missed
// or a start shows no picture.
#include "previewwin.h"
#include "resources.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

struct Sample
{
    int fds = 0;
    int threads = 0;
    double rssMb = 0;
};

int statusField(const QByteArray &status, const QByteArray &name)
{
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').first().toInt();
    }
    return -1;
}

Sample sample()
{
    QFile file(QStringLiteral("/proc/self/status"));
    file.open(QIODevice::ReadOnly);
    const QByteArray status = file.readAll();
    Sample s;
    s.fds = QDir(QStringLiteral("/proc/self/fd"))
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                .size();
    s.threads = statusField(status, "Threads");
    s.rssMb = statusField(status, "VmRSS") / 1024.0;
    return s;
}

void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Stopped streams are torn down on the player's control thread and idle
// media threads linger a while: wait until descriptors and threads stop
// falling (at most 30 s).
Sample settle()
{
    Sample last = sample();
    for (int quiet = 0, waited = 0; quiet < 10 && waited < 300; ++waited) {
        spin(100);
        const Sample now = sample();
        quiet = now.fds == last.fds && now.threads == last.threads ? quiet + 1 : 0;
        last = now;
    }
    return last;
}

bool waitForPicture(PreviewWin &win)
{
    QEventLoop loop;
    bool shown = false;
    QObject::connect(&win, &PreviewWin::firstFrameShown, &loop, [&] {
        shown = true;
        loop.quit();
    });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    return shown;
}

void print(const char *label, const Sample &s)
{
    std::printf("%-6s descriptors %4d   threads %3d   RSS %7.1f MB\n", label, s.fds, s.threads,
                s.rssMb);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Resources::init();
    if (argc < 3) {
        std::fprintf(stderr, "usage: corvanta_soak_bench CAMERA_A CAMERA_B [RESTARTS]\n");
        return 2;
    }
    const QString cameras[2] = {QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2])};
    const int restarts = argc > 3 ? std::max(1, atoi(argv[3])) : 1000;

    PreviewWin win;
    win.show();
    int camera = 0;
    bool firstStream = false;
    win.setSource(0, cameras[camera]);
    win.setConnected(true);
    win.setFirstStreamChecked(firstStream);

    // Warm-up: GStreamer's registry, clock and pools, both servers, both streams.
    for (int i = 0; i < 4; ++i) {
        win.onStopBtnClicked();
        win.setSource(0, cameras[i % 2]);
        win.setConnected(true);
        win.setFirstStreamChecked(i / 2 == 0);
        win.onStartBtnClicked();
        if (!waitForPicture(win)) {
            std::printf("warm-up start %d showed no picture\n", i);
            return 1;
        }
    }
    win.onStopBtnClicked();
    win.setSource(0, cameras[camera]);
    win.setConnected(true);
    win.setFirstStreamChecked(firstStream);
    const Sample start = settle();
    print("start", start);

    QElapsedTimer clock;
    clock.start();
    int failures = 0;
    int switches[3] = {};
    Sample peak = start;
    win.onStartBtnClicked();
    for (int i = 0; i < restarts; ++i) {
        const int kind = i % 3;
        ++switches[kind];
        if (kind == 0) { // restart (reconnection, OSD press)
            win.onStopBtnClicked();
            win.onStartBtnClicked();
        } else if (kind == 1) { // stream switch
            firstStream = !firstStream;
            win.setFirstStreamChecked(firstStream);
            win.onStreamChanged();
        } else { // camera switch
            camera = 1 - camera;
            win.setSource(0, cameras[camera]);
            win.setConnected(true);
            win.onStartBtnClicked();
        }
        if (!waitForPicture(win)) {
            ++failures;
            std::printf("start %d showed no picture within 10 s\n", i);
            win.onStopBtnClicked();
            win.onStartBtnClicked();
        }
        if (i % 100 == 99) {
            const Sample now = sample();
            peak.fds = std::max(peak.fds, now.fds);
            peak.threads = std::max(peak.threads, now.threads);
            peak.rssMb = std::max(peak.rssMb, now.rssMb);
            std::printf("  %4d restarts, %.0f s: descriptors %d, threads %d, RSS %.1f MB "
                        "(playing)\n",
                        i + 1, clock.elapsed() / 1000.0, now.fds, now.threads, now.rssMb);
            std::fflush(stdout);
        }
    }
    win.onStopBtnClicked();
    const Sample end = settle();
    print("end", end);
    std::printf("%d restarts (%d stop/start, %d stream switches, %d camera switches) in %.0f s, "
                "%d without a picture; peak while playing: descriptors %d, threads %d, "
                "RSS %.1f MB\n",
                restarts, switches[0], switches[1], switches[2], clock.elapsed() / 1000.0, failures,
                peak.fds, peak.threads, peak.rssMb);
    const bool ok = failures == 0 && std::abs(end.fds - start.fds) <= 2 &&
                    std::abs(end.threads - start.threads) <= 2 && end.rssMb - start.rssMb < 10;
    std::printf("goal (descriptors and threads +-2, RSS growth < 10 MB): %s "
                "(descriptors %+d, threads %+d, RSS %+.1f MB)\n",
                ok ? "met" : "MISSED", end.fds - start.fds, end.threads - start.threads,
                end.rssMb - start.rssMb);
    return ok ? 0 : 1;
}
