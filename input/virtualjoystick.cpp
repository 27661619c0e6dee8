#include "virtualjoystick.h"

#include <QCoreApplication>
#include <QKeyEvent>

#include <cmath>

VirtualJoystick::VirtualJoystick(QObject *parent) : QObject(parent)
{
    m_device.name = tr("Virtual Joystick");
    m_device.povs = {-1};
    m_device.axes = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    for (int i = 0; i < 10; ++i)
        m_device.buttons.append(false);
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

void VirtualJoystick::setJoystickID(int id)
{
    m_device.id = id;
}

void VirtualJoystick::setAxisRange(qreal range)
{
    m_range = std::min(1.0, std::fabs(range));
}

void VirtualJoystick::setJoystickEnabled(bool enabled)
{
    m_enabled = enabled;
    emit enabledChanged();
}

void VirtualJoystick::readPOVs(int key, bool pressed)
{
    int angle;
    switch (key) {
    case Qt::Key_Up:
        angle = 0;
        break;
    case Qt::Key_Right:
        angle = 90;
        break;
    case Qt::Key_Down:
        angle = 180;
        break;
    case Qt::Key_Left:
        angle = 270;
        break;
    default:
        return;
    }
    emit povEvent({0, pressed ? angle : -1, &m_device});
}

void VirtualJoystick::readAxes(int key, bool pressed)
{
    int axis;
    double sign;
    switch (key) {
    case Qt::Key_D:
    case Qt::Key_A:
        axis = 0;
        sign = key == Qt::Key_D ? 1 : -1;
        break;
    case Qt::Key_S:
    case Qt::Key_W:
        axis = 1;
        sign = key == Qt::Key_S ? 1 : -1;
        break;
    case Qt::Key_E:
    case Qt::Key_Q:
        axis = 2;
        sign = key == Qt::Key_E ? 1 : -1;
        break;
    case Qt::Key_O:
    case Qt::Key_U:
        axis = 3;
        sign = key == Qt::Key_O ? 1 : -1;
        break;
    case Qt::Key_L:
    case Qt::Key_J:
        axis = 4;
        sign = key == Qt::Key_L ? 1 : -1;
        break;
    case Qt::Key_I:
    case Qt::Key_K:
        axis = 5;
        sign = key == Qt::Key_I ? 1 : -1;
        break;
    default:
        return;
    }
    emit axisEvent({axis, pressed ? m_range * sign : 0.0, &m_device});
}

void VirtualJoystick::readButtons(int key, bool pressed)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        emit buttonEvent({key - Qt::Key_0, pressed, &m_device});
}

void VirtualJoystick::processKeyEvent(QKeyEvent *event, bool pressed)
{
    if (!m_enabled || !event || event->isAutoRepeat())
        return;
    readPOVs(event->key(), pressed);
    readAxes(event->key(), pressed);
    readButtons(event->key(), pressed);
}

bool VirtualJoystick::eventFilter(QObject *watched, QEvent *event)
{
    // A key event reaches its top-level window first and is then re-sent to
    // the focus widget and its parents; reading it at the window only counts
    // each key once.
    if (watched->isWindowType()) {
        if (event->type() == QEvent::KeyPress)
            processKeyEvent(static_cast<QKeyEvent *>(event), true);
        else if (event->type() == QEvent::KeyRelease)
            processKeyEvent(static_cast<QKeyEvent *>(event), false);
    }
    return false;
}
