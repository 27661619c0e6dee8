#include "tallymodel.h"

#include "obswrapper.h"
#include "vmixwrapper.h"

Q_LOGGING_CATEGORY(lcTally, "corvanta.tally")

TallyModel::TallyModel(QObject *parent)
    : QObject(parent), m_mappings(kSlots), m_states(kSlots, Idle)
{
    qRegisterMetaType<TallyModel::State>();
}

void TallyModel::setMappings(const QVector<Mapping> &mappings)
{
    m_mappings = mappings;
    m_mappings.resize(kSlots);
    update();
}

void TallyModel::setObsScenes(const QString &program, const QString &preview)
{
    m_feeds.obsProgram = program;
    m_feeds.obsPreview = preview;
    update();
}

void TallyModel::setVMixInputs(const VMixInput &active, const VMixInput &preview)
{
    m_feeds.vmixActive = active;
    m_feeds.vmixPreview = preview;
    update();
}

void TallyModel::followObs(ObsWrapper *obs)
{
    obs->setSceneTracking(true);
    const auto take = [this, obs] {
        setObsScenes(obs->programScene(), obs->previewScene());
    };
    connect(obs, &ObsWrapper::scenesChanged, this, take);
    take();
}

void TallyModel::followVMix(VMixWrapper *vmix)
{
    const auto take = [this, vmix] {
        setVMixInputs(vmix->activeInput(), vmix->previewInput());
    };
    connect(vmix, &VMixWrapper::tallyInputsChanged, this, take);
    take();
}

TallyModel::State TallyModel::state(int slot) const
{
    return slot >= 0 && slot < m_states.size() ? m_states.at(slot) : Idle;
}

QString TallyModel::stateName(State state)
{
    switch (state) {
    case Program:
        return QStringLiteral("program");
    case Preview:
        return QStringLiteral("preview");
    case Idle:
        break;
    }
    return QStringLiteral("idle");
}

bool TallyModel::matchesVMix(const QString &mapping, const VMixInput &input)
{
    const QString m = mapping.trimmed();
    if (m.isEmpty())
        return false;
    for (const QString &field : {input.number, input.key, input.title}) {
        if (!field.isEmpty() && field.trimmed().compare(m, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QVector<TallyModel::State> TallyModel::compute(const QVector<Mapping> &mappings, const Feeds &feeds)
{
    QVector<State> states(kSlots, Idle);
    for (int i = 0; i < kSlots && i < mappings.size(); ++i) {
        const Mapping &m = mappings.at(i);
        const auto obsIs = [&m](const QString &scene) {
            return !m.obs.isEmpty() && !scene.isEmpty() && m.obs == scene;
        };
        if (obsIs(feeds.obsProgram) || matchesVMix(m.vmix, feeds.vmixActive))
            states[i] = Program;
        else if (obsIs(feeds.obsPreview) || matchesVMix(m.vmix, feeds.vmixPreview))
            states[i] = Preview;
    }
    return states;
}

QString TallyModel::refusal(int slot, const QString &cameraName, State state, int protectLevel,
                            bool isRecall)
{
    if (state != Program || protectLevel <= 0 || (!isRecall && protectLevel < 2))
        return QString();
    const QString what =
        isRecall ? QStringLiteral("recall refused") : QStringLiteral("move refused");
    const QString name = cameraName.trimmed();
    return QStringLiteral("Camera %1%2 is on program: %3")
        .arg(slot + 1)
        .arg(name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(name))
        .arg(what);
}

void TallyModel::update()
{
    const QVector<State> next = compute(m_mappings, m_feeds);
    const QVector<State> previous = m_states;
    m_states = next;
    for (int i = 0; i < kSlots; ++i) {
        if (next.at(i) != previous.at(i)) {
            qCDebug(lcTally) << "slot" << i + 1 << stateName(next.at(i));
            emit slotStateChanged(i, next.at(i));
        }
    }
}
