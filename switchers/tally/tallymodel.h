#pragma once

#include "vmixprotocol.h"

#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QVector>

Q_DECLARE_LOGGING_CATEGORY(lcTally)

class ObsWrapper;
class VMixWrapper;

// Which camera slots the switchers have on program (live) and on preview.
//
// Each of the eight slots may be tied to an OBS scene (by name, exact) and
// to a vMix input (by number, key or title, compared without regard to case
// and surrounding spaces). A slot is Program when OBS's program scene or
// vMix's active input is its own, else Preview when OBS's studio-mode preview
// scene or vMix's preview input is, else Idle. A switcher contributes only
// while its feed is set: an empty scene or input matches nothing, so a
// switcher that went away leaves its slots idle. No widgets; main thread only.
class TallyModel : public QObject
{
    Q_OBJECT
public:
    static constexpr int kSlots = 8;

    enum State
    {
        Idle = 0,
        Preview = 1,
        Program = 2
    };
    Q_ENUM(State)

    struct Mapping
    {
        QString obs;
        QString vmix;
    };
    struct Feeds
    {
        QString obsProgram;
        QString obsPreview;
        VMixInput vmixActive;
        VMixInput vmixPreview;
    };

    explicit TallyModel(QObject *parent = nullptr);

    // mappings of slot 1 first; missing slots are untied, extra ones ignored.
    void setMappings(const QVector<Mapping> &mappings);
    // OBS's program scene and preview scene (empty outside studio mode);
    // both empty when OBS is not connected.
    void setObsScenes(const QString &program, const QString &preview);
    // vMix's inputs on program and preview; empty inputs when vMix is not
    // answering.
    void setVMixInputs(const VMixInput &active, const VMixInput &preview);

    // Feeds from the clients: OBS's program and studio-mode preview scenes
    // (scene tracking is turned on) and vMix's active and preview inputs,
    // taken now and at every change. Each client must outlive the model.
    void followObs(ObsWrapper *obs);
    void followVMix(VMixWrapper *vmix);

    // slot 0-7; Idle for others.
    State state(int slot) const;
    QVector<State> states() const { return m_states; }

    // "program", "preview" or "idle".
    static QString stateName(State state);
    // Whether a slot's vMix mapping names the input.
    static bool matchesVMix(const QString &mapping, const VMixInput &input);
    // The states of the eight slots for these mappings and feeds.
    static QVector<State> compute(const QVector<Mapping> &mappings, const Feeds &feeds);
    // The refusal text of the live-camera protection, empty when allowed.
    // protectLevel: 0 off, 1 recalls refused on program, 2 recalls and moves.
    // slot 0-7 (shown 1-based), cameraName as the panel shows it.
    static QString refusal(int slot, const QString &cameraName, State state, int protectLevel,
                           bool isRecall);

signals:
    // One per slot whose state changed, in slot order.
    void slotStateChanged(int slot, TallyModel::State state);

private:
    void update();

    QVector<Mapping> m_mappings;
    Feeds m_feeds;
    QVector<State> m_states;
};
