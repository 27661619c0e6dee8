// corvanta_preview_bench HOST [CYCLES] [SECONDS]
//
// Plays rtsp://HOST/1 in a shown PreviewWin (docked size 658x409 as built):
//  1. CYCLES times Start -> first frame painted, then Stop; "cold": the server
//     has no other client, so its encoder starts with a key frame;
//  2. the same with a second client keeping the stream running, so each Start
//     joins mid-GOP as with a real camera;
//  3. SECONDS of steady playback: process CPU (all threads, user + system) as
//     a share of one core, and frames shown per second.
// Prints one line per measure; exits 1 when a start fails.
#include "mediaplayer.h"
#include "previewwin.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Waits for `signal` of `sender` for at most `ms`; true when it came.
template <typename Signal>
bool waitFor(const typename QtPrivate::FunctionPointer<Signal>::Object *sender, Signal signal,
             int ms)
{
    QEventLoop loop;
    bool came = false;
    QObject::connect(sender, signal, &loop, [&] {
        came = true;
        loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return came;
}

bool measureStarts(PreviewWin &win, int cycles, const char *label)
{
    std::vector<double> firstFrame, stop;
    for (int i = 0; i < cycles; ++i) {
        QElapsedTimer timer;
        timer.start();
        win.onStartBtnClicked();
        if (!waitFor(&win, &PreviewWin::firstFrameShown, 10000)) {
            std::printf("%s: start %d showed no frame within 10 s\n", label, i);
            return false;
        }
        firstFrame.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        win.onStopBtnClicked();
        stop.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(firstFrame.begin(), firstFrame.end());
    std::sort(stop.begin(), stop.end());
    const auto pct = [](const std::vector<double> &v, double p) {
        return v[std::min(v.size() - 1, size_t(p * v.size()))];
    };
    std::printf("%-28s start->first frame ms: min %.0f  p50 %.0f  max %.0f   stop (GUI thread) ms: "
                "p50 %.1f  max %.1f\n",
                label, firstFrame.front(), pct(firstFrame, 0.5), firstFrame.back(), pct(stop, 0.5),
                stop.back());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString host = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("127.0.0.61");
    const int cycles = argc > 2 ? std::max(1, atoi(argv[2])) : 10;
    const int seconds = argc > 3 ? std::max(1, atoi(argv[3])) : 10;

    PreviewWin win;
    win.show();
    win.setSource(0, host);
    win.setConnected(true);
    win.setFirstStreamChecked(true);
    if (!measureStarts(win, cycles, "cold stream"))
        return 1;

    auto keeper = createDefaultMediaPlayer();
    MediaSource source;
    source.location = QStringLiteral("rtsp://%1/1").arg(host);
    keeper->start(source);
    if (!waitFor(keeper.get(), &MediaPlayer::frameReady, 10000)) {
        std::printf("second client got no frame\n");
        return 1;
    }
    if (!measureStarts(win, cycles, "joining a running stream"))
        return 1;
    keeper->stop();

    int frames = 0;
    win.onStartBtnClicked();
    if (!waitFor(&win, &PreviewWin::firstFrameShown, 10000))
        return 1;
    const QImage first = win.currentFrame();
    QTimer sampler;
    qint64 lastKey = 0;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const qint64 key = win.currentFrame().cacheKey();
        frames += key != lastKey;
        lastKey = key;
    });
    sampler.start(5);
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = cpuSeconds() - cpu0;
    const double elapsed = wall.nsecsElapsed() / 1e9;
    std::printf("steady %dx%d: CPU %.1f %% of one core over %.1f s, ~%.1f frames/s shown "
                "(window %dx%d)\n",
                first.width(), first.height(), 100.0 * cpu / elapsed, elapsed, frames / elapsed,
                win.width(), win.height());
    win.onStopBtnClicked();
    return 0;
}
