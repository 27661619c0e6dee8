#include "qjoysticks.h"

#include "sdljoysticks.h"
#include "virtualjoystick.h"

namespace {
const QString kInvalidName = QStringLiteral("Invalid Joystick");
} // namespace

QJoysticks::QJoysticks(const QString &organisation, const QString &application, QObject *parent)
    : QObject(parent),
      m_blacklist(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              organisation, application))
{
    m_blacklist->beginGroup(QStringLiteral("Blacklisted Joysticks"));

    m_sdl = new SDL_Joysticks(this);
    m_virtual = new VirtualJoystick(this);

    connect(m_sdl, &SDL_Joysticks::POVEvent, this, &QJoysticks::POVEvent);
    connect(m_sdl, &SDL_Joysticks::axisEvent, this, &QJoysticks::axisEvent);
    connect(m_sdl, &SDL_Joysticks::buttonEvent, this, &QJoysticks::buttonEvent);
    connect(m_sdl, &SDL_Joysticks::countChanged, this, &QJoysticks::updateInterfaces);

    connect(m_virtual, &VirtualJoystick::povEvent, this, &QJoysticks::POVEvent);
    connect(m_virtual, &VirtualJoystick::axisEvent, this, &QJoysticks::axisEvent);
    connect(m_virtual, &VirtualJoystick::buttonEvent, this, &QJoysticks::buttonEvent);
    connect(m_virtual, &VirtualJoystick::enabledChanged, this, &QJoysticks::updateInterfaces);

    connect(this, &QJoysticks::POVEvent, this, &QJoysticks::onPOVEvent);
    connect(this, &QJoysticks::axisEvent, this, &QJoysticks::onAxisEvent);
    connect(this, &QJoysticks::buttonEvent, this, &QJoysticks::onButtonEvent);

    updateInterfaces();
}

QJoysticks::~QJoysticks()
{
    // The backends own the records the list points at.
    m_devices.clear();
    delete m_virtual;
    delete m_sdl;
}

int QJoysticks::nonBlacklistedCount() const
{
    int n = 0;
    for (const QJoystickDevice *device : m_devices)
        n += device->blacklisted ? 0 : 1;
    return n;
}

QStringList QJoysticks::deviceNames() const
{
    QStringList names;
    for (const QJoystickDevice *device : m_devices)
        names.append(device->name);
    return names;
}

QJoystickDevice *QJoysticks::getInputDevice(int index) const
{
    return index >= 0 && index < m_devices.size() ? m_devices.at(index) : nullptr;
}

int QJoysticks::getPOV(int index, int pov) const
{
    const QJoystickDevice *d = getInputDevice(index);
    return d && pov >= 0 && pov < d->povs.size() ? d->povs.at(pov) : -1;
}

double QJoysticks::getAxis(int index, int axis) const
{
    const QJoystickDevice *d = getInputDevice(index);
    return d && axis >= 0 && axis < d->axes.size() ? d->axes.at(axis) : 0.0;
}

bool QJoysticks::getButton(int index, int button) const
{
    const QJoystickDevice *d = getInputDevice(index);
    return d && button >= 0 && button < d->buttons.size() ? d->buttons.at(button) : false;
}

int QJoysticks::getNumAxes(int index) const
{
    const QJoystickDevice *d = getInputDevice(index);
    return d ? d->axes.size() : -1;
}

int QJoysticks::getNumPOVs(int index) const
{
    const QJoystickDevice *d = getInputDevice(index);
    return d ? d->povs.size() : -1;
}

int QJoysticks::getNumButtons(int index) const
{
    const QJoystickDevice *d = getInputDevice(index);
    return d ? d->buttons.size() : -1;
}

bool QJoysticks::isBlacklisted(int index) const
{
    const QJoystickDevice *d = getInputDevice(index);
    return d ? d->blacklisted : true;
}

bool QJoysticks::joystickExists(int index) const
{
    return getInputDevice(index) != nullptr;
}

QString QJoysticks::getName(int index) const
{
    const QJoystickDevice *d = getInputDevice(index);
    return d ? d->name : kInvalidName;
}

bool QJoysticks::storedBlacklist(const QString &name) const
{
    return !name.isEmpty() && m_blacklist->value(name, false).toBool();
}

void QJoysticks::updateInterfaces()
{
    const QList<QJoystickDevice *> sdlDevices = m_sdl->currentDevices();
    QJoystickDevice *virtualDevice = m_virtual->device();

    for (QJoystickDevice *device : sdlDevices)
        device->id = -1;
    virtualDevice->id = -1;
    m_devices.clear();

    auto append = [this](QJoystickDevice *device) {
        device->id = int(m_devices.size());
        m_devices.append(device);
    };
    for (QJoystickDevice *device : sdlDevices)
        device->blacklisted = storedBlacklist(device->name);
    const bool virtualListed = m_virtual->isEnabled();
    if (virtualListed)
        virtualDevice->blacklisted = storedBlacklist(virtualDevice->name);

    if (!m_sortByBlacklist) {
        for (QJoystickDevice *device : sdlDevices)
            append(device);
        if (virtualListed)
            append(virtualDevice);
    } else {
        for (bool blacklisted : {false, true}) {
            for (QJoystickDevice *device : sdlDevices) {
                if (device->blacklisted == blacklisted)
                    append(device);
            }
            if (virtualListed && virtualDevice->blacklisted == blacklisted)
                append(virtualDevice);
        }
    }
    emit countChanged();
}

void QJoysticks::setVirtualJoystickRange(qreal range)
{
    m_virtual->setAxisRange(range);
}

void QJoysticks::setVirtualJoystickEnabled(bool enabled)
{
    m_virtual->setJoystickEnabled(enabled);
    emit enabledChanged(enabled);
}

void QJoysticks::setSortJoysticksByBlacklistState(bool sort)
{
    if (m_sortByBlacklist == sort)
        return;
    m_sortByBlacklist = sort;
    updateInterfaces();
}

void QJoysticks::setBlacklisted(int index, bool blacklisted)
{
    QJoystickDevice *device = getInputDevice(index);
    if (!device)
        return;

    if (blacklisted && !device->blacklisted) {
        // Reported before the flag is set, while events are still accepted.
        for (int i = 0; i < device->axes.size(); ++i)
            onAxisEvent({i, 0.0, device});
        // Button releases would act (preset recall, menu keys): the states
        // are cleared silently and countChanged() follows.
        for (bool &pressed : device->buttons)
            pressed = false;
        for (int i = 0; i < device->povs.size(); ++i)
            onPOVEvent({i, -1, device});
    }
    // Receivers may have rebuilt the list.
    device = getInputDevice(index);
    if (!device)
        return;

    const bool changed = device->blacklisted != blacklisted;
    device->blacklisted = blacklisted;
    if (!device->name.isEmpty())
        m_blacklist->setValue(device->name, blacklisted);
    if (changed)
        updateInterfaces();
}

void QJoysticks::resetJoysticks()
{
    for (QJoystickDevice *device : qAsConst(m_devices))
        device->id = -1;
    m_devices.clear();
    emit countChanged();
}

void QJoysticks::addInputDevice(QJoystickDevice *device)
{
    if (!device || m_devices.contains(device))
        return;
    device->id = int(m_devices.size());
    m_devices.append(device);
}

QJoystickDevice *QJoysticks::acceptedDevice(const QJoystickDevice *device) const
{
    if (!device)
        return nullptr;
    QJoystickDevice *listed = getInputDevice(device->id);
    if (listed != device || listed->blacklisted)
        return nullptr;
    return listed;
}

void QJoysticks::onPOVEvent(QJoystickPOVEvent e)
{
    QJoystickDevice *device = acceptedDevice(e.joystick);
    if (!device || e.pov < 0 || e.pov >= device->povs.size())
        return;
    device->povs[e.pov] = e.angle;
    emit povChanged(device->id, e.pov, e.angle);
}

void QJoysticks::onAxisEvent(QJoystickAxisEvent e)
{
    QJoystickDevice *device = acceptedDevice(e.joystick);
    if (!device || e.axis < 0 || e.axis >= device->axes.size())
        return;
    device->axes[e.axis] = e.value;
    emit axisChanged(device->id, e.axis, e.value);
}

void QJoysticks::onButtonEvent(QJoystickButtonEvent e)
{
    QJoystickDevice *device = acceptedDevice(e.joystick);
    if (!device || e.button < 0 || e.button >= device->buttons.size())
        return;
    device->buttons[e.button] = e.pressed;
    emit buttonChanged(device->id, e.button, e.pressed);
}
