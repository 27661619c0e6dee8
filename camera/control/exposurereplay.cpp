#include "exposurereplay.h"

#include <QTimer>

ExposureReplay::ExposureReplay(StageHandler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{
}

ExposureReplay::~ExposureReplay()
{
    for (Chain *chain : qAsConst(m_chains)) {
        delete chain->timer;
        delete chain;
    }
}

void ExposureReplay::setStageInterval(int ms)
{
    m_intervalMs = qMax(0, ms);
}

void ExposureReplay::start(QObject *camera, int presetNum, int firstStage)
{
    if (firstStage < 0 || firstStage >= kStageCount)
        return;
    auto *chain = new Chain;
    chain->camera = camera;
    chain->presetNum = presetNum;
    chain->stage = firstStage;
    chain->timer = new QTimer(this);
    chain->timer->setSingleShot(true);
    connect(chain->timer, &QTimer::timeout, this, [this, chain] { runStage(chain); });
    m_chains.append(chain);
    runStage(chain);
}

void ExposureReplay::cancel()
{
    const QList<Chain *> chains = m_chains;
    for (Chain *chain : chains)
        finish(chain);
}

void ExposureReplay::runStage(Chain *chain)
{
    const bool goOn = m_handler && m_handler(chain->camera.data(), chain->presetNum, chain->stage);
    // The handler may have cancelled every chain (for example by switching the
    // camera while applying a value).
    if (!m_chains.contains(chain))
        return;
    if (!goOn || chain->stage >= kStageCount - 1) {
        finish(chain);
        return;
    }
    ++chain->stage;
    chain->timer->start(m_intervalMs);
}

void ExposureReplay::finish(Chain *chain)
{
    if (!m_chains.removeOne(chain))
        return;
    chain->timer->stop();
    // The timer may be the sender of the running stage: release it later.
    chain->timer->deleteLater();
    delete chain;
}
