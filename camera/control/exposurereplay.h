#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QTimer;

// Replays the exposure settings stored with a preset in eight stages: stage 0
// runs at once inside start(), stage k runs k intervals later (production
// interval 500 ms, so stage 7 after 3.5 s). Each stage is handed to the stage
// handler, which applies it and answers whether the chain goes on; a chain
// ends after stage 7 or as soon as the handler answers false.
//
// Several chains may run interleaved (two quick recalls). cancel() ends all of
// them; the owner calls it whenever the camera they were started for stops
// being the connected current camera. Each chain also carries the camera it
// was started for, so the handler can refuse to apply one camera's stored
// values to another. Main thread only; timers are deleted with their chain.
class ExposureReplay : public QObject
{
    Q_OBJECT
public:
    static constexpr int kStageCount = 8;
    static constexpr int kDefaultIntervalMs = 500;

    // camera: the object the chain was started for (may have been destroyed:
    // then nullptr). Returns false to end the chain.
    using StageHandler = std::function<bool(QObject *camera, int presetNum, int stage)>;

    explicit ExposureReplay(StageHandler handler, QObject *parent = nullptr);
    ~ExposureReplay() override;

    // Milliseconds between two stages; takes effect for stages scheduled later.
    void setStageInterval(int ms);
    int stageInterval() const { return m_intervalMs; }

    // Runs stage firstStage (normally 0) of a new chain now and schedules the
    // rest; a first stage outside 0-7 starts nothing.
    void start(QObject *camera, int presetNum, int firstStage = 0);
    // Ends every running chain; no further stage of them runs.
    void cancel();
    int runningChains() const { return m_chains.size(); }

private:
    struct Chain
    {
        QPointer<QObject> camera;
        int presetNum = 0;
        int stage = 0;
        QTimer *timer = nullptr;
    };

    void runStage(Chain *chain);
    void finish(Chain *chain);

    StageHandler m_handler;
    int m_intervalMs = kDefaultIntervalMs;
    QList<Chain *> m_chains;
};
