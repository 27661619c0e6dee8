#pragma once

#include "joysticktypes.h"

#include <QObject>

class QKeyEvent;

// A pretend controller driven by the keyboard: 1 hat, 6 axes, 10 buttons.
// While enabled it reads every key event the application delivers to a
// top-level window (an event filter on the application object, which never
// consumes the event); auto-repeated presses and releases are skipped, so a
// held key is one press and one release.
//   arrows            hat 0: up 0, right 90, down 180, left 270; released -1
//   D/A S/W E/Q O/U L/J I/K   axes 0...5: +range / -range; released 0.0
//   0 ... 9           buttons 0 ... 9
// Disabled at construction.
class VirtualJoystick : public QObject
{
    Q_OBJECT
public:
    explicit VirtualJoystick(QObject *parent = nullptr);

    bool isEnabled() const { return m_enabled; }
    qreal axisRange() const { return m_range; }
    QJoystickDevice *device() { return &m_device; }

signals:
    void enabledChanged();
    void povEvent(QJoystickPOVEvent event);
    void axisEvent(QJoystickAxisEvent event);
    void buttonEvent(QJoystickButtonEvent event);

public slots:
    void setJoystickID(int id);
    // Axis magnitude: the smaller of 1.0 and |range|.
    void setAxisRange(qreal range);
    // Stores the flag and always emits enabledChanged().
    void setJoystickEnabled(bool enabled);
    void readAxes(int key, bool pressed);
    void readPOVs(int key, bool pressed);
    void readButtons(int key, bool pressed);
    // Hat, then axes, then buttons; nothing while disabled or for an
    // auto-repeated key.
    void processKeyEvent(QKeyEvent *event, bool pressed);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QJoystickDevice m_device;
    qreal m_range = 1.0;
    bool m_enabled = false;
};
