#pragma once

#include "joysticktypes.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

struct _SDL_Joystick;
struct _SDL_GameController;

// Game controllers through SDL2's joystick interface. Polls SDL's event queue
// on the GUI thread (in production every 10 ms while a controller is attached,
// every 100 ms while none is) and re-emits joystick axis,
// hat and button changes with the values converted as follows:
//   axis  = SDL value / 32767.0   (-32768 ... 32767 -> about -1.00003 ... 1.0)
//   hat   = degrees: up 0, right-up 45, right 90, right-down 135, down 180,
//           left-down 225, left 270, left-up 315; centred (or any other SDL
//           value) -1.
// Devices are tracked by SDL instance id from their device-added event to
// their device-removed event; before a device's record is dropped its
// deflected axes and hats are reported at rest (0.0, -1), then countChanged()
// is emitted (receivers release held buttons on it).
//
// SDL is initialised by the constructor and its subsystems released by the
// destructor. Initialisation never ends the program: when it fails the
// backend logs it, retries with fewer subsystems and, as a last resort, runs
// without game controllers (isAvailable() false, no polling). Only one
// instance may poll at a time: SDL has one event queue per process.
class SDL_Joysticks : public QObject
{
    Q_OBJECT
public:
    // Poll period while at least one controller is attached.
    static constexpr int kPollIntervalMs = 10;
    // Poll period with no controller attached: only hot-plug is waited for,
    // so a plugged controller is seen within this delay.
    static constexpr int kIdlePollIntervalMs = 100;
    static constexpr int kFirstPollDelayMs = 100;

    explicit SDL_Joysticks(QObject *parent = nullptr);
    ~SDL_Joysticks() override;

    // SDL initialised with joystick support.
    bool isAvailable() const { return m_initFlags != 0; }

    // The records of all attached devices, in the order they were attached.
    QList<QJoystickDevice *> currentDevices() const;
    // The record of the device with this SDL instance id; null when unknown.
    QJoystickDevice *getJoystick(int instanceId) const;

    // Delay between two polls while a controller is attached (production:
    // kPollIntervalMs) and while none is (production: kIdlePollIntervalMs).
    // A pending poll is rescheduled with the interval now in effect.
    void setPollInterval(int ms);
    int pollInterval() const { return m_pollIntervalMs; }
    void setIdlePollInterval(int ms);
    int idlePollInterval() const { return m_idlePollIntervalMs; }
    // The interval the next poll is scheduled with: pollInterval() with a
    // controller attached, idlePollInterval() without.
    int activePollInterval() const;

signals:
    void countChanged();
    void POVEvent(QJoystickPOVEvent event);
    void axisEvent(QJoystickAxisEvent event);
    void buttonEvent(QJoystickButtonEvent event);

public slots:
    // Plays a rumble of request.strength (clamped to 0 ... 1) for
    // request.length ms on the request's device; does nothing when the device
    // is unknown or has no rumble.
    void rumble(QJoystickRumble request);
    // Handles every pending SDL event, then schedules the next poll.
    void update();

private:
    struct Attached
    {
        int instanceId = -1;
        _SDL_Joystick *joystick = nullptr;
        _SDL_GameController *controller = nullptr;
        std::unique_ptr<QJoystickDevice> record;
    };

    static constexpr int kMaxPendingRemovals = 16;

    void initialiseSdl();
    void loadMappings();
    void reschedule();
    // A device-added event: opens device `deviceIndex` (ignored when already
    // attached or when it cannot be opened) and emits countChanged().
    void configureJoystick(int deviceIndex);
    void removeJoystick(int instanceId);
    void close(Attached &device);
    const Attached *find(int instanceId) const;

    quint32 m_initFlags = 0;
    int m_pollIntervalMs = kPollIntervalMs;
    int m_idlePollIntervalMs = kIdlePollIntervalMs;
    QTimer m_pollTimer;
    std::vector<Attached> m_devices;
    // Generic mapping template appended to unmapped devices' GUID and name
    // (empty unless the resource provides one).
    QString m_genericMapping;
};
