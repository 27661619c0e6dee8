#include "joystickwrapper.h"

#include "qjoysticks.h"

JoystickWrapper::JoystickWrapper(QJoysticks *layer, AppSettings *settings, QObject *parent)
    : QObject(parent), m_mapper(layer, settings, this)
{
    layer->setVirtualJoystickEnabled(false);
}

void JoystickWrapper::move(Direction direction)
{
    switch (direction) {
    case Direction::Up:
        emit moveTopBtnTriggered();
        break;
    case Direction::Down:
        emit moveBottomBtnTriggered();
        break;
    case Direction::Left:
        emit moveLeftBtnTriggered();
        break;
    case Direction::Right:
        emit moveRightBtnTriggered();
        break;
    case Direction::UpLeft:
        emit moveTopLeftBtnTriggered();
        break;
    case Direction::UpRight:
        emit moveTopRightBtnTriggered();
        break;
    case Direction::DownLeft:
        emit moveBottomLeftBtnTriggered();
        break;
    case Direction::DownRight:
        emit moveBottomRightBtnTriggered();
        break;
    }
}

void JoystickWrapper::zoom(Zoom direction)
{
    if (direction == Zoom::In)
        emit zoomInBtnTriggered();
    else
        emit zoomOutBtnTriggered();
}

void JoystickWrapper::focus(Focus direction)
{
    if (direction == Focus::In)
        emit focusInBtnTriggered();
    else
        emit focusOutBtnTriggered();
}
