#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QMetaType>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcInput)

// One controller as the joystick layer sees it. Records are owned by the
// backend that produced them (SDL_Joysticks or VirtualJoystick) and stay at
// one address for the device's whole attachment, so the merged list and the
// events always point at the same record. Main thread only.
struct QJoystickDevice
{
    // Index in QJoysticks' merged list; -1 while the device is not listed.
    int id = -1;
    QString name;
    // Current angle per hat in degrees (0 up, clockwise in 45° steps; -1
    // centred).
    QList<int> povs;
    // Current value per axis, about -1.0 ... 1.0.
    QList<double> axes;
    // Current state per button (true = pressed).
    QList<bool> buttons;
    bool blacklisted = false;
};

// Events carry the device record by address; receivers read only its id.
struct QJoystickPOVEvent
{
    int pov = 0;
    int angle = -1;
    QJoystickDevice *joystick = nullptr;
};

struct QJoystickAxisEvent
{
    int axis = 0;
    double value = 0.0;
    QJoystickDevice *joystick = nullptr;
};

struct QJoystickButtonEvent
{
    int button = 0;
    bool pressed = false;
    QJoystickDevice *joystick = nullptr;
};

struct QJoystickRumble
{
    unsigned int length = 0; // milliseconds
    double strength = 0.0;   // 0 ... 1
    QJoystickDevice *joystick = nullptr;
};

Q_DECLARE_METATYPE(QJoystickPOVEvent)
Q_DECLARE_METATYPE(QJoystickAxisEvent)
Q_DECLARE_METATYPE(QJoystickButtonEvent)
Q_DECLARE_METATYPE(QJoystickRumble)
