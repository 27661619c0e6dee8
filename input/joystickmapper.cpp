#include "joystickmapper.h"

#include "appsettings.h"
#include "qjoysticks.h"

namespace {

using Direction = JoystickActions::Direction;

constexpr int kZoomOutButton = 4;
constexpr int kZoomInButton = 5;
constexpr int kFocusOutButton = 6;
constexpr int kFocusInButton = 7;

int zone(double value)
{
    if (value > JoystickMapper::kDeadZone)
        return 1;
    if (value < -JoystickMapper::kDeadZone)
        return -1;
    return 0;
}

// Pan zone (-1 left ... +1 right) and tilt zone (-1 up ... +1 down).
std::optional<Direction> stickDirection(int pan, int tilt)
{
    static const std::optional<Direction> table[3][3] = {
        // pan left        centre           right
        {Direction::UpLeft, Direction::Up, Direction::UpRight},        // tilt up
        {Direction::Left, std::nullopt, Direction::Right},             // centre
        {Direction::DownLeft, Direction::Down, Direction::DownRight}}; // down
    return table[tilt + 1][pan + 1];
}

} // namespace

JoystickMapper::JoystickMapper(QJoysticks *layer, AppSettings *settings, JoystickActions *actions,
                               QObject *parent)
    : QObject(parent), m_actions(actions), m_settings(settings)
{
    connect(layer, &QJoysticks::countChanged, this, &JoystickMapper::joystickCountChanged);
    connect(layer, &QJoysticks::povChanged, this, &JoystickMapper::joystickPOVChanged);
    connect(layer, &QJoysticks::axisChanged, this, &JoystickMapper::joystickAxisChanged);
    connect(layer, &QJoysticks::buttonChanged, this, &JoystickMapper::joystickButtonChanged);
}

bool JoystickMapper::accept(int js)
{
    const int selected = m_settings->isJoystickAvailable() ? m_settings->selectedJoystick() : -1;
    if (selected != m_activeJs) {
        releaseAll();
        m_activeJs = selected;
    }
    return selected >= 0 && js == selected;
}

void JoystickMapper::joystickCountChanged()
{
    // Indexes may now designate other controllers.
    releaseAll();
}

void JoystickMapper::joystickAxisChanged(int js, int axis, qreal value)
{
    if (!accept(js))
        return;
    if (axis == kPanAxis)
        m_panZone = zone(value);
    else if (axis == kTiltAxis)
        m_tiltZone = zone(value);
    else
        return;
    updateMotion();
}

void JoystickMapper::joystickPOVChanged(int js, int pov, int angle)
{
    Q_UNUSED(pov)
    if (!accept(js))
        return;
    static const Direction byAngle[8] = {
        Direction::Up,   Direction::UpRight,  Direction::Right, Direction::DownRight,
        Direction::Down, Direction::DownLeft, Direction::Left,  Direction::UpLeft};
    if (angle == -1)
        m_hat.reset();
    else if (angle >= 0 && angle < 360 && angle % 45 == 0)
        m_hat = byAngle[angle / 45];
    else
        return;
    updateMotion();
}

void JoystickMapper::joystickButtonChanged(int js, int button, bool pressed)
{
    if (!accept(js) || button < 0 || button >= kButtons)
        return;
    const bool wasHeld = m_held[button];
    m_held[button] = pressed;

    switch (button) {
    case kZoomOutButton:
    case kZoomInButton: {
        const int other = button == kZoomInButton ? kZoomOutButton : kZoomInButton;
        m_zoomButton = pressed ? button : (m_held[other] ? other : -1);
        if (!pressed && m_zoomButton == -1)
            m_zooming = -2; // a release always ends in a stop
        updateZoom();
        return;
    }
    case kFocusOutButton:
    case kFocusInButton: {
        const int other = button == kFocusInButton ? kFocusOutButton : kFocusInButton;
        m_focusButton = pressed ? button : (m_held[other] ? other : -1);
        if (!pressed && m_focusButton == -1)
            m_focusing = -2;
        updateFocus();
        return;
    }
    default:
        break;
    }

    // The rest act on the release of a press this mapper saw.
    if (pressed || !wasHeld)
        return;
    switch (button) {
    case 0:
        m_actions->recallPreset(3);
        break;
    case 1:
        m_actions->toggleAutoFocus();
        break;
    case 2:
        m_actions->recallPreset(1);
        break;
    case 3:
        m_actions->recallPreset(2);
        break;
    case 8:
        m_actions->osdBack();
        break;
    case 9:
        m_actions->osdEnter();
        break;
    case 10:
        m_actions->osdMenu();
        break;
    case 11:
        m_actions->home();
        break;
    default:
        break;
    }
}

void JoystickMapper::updateMotion()
{
    const std::optional<Direction> wanted = m_hat ? m_hat : stickDirection(m_panZone, m_tiltZone);
    if (wanted == m_moving)
        return;
    m_moving = wanted;
    if (wanted)
        m_actions->move(*wanted);
    else
        m_actions->stopMove();
}

void JoystickMapper::updateZoom()
{
    if (m_zoomButton == m_zooming)
        return;
    m_zooming = m_zoomButton;
    if (m_zooming == -1)
        m_actions->stopZoom();
    else
        m_actions->zoom(m_zooming == kZoomInButton ? JoystickActions::Zoom::In
                                                   : JoystickActions::Zoom::Out);
}

void JoystickMapper::updateFocus()
{
    if (m_focusButton == m_focusing)
        return;
    m_focusing = m_focusButton;
    if (m_focusing == -1)
        m_actions->stopFocus();
    else
        m_actions->focus(m_focusing == kFocusInButton ? JoystickActions::Focus::In
                                                      : JoystickActions::Focus::Out);
}

void JoystickMapper::releaseAll()
{
    const bool moving = m_moving.has_value();
    const bool zooming = m_zooming >= 0;
    const bool focusing = m_focusing >= 0;

    m_panZone = m_tiltZone = 0;
    m_hat.reset();
    m_moving.reset();
    for (bool &held : m_held)
        held = false;
    m_zoomButton = m_focusButton = m_zooming = m_focusing = -1;

    if (moving)
        m_actions->stopMove();
    if (zooming)
        m_actions->stopZoom();
    if (focusing)
        m_actions->stopFocus();
}
