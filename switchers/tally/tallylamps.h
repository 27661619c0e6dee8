#pragma once

#include "tallymodel.h"

#include <QByteArray>
#include <QObject>
#include <QVector>

class CameraControl;
class LampLink;

// Sends each camera slot's tally command when the slot's state changes.
//
// A slot's command is off, the camera's tally lamp (lit on program, out on
// preview and idle) or custom VISCA messages for program, preview and idle
// (an empty one sends nothing). The message for the new state is sent once
// per change and once more after each reconnection:
//  - to the selected camera through its own connection, when the control
//    layer can drive it (and again whenever the layer reports it connected);
//  - to any other network camera over a connection of its own to the
//    camera's VISCA port, opened for this and kept open until the camera is
//    selected or the camera list is released; a lost or failed connection
//    is retried after 1, 2, 4 ... up to 30 base intervals while it is kept,
//    and the current message is sent again on each new connection.
// USB cameras and cameras whose id is empty or "0.0.0.0" get nothing. Replies
// are read and discarded. Failures are logged, never shown. Main thread only.
class TallyLamps : public QObject
{
    Q_OBJECT
public:
    enum Mode
    {
        Off = 0,
        Lamp = 1,
        Custom = 2
    };
    struct Command
    {
        int mode = Off;
        QByteArray program;
        QByteArray preview;
        QByteArray off;
    };

    static constexpr int kReconnectBaseMs = 1000;
    static constexpr int kMaxReconnectFactor = 30;
    static constexpr int kConnectTimeoutMs = 5000;

    // control and model must outlive this object.
    TallyLamps(CameraControl *control, TallyModel *model, QObject *parent = nullptr);
    ~TallyLamps() override;

    // The message for `state` under `command`; empty when nothing is sent.
    static QByteArray messageFor(const Command &command, TallyModel::State state);

    // Slot 0-7. A changed command that sends something sends the slot's
    // current state at once.
    void setCommand(int slot, const Command &command);
    Command command(int slot) const { return m_commands.value(slot); }
    void setReconnectBaseInterval(int ms);
    // Connections of our own that are open or being opened.
    int openLinks() const;

private:
    void sendState(int slot);
    void closeLink(int slot);
    void closeAllLinks();

    CameraControl *m_control;
    TallyModel *m_model;
    QVector<Command> m_commands;
    QVector<LampLink *> m_links;
    int m_reconnectBaseMs = kReconnectBaseMs;
};
