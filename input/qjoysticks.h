#pragma once

#include "joysticktypes.h"

#include <QObject>
#include <QSettings>
#include <QStringList>

#include <memory>

class SDL_Joysticks;
class VirtualJoystick;

// The joystick layer: merges the SDL controllers and the keyboard-driven
// virtual joystick into one indexed list, keeps each device's current
// values, applies the blacklist and re-emits every accepted change as
// povChanged / axisChanged / buttonChanged with the device's list index.
//
// The blacklist (key = device name, value = bool) lives in the platform's
// native settings for the organisation and application names given to the
// constructor, group "Blacklisted Joysticks"; the application's global names
// are neither read nor changed.
//
// One instance per process (SDL has one event queue); create it before the
// objects that listen to it and pass it to them. Main thread only: every
// signal is emitted from the 10 ms poll or the key event filter.
class QJoysticks : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int nonBlacklistedCount READ nonBlacklistedCount NOTIFY countChanged)
    Q_PROPERTY(QStringList deviceNames READ deviceNames NOTIFY countChanged)

public:
    QJoysticks(const QString &organisation, const QString &application, QObject *parent = nullptr);
    ~QJoysticks() override;

    int count() const { return int(m_devices.size()); }
    int nonBlacklistedCount() const;
    QStringList deviceNames() const;

    // Queries by list index; out of range gives the fallback noted.
    Q_INVOKABLE int getPOV(int index, int pov) const;        // -1
    Q_INVOKABLE double getAxis(int index, int axis) const;   // 0.0
    Q_INVOKABLE bool getButton(int index, int button) const; // false
    Q_INVOKABLE int getNumAxes(int index) const;             // -1
    Q_INVOKABLE int getNumPOVs(int index) const;             // -1
    Q_INVOKABLE int getNumButtons(int index) const;          // -1
    Q_INVOKABLE bool isBlacklisted(int index) const;         // true
    Q_INVOKABLE bool joystickExists(int index) const;        // false
    Q_INVOKABLE QString getName(int index) const;            // "Invalid Joystick"

    // The device at a list index; null when out of range.
    QJoystickDevice *getInputDevice(int index) const;
    SDL_Joysticks *sdlJoysticks() const { return m_sdl; }
    VirtualJoystick *virtualJoystick() const { return m_virtual; }

signals:
    void countChanged();
    void enabledChanged(bool enabled);
    void POVEvent(QJoystickPOVEvent event);
    void axisEvent(QJoystickAxisEvent event);
    void buttonEvent(QJoystickButtonEvent event);
    void povChanged(int js, int pov, int angle);
    void axisChanged(int js, int axis, qreal value);
    void buttonChanged(int js, int button, bool pressed);

public slots:
    // Rebuilds the list: SDL devices in attachment order, then the virtual
    // joystick when enabled; with sort-by-blacklist on, non-blacklisted
    // devices come first. Each listed device's id becomes its list index.
    void updateInterfaces();
    void setVirtualJoystickRange(qreal range);
    void setVirtualJoystickEnabled(bool enabled);
    void setSortJoysticksByBlacklistState(bool sort);
    // Blacklisting first reports the device's axes at 0.0 and hats at -1,
    // clears its button states without signals (a release is an action of its
    // own) and, through the rebuild, emits countChanged(), on which receivers
    // release held buttons. Out-of-range indexes do nothing.
    void setBlacklisted(int index, bool blacklisted);
    void resetJoysticks();
    void addInputDevice(QJoystickDevice *device);
    void onPOVEvent(QJoystickPOVEvent e);
    void onAxisEvent(QJoystickAxisEvent e);
    void onButtonEvent(QJoystickButtonEvent e);

private:
    // The listed device an event belongs to; null (event dropped) when the
    // record is not the one at its index or the device is blacklisted.
    QJoystickDevice *acceptedDevice(const QJoystickDevice *device) const;
    bool storedBlacklist(const QString &name) const;

    QList<QJoystickDevice *> m_devices;
    bool m_sortByBlacklist = false;
    std::unique_ptr<QSettings> m_blacklist;
    SDL_Joysticks *m_sdl = nullptr;
    VirtualJoystick *m_virtual = nullptr;
};
