// corvanta_input_bench idle <seconds>
//   The joystick layer with its production poll interval and no controller;
//   prints the process CPU time as a percentage of one core.
// corvanta_input_bench latency <events>
//   An SDL virtual joystick's right stick is stepped through rest, right,
//   rest, left ... at irregular moments; prints the time from each change to
//   the mapper's move/stop call (percentiles over all events).
// corvanta_input_bench camera <events>
//   The same stick changes through the whole panel path (mapper, main
//   window, control layer, network camera) to the VISCA pan-tilt drive bytes
//   arriving at a camera simulator on 127.0.0.1; prints the percentiles of
//   the time from the change to the bytes' arrival.

#include "appsettings.h"
#include "cameracontrol.h"
#include "camerasimulator.h"
#include "ipcamera.h"
#include "joystickmapper.h"
#include "mainwindow.h"
#include "qjoysticks.h"
#include "sdljoysticks.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>

#include <SDL.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU used by the process while the event loop runs for `seconds`, as a
// percentage of one core.
double cpuPercent(QCoreApplication &app, int seconds)
{
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    return 100.0 * (cpuSeconds() - cpu0) / (wall.nsecsElapsed() / 1e9);
}

int idle(QCoreApplication &app, int seconds)
{
    // Reference: an event loop woken by an empty 10 ms timer.
    double baseline;
    {
        QTimer empty;
        empty.start(SDL_Joysticks::kPollIntervalMs);
        baseline = cpuPercent(app, seconds);
    }
    QJoysticks layer(QStringLiteral("corvanta-bench"), QStringLiteral("input"));
    // Past the start-up work.
    QTimer::singleShot(500, &app, &QCoreApplication::quit);
    app.exec();
    const double pct = cpuPercent(app, seconds);
    std::printf("idle cpu with the joystick layer (poll %d ms, %d controllers): %.3f %% of one core"
                " over %d s (goal < 0.5 %%); an empty %d ms timer alone: %.3f %%\n",
                layer.sdlJoysticks()->activePollInterval(), layer.count(), pct, seconds,
                SDL_Joysticks::kPollIntervalMs, baseline);
    return 0;
}

// Plugs a virtual pad; null (message printed) when SDL cannot.
SDL_Joystick *plugPad()
{
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.naxes = 6;
    desc.nbuttons = 12;
    desc.nhats = 1;
    desc.name = "Bench Pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    SDL_Joystick *pad = index >= 0 ? SDL_JoystickOpen(index) : nullptr;
    if (!pad)
        std::fprintf(stderr, "no virtual joystick: %s\n", SDL_GetError());
    return pad;
}

void printPercentiles(const char *what, std::vector<double> &l)
{
    if (l.empty()) {
        std::printf("%s: no events\n", what);
        return;
    }
    std::sort(l.begin(), l.end());
    auto pct = [&](double p) {
        return l.at(std::min(l.size() - 1, size_t(p * l.size())));
    };
    std::printf("%s over %zu events: p50 %.2f ms  p90 %.2f ms  p99 %.2f ms  max %.2f ms"
                " (goal p99 <= %d ms)\n",
                what, l.size(), pct(0.5), pct(0.9), pct(0.99), l.back(),
                SDL_Joysticks::kPollIntervalMs);
}

class Timing : public JoystickActions
{
public:
    QElapsedTimer clock;
    qint64 changedAt = -1;
    std::vector<double> latenciesMs;

    void record()
    {
        if (changedAt >= 0)
            latenciesMs.push_back((clock.nsecsElapsed() - changedAt) / 1e6);
        changedAt = -1;
    }
    void move(Direction) override { record(); }
    void stopMove() override { record(); }
    void home() override {}
    void zoom(Zoom) override {}
    void stopZoom() override {}
    void focus(Focus) override {}
    void stopFocus() override {}
    void toggleAutoFocus() override {}
    void recallPreset(int) override {}
    void osdMenu() override {}
    void osdEnter() override {}
    void osdBack() override {}
};

int latency(QCoreApplication &app, int events)
{
    AppSettings settings;
    settings.setJoystickAvailable(true);
    settings.setSelectedJoystick(0);
    QJoysticks layer(QStringLiteral("corvanta-bench"), QStringLiteral("input"));
    Timing timing;
    timing.clock.start();
    JoystickMapper mapper(&layer, &settings, &timing);

    SDL_Joystick *pad = plugPad();
    if (!pad)
        return 1;

    const Sint16 steps[] = {0, 30000, 0, -30000};
    int step = 0;
    QTimer stepper;
    stepper.setSingleShot(true);
    QObject::connect(&stepper, &QTimer::timeout, &app, [&] {
        if (int(timing.latenciesMs.size()) >= events) {
            app.quit();
            return;
        }
        if (timing.changedAt < 0) {
            step = (step + 1) % 4;
            timing.changedAt = timing.clock.nsecsElapsed();
            SDL_JoystickSetVirtualAxis(pad, JoystickMapper::kPanAxis, steps[step]);
        }
        // Irregular moments, so changes fall anywhere in the poll period.
        stepper.start(int(QRandomGenerator::global()->bounded(12, 29)));
    });
    QTimer::singleShot(300, &stepper, [&] { stepper.start(0); });
    app.exec();
    SDL_JoystickClose(pad);

    char what[96];
    std::snprintf(what, sizeof what, "axis change -> mapper call (poll %d ms)",
                  layer.sdlJoysticks()->pollInterval());
    printPercentiles(what, timing.latenciesMs);
    return 0;
}

int cameraLatency(QApplication &app, int events)
{
    CameraSimulator sim;
    if (!sim.listen(QHostAddress(QHostAddress::LocalHost), 0, 0)) {
        std::fprintf(stderr, "simulator cannot listen on 127.0.0.1\n");
        return 1;
    }
    AppSettings settings;
    settings.setJoystickAvailable(true);
    settings.setSelectedJoystick(0);
    CameraControl control(&settings);
    auto *camera =
        new IPCamera(QStringLiteral("127.0.0.1"), QStringLiteral("Bench"), QStringLiteral("bench"));
    camera->setViscaPort(sim.viscaPort());
    camera->setHttpPort(sim.httpPort());
    control.setCameras({camera});
    QJoysticks layer(QStringLiteral("corvanta-bench"), QStringLiteral("input"));
    MainWindow window(&settings, &control);
    window.setJoysticks(&layer);

    QElapsedTimer clock;
    clock.start();
    qint64 changedAt = -1;
    std::vector<double> latencies;
    // Pan-tilt drive: 8x 01 06 01 VV WW PP TT FF.
    QObject::connect(&sim, &CameraSimulator::commandReceived, &app, [&](const QByteArray &b) {
        if (b.size() == 9 && b.at(1) == 0x01 && b.at(2) == 0x06 && b.at(3) == 0x01 &&
            changedAt >= 0) {
            latencies.push_back((clock.nsecsElapsed() - changedAt) / 1e6);
            changedAt = -1;
        }
    });

    SDL_Joystick *pad = plugPad();
    if (!pad)
        return 1;
    const QMetaObject::Connection waiting =
        QObject::connect(&control, &CameraControl::connected, &app, &QCoreApplication::quit);
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, &app, &QCoreApplication::quit);
    giveUp.start(5000);
    window.selectCamera(0);
    app.exec();
    giveUp.stop();
    QObject::disconnect(waiting);
    if (!control.canDrive()) {
        std::fprintf(stderr, "camera did not connect to the simulator\n");
        return 1;
    }

    const Sint16 steps[] = {0, 30000, 0, -30000};
    int step = 0;
    QTimer stepper;
    stepper.setSingleShot(true);
    QObject::connect(&stepper, &QTimer::timeout, &app, [&] {
        if (int(latencies.size()) >= events) {
            app.quit();
            return;
        }
        if (changedAt < 0) {
            step = (step + 1) % 4;
            changedAt = clock.nsecsElapsed();
            SDL_JoystickSetVirtualAxis(pad, JoystickMapper::kPanAxis, steps[step]);
        }
        stepper.start(int(QRandomGenerator::global()->bounded(12, 29)));
    });
    QTimer::singleShot(300, &stepper, [&] { stepper.start(0); });
    app.exec();
    SDL_JoystickClose(pad);
    printPercentiles("axis change -> VISCA drive bytes at the camera (127.0.0.1)", latencies);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    const int amount = argc > 2 ? std::max(1, atoi(argv[2])) : 0;
    if (mode == QLatin1String("idle"))
        return idle(app, amount ? amount : 10);
    if (mode == QLatin1String("latency"))
        return latency(app, amount ? amount : 1000);
    if (mode == QLatin1String("camera"))
        return cameraLatency(app, amount ? amount : 1000);
    std::fprintf(stderr, "usage: %s idle [seconds] | latency [events] | camera [events]\n",
                 argv[0]);
    return 2;
}
