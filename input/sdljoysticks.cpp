#include "sdljoysticks.h"

#include <QFile>

#include <SDL.h>

#include <algorithm>

Q_LOGGING_CATEGORY(lcInput, "corvanta.input")

namespace {

// SDL hat bits to degrees; -1 for centred and for any combination that is
// not one of the eight directions.
int hatAngle(Uint8 value)
{
    switch (value) {
    case SDL_HAT_UP:
        return 0;
    case SDL_HAT_RIGHTUP:
        return 45;
    case SDL_HAT_RIGHT:
        return 90;
    case SDL_HAT_RIGHTDOWN:
        return 135;
    case SDL_HAT_DOWN:
        return 180;
    case SDL_HAT_LEFTDOWN:
        return 225;
    case SDL_HAT_LEFT:
        return 270;
    case SDL_HAT_LEFTUP:
        return 315;
    default:
        return -1;
    }
}

const char kMappingDatabase[] = ":/corvanta-assets/SDL/Database.txt";
const char kGenericMapping[] = ":/corvanta-assets/SDL/GenericMappings/Windows.txt";

} // namespace

SDL_Joysticks::SDL_Joysticks(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<QJoystickPOVEvent>();
    qRegisterMetaType<QJoystickAxisEvent>();
    qRegisterMetaType<QJoystickButtonEvent>();
    qRegisterMetaType<QJoystickRumble>();

    m_pollTimer.setSingleShot(true);
    connect(&m_pollTimer, &QTimer::timeout, this, &SDL_Joysticks::update);

    initialiseSdl();
    if (!isAvailable())
        return;
    loadMappings();
    // Devices already known to SDL (its device-added events may have gone to
    // an earlier poller); duplicates of later added events are ignored.
    for (int i = 0, n = SDL_NumJoysticks(); i < n; ++i)
        configureJoystick(i);
    m_pollTimer.start(kFirstPollDelayMs);
}

SDL_Joysticks::~SDL_Joysticks()
{
    for (Attached &device : m_devices)
        close(device);
    m_devices.clear();
    if (m_initFlags)
        SDL_QuitSubSystem(m_initFlags);
}

void SDL_Joysticks::initialiseSdl()
{
    // With SDL's HIDAPI driver, Xbox-style pads report the right stick on
    // axes 2/3 and a trigger resting at -32768 on axis 4; the classic drivers
    // keep the right stick on axes 3/4, which the mapping relies on.
    SDL_SetHint(SDL_HINT_JOYSTICK_HIDAPI, "0");
    // The panel is driven while other windows have focus.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");

    // Audio first (rumble on some devices goes through it); joystick input
    // needs only the game-controller subsystem.
    const Uint32 attempts[] = {SDL_INIT_AUDIO | SDL_INIT_HAPTIC | SDL_INIT_GAMECONTROLLER,
                               SDL_INIT_HAPTIC | SDL_INIT_GAMECONTROLLER, SDL_INIT_GAMECONTROLLER};
    for (Uint32 flags : attempts) {
        if (SDL_InitSubSystem(flags) == 0) {
            m_initFlags = flags;
            break;
        }
        qCWarning(lcInput) << "SDL initialisation with flags" << Qt::hex << flags
                           << "failed:" << SDL_GetError();
    }
    if (!m_initFlags) {
        qCWarning(lcInput) << "running without game controllers";
        return;
    }
    // Only joystick events are read; controller events would only fill the
    // queue.
    SDL_GameControllerEventState(SDL_IGNORE);
}

void SDL_Joysticks::loadMappings()
{
    QFile database(QString::fromLatin1(kMappingDatabase));
    if (database.open(QIODevice::ReadOnly)) {
        while (!database.atEnd()) {
            const QByteArray line = database.readLine().trimmed();
            if (!line.isEmpty() && !line.startsWith('#'))
                SDL_GameControllerAddMapping(line.constData());
        }
    }
    QFile generic(QString::fromLatin1(kGenericMapping));
    if (generic.open(QIODevice::ReadOnly))
        m_genericMapping = QString::fromUtf8(generic.readAll()).trimmed();
}

QList<QJoystickDevice *> SDL_Joysticks::currentDevices() const
{
    QList<QJoystickDevice *> list;
    list.reserve(int(m_devices.size()));
    for (const Attached &device : m_devices)
        list.append(device.record.get());
    return list;
}

QJoystickDevice *SDL_Joysticks::getJoystick(int instanceId) const
{
    const Attached *device = find(instanceId);
    return device ? device->record.get() : nullptr;
}

const SDL_Joysticks::Attached *SDL_Joysticks::find(int instanceId) const
{
    for (const Attached &device : m_devices) {
        if (device.instanceId == instanceId)
            return &device;
    }
    return nullptr;
}

void SDL_Joysticks::setPollInterval(int ms)
{
    m_pollIntervalMs = std::max(0, ms);
    reschedule();
}

void SDL_Joysticks::setIdlePollInterval(int ms)
{
    m_idlePollIntervalMs = std::max(0, ms);
    reschedule();
}

int SDL_Joysticks::activePollInterval() const
{
    return m_devices.empty() ? m_idlePollIntervalMs : m_pollIntervalMs;
}

void SDL_Joysticks::reschedule()
{
    if (m_pollTimer.isActive())
        m_pollTimer.start(activePollInterval());
}

void SDL_Joysticks::update()
{
    if (!isAvailable())
        return;

    // One pump per poll, then the queue is drained without pumping again, so
    // the pending removals seen here cover every event handled below.
    SDL_PumpEvents();
    // On removal SDL reports the device's buttons released just before the
    // device-removed event. Such a release is not the operator's: it would
    // recall a preset or press a menu key while the cable is pulled.
    SDL_Event removals[kMaxPendingRemovals];
    const int removalCount =
        std::max(0, SDL_PeepEvents(removals, kMaxPendingRemovals, SDL_PEEKEVENT,
                                   SDL_JOYDEVICEREMOVED, SDL_JOYDEVICEREMOVED));
    auto beingRemoved = [&](SDL_JoystickID id) {
        for (int i = 0; i < removalCount; ++i) {
            if (removals[i].jdevice.which == id)
                return true;
        }
        return false;
    };

    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        switch (event.type) {
        case SDL_JOYAXISMOTION:
            if (QJoystickDevice *device = getJoystick(event.jaxis.which))
                emit axisEvent({event.jaxis.axis, event.jaxis.value / 32767.0, device});
            break;
        case SDL_JOYHATMOTION:
            if (QJoystickDevice *device = getJoystick(event.jhat.which))
                emit POVEvent({event.jhat.hat, hatAngle(event.jhat.value), device});
            break;
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP:
            if (QJoystickDevice *device = getJoystick(event.jbutton.which)) {
                if (!beingRemoved(event.jbutton.which))
                    emit buttonEvent(
                        {event.jbutton.button, event.jbutton.state == SDL_PRESSED, device});
            }
            break;
        case SDL_JOYDEVICEADDED:
            configureJoystick(event.jdevice.which);
            break;
        case SDL_JOYDEVICEREMOVED:
            removeJoystick(event.jdevice.which);
            break;
        default:
            break;
        }
    }
    m_pollTimer.start(activePollInterval());
}

void SDL_Joysticks::configureJoystick(int deviceIndex)
{
    const SDL_JoystickID instanceId = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    if (instanceId < 0 || find(instanceId))
        return;

    if (!SDL_IsGameController(deviceIndex) && !m_genericMapping.isEmpty()) {
        char guid[64] = {};
        SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(deviceIndex), guid, sizeof guid);
        const char *name = SDL_JoystickNameForIndex(deviceIndex);
        const QString mapping = QStringLiteral("%1,%2,%3")
                                    .arg(QString::fromLatin1(guid),
                                         QString::fromUtf8(name ? name : ""), m_genericMapping);
        SDL_GameControllerAddMapping(mapping.toUtf8().constData());
    }

    Attached device;
    device.joystick = SDL_JoystickOpen(deviceIndex);
    if (!device.joystick) {
        qCWarning(lcInput) << "Cannot find joystick with id:" << deviceIndex << SDL_GetError();
        return;
    }
    device.instanceId = SDL_JoystickInstanceID(device.joystick);
    if (SDL_IsGameController(deviceIndex))
        device.controller = SDL_GameControllerOpen(deviceIndex);

    device.record = std::make_unique<QJoystickDevice>();
    QJoystickDevice &record = *device.record;
    const char *name = SDL_JoystickName(device.joystick);
    record.name = QString::fromUtf8(name ? name : "");
    record.povs = QList<int>();
    for (int i = 0, n = std::max(0, SDL_JoystickNumHats(device.joystick)); i < n; ++i)
        record.povs.append(-1);
    for (int i = 0, n = std::max(0, SDL_JoystickNumAxes(device.joystick)); i < n; ++i)
        record.axes.append(0.0);
    for (int i = 0, n = std::max(0, SDL_JoystickNumButtons(device.joystick)); i < n; ++i)
        record.buttons.append(false);
    qCInfo(lcInput) << "joystick attached:" << record.name << "instance" << device.instanceId;

    m_devices.push_back(std::move(device));
    emit countChanged();
}

void SDL_Joysticks::removeJoystick(int instanceId)
{
    const auto it = std::find_if(m_devices.begin(), m_devices.end(),
                                 [&](const Attached &d) { return d.instanceId == instanceId; });
    if (it == m_devices.end())
        return;

    // Deflected axes and hats are reported back at rest before the device
    // goes. Buttons are not reported released: a release is an action of its
    // own (a preset recall, a menu key); held buttons end with countChanged().
    QJoystickDevice *record = it->record.get();
    for (int i = 0; i < record->axes.size(); ++i) {
        if (record->axes.at(i) != 0.0)
            emit axisEvent({i, 0.0, record});
    }
    for (int i = 0; i < record->povs.size(); ++i) {
        if (record->povs.at(i) != -1)
            emit POVEvent({i, -1, record});
    }
    qCInfo(lcInput) << "joystick removed:" << record->name << "instance" << instanceId;

    // Receivers may have run arbitrary code: look the device up again.
    const auto again = std::find_if(m_devices.begin(), m_devices.end(),
                                    [&](const Attached &d) { return d.instanceId == instanceId; });
    if (again == m_devices.end())
        return;
    close(*again);
    m_devices.erase(again);
    emit countChanged();
}

void SDL_Joysticks::close(Attached &device)
{
    if (device.controller)
        SDL_GameControllerClose(device.controller);
    if (device.joystick)
        SDL_JoystickClose(device.joystick);
    device.controller = nullptr;
    device.joystick = nullptr;
}

void SDL_Joysticks::rumble(QJoystickRumble request)
{
    for (const Attached &device : m_devices) {
        if (device.record.get() != request.joystick || !device.joystick)
            continue;
        const double strength = std::clamp(request.strength, 0.0, 1.0);
        const auto magnitude = Uint16(strength * 0xFFFF);
        SDL_JoystickRumble(device.joystick, magnitude, magnitude, request.length);
        return;
    }
}
